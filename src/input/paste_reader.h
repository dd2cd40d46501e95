#pragma once
// Reading pasted text into the data set, and the other writers of the data set on the input
// side: New and the grid refresh.
#include <string>
#include <string_view>

#include "analysis/store.h"
#include "input/grid_sink.h"

namespace kijunchi {

struct PasteResult {
    int valuesFound = 0;  // every value the text holds, also beyond the capacity
    int valuesKept = 0;   // the new DataCount (at most 5000)
    bool truncated() const { return valuesFound > valuesKept; }
};

// The message for a paste with more than 5000 values.
std::string tooManyValuesMessage(int valuesFound);

// ReadPasteBuffer: rebuilds the data set from the whole text of the paste buffer. Lines end
// with CR LF (a lone LF counts as CR LF), fields are separated by TAB; an empty line ends the
// reading, an empty field ends its row. Writes the grid for the first 1000 values, the count
// label, and, since the data are new measured values, clears the transformation state
// (Lambda, LambdaShown, the comment line).
PasteResult ReadPasteBuffer(AnalysisStore& store, std::string_view text, GridSink& grid);

// FLSET: writes AnalysisValues(1..WorkCount) rounded to 4 significant digits into the grid
// and DataValues; AnalysisValues stays unrounded.
void FLSET(AnalysisStore& store, GridSink& grid);

// The data side of New: WorkCount 0, slots 0..1000 of the three buffers 0, Lambda the empty
// text. (The window empties its paste buffer, grid cells and labels itself.)
void NewDataSet(AnalysisStore& store);

}  // namespace kijunchi
