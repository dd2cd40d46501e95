#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

#include "cli/report_command.h"

int main(int argc, char** argv) {
    // A closed pipe on standard output is reported like any failed write, not a silent end.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    auto output = kijunchi::runReportCommand(args, [](char* buffer, std::size_t size) {
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, size);
            if (n >= 0 || errno != EINTR) return static_cast<std::ptrdiff_t>(n);
        }
    });
    return kijunchi::writeCommandOutput(output);
}
