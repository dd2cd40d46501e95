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

namespace {

// The values become the data set through the paste buffer, the groups are kept beside them;
// the message says what was skipped (skippedMessage) and whether there were too many values.
GroupedPaste storeGroupedValues(AnalysisStore& store, GroupedValues read,
                                const std::string& skippedMessage, GridSink& grid,
                                std::int64_t valuesFound = 0) {
    GroupedPaste out;
    for (double v : read.values) out.valuesText += numberText(v) + "\r\n";
    out.paste = ReadPasteBuffer(store, out.valuesText, grid);
    // Values beyond those kept were only counted by the reading of the file.
    out.paste.valuesFound = std::max(out.paste.valuesFound, valuesFound);
    // The data set holds what numberText wrote; keep exactly that beside the groups.
    const auto kept = static_cast<std::size_t>(out.paste.valuesKept);
    read.labels.resize(std::min(kept, read.labels.size()));
    store.GroupLabels = std::move(read.labels);
    store.GroupedValues = measuredValues(store);
    out.message = skippedMessage;
    if (out.paste.truncated()) {
        if (!out.message.empty()) out.message += "\n";
        out.message += tooManyValuesMessage(out.paste.valuesFound);
    }
    return out;
}

}  // namespace

GroupedPaste ReadGroupedPaste(AnalysisStore& store, std::string_view text, GridSink& grid) {
    GroupedValues read = readGroupedText(text);
    const std::string message = read.message;
    return storeGroupedValues(store, std::move(read), message, grid);
}

GroupedPaste ReadGroupedColumn(AnalysisStore& store, const DataColumn& column, GridSink& grid) {
    GroupedValues read;
    std::int64_t withoutGroup = column.withoutGroup;
    for (std::size_t i = 0; i < column.numbers.size(); ++i) {
        const std::string_view label =
            i < column.groups.size() ? std::string_view(column.groups[i]) : std::string_view();
        if (label.empty()) {
            ++withoutGroup;
            continue;
        }
        read.values.push_back(leadingNumber(column.numbers[i]).value_or(0.0));
        read.labels.emplace_back(label);
    }
    std::string message;
    if (column.skipped > 0) message = skippedFieldsMessage(column.skipped);
    if (const std::string notes = columnNotes(column); !notes.empty())
        message += (message.empty() ? "" : "\n") + notes;
    if (withoutGroup > 0) {
        if (!message.empty()) message += "\n";
        message += "グループが空欄の値" + std::to_string(withoutGroup) + "個は読み込んでいません。";
    }
    return storeGroupedValues(store, std::move(read), message, grid,
                              column.count - column.withoutGroup);
}

std::optional<std::vector<ValueGroup>> currentGroups(const AnalysisStore& store) {
    const std::vector<double> values = measuredValues(store);
    if (store.GroupLabels.empty() || store.GroupLabels.size() != values.size() ||
        store.GroupedValues != values)
        return std::nullopt;
    return groupValues(values, store.GroupLabels);
}

}  // namespace kijunchi
