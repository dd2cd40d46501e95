#pragma once
// kijunchi-report: the headless front end over the core.
#include <functional>
#include <string>
#include <vector>

namespace kijunchi {

struct CommandOutput {
    int exitCode = 0;
    std::string out;  // standard output
    std::string err;  // standard error
};

// args without the program name; readStdin is called only when the data come from standard
// input.
CommandOutput runReportCommand(const std::vector<std::string>& args,
                               const std::function<std::string()>& readStdin);

}  // namespace kijunchi
