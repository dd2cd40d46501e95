#pragma once
// The store's data set as a paste leaves it, and a sink that keeps the statistics texts.
#include <string>
#include <vector>

#include "analysis/analysis_run.h"
#include "analysis/store.h"

namespace kijunchi::testing {

inline void load(AnalysisStore& store, const std::vector<double>& values) {
    store.DataCount = store.WorkCount = static_cast<int>(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        store.DataValues[i + 1] = store.AnalysisValues[i + 1] = values[i];
}

inline std::vector<double> dataValues(const AnalysisStore& store) {
    std::vector<double> values;
    for (int i = 1; i <= store.DataCount; ++i) values.push_back(store.DataValues[i].toNumber());
    return values;
}

struct TextSink : ReportSink {
    std::vector<std::string> texts;
    void setStatisticsText(const std::string& text) override { texts.push_back(text); }
};

}  // namespace kijunchi::testing
