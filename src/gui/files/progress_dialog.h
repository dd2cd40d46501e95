#pragma once
// Reading a data file while the windows stay responsive: the reading runs on a worker thread,
// a progress dialog appears when it takes longer than half a second, and its cancel button
// stops it at once. Pipes, sockets and devices are refused before they are read.
#include <QString>

#include "files/data_file.h"
#include "files/table_file.h"

class QWidget;

namespace kijunchi {

// A workbook's sheet is the one sheet names (number from 1 or name; the first when empty).
TableFileRead readDataFileWithProgress(QWidget* parent, const QString& path,
                                       std::optional<GroupedColumn> grouped = std::nullopt,
                                       std::optional<bool> headings = std::nullopt,
                                       const std::string& sheet = {});

}  // namespace kijunchi
