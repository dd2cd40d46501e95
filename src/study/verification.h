#pragma once
// Whether a reference interval adopted from elsewhere (a manufacturer, a multicentre study)
// holds for this laboratory's own healthy subjects: count the values outside it. With 20
// values the interval is accepted when at most 2 fall outside; with any other number when the
// share outside is not significantly above 5% by the exact binomial test at the 10% level.
#include <optional>
#include <string>
#include <vector>

#include "adopted/adopted_table.h"

namespace kijunchi {

inline constexpr int kVerificationMinimum = 20;
inline constexpr double kOutsideShare = 0.05;
inline constexpr double kVerificationLevel = 0.10;

struct Verification {
    std::string refusal;  // why nothing was counted (limits, too few values); empty otherwise
    double lower = 0, upper = 0;
    int n = 0;
    int below = 0, above = 0, outside = 0;
    double share = 0;        // outside / n
    double probability = 1;  // P(X ≥ outside), X ~ Binomial(n, 0.05)
    bool byCount = false;    // n = 20: decided by the count, not the test
    bool accepted = false;
    std::string source;  // the table's row the limits come from; empty for typed limits
};

// A value equal to a limit is inside the interval.
Verification verifyInterval(double lower, double upper, const std::vector<double>& values);

// The limits as the user typed them, "LOW,HIGH" on the command line or two text boxes:
// each must be a number as a whole. Fills the refusal when they are not usable.
Verification verifyTypedInterval(const std::string& lower, const std::string& upper,
                                 const std::vector<double>& values);

// The limits of an analyte of a table of adopted intervals, for a sex (nullopt: a common row,
// or the analyte's only row) and an age band [ageLow, ageHigh) (nullopt: a row without ages).
// Fills the refusal when the table has no such row.
Verification verifyTableInterval(const AdoptedTable& table, const std::string& analyte,
                                 std::optional<AdoptedSex> sex, const std::vector<double>& values,
                                 std::optional<double> ageLow = std::nullopt,
                                 std::optional<double> ageHigh = std::nullopt);

// The row of the table verifyTableInterval takes its limits from; nullptr with the reason (in
// Japanese, ending in "。") when there is none.
const AdoptedRow* verificationRow(const AdoptedTable& table, const std::string& analyte,
                                  std::optional<AdoptedSex> sex, std::optional<double> ageLow,
                                  std::optional<double> ageHigh, std::string& reason);

// The same for the age of the subjects in years: the row whose [年齢下限, 年齢上限) holds it
// (nullopt: a row without ages). The reason says which ages the analyte's rows have when none
// holds the age, or when the rows go by age and no age is given.
const AdoptedRow* verificationRowAtAge(const AdoptedTable& table, const std::string& analyte,
                                       std::optional<AdoptedSex> sex, std::optional<double> age,
                                       std::string& reason);

// The verification against a row found above, or the reason as its refusal (row nullptr).
Verification verifyRow(const AdoptedTable& table, const AdoptedRow* row, const std::string& reason,
                       const std::vector<double>& values);

// "出典" of a verification against a table's row: the table, the row and its source document.
std::string verificationSource(const AdoptedTable& table, const AdoptedRow& row);

}  // namespace kijunchi
