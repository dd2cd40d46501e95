#pragma once
// The data set with a group for each value: the paste of two columns (value, group) and the
// groups of the current data set.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/store.h"
#include "files/data_file.h"
#include "input/grid_sink.h"
#include "input/paste_reader.h"
#include "study/partition.h"

namespace kijunchi {

// The current data set as measured: the values kept by a transformation, else the data set.
std::vector<double> measuredValues(const AnalysisStore& store);

struct GroupedPaste {
    PasteResult paste;
    std::string valuesText;  // the values one per line (CR LF), for the paste buffer
    std::string message;     // lines skipped, too many values; empty when all went in
};

// Reads value and group from each line of text; the values become the data set exactly as a
// paste of them does, and the groups are kept beside them.
GroupedPaste ReadGroupedPaste(AnalysisStore& store, std::string_view text, GridSink& grid);

// A data file's value column read with its group column: the values become the data set and
// the groups are kept beside them, as the paste of the two columns makes them. A value whose
// group field is empty is left out and counted in the message.
GroupedPaste ReadGroupedColumn(AnalysisStore& store, const DataColumn& column, GridSink& grid);

inline constexpr const char* kNoGroupsMessage =
    "グループ列のあるデータがありません。入力画面の「グループ列あり」にチェックを入れて、"
    "値とグループの2列を張り付けて下さい。";

// The current data set split by its groups; nullopt when it has none (no group column, or
// the data set has been replaced since).
std::optional<std::vector<ValueGroup>> currentGroups(const AnalysisStore& store);

}  // namespace kijunchi
