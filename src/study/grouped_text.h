#pragma once
// Pasted text of two columns, value and group, one value a line (TAB between the columns,
// CR LF, LF or a lone CR at the end of a line). A first line whose value holds no digit is a
// heading.
#include <string>
#include <string_view>
#include <vector>

namespace kijunchi {

struct GroupedValues {
    std::vector<double> values;
    std::vector<std::string> labels;         // one per value
    std::string valueHeading, groupHeading;  // empty when the text had no heading line
    int skipped = 0;  // lines whose value was not a number or whose group was empty
    // "数値でない欄3個を読み飛ばしました。" and the like; empty when nothing was skipped.
    std::string message;
};

GroupedValues readGroupedText(std::string_view text);

}  // namespace kijunchi
