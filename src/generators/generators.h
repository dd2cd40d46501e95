#pragma once
// The arithmetic of the two random-data generators.
#include <optional>
#include <string>
#include <string_view>

#include "analysis/store.h"
#include "generators/random_source.h"
#include "input/grid_sink.h"

namespace kijunchi {

inline constexpr const char* kGeneratorCountMessage =
    "データ数は0以上5000以下の整数を入力して下さい。";

// The count box: a text that is a whole number from 0 to 5000 as a whole (blanks around it and
// full-width digits allowed), else nullopt ("", "abc" and "12x" included).
std::optional<int> readGeneratorCount(std::string_view boxText);

// Normal generator OK: reseeds from the clock, fills AnalysisValues(1..count) with
// z·sd + mean, FLSET. Clears the transformation state (new measured data). Returns false and
// changes nothing in the store when a value would not be finite (an extreme mean or SD).
bool generateNormal(AnalysisStore& store, RandomSource& random, int count, double mean, double sd,
                    GridSink& grid);

// Uniform generator OK: AnalysisValues(i) = floor(u·max + 1), FLSET. Returns the listing for
// the statistics window (the generated values among the first ten, each with CR LF, then one
// more CR LF).
std::string generateUniform(AnalysisStore& store, RandomSource& random, int count, double max,
                            GridSink& grid);

}  // namespace kijunchi
