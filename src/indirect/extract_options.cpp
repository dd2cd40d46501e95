#include "indirect/extract_options.h"

#include <array>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace kijunchi {

std::string extractFieldLabel(ExtractField field) {
    switch (field) {
        case ExtractField::ValueColumn:
            return "値の列";
        case ExtractField::CountColumn:
            return "件数の列";
        case ExtractField::GroupColumn:
            return "グループ列";
        case ExtractField::SiteColumn:
            return "施設の列";
        case ExtractField::AgeColumn:
            return "年齢の列";
        case ExtractField::AgeBands:
            return "年齢区分";
        case ExtractField::PatientColumn:
            return "患者IDの列";
        case ExtractField::FirstPerPatient:
            return "患者ごとに最初の結果";
        case ExtractField::DateColumn:
            return "日付の列";
        case ExtractField::From:
        case ExtractField::To:
            return "期間";
    }
    return {};
}

namespace {

// The message with {0}, {1} replaced by the fields' names. A name in Latin letters (an option)
// is set off by blanks from the Japanese around it, but not at the message's start nor before
// a bracket or the full stop.
std::string sentence(const char* pattern, const ExtractFieldNames& name,
                     std::initializer_list<ExtractField> fields) {
    const std::vector<ExtractField> field(fields);
    std::string out;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '{' && p[1] >= '0' && p[1] <= '9' && p[2] == '}') {
            const std::string n = name(field.at(static_cast<std::size_t>(p[1] - '0')));
            const bool latin = !n.empty() && static_cast<unsigned char>(n.front()) < 0x80;
            if (latin && !out.empty() && out.back() != ' ') out += ' ';
            out += n;
            const std::string_view next(p + 3);
            if (latin && !next.empty() && next.front() != ' ' && next.rfind("（", 0) != 0 &&
                next.rfind("。", 0) != 0)
                out += ' ';
            p += 2;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace

std::string validateExtractOptions(ExtractOptions& options, const ExtractTexts& typed,
                                   const ExtractFieldNames& name) {
    using F = ExtractField;
    // One column in two roles: the value counted as its own count, a partition by the value…
    const std::array<std::pair<F, const std::optional<std::string>*>, 6> roles{{
        {F::CountColumn, &options.countColumn},
        {F::GroupColumn, &options.groupColumn},
        {F::SiteColumn, &options.siteColumn},
        {F::AgeColumn, &options.ageColumn},
        {F::PatientColumn, &options.patientColumn},
        {F::DateColumn, &options.dateColumn},
    }};
    std::vector<std::pair<F, std::string>> columns;
    if (!options.valueColumn.empty()) columns.emplace_back(F::ValueColumn, options.valueColumn);
    for (const auto& [field, column] : roles)
        if (*column && !(*column)->empty()) columns.emplace_back(field, **column);
    for (std::size_t i = 0; i < columns.size(); ++i)
        for (std::size_t k = i + 1; k < columns.size(); ++k)
            if (columns[i].second == columns[k].second)
                return sentence("{0}と{1}に同じ列は使えません: ", name,
                                {columns[i].first, columns[k].first}) +
                       columns[i].second;
    if (typed.ageBands && !options.ageColumn)
        return sentence("{0}を使うには{1}を指定して下さい。", name, {F::AgeBands, F::AgeColumn});
    if (options.ageColumn && !typed.ageBands)
        return sentence("{0}には{1}（0,18,40,60,120 など）を指定して下さい。", name,
                        {F::AgeColumn, F::AgeBands});
    if (typed.ageBands) {
        std::string problem;
        const auto bands = parseAgeBands(*typed.ageBands, problem);
        if (!bands) return problem;
        options.ageBands = *bands;
    }
    if (options.firstPerPatient && !options.patientColumn)
        return sentence("{0}を使うには{1}を指定して下さい。", name,
                        {F::FirstPerPatient, F::PatientColumn});
    if (options.firstPerPatient && options.countColumn)
        return sentence("{0}（集計表）には{1}は使えません。", name,
                        {F::CountColumn, F::FirstPerPatient});
    for (const auto& [field, text, to] : {std::tuple{F::From, &typed.from, &options.from},
                                          std::tuple{F::To, &typed.to, &options.to}}) {
        if (!*text) continue;
        if (!options.dateColumn)
            return sentence("{0}を使うには{1}を指定して下さい。", name, {field, F::DateColumn});
        *to = dateBound(**text, field == F::To);
        if (!*to) return sentence("{0}の日付として読めません: ", name, {field}) + **text;
    }
    return {};
}

}  // namespace kijunchi
