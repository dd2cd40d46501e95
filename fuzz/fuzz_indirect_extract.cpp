// readExtract on arbitrary bytes (plain, UTF-16, Shift_JIS or gzip, through a file): it never
// fails other than by its message, and what it gives is consistent: the partitions hold the
// results kept, each finite, with a label that is UTF-8 text; the rows left out are counted; and
// the summary written of it reads back, through the summary's reader, as the very same summary.
// The first byte chooses the options (the value column, a group, age bands, a count column,
// first per patient); the rest is the file.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>

#include "cli/indirect_command.h"
#include "fuzz_checks.h"
#include "indirect/extract.h"

using namespace kijunchi;
using namespace kijunchi::fuzz;

namespace {

bool utf8Text(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 9;
        if (n == 9 || i + n >= s.size() + (n == 0)) return n == 0;
        for (std::size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const unsigned choice = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string path = writeInputFile("extract", bytes, ".csv");

    ExtractOptions o;
    o.valueColumn = std::to_string(1 + choice % 3);
    std::vector<std::string> args = {"--indirect", "--column", o.valueColumn};
    if (choice & 0x04) {
        o.groupColumn = "2";
        args.insert(args.end(), {"--group", "2"});
    }
    if (choice & 0x08) {
        o.ageColumn = "3";
        o.ageBands = {0, 1, 18, 120};
        args.insert(args.end(), {"--age", "3", "--age-bands", "0,1,18,120"});
    }
    if (choice & 0x10) {
        o.countColumn = "4";
        args.insert(args.end(), {"--count", "4"});
    } else if (choice & 0x20) {
        o.patientColumn = "4";
        o.firstPerPatient = true;
        args.insert(args.end(), {"--patient", "4", "--first-per-patient"});
    }
    o.pipeWaitMilliseconds = 0;
    const ExtractResult r = readExtract({path}, o);
    if (!r.problem.empty()) {
        require(utf8Text(r.problem), "the message is text", r.problem);
        std::remove(path.c_str());
        return 0;
    }
    std::int64_t held = 0;
    for (const auto& p : r.partitions) {
        require(!p.label.empty() && utf8Text(p.label), "a partition's label is UTF-8 text",
                p.label);
        require(p.counts.total() >= 0, "counts are not negative");
        held += p.counts.total();
        for (const auto& [v, c] : p.counts.sorted())
            require(std::isfinite(v) && c >= 0, "values are finite, counts not negative");
    }
    require(held == r.kept, "the partitions hold the results kept");
    const std::int64_t out = r.notNumber + r.valueMalformed + r.valueOutOfRange + r.noAge +
                             r.ageMalformed + r.ageOutOfRange + r.outsideAges + r.noGroup +
                             r.badCount + r.countTooLarge + r.noPatient + r.laterResults;
    require(out <= r.rows, "no more rows left out than were read");
    if (!o.countColumn) require(r.kept + out == r.rows, "every row is kept or counted");

    // The summary, and the summary of the summary read back with its counts.
    // The command refuses one column in two roles (the value also the group or the age).
    const bool sharedColumn = o.groupColumn == o.valueColumn || o.ageColumn == o.valueColumn;
    if (sharedColumn) {
        args.insert(args.end(), {"--format", "summary", path});
        std::ostringstream out, err;
        require(runIndirectCommand(args, out, err) != 0 && out.str().empty(),
                "one column in two roles is refused", err.str());
    } else if (r.kept > 0 && r.kept < kMaxResultCount) {
        args.insert(args.end(), {"--format", "summary", path});
        std::ostringstream first, firstErr;
        require(runIndirectCommand(args, first, firstErr) == 0, "the summary is written",
                firstErr.str());
        const std::string summary = writeInputFile("extract", first.str(), ".tsv");
        std::ostringstream second, secondErr;
        const int status = runIndirectCommand({"--indirect", "--column", "値", "--count", "件数",
                                               "--group", "群", "--format", "summary", summary},
                                              second, secondErr);
        require(status == 0 && secondErr.str().empty(), "the summary reads back without a word",
                secondErr.str());
        require(second.str() == first.str(), "the summary reads back as itself",
                first.str() + "\n----\n" + second.str());
        std::remove(summary.c_str());
    }
    std::remove(path.c_str());
    return 0;
}
