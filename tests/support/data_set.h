#pragma once
// The store's data set as a paste leaves it, and the files of tests/data.
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/store.h"

namespace kijunchi::testing {

// A new data set of measured values, untransformed.
inline void load(AnalysisStore& store, const std::vector<double>& values) {
    store.Lambda = store.LambdaShown = Value(std::string());
    store.UntransformedValues.clear();
    store.DataCount = store.WorkCount = static_cast<int>(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        store.DataValues[i + 1] = store.AnalysisValues[i + 1] = values[i];
}

inline std::vector<double> dataValues(const AnalysisStore& store) {
    std::vector<double> values;
    for (int i = 1; i <= store.DataCount; ++i) values.push_back(store.DataValues[i].toNumber());
    return values;
}

#ifdef KIJUNCHI_TEST_DATA
// A file of tests/data byte for byte. The expected texts there were worked out independently
// in python from the written rules (sorting, moments, percentiles, rounding, classes, the
// chi-square test with its own normal distribution function and bisection, the report lines),
// not from this program.
inline std::string testData(const std::string& name) {
    std::ifstream in(std::string(KIJUNCHI_TEST_DATA) + "/" + name, std::ios::binary);
    if (!in) throw std::runtime_error("missing test data file " + name);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The numbers of a file of tests/data, one after another (blanks and line ends between them).
inline std::vector<double> testDataValues(const std::string& name) {
    std::istringstream in(testData(name));
    std::vector<double> values;
    for (double v; in >> v;) values.push_back(v);
    return values;
}

// Serum calcium (mg/dL) of 240 healthy adults, CLSI EP28-A3c Table 4 (tests/data/calcium_240.txt).
inline std::vector<double> calcium240() {
    return testDataValues("calcium_240.txt");
}
#endif

}  // namespace kijunchi::testing
