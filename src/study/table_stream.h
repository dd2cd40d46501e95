#pragma once
// The batch and the partition study read their file through the one reader of data files.
#include "files/table_reader.h"

namespace kijunchi {

using TableStream = TableReader;

}  // namespace kijunchi
