#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/report_command.h"
#include "cli/study_command.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const auto readStdin = [] {
        std::ios::sync_with_stdio(false);
        return std::string(std::istreambuf_iterator<char>(std::cin), {});
    };
    if (kijunchi::isStudyCommand(args))
        return kijunchi::runStudyCommand(args, readStdin, std::cout, std::cerr);
    auto output = kijunchi::runReportCommand(args, readStdin);
    std::cout << output.out << std::flush;
    std::cerr << output.err << std::flush;
    return output.exitCode;
}
