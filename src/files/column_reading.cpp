#include "files/column_reading.h"

#include "analysis/store.h"

namespace kijunchi {

static_assert(kKeptValues == static_cast<std::size_t>(kMaxValues),
              "a data file keeps as many values as the data set holds");

ColumnReading readColumn(const DataFile& file, std::size_t column) {
    ColumnReading out;
    const DataColumn& chosen = file.columns.at(column);
    out.valuesText = columnValuesText(chosen);
    out.counts.valuesFound = chosen.count;
    out.counts.valuesKept = static_cast<int>(chosen.numbers.size());
    out.counts.fieldsSkipped = chosen.skipped;
    std::string message = readingMessage(out.counts);
    auto add = [&message](const std::string& line) {
        if (line.empty()) return;
        if (!message.empty()) message += "\n";
        message += line;
    };
    add(columnNotes(chosen));
    if (file.decimalComma) add(kDecimalCommaNotice);
    add(headingsNotice(file));
    out.message = std::move(message);
    return out;
}

}  // namespace kijunchi
