#include "input/paste_reader.h"

#include "analysis/number_text.h"
#include "report/sig_round.h"

namespace kijunchi {

std::string tooManyValuesMessage(std::int64_t valuesFound) {
    return "データ数が上限の5000を超えています（" + std::to_string(valuesFound) +
           "個）。先頭の5000個のみを読み込みました。";
}

std::string skippedFieldsMessage(std::int64_t fieldsSkipped) {
    return "数値でない欄" + numberText(static_cast<double>(fieldsSkipped)) +
           "個を読み飛ばしました。";
}

std::string readingMessage(const PasteResult& result) {
    std::string message;
    if (result.truncated()) message = tooManyValuesMessage(result.valuesFound);
    if (result.fieldsSkipped > 0) {
        if (!message.empty()) message += "\n";
        message += skippedFieldsMessage(result.fieldsSkipped);
    }
    if (result.fieldTooLong) {
        if (!message.empty()) message += "\n";
        message += "64 KiBを超える欄があったため、そこで読み込みを止めました。";
    }
    return message;
}

void FieldReader::feed(std::string_view chunk) {
    std::size_t pos = 0;
    while (pos < chunk.size() && !ended_) {
        if (afterCr_) {
            afterCr_ = false;
            if (chunk[pos] == '\n') {  // the LF of a CR LF pair
                ++pos;
                continue;
            }
        }
        // The characters up to the next TAB or line end, read in place when the whole field
        // lies in this chunk.
        std::size_t end = pos;
        while (end < chunk.size() && chunk[end] != '\t' && chunk[end] != '\r' && chunk[end] != '\n')
            ++end;
        const std::string_view span = chunk.substr(pos, end - pos);
        if (!span.empty()) lineHasCharacters_ = true;
        if (!restOfLineIgnored_ && field_.size() + span.size() > kMaxLineBytes) {
            result_.fieldTooLong = true;
            ended_ = true;
            field_.clear();
            return;
        }
        if (end == chunk.size()) {  // the field goes on in the next chunk
            if (!restOfLineIgnored_) field_.append(span);
            return;
        }
        const char separator = chunk[end];
        pos = end + 1;
        std::string_view field = span;
        if (!field_.empty()) {
            field_.append(span);
            field = field_;
        }
        if (separator == '\t') {
            lineHasCharacters_ = true;
            if (restOfLineIgnored_) continue;
            if (field.empty()) {
                restOfLineIgnored_ = true;  // an empty field ends its line
            } else {
                takeField(field);
            }
            field_.clear();
            continue;
        }
        // A line end: CR LF, a lone LF or a lone CR.
        afterCr_ = separator == '\r';
        if (!lineHasCharacters_) {
            ended_ = true;  // an empty line ends the whole reading
            return;
        }
        if (!restOfLineIgnored_ && !field.empty()) takeField(field);
        field_.clear();
        lineHasCharacters_ = false;
        restOfLineIgnored_ = false;
    }
}

void FieldReader::finish() {
    if (ended_ || !lineHasCharacters_) return;
    if (!restOfLineIgnored_ && !field_.empty()) takeField(field_);
    field_.clear();
    lineHasCharacters_ = false;
    restOfLineIgnored_ = false;
}

void FieldReader::takeField(std::string_view field) {
    if (values_.size() < static_cast<std::size_t>(kMaxValues)) {
        if (const auto value = leadingNumber(field)) {
            values_.push_back(*value);
            if (keepTexts_) texts_.emplace_back(field);
            ++result_.valuesFound;
            result_.valuesKept = static_cast<int>(values_.size());
        } else {
            ++result_.fieldsSkipped;
        }
    } else if (hasLeadingNumber(field)) {
        ++result_.valuesFound;  // beyond the capacity: only counted
    } else {
        ++result_.fieldsSkipped;
    }
}

PasteResult ReadPasteBuffer(AnalysisStore& store, std::string_view text, GridSink& grid) {
    FieldReader reader;
    reader.feed(text);
    reader.finish();
    storeMeasuredValues(store, reader.values(), grid);
    store.ValuesRead = reader.result().valuesFound;
    return reader.result();
}

namespace {

// The transformation state of the store alone.
void clearTransformationState(AnalysisStore& store) {
    store.Lambda = Value(std::string());
    store.LambdaShown = Value(std::string());
    store.UntransformedValues.clear();
    store.UntransformedDataValues.clear();
}

}  // namespace

void storeMeasuredValues(AnalysisStore& store, const std::vector<double>& values, GridSink& grid) {
    const int n = static_cast<int>(values.size() < kMaxValues ? values.size() : kMaxValues);
    for (int i = 0; i < n; ++i) {
        const auto at = static_cast<std::size_t>(i);
        store.SortedValues[at] = values[at];
        store.DataValues[at + 1] = Value(values[at]);
        store.AnalysisValues[at + 1] = store.DataValues[at + 1];
    }
    store.WorkCount = n;
    store.DataCount = n;
    store.ValuesRead = n;
    forgetTransformation(store, grid);
    showDataSet(store, grid);
}

void showDataSet(const AnalysisStore& store, GridSink& grid) {
    const int n = store.WorkCount;
    for (int i = 0; i < kGridValues; ++i)
        grid.putGridValue(
            i, i < n ? store.DataValues[static_cast<std::size_t>(i + 1)].toText() : std::string());
    grid.setCountLabel(numberText(n));
    grid.resetCurrentCell();
}

void forgetTransformation(AnalysisStore& store, GridSink& grid) {
    clearTransformationState(store);
    grid.setCommentLabel("");
}

void restoreMeasuredDataSet(AnalysisStore& store, GridSink& grid) {
    const std::size_t n = store.UntransformedValues.size();
    if (n > 0 && n <= static_cast<std::size_t>(kMaxValues) &&
        store.UntransformedDataValues.size() == n) {
        for (std::size_t i = 0; i < n; ++i) {
            store.AnalysisValues[i + 1] = Value(store.UntransformedValues[i]);
            store.DataValues[i + 1] = store.UntransformedDataValues[i];
            store.SortedValues[i] = store.DataValues[i + 1].toNumber();
        }
        store.WorkCount = static_cast<int>(n);
    }
    store.DataCount = store.WorkCount;  // after New: the empty data set
    forgetTransformation(store, grid);
    showDataSet(store, grid);
}

void FLSET(AnalysisStore& store, GridSink& grid) {
    const int n = store.WorkCount;
    for (int i = 0; i < n; ++i) {
        const auto at = static_cast<std::size_t>(i);
        store.SortedValues[at] = SigRound(store.AnalysisValues[at + 1].toNumber());
    }
    for (int i = 0; i < n; ++i) {
        const auto at = static_cast<std::size_t>(i);
        store.DataValues[at + 1] = Value(store.SortedValues[at]);
    }
    showDataSet(store, grid);
}

void newDataSet(AnalysisStore& store) {
    for (std::size_t k = 0; k <= kGridValues; ++k) {
        store.DataValues[k] = Value(0.0);
        store.SortedValues[k] = 0;
        store.AnalysisValues[k] = Value(0.0);
    }
    store.WorkCount = 0;
    clearTransformationState(store);
}

}  // namespace kijunchi
