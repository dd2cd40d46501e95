#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "cli/report_command.h"

// kijunchi-report built without the desktop program: --pdf is not available.
int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const kijunchi::InputReader readStdin = [](char* buffer, std::size_t size) {
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, size);
            if (n >= 0 || errno != EINTR) return static_cast<std::ptrdiff_t>(n);
        }
    };
    return kijunchi::runKijunchiReport(args, readStdin, {});
}
