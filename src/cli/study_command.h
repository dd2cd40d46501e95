#pragma once
// kijunchi-report's study options: --verify LOW,HIGH, --group COLUMN and --batch. Output goes
// straight to the streams, so that a batch never holds its whole table.
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/report_command.h"

namespace kijunchi {

// True when the arguments ask for one of the study options (and the report is not wanted).
bool isStudyCommand(const std::vector<std::string>& args);

// Runs the study the arguments ask for; returns the exit status: 0 success, 1 calculation
// error, 2 usage error or unreadable file, 3 no data (or too few values, or one group only).
int runStudyCommand(const std::vector<std::string>& args, const InputReader& readStdin,
                    std::ostream& out, std::ostream& err);

}  // namespace kijunchi
