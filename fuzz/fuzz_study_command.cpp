// kijunchi-report's study views on arbitrary files, in process: --verify, --batch (each
// format, with and without a group column) and --group read the bytes as a file and as
// standard input; each ends with one of its exit statuses and a message for every refusal.
//
// Input layout: byte 0 chooses the view and its options; the rest is the file.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "cli/report_command.h"
#include "cli/study_command.h"
#include "fuzz_checks.h"

using namespace kijunchi;
using namespace kijunchi::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const unsigned choice = data[0];
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string path = writeInputFile("study", bytes);
    static const char* const formats[] = {"tsv", "csv", "json"};
    std::vector<std::string> args;
    bool fromStdin = false;
    switch (choice % 4) {
        case 0:
            args = {"--verify", choice & 4 ? "8,12" : "-1e3,1e3"};
            fromStdin = (choice & 8) != 0;
            break;
        case 1:
            args = {"--batch", "--format", formats[(choice >> 2) % 3]};
            break;
        case 2:
            args = {"--batch", "--group", choice & 4 ? "1" : "2"};
            break;
        default:
            args = {"--group", choice & 4 ? "1" : "2"};
            if (choice & 8) args.insert(args.end(), {"--column", "3"});
            break;
    }
    if (!fromStdin) args.push_back(path);
    std::ostringstream out, err;
    const int code = runStudyCommand(args, textReader(bytes), out, err);
    require(code >= 0 && code <= 3, "an exit status of the command", std::to_string(code));
    if (code == 2 || code == 3) require(!err.str().empty(), "a refusal is told");
    requireCleanText(out.str(), "the output", bytes);
    return 0;
}
