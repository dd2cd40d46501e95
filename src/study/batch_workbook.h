#pragma once
// The batch table saved as a file, whole or not at all: each is written to a temporary file in
// the same folder and renamed over the target only when complete, so that a failed write leaves
// an earlier file as it was.
#include <string>
#include <string_view>
#include <vector>

#include "study/batch.h"

namespace kijunchi {

// One sheet "一括評価" of an .xlsx workbook (libxlsxwriter): the headings in bold and frozen,
// figures as numbers rounded as TSV shows them, counts as numbers, the columns as wide as their
// widest text. An empty string when written, else why not, in Japanese.
std::string writeBatchWorkbook(const std::string& path, const std::vector<BatchRow>& rows,
                               bool grouped);

// A table given as TSV (a heading line, CR LF line ends) as one sheet of an .xlsx workbook,
// the headings in bold and frozen: a cell that is a number as a whole is written as a number,
// any other as a text. The same kind of answer.
std::string writeTsvWorkbook(const std::string& path, const std::string& sheetName,
                             std::string_view tsv);

// Writes bytes to path whole or not at all; the same kind of answer.
std::string writeFileWhole(const std::string& path, std::string_view bytes);

}  // namespace kijunchi
