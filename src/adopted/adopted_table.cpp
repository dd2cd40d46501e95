#include "adopted/adopted_table.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <tuple>

#include "analysis/number_text.h"
#include "files/data_file.h"
#include "files/table_reader.h"

namespace kijunchi {

namespace {

constexpr const char* kJcclsSource =
    "JCCLS 基準範囲共用化委員会「日本における主要な臨床検査項目の共用基準範囲—解説と利用の"
    "手引き—」2019/01/25 修正版";

AdoptedRow jccls(std::string analyte, std::vector<std::string> others, std::string unit,
                 AdoptedSex sex, double lower, double upper) {
    AdoptedRow r;
    r.analyte = std::move(analyte);
    r.others = std::move(others);
    r.unit = std::move(unit);
    r.sex = sex;
    r.lower = lower;
    r.upper = upper;
    r.source = kJcclsSource;
    return r;
}

AdoptedTable makeJccls() {
    constexpr auto C = AdoptedSex::Common, M = AdoptedSex::Male, F = AdoptedSex::Female;
    AdoptedTable t;
    t.name = "JCCLS共用基準範囲";
    // The rows in the order of the committee's table; docs/adopted-intervals.md lists them
    // with what each was compared against.
    t.rows = {
        jccls("TP", {"総蛋白", "総タンパク"}, "g/dL", C, 6.6, 8.1),
        jccls("Alb", {"アルブミン", "ALB"}, "g/dL", C, 4.1, 5.1),
        jccls("グロブリン", {"Glb"}, "g/dL", C, 2.2, 3.4),
        jccls("A/G", {"A/G比"}, "", C, 1.32, 2.23),
        jccls("UN", {"尿素窒素", "BUN"}, "mg/dL", C, 8, 20),
        jccls("Cre", {"クレアチニン", "CRE"}, "mg/dL", M, 0.65, 1.07),
        jccls("Cre", {"クレアチニン", "CRE"}, "mg/dL", F, 0.46, 0.79),
        jccls("UA", {"尿酸"}, "mg/dL", M, 3.7, 7.8),
        jccls("UA", {"尿酸"}, "mg/dL", F, 2.6, 5.5),
        jccls("Na", {"ナトリウム"}, "mmol/L", C, 138, 145),
        jccls("K", {"カリウム"}, "mmol/L", C, 3.6, 4.8),
        jccls("Cl", {"クロール", "クロライド"}, "mmol/L", C, 101, 108),
        jccls("Ca", {"カルシウム"}, "mg/dL", C, 8.8, 10.1),
        jccls("IP", {"無機リン", "P"}, "mg/dL", C, 2.7, 4.6),
        jccls("Fe", {"鉄", "血清鉄"}, "μg/dL", C, 40, 188),
        jccls("TC", {"総コレステロール", "T-CHO", "TCHO"}, "mg/dL", C, 142, 248),
        jccls("TG", {"中性脂肪", "トリグリセライド"}, "mg/dL", M, 40, 234),
        jccls("TG", {"中性脂肪", "トリグリセライド"}, "mg/dL", F, 30, 117),
        jccls("HDL-C", {"HDLコレステロール"}, "mg/dL", M, 38, 90),
        jccls("HDL-C", {"HDLコレステロール"}, "mg/dL", F, 48, 103),
        jccls("LDL-C", {"LDLコレステロール"}, "mg/dL", C, 65, 163),
        jccls("Glu", {"グルコース", "血糖", "GLU"}, "mg/dL", C, 73, 109),
        jccls("HbA1c", {"ヘモグロビンA1c"}, "%", C, 4.9, 6.0),
        jccls("AST", {"GOT"}, "U/L", C, 13, 30),
        jccls("ALT", {"GPT"}, "U/L", M, 10, 42),
        jccls("ALT", {"GPT"}, "U/L", F, 7, 23),
        jccls("LD", {"LDH", "乳酸脱水素酵素"}, "U/L", C, 124, 222),
        jccls("ALP", {"アルカリホスファターゼ"}, "U/L", C, 106, 322),
        jccls("γ-GT", {"GGT", "γGT", "γ-GTP"}, "U/L", M, 13, 64),
        jccls("γ-GT", {"GGT", "γGT", "γ-GTP"}, "U/L", F, 9, 32),
        jccls("ChE", {"コリンエステラーゼ", "CHE"}, "U/L", M, 240, 486),
        jccls("ChE", {"コリンエステラーゼ", "CHE"}, "U/L", F, 201, 421),
        jccls("AMY", {"アミラーゼ"}, "U/L", C, 44, 132),
        jccls("CK", {"クレアチンキナーゼ", "CPK"}, "U/L", M, 59, 248),
        jccls("CK", {"クレアチンキナーゼ", "CPK"}, "U/L", F, 41, 153),
        jccls("CRP", {"C反応性蛋白"}, "mg/dL", C, 0.00, 0.14),
        jccls("T-Bil", {"総ビリルビン", "TBIL"}, "mg/dL", C, 0.4, 1.5),
        jccls("IgG", {}, "mg/dL", C, 861, 1747),
        jccls("IgA", {}, "mg/dL", C, 93, 393),
        jccls("IgM", {}, "mg/dL", M, 33, 183),
        jccls("IgM", {}, "mg/dL", F, 50, 269),
        jccls("C3", {}, "mg/dL", C, 73, 138),
        jccls("C4", {}, "mg/dL", C, 11, 31),
        jccls("WBC", {"白血球数", "白血球"}, "10^3/μL", C, 3.3, 8.6),
        jccls("RBC", {"赤血球数", "赤血球"}, "10^6/μL", M, 4.35, 5.55),
        jccls("RBC", {"赤血球数", "赤血球"}, "10^6/μL", F, 3.86, 4.92),
        jccls("Hb", {"ヘモグロビン", "血色素量", "HGB"}, "g/dL", M, 13.7, 16.8),
        jccls("Hb", {"ヘモグロビン", "血色素量", "HGB"}, "g/dL", F, 11.6, 14.8),
        jccls("Ht", {"ヘマトクリット", "HCT"}, "%", M, 40.7, 50.1),
        jccls("Ht", {"ヘマトクリット", "HCT"}, "%", F, 35.1, 44.4),
        jccls("MCV", {}, "fL", C, 83.6, 98.2),
        jccls("MCH", {}, "pg", C, 27.5, 33.2),
        jccls("MCHC", {}, "g/dL", C, 31.7, 35.3),
        jccls("PLT", {"血小板数", "血小板"}, "10^3/μL", C, 158, 348),
    };
    return t;
}

// A name as names are compared: ASCII letters lower case, full-width ASCII as half-width,
// blanks (ASCII and the ideographic space) dropped.
std::string nameKey(std::string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        // U+FF01..U+FF5E (EF BC 81 .. EF BD 9E) are the full-width forms of ! .. ~.
        if (c == 0xEF && i + 2 < name.size()) {
            const auto b1 = static_cast<unsigned char>(name[i + 1]);
            const auto b2 = static_cast<unsigned char>(name[i + 2]);
            if ((b1 == 0xBC && b2 >= 0x81 && b2 <= 0xBF) ||
                (b1 == 0xBD && b2 >= 0x80 && b2 <= 0x9E)) {
                const int code = (b1 == 0xBC ? b2 - 0x80 : b2 - 0x80 + 0x40) + 0x20;
                out += static_cast<char>(std::tolower(code));
                i += 2;
                continue;
            }
        }
        if (c == 0xE3 && i + 2 < name.size() && name[i + 1] == '\x80' && name[i + 2] == '\x80') {
            i += 2;  // the ideographic space
            continue;
        }
        if (c == ' ' || c == '\t') continue;
        out += c < 0x80 ? static_cast<char>(std::tolower(c)) : static_cast<char>(c);
    }
    return out;
}

std::string lineText(std::size_t line) {
    return std::to_string(line) + "行目";
}

}  // namespace

const AdoptedTable& jcclsTable() {
    static const AdoptedTable table = makeJccls();
    return table;
}

std::string ageBandText(const AdoptedRow& row) {
    if (!row.ageLow && !row.ageHigh) return {};
    if (!row.ageHigh) return numberText(*row.ageLow) + "歳〜";
    return (row.ageLow ? numberText(*row.ageLow) : std::string()) + "〜" +
           numberText(*row.ageHigh) + "歳";
}

std::string sexText(AdoptedSex sex) {
    return sex == AdoptedSex::Male ? "男" : sex == AdoptedSex::Female ? "女" : "共通";
}

std::optional<AdoptedSex> sexOfGroup(std::string_view group) {
    const std::string k = nameKey(group);
    for (const char* m : {"男", "男性", "m", "male", "1"})
        if (k == m) return AdoptedSex::Male;
    for (const char* f : {"女", "女性", "f", "female", "2"})
        if (k == f) return AdoptedSex::Female;
    return std::nullopt;
}

// What makes two rows the same row: the analyte's name as names are compared, the sex and the
// ages. No partition could tell two such rows apart.
using RowKey = std::tuple<std::string, AdoptedSex, std::optional<double>, std::optional<double>>;

static AdoptedTable readRows(TableReader& reader, const std::string& name) {
    AdoptedTable t;
    t.name = name;
    const char* const headings[] = {"項目",     "単位", "性別", "年齢下限",
                                    "年齢上限", "下限", "上限", "出典"};
    const auto& given = reader.headings();
    std::size_t at[8];
    for (std::size_t i = 0; i < 8; ++i) {
        const auto found = std::find(given.begin(), given.end(), std::string(headings[i]));
        if (found == given.end()) {
            t.problem = name + ": 見出し「" + headings[i] +
                        "」がありません（項目, 単位, 性別, 年齢下限, 年齢上限, 下限, 上限, "
                        "出典 の列が必要です）。";
            return t;
        }
        // Two columns of one heading: which of them holds the limits is not for the reader to
        // guess.
        if (std::find(found + 1, given.end(), std::string(headings[i])) != given.end()) {
            t.problem = name + ": 見出し「" + headings[i] + "」の列が2つ以上あります。";
            return t;
        }
        at[i] = static_cast<std::size_t>(found - given.begin());
    }
    std::map<RowKey, std::size_t> lineOf;
    std::vector<std::string_view> fields;
    while (reader.nextRow(fields)) {
        const std::string where = name + " の" + lineText(reader.recordLine()) + ": ";
        // A value under no heading: most often a "," too many (a limit written 1,234 without
        // quotes), which moves every field after it into the next column.
        for (std::size_t c = 0; c < fields.size(); ++c) {
            if (!reader.headingGiven(c) && !trimField(fields[c]).empty()) {
                t.problem = where + std::to_string(c + 1) +
                            "列目に見出しのない値があります（区切りが多すぎないか確かめて"
                            "下さい。桁区切りのある数値は \"1,234\" のように引用符で囲みます）。";
                return t;
            }
        }
        auto field = [&](int i) -> std::string_view {
            return at[i] < fields.size() ? fields[at[i]] : std::string_view();
        };
        // Names and sources are echoed in every output, one to a cell or a line: a TAB or a
        // line end in them would split it.
        for (int i : {0, 1, 2, 7}) {
            if (field(i).find_first_of("\t\r\n") != std::string_view::npos) {
                t.problem = where + headings[i] + "にタブか改行があります。";
                return t;
            }
        }
        AdoptedRow r;
        r.analyte = reader.text(field(0));
        r.unit = reader.text(field(1));
        r.source = reader.text(field(7));
        if (nameKey(r.analyte).empty()) {
            t.problem = where + "項目がありません。";
            return t;
        }
        const std::string sex = reader.text(field(2));
        if (sex.empty() || sex == "共通") {
            r.sex = AdoptedSex::Common;
        } else if (const auto s = sexOfGroup(sex)) {
            r.sex = *s;
        } else {
            t.problem = where + "性別は 男, 女, 共通 のどれかにして下さい（「" + sex + "」）。";
            return t;
        }
        for (int i : {3, 4}) {
            if (trimField(field(i)).empty()) continue;
            const auto age = reader.number(field(i));
            if (!age || !std::isfinite(*age) || *age < 0) {
                t.problem = where + headings[i] + "が0以上の数値ではありません。";
                return t;
            }
            (i == 3 ? r.ageLow : r.ageHigh) = *age;
        }
        if (r.ageLow && r.ageHigh && !(*r.ageLow < *r.ageHigh)) {
            t.problem = where + "年齢下限が年齢上限より小さくありません。";
            return t;
        }
        const auto low = reader.number(field(5)), high = reader.number(field(6));
        if (!low || !high || !std::isfinite(*low) || !std::isfinite(*high)) {
            t.problem = where + "下限と上限が数値ではありません。";
            return t;
        }
        if (!(*low < *high)) {
            t.problem = where + "下限（" + numberText(*low) + "）が上限（" + numberText(*high) +
                        "）より小さくありません。";
            return t;
        }
        r.lower = *low;
        r.upper = *high;
        if (t.rows.size() == kMaxAdoptedRows) {
            t.problem = name + ": 基準範囲の行が多すぎます（" + std::to_string(kMaxAdoptedRows) +
                        "行まで読めます）。";
            return t;
        }
        const auto [seen, added] = lineOf.emplace(
            RowKey{nameKey(r.analyte), r.sex, r.ageLow, r.ageHigh}, reader.recordLine());
        if (!added) {
            t.problem = where + lineText(seen->second) + "と項目、性別と年齢が同じです。";
            return t;
        }
        t.rows.push_back(std::move(r));
    }
    if (reader.problem() != FileProblem::None) {
        t.problem = fileProblemMessage(reader.problem(), name);
        return t;
    }
    if (t.rows.empty()) t.problem = name + ": 基準範囲の行がありません。";
    return t;
}

AdoptedTable parseAdoptedTable(std::string_view bytes, const std::string& name) {
    TableOptions options;
    options.headings = true;
    FileProblem problem = FileProblem::None;
    auto reader = TableReader::fromBytes(std::string(bytes), options, problem);
    if (!reader) {
        AdoptedTable t;
        t.name = name;
        t.problem = fileProblemMessage(problem, name);
        return t;
    }
    return readRows(*reader, name);
}

AdoptedTable loadAdoptedTable(const std::string& fileOrJccls) {
    if (nameKey(fileOrJccls) == "jccls") return jcclsTable();
    TableOptions options;
    options.headings = true;
    FileProblem problem = FileProblem::None;
    auto reader = TableReader::open(fileOrJccls, options, problem);
    if (!reader) {
        AdoptedTable t;
        t.name = fileOrJccls;
        t.problem = fileProblemMessage(problem, fileOrJccls);
        return t;
    }
    return readRows(*reader, fileOrJccls);
}

std::vector<const AdoptedRow*> findAnalyte(const AdoptedTable& table, std::string_view name) {
    const std::string key = nameKey(name);
    std::vector<const AdoptedRow*> rows;
    if (key.empty()) return rows;
    for (const auto& r : table.rows) {
        bool named = nameKey(r.analyte) == key;
        for (const auto& o : r.others) named = named || nameKey(o) == key;
        if (named) rows.push_back(&r);
    }
    return rows;
}

const AdoptedRow* matchPartition(const std::vector<const AdoptedRow*>& rows,
                                 std::optional<AdoptedSex> sex, std::optional<double> ageLow,
                                 std::optional<double> ageHigh, std::string& reason,
                                 std::size_t* fitting) {
    std::vector<const AdoptedRow*> fit;
    for (const AdoptedRow* r : rows) {
        if (r->sex != AdoptedSex::Common && (!sex || *sex != r->sex)) continue;
        if (r->ageLow || r->ageHigh) {
            if (!ageLow || !ageHigh) continue;
            if (r->ageLow && *ageLow < *r->ageLow) continue;
            if (r->ageHigh && *ageHigh > *r->ageHigh) continue;
        }
        fit.push_back(r);
    }
    // A row of the partition's own sex goes before a common one.
    if (fit.size() > 1 && sex) {
        std::vector<const AdoptedRow*> own;
        for (const AdoptedRow* r : fit)
            if (r->sex == *sex) own.push_back(r);
        if (!own.empty()) fit = own;
    }
    if (fitting) *fitting = fit.size();
    if (fit.size() == 1) return fit.front();
    if (rows.empty()) {
        reason = "採用中の基準範囲の表にこの項目がありません";
    } else if (fit.empty()) {
        bool bySex = false, byAge = false;
        for (const AdoptedRow* r : rows) {
            bySex = bySex || r->sex != AdoptedSex::Common;
            byAge = byAge || r->ageLow || r->ageHigh;
        }
        reason = bySex && !sex ? "採用中の基準範囲は性別ごとですが、この分割に性別がありません"
                 : byAge ? "この分割の性別と年齢に合う採用中の基準範囲がありません"
                         : "この分割の性別に合う採用中の基準範囲がありません";
    } else {
        reason = "この分割に合う採用中の基準範囲が" + std::to_string(fit.size()) +
                 "行あります（性別か年齢で分けて下さい）";
    }
    return nullptr;
}

}  // namespace kijunchi
