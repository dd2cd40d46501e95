#pragma once
// kijunchi-report --indirect: reference limits from an extract of routine results, per
// partition, by the indirect method (indirect/indirect_estimate.h).
#include <ostream>
#include <string>
#include <vector>

namespace kijunchi {

// True when the arguments ask for the indirect method.
bool isIndirectCommand(const std::vector<std::string>& args);

// Returns the exit status: 0 success (partitions that cannot be estimated say so in their
// row), 2 usage error or unreadable extract, 3 no results.
int runIndirectCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kijunchi
