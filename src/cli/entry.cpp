#include <csignal>
#include <iostream>

#include "cli/indirect_command.h"
#include "cli/report_command.h"
#include "cli/study_command.h"

namespace kijunchi {

int runKijunchiReport(const std::vector<std::string>& args, const InputReader& readStdin,
                      const PdfWriter& writePdf) {
    // A closed pipe on standard output is reported like any failed write, not a silent end.
    std::signal(SIGPIPE, SIG_IGN);
    if (isIndirectCommand(args)) return runIndirectCommand(args, std::cout, std::cerr);
    if (isStudyCommand(args)) return runStudyCommand(args, readStdin, std::cout, std::cerr);
    return writeCommandOutput(runReportCommand(args, readStdin, writePdf));
}

}  // namespace kijunchi
