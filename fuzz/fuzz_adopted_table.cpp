// Tables of adopted intervals on arbitrary bytes, read from memory and from a file: the two
// readings agree; a refusal is one line that names the file; an accepted table holds only rows
// whose limits and ages are finite and ordered, whose names and sources hold no TAB or line end,
// and no two rows that no partition could tell apart. A row is then chosen by its analyte, sex
// and age, and verified against a fixed sample; the verification's text holds no non-finite
// number and no line end from the table.
//
// Input layout: byte 0 chooses the row whose analyte is looked up (its low four bits), the sex
// (bits 4-5: none, male, female, none) and the age (bits 6-7: none, the row's lower age, 40,
// 10^6); the rest is the table.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adopted/adopted_check.h"
#include "adopted/adopted_table.h"
#include "fuzz_checks.h"
#include "study/study_text.h"
#include "study/verification.h"

using namespace kijunchi;
using namespace kijunchi::fuzz;

namespace {

bool holdsBreak(std::string_view text) {
    return text.find_first_of("\t\r\n") != std::string_view::npos;
}

// 20 values, 8.0 to 17.5 by 0.5: a sample the verification always counts.
const std::vector<double>& sample() {
    static const std::vector<double> values = [] {
        std::vector<double> v;
        for (int i = 0; i < 20; ++i) v.push_back(8.0 + 0.5 * i);
        return v;
    }();
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const unsigned choice = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const AdoptedTable table = parseAdoptedTable(bytes, "t.csv");
    const std::string path = writeInputFile("adopted", bytes);
    const AdoptedTable fromFile = loadAdoptedTable(path);
    require(fromFile.problem.empty() == table.problem.empty(), "a file reads as its bytes do",
            table.problem + " | " + fromFile.problem);

    if (!table.problem.empty()) {
        require(table.problem.find("t.csv") != std::string::npos, "a refusal names the file",
                table.problem);
        require(table.problem.find_first_of("\r\n") == std::string::npos, "a refusal is one line",
                table.problem);
        requireCleanText(table.problem, "the refusal", bytes);
        return 0;
    }
    require(fromFile.rows.size() == table.rows.size(), "a file gives the rows its bytes give");
    require(!table.rows.empty() && table.rows.size() <= kMaxAdoptedRows,
            "an accepted table has rows, and not too many");
    for (const AdoptedRow& r : table.rows) {
        requireFinite(r.lower, "a lower limit");
        requireFinite(r.upper, "an upper limit");
        require(r.lower < r.upper, "lower below upper");
        if (r.ageLow) require(std::isfinite(*r.ageLow) && *r.ageLow >= 0, "a lower age");
        if (r.ageHigh) require(std::isfinite(*r.ageHigh) && *r.ageHigh >= 0, "an upper age");
        if (r.ageLow && r.ageHigh) require(*r.ageLow < *r.ageHigh, "ages in order");
        require(!r.analyte.empty(), "a row names its analyte");
        require(!holdsBreak(r.analyte) && !holdsBreak(r.unit) && !holdsBreak(r.source),
                "names and sources hold no TAB or line end", r.analyte + "|" + r.source);
    }

    // The row chosen: its analyte finds it, and no other row of that name shares its sex and ages.
    const AdoptedRow& pick = table.rows[(choice & 15u) % table.rows.size()];
    const auto named = findAnalyte(table, pick.analyte);
    bool found = false;
    for (const AdoptedRow* r : named) {
        found = found || r == &pick;
        require(r == &pick || r->sex != pick.sex || r->ageLow != pick.ageLow ||
                    r->ageHigh != pick.ageHigh,
                "no two rows alike", pick.analyte);
    }
    require(found, "an analyte's name finds its row", pick.analyte);

    const unsigned sexBits = (choice >> 4) & 3u;
    const std::optional<AdoptedSex> sex = sexBits == 1   ? std::optional(AdoptedSex::Male)
                                          : sexBits == 2 ? std::optional(AdoptedSex::Female)
                                                         : std::nullopt;
    const unsigned ageBits = choice >> 6;
    const std::optional<double> age = ageBits == 1   ? pick.ageLow
                                      : ageBits == 2 ? std::optional(40.0)
                                      : ageBits == 3 ? std::optional(1e6)
                                                     : std::nullopt;
    std::string reason;
    const AdoptedRow* row = verificationRowAtAge(table, pick.analyte, sex, age, reason);
    require(row != nullptr || !reason.empty(), "no row without a reason");
    const Verification v = verifyRow(table, row, reason, sample());
    if (row && v.refusal.empty()) {
        require(v.lower == row->lower && v.upper == row->upper, "the row's limits verified");
        require(v.n == static_cast<int>(sample().size()), "every value counted");
        require(!holdsBreak(v.source), "the source is one cell", v.source);
        const AdoptedComparison c = compareWithAdopted(row->lower, row->upper, {10, 15, 1, 0, ""});
        requireCleanText(c.overallText() + c.source, "the comparison", bytes);
    }
    requireCleanText(verificationText(v), "the verification", bytes);
    return 0;
}
