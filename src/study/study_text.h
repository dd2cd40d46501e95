#pragma once
// The texts of the partition study and of the verification, as the windows show them and the
// command line prints them: CR LF line ends, TAB between columns, numbers to 4 significant
// digits.
#include <string>

#include "study/partition.h"
#include "study/verification.h"

namespace kijunchi {

// A number to 4 significant digits as general number text; "－" for a missing one.
std::string studyNumber(double v);

std::string partitionText(const PartitionStudy& study);

std::string verificationText(const Verification& v);

}  // namespace kijunchi
