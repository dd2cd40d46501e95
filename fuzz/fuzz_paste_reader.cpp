// ReadPasteBuffer on arbitrary bytes, checked against a plain reading of the paste rules: lines
// end with CR LF, a lone LF or a lone CR, fields end with TAB, an empty line ends the reading,
// an empty field ends its row, a field without a leading number is skipped and counted, at most
// 5000 values are kept. The same text read as a stream in chunks gives the same result.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/number_text.h"
#include "analysis/store.h"
#include "fuzz_checks.h"
#include "input/paste_reader.h"
#include "support/recording_grid.h"

using namespace kijunchi;
using namespace kijunchi::fuzz;
using kijunchi::testing::RecordingGrid;

namespace {

struct Reading {
    std::int64_t found = 0;
    std::int64_t skipped = 0;
    std::vector<std::string> fields;  // the fields of the kept values
};

Reading plainReading(std::string_view raw) {
    // Every line end (CR LF, lone LF, lone CR) written as CR LF.
    std::string text;
    text.reserve(raw.size() + raw.size() / 4);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' || raw[i] == '\n') {
            text += "\r\n";
            if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
        } else {
            text += raw[i];
        }
    }
    Reading reading;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t p = rest.find("\r\n");
        if (p == 0) break;
        std::string_view line = rest.substr(0, p);
        rest = p == std::string_view::npos ? std::string_view() : rest.substr(p + 2);
        while (!line.empty()) {
            const std::size_t t = line.find('\t');
            if (t == 0) break;
            std::string_view field = line.substr(0, t == std::string_view::npos ? t : t + 1);
            line = t == std::string_view::npos ? std::string_view() : line.substr(t + 1);
            if (!leadingNumber(field)) {
                ++reading.skipped;
                continue;
            }
            ++reading.found;
            if (reading.fields.size() < static_cast<std::size_t>(kMaxValues))
                reading.fields.emplace_back(field);
        }
    }
    return reading;
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

double slotNumber(const Value& v, const char* what) {
    if (!v.isNumber()) fail(what);
    return v.toNumber();
}

void checkDataSet(const AnalysisStore& store, const PasteResult& result, const Reading& expected,
                  std::string_view text) {
    const int kept = static_cast<int>(std::min<std::int64_t>(result.valuesFound, kMaxValues));
    require(result.valuesFound == expected.found,
            "the number of values found differs from the paste rules", escaped(text));
    require(result.fieldsSkipped == expected.skipped,
            "the number of fields skipped differs from the paste rules", escaped(text));
    require(result.valuesKept == kept, "valuesKept is not min(valuesFound, 5000)");
    require(store.DataCount == kept && store.WorkCount == kept,
            "DataCount/WorkCount differ from the number of values kept");
    require(kept >= 0 && kept <= kMaxValues, "the count leaves 0..5000");
    for (int i = 1; i <= kept; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const double v = slotNumber(store.DataValues[at], "a DataValues slot is not a number");
        requireFinite(v, "a pasted value is not finite");
        const double expectedValue = lenientNumber(expected.fields[at - 1]);
        if (!sameBits(v, expectedValue))
            fail("a pasted value differs from the lenient reading of its field",
                 escaped(expected.fields[at - 1]) + " -> " + numberText(v));
        const double a =
            slotNumber(store.AnalysisValues[at], "an AnalysisValues slot is not a number");
        require(sameBits(a, v), "AnalysisValues differs from DataValues after a paste");
    }
    require(store.Lambda.isBlank() && store.LambdaShown.isBlank(),
            "a paste leaves a transformation state (Lambda/LambdaShown)");
    require(store.UntransformedValues.empty(),
            "a paste keeps the untransformed values of old data");
}

void checkGrid(const AnalysisStore& store, const RecordingGrid& grid) {
    const int n = store.DataCount;
    require(static_cast<int>(grid.cells.size()) == kGridValues,
            "the grid does not receive exactly its 1000 cells");
    for (int i = 0; i < kGridValues; ++i) {
        const auto& [position, text] = grid.cells[static_cast<std::size_t>(i)];
        require(position == i, "grid cells are not written in order from position 0");
        if (i >= n) {
            require(text.empty(), "a grid cell at or above the count is not emptied", text);
            continue;
        }
        const double v = store.DataValues[static_cast<std::size_t>(i + 1)].toNumber();
        require(text == numberText(v), "a grid cell does not show its value at full precision",
                text);
        requireCleanText(text, "a grid cell shows nan/inf");
    }
    require(!grid.countLabels.empty() && grid.countLabels.back() == numberText(n),
            "the count label does not show n");
    require(!grid.commentLabels.empty() && grid.commentLabels.back().empty(),
            "a paste does not empty the comment line");
    require(grid.currentCellResets >= 1, "a paste does not move the grid to its first cell");
}

// Prepares a store as a fresh one (old = false) or as one left full and transformed by an
// earlier data set (old = true), as far as the reading can see: the counts, the transformation
// state and the slots up to one past the values the text holds.
void prepare(AnalysisStore& store, bool old, int slots) {
    for (int i = 0; i <= slots && i < kSlots; ++i) {
        const auto at = static_cast<std::size_t>(i);
        store.DataValues[at] = old ? Value(-7.25) : Value();
        store.AnalysisValues[at] = old ? Value("old") : Value();
        store.SortedValues[at] = old ? 99 : 0;
    }
    store.DataCount = store.WorkCount = old ? kMaxValues : 0;
    store.Lambda = old ? Value(0.5) : Value();
    store.LambdaShown = old ? Value("0.5") : Value();
    if (old) {
        store.UntransformedValues.assign(kMaxValues, 3.0);
        store.UntransformedDataValues.assign(kMaxValues, Value(3.0));
    } else {
        store.UntransformedValues.clear();
        store.UntransformedDataValues.clear();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Allocated once: a store is large, and a fresh allocation per run would dominate.
    static auto* fresh = new AnalysisStore();
    static auto* reused = new AnalysisStore();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Reading expected = plainReading(text);

    const int slots = static_cast<int>(std::min<std::int64_t>(expected.found, kMaxValues)) + 1;
    AnalysisStore& store = *fresh;
    prepare(store, false, slots);
    RecordingGrid grid;
    const PasteResult result = ReadPasteBuffer(store, text, grid);
    checkDataSet(store, result, expected, text);
    checkGrid(store, grid);
    if (result.truncated()) {
        const std::string message = tooManyValuesMessage(result.valuesFound);
        require(message.find(std::to_string(result.valuesFound)) != std::string::npos,
                "the over-capacity message does not give the number of values found");
    }
    const std::string message = readingMessage(result);
    require(message.empty() == (!result.truncated() && result.fieldsSkipped == 0),
            "the reading message is missing or has nothing to say");

    // The same text as a stream, in chunks whose size the first byte chooses.
    const std::size_t chunk = size == 0 ? 1 : 1 + data[0] % 7;
    FieldReader reader;
    for (std::size_t at = 0; at < size; at += chunk) reader.feed(text.substr(at, chunk));
    reader.finish();
    require(reader.result().valuesFound == result.valuesFound &&
                reader.result().fieldsSkipped == result.fieldsSkipped &&
                static_cast<int>(reader.values().size()) == result.valuesKept,
            "a reading in chunks counts differently", escaped(text));
    for (std::size_t i = 0; i < reader.values().size(); ++i)
        require(sameBits(reader.values()[i], store.DataValues[i + 1].toNumber()),
                "a reading in chunks gives other values", escaped(text));

    // A paste over a data set that was full and transformed gives the same data set.
    prepare(*reused, true, slots);
    RecordingGrid secondGrid;
    const PasteResult again = ReadPasteBuffer(*reused, text, secondGrid);
    require(again.valuesFound == result.valuesFound && again.valuesKept == result.valuesKept,
            "a paste over an old data set counts differently");
    checkDataSet(*reused, again, expected, text);
    checkGrid(*reused, secondGrid);
    return 0;
}
