#pragma once
// The extract's choices checked in one place before anything is read, for the window
// "間接法による基準範囲" and for kijunchi-report --indirect alike. Each problem is one Japanese
// sentence naming the fields concerned; the caller says how a field is named (the window by its
// labels, the command line by its options), so that neither shows the other's words.
#include <functional>
#include <optional>
#include <string>

#include "indirect/extract.h"

namespace kijunchi {

enum class ExtractField {
    ValueColumn,
    CountColumn,
    GroupColumn,
    SiteColumn,
    AgeColumn,
    AgeBands,
    PatientColumn,
    FirstPerPatient,
    DateColumn,
    From,
    To,
};

// The window's labels ("年齢の列", "年齢区分", "期間"…): words of neither route's syntax.
std::string extractFieldLabel(ExtractField field);

using ExtractFieldNames = std::function<std::string(ExtractField)>;

// What is typed rather than chosen: the age bands ("0,18,40,60,120") and the bounds of the date
// range, each nullopt when not given.
struct ExtractTexts {
    std::optional<std::string> ageBands, from, to;
};

// The first problem of the choices: a column given two roles, age bands without an age column or
// an age column without bands, bands that are not ascending numbers, the first result per patient
// without a patient column or with a count column (a summary has no patients), a date range
// without a date column, a bound that is not a date. Empty when there is none; options then holds
// the bands and the date range as readExtract takes them.
std::string validateExtractOptions(ExtractOptions& options, const ExtractTexts& typed,
                                   const ExtractFieldNames& name = extractFieldLabel);

}  // namespace kijunchi
