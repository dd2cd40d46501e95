#pragma once
// A column of a data file as the data set takes it: the paste text of its values, the counts
// and what the user is told. The desktop program's open and kijunchi-report --column read a
// column through this one step.
#include <cstddef>
#include <string>

#include "files/data_file.h"
#include "input/paste_reader.h"

namespace kijunchi {

struct ColumnReading {
    std::string valuesText;  // the kept values one per line (CR LF), for the paste buffer
    PasteResult counts;      // every number of the column, the kept ones, the skipped fields
    std::string message;     // the lines to tell, joined by LF; empty when there is nothing
};

// The column's values as a paste of them reads them, with the file's counts and notes: more
// than 5000 values, fields without a number, the column's reading notes, the decimal comma,
// a heading row that holds numbers.
ColumnReading readColumn(const DataFile& file, std::size_t column);

}  // namespace kijunchi
