#pragma once
// A report sink that keeps every statistics text written to it.
#include <string>
#include <vector>

#include "report/analysis_run.h"

namespace kijunchi::testing {

struct RecordingReport : ReportSink {
    std::vector<std::string> texts;  // every text, in order
    void setStatisticsText(const std::string& text) override { texts.push_back(text); }
    // The last text written ("" if none).
    std::string last() const { return texts.empty() ? std::string() : texts.back(); }
};

}  // namespace kijunchi::testing
