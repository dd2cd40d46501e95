#pragma once
// Reading pasted text into the data set, and the other writers of the data set on the input
// side: New, the grid refresh, the restoring of the measured values and the showing of the
// data set in the grid.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/store.h"
#include "input/grid_sink.h"

namespace kijunchi {

// A line (or a quoted field over several lines) longer than this is refused as soon as it is
// seen: no number is this long, and a text without line ends would otherwise be held whole.
inline constexpr std::size_t kMaxLineBytes = std::size_t{64} << 10;

struct PasteResult {
    std::int64_t valuesFound = 0;    // every field with a number, also beyond the capacity
    int valuesKept = 0;              // the new DataCount (at most 5000)
    std::int64_t fieldsSkipped = 0;  // fields in which no number was found
    bool fieldTooLong = false;       // the reading stopped at a field longer than 64 KiB
    bool truncated() const { return valuesFound > valuesKept; }
};

// The message for a paste with more than 5000 values.
std::string tooManyValuesMessage(std::int64_t valuesFound);

// The message for fields that held no number: "数値でない欄N個を読み飛ばしました。".
std::string skippedFieldsMessage(std::int64_t fieldsSkipped);

// What the user is told after a reading: the over-5000 line first, then the skipped-fields
// line, then the field too long to read, joined by a line feed; empty when there is nothing
// to tell.
std::string readingMessage(const PasteResult& result);

// The reading of pasted or file text as a stream, in chunks of any size. Lines end with CR LF,
// a lone LF or a lone CR; fields are separated by TAB. An empty line ends the whole reading
// and an empty field ends its line. A field in which no number begins (a heading, a note,
// blanks) is skipped and counted; a field that begins with a number is read by the lenient
// parse ("12abc" is 12). The first 5000 values are kept, the rest only counted. A field
// longer than any number can be (64 KiB) ends the reading there, so that a text without
// separators is never held whole.
class FieldReader {
public:
    // More text. Text after the reading has ended is ignored.
    void feed(std::string_view chunk);
    // The end of the text: a last line without a line end is read.
    void finish();
    // An empty line has ended the reading: nothing after it can change the result.
    bool ended() const { return ended_; }

    const std::vector<double>& values() const { return values_; }
    const PasteResult& result() const { return result_; }

    // Keeps the text of each field whose value is kept, as it was read (for the record of a
    // study); off unless asked for before the first feed.
    void keepTexts() { keepTexts_ = true; }
    const std::vector<std::string>& texts() const { return texts_; }

private:
    void takeField(std::string_view field);

    std::vector<double> values_;
    std::vector<std::string> texts_;
    bool keepTexts_ = false;
    PasteResult result_;
    std::string field_;  // the start of a field that goes on in the next chunk
    bool lineHasCharacters_ = false;
    bool restOfLineIgnored_ = false;
    bool afterCr_ = false;
    bool ended_ = false;
};

// ReadPasteBuffer: rebuilds the data set from the whole text of the paste buffer (read as
// FieldReader reads it) and shows it in the grid. Since the data are new measured values, it
// clears the transformation state (Lambda, LambdaShown, the comment line).
PasteResult ReadPasteBuffer(AnalysisStore& store, std::string_view text, GridSink& grid);

// Writes measured values (at most 5000) as the new data set: SortedValues(0..n-1),
// DataValues and AnalysisValues(1..n), DataCount = WorkCount = n; no transformation; shown in
// the grid.
void storeMeasuredValues(AnalysisStore& store, const std::vector<double>& values, GridSink& grid);

// Shows the data set in the grid: DataValues(1..WorkCount) at full precision in the cells of
// the first 1000 positions, the cells of the positions from WorkCount on emptied, the count
// label, the current cell at row 1, column 1.
void showDataSet(const AnalysisStore& store, GridSink& grid);

// The data set carries no transformation any more: Lambda and LambdaShown the empty text, the
// kept untransformed values dropped, the comment line emptied.
void forgetTransformation(AnalysisStore& store, GridSink& grid);

// Restores the data set as measured (the values before the first transformation, whether they
// came from a paste or a generator; the data set as it stands when it is not transformed, with
// DataCount = WorkCount, so empty after New), forgets the transformation and shows the data set.
void restoreMeasuredDataSet(AnalysisStore& store, GridSink& grid);

// FLSET: writes AnalysisValues(1..WorkCount) rounded to 4 significant digits into the grid
// and DataValues; AnalysisValues stays unrounded.
void FLSET(AnalysisStore& store, GridSink& grid);

// The data side of New: WorkCount 0, slots 0..1000 of the three buffers 0, no transformation.
// (The window empties its paste buffer, grid cells and labels itself.)
void newDataSet(AnalysisStore& store);

}  // namespace kijunchi
