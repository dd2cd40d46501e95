#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "cli/pdf_program.h"
#include "cli/report_command.h"

// kijunchi-report: plain C++ over the core. --pdf runs kijunchi-pdf from the same folder, which
// draws the document; without it (built without the desktop program) --pdf says so.
int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const kijunchi::InputReader readStdin = [](char* buffer, std::size_t size) {
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, size);
            if (n >= 0 || errno != EINTR) return static_cast<std::ptrdiff_t>(n);
        }
    };
    return kijunchi::runKijunchiReport(
        args, readStdin, kijunchi::pdfProgramWriter(kijunchi::pdfProgramBesideThisOne()));
}
