#include <string>
#include <vector>

#include "cli/pdf_program.h"
#include "cli/report_command.h"

// kijunchi-report: plain C++ over the core. --pdf runs kijunchi-pdf from the same folder, which
// draws the document; without it (built without the desktop program) --pdf says so.
int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return kijunchi::runKijunchiReport(
        args, kijunchi::standardInputReader(),
        kijunchi::pdfProgramWriter(kijunchi::pdfProgramBesideThisOne()));
}
