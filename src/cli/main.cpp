#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/indirect_command.h"
#include "cli/report_command.h"
#include "cli/study_command.h"

int main(int argc, char** argv) {
    // A closed pipe on standard output is reported like any failed write, not a silent end.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    const kijunchi::InputReader readStdin = [](char* buffer, std::size_t size) {
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, size);
            if (n >= 0 || errno != EINTR) return static_cast<std::ptrdiff_t>(n);
        }
    };
    if (kijunchi::isIndirectCommand(args))
        return kijunchi::runIndirectCommand(args, std::cout, std::cerr);
    if (kijunchi::isStudyCommand(args)) {
        return kijunchi::runStudyCommand(args, readStdin, std::cout, std::cerr);
    }
    auto output = kijunchi::runReportCommand(args, readStdin);
    return kijunchi::writeCommandOutput(output);
}
