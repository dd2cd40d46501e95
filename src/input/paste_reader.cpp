#include "input/paste_reader.h"

#include "analysis/number_text.h"
#include "report/sig_round.h"

namespace kijunchi {

std::string tooManyValuesMessage(int valuesFound) {
    return "データ数が上限の5000を超えています（" + std::to_string(valuesFound) +
           "個）。先頭の5000個のみを読み込みました。";
}

namespace {

// New measured values carry no transformation.
void forgetTransformation(AnalysisStore& store, GridSink& grid) {
    store.Lambda = Value(std::string());
    store.LambdaShown = Value(std::string());
    store.UntransformedValues.clear();
    grid.setCommentLabel("");
}

// Walks the text line by line (CR LF, a lone LF counting as CR LF) without copying it.
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}
    // The next line; false at the end of the text.
    bool next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        std::size_t lf = text_.find('\n', pos_);
        if (lf == std::string_view::npos) {
            line = text_.substr(pos_);
            pos_ = text_.size();
            return true;
        }
        std::size_t end = (lf > pos_ && text_[lf - 1] == '\r') ? lf - 1 : lf;
        line = text_.substr(pos_, end - pos_);
        pos_ = lf + 1;
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

PasteResult ReadPasteBuffer(AnalysisStore& store, std::string_view text, GridSink& grid) {
    PasteResult result;
    store.WorkCount = 0;
    Lines lines(text);
    std::string_view line;
    // An empty line ends the whole reading; an empty field ends its row.
    while (lines.next(line) && !line.empty()) {
        while (!line.empty() && line.front() != '\t') {
            std::size_t tab = line.find('\t');
            std::string_view field = line.substr(0, tab);
            line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
            ++result.valuesFound;
            if (store.WorkCount < kMaxValues) {
                store.SortedValues[static_cast<std::size_t>(store.WorkCount)] =
                    lenientNumber(field);
                ++store.WorkCount;
            }
        }
    }
    const int n = store.WorkCount;
    result.valuesKept = n;
    for (int i = 0; i < n && i < kGridValues; ++i)
        grid.putGridValue(i, numberText(store.SortedValues[static_cast<std::size_t>(i)]));
    for (int i = 0; i < n; ++i) {
        const auto at = static_cast<std::size_t>(i + 1);
        store.DataValues[at] = Value(store.SortedValues[at - 1]);
        store.AnalysisValues[at] = store.DataValues[at];
    }
    grid.setCountLabel(numberText(n));
    store.DataCount = store.WorkCount;
    grid.resetCurrentCell();
    forgetTransformation(store, grid);
    return result;
}

void FLSET(AnalysisStore& store, GridSink& grid) {
    const int n = store.WorkCount;
    for (int i = 0; i < n; ++i) {
        const auto at = static_cast<std::size_t>(i);
        store.SortedValues[at] = SigRound(store.AnalysisValues[at + 1].toNumber());
    }
    for (int i = 0; i < n && i < kGridValues; ++i)
        grid.putGridValue(i, numberText(store.SortedValues[static_cast<std::size_t>(i)]));
    for (int i = 0; i < n; ++i) {
        const auto at = static_cast<std::size_t>(i);
        store.DataValues[at + 1] = Value(store.SortedValues[at]);
    }
    grid.setCountLabel(numberText(n));
    grid.resetCurrentCell();
}

void NewDataSet(AnalysisStore& store) {
    for (std::size_t k = 0; k <= kGridValues; ++k) {
        store.DataValues[k] = Value(0.0);
        store.SortedValues[k] = 0;
        store.AnalysisValues[k] = Value(0.0);
    }
    store.WorkCount = 0;
    store.Lambda = Value(std::string());
    store.LambdaShown = Value(std::string());
    store.UntransformedValues.clear();
}

}  // namespace kijunchi
