#include "generators/generators.h"

#include <cmath>
#include <vector>

#include "analysis/number_text.h"
#include "input/paste_reader.h"

namespace kijunchi {

std::optional<int> readGeneratorCount(std::string_view boxText) {
    const std::optional<double> count = wholeNumber(boxText);
    if (!count || !(*count >= 0 && *count <= kMaxValues) || *count != std::floor(*count))
        return std::nullopt;
    return static_cast<int>(*count);
}

bool generateNormal(AnalysisStore& store, RandomSource& random, int count, double mean, double sd,
                    GridSink& grid) {
    random.reseedFromClock();
    // An extreme mean or SD can overflow; the grid refresh cannot round an infinite value, so
    // such a data set is refused before the store is touched.
    std::vector<double> values(static_cast<std::size_t>(count));
    for (double& v : values) {
        const float z = random.nrnd();
        v = static_cast<double>(z) * sd + mean;
        if (!std::isfinite(v)) return false;
    }
    store.DataCount = count;
    store.ValuesRead = count;
    store.WorkCount = count;
    for (int i = 1; i <= count; ++i)
        store.AnalysisValues[i] = values[static_cast<std::size_t>(i - 1)];
    // New generated data are measured values: whatever λ the previous data set was
    // transformed with no longer applies to them.
    forgetTransformation(store, grid);
    FLSET(store, grid);
    return true;
}

std::string generateUniform(AnalysisStore& store, RandomSource& random, int count, double max,
                            GridSink& grid) {
    store.DataCount = count;
    store.ValuesRead = count;
    store.WorkCount = count;
    store.UniformMax = max;
    for (int i = 1; i <= count; ++i) {
        const float u = random.uniform();
        store.AnalysisValues[i] = std::floor(static_cast<double>(u) * max + 1.0);
    }
    forgetTransformation(store, grid);

    // Only the values just generated are listed: slots beyond the count belong to an older
    // data set.
    std::string listing;
    const int listed = count < 10 ? count : 10;
    for (int i = 1; i <= listed; ++i) {
        listing += store.AnalysisValues[i].toText();
        listing += "\r\n";
    }
    listing += "\r\n";

    FLSET(store, grid);
    return listing;
}

}  // namespace kijunchi
