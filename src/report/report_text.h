#pragma once
// The test-and-report step: the chi-square test, then the statistics report text.
#include <string>

#include "analysis/store.h"

namespace kijunchi {

// Runs the chi-square test and returns the whole report text; updates WorkCount (class total)
// and the store's line table.
std::string testAndReport(AnalysisStore& store);

}  // namespace kijunchi
