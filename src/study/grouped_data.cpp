#include "study/grouped_data.h"

#include <algorithm>

#include "analysis/number_text.h"
#include "study/grouped_text.h"

namespace kijunchi {

std::vector<double> measuredValues(const AnalysisStore& store) {
    const int n = std::clamp(store.DataCount, 0, kMaxValues);
    if (static_cast<int>(store.UntransformedValues.size()) == n && !store.Lambda.isBlank() &&
        store.Lambda.toNumber() != 1.0)
        return store.UntransformedValues;
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i)
        values.push_back(store.AnalysisValues[static_cast<std::size_t>(i)].toNumber());
    return values;
}

GroupedPaste ReadGroupedPaste(AnalysisStore& store, std::string_view text, GridSink& grid) {
    GroupedValues read = readGroupedText(text);
    GroupedPaste out;
    for (double v : read.values) out.valuesText += numberText(v) + "\r\n";
    out.paste = ReadPasteBuffer(store, out.valuesText, grid);
    // The data set holds what numberText wrote; keep exactly that beside the groups.
    const auto kept = static_cast<std::size_t>(out.paste.valuesKept);
    read.labels.resize(std::min(kept, read.labels.size()));
    store.GroupLabels = std::move(read.labels);
    store.GroupedValues = measuredValues(store);
    out.message = read.message;
    if (out.paste.truncated()) {
        if (!out.message.empty()) out.message += "\n";
        out.message += tooManyValuesMessage(out.paste.valuesFound);
    }
    return out;
}

std::optional<std::vector<ValueGroup>> currentGroups(const AnalysisStore& store) {
    const std::vector<double> values = measuredValues(store);
    if (store.GroupLabels.empty() || store.GroupLabels.size() != values.size() ||
        store.GroupedValues != values)
        return std::nullopt;
    return groupValues(values, store.GroupLabels);
}

}  // namespace kijunchi
