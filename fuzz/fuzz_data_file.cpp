// readDataText on arbitrary bytes (and readTableFile on bytes that begin as a workbook, through
// a file): it never fails other than by its problems, and what it gives
// is consistent: every column has a heading, the values of a column are number texts that the
// paste reading takes back one for one (no TAB or line end inside, none skipped), and the count
// of values and skipped fields is the same for every column (one field per row and column).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "analysis/number_text.h"
#include "files/data_file.h"
#include "files/table_file.h"
#include "fuzz_checks.h"
#include "input/paste_reader.h"

using namespace kijunchi;
using namespace kijunchi::fuzz;

namespace {

// A workbook is read from a file: the bytes are written to one of this process's own.
DataFileResult readWorkbookBytes(std::string_view bytes) {
    const std::string path = writeInputFile("book", bytes);
    TableFileRead read = readTableFile(path);
    std::remove(path.c_str());
    if (read.read.problem == FileProblem::Spreadsheet)
        require(!read.refusal.empty(), "a refused workbook says why");
    return std::move(read.read);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const DataFileResult read =
        workbookKind(bytes) != WorkbookKind::None ? readWorkbookBytes(bytes) : readDataText(bytes);
    if (read.problem != FileProblem::None) {
        require(read.problem != FileProblem::Cancelled, "no reading is cancelled unasked");
        require(!fileProblemMessage(read.problem, "f").empty(), "every problem has a message");
        return 0;
    }
    const auto& columns = read.file.columns;
    require(!columns.empty(), "a file with data has a column");
    const auto fields = [](const DataColumn& c) {
        return c.count + c.skipped + c.malformed + c.outOfRange;
    };
    const std::int64_t rows = fields(columns.front());
    for (const DataColumn& column : columns) {
        require(!column.heading.empty(), "every column has a heading");
        require(fields(column) == rows, "every column has one field per row");
        require(static_cast<std::int64_t>(column.numbers.size()) ==
                    std::min<std::int64_t>(column.count, kKeptValues),
                "the first values are kept, the rest counted");
        for (const std::string& number : column.numbers) {
            require(number.find_first_of("\t\r\n") == std::string::npos,
                    "a value text holds no TAB or line end", number);
            require(hasLeadingNumber(number), "a value text begins with a number", number);
        }
        FieldReader reader;
        reader.feed(columnValuesText(column));
        reader.finish();
        require(reader.result().valuesFound == static_cast<std::int64_t>(column.numbers.size()),
                "the paste reading takes every value back");
        require(reader.result().fieldsSkipped == 0, "the paste reading skips none of them");
        for (std::size_t i = 0; i < reader.values().size(); ++i) {
            const double expected = lenientNumber(column.numbers[i]);
            require(reader.values()[i] == expected || (expected != expected),
                    "the paste reading reads each value as the file did", column.numbers[i]);
        }
    }
    return 0;
}
