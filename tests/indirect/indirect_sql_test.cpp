// The query of docs/indirect-sql.md, run by sqlite3 on a generated results table, gives the
// summary whose pooled estimate is the raw extract's: the same partitions, the same value →
// count tables, the same limits.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "indirect/extract.h"
#include "indirect/truncated_fit.h"
#include "support/temp_files.h"

namespace kijunchi {
namespace {

TEST(IndirectSql, TheDocumentedQueryGivesTheRawExtractsEstimate) {
    if (std::system("command -v sqlite3 >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "sqlite3 is not installed (apt-get install sqlite3): the query is not run";
    const std::string doc =
        testing::TempFolder::read(std::string(KIJUNCHI_SOURCE_DIR) + "/docs/indirect-sql.md");
    const auto start = doc.find("```sql\n");
    ASSERT_NE(start, std::string::npos);
    const auto end = doc.find("```", start + 7);
    ASSERT_NE(end, std::string::npos);
    const std::string query = doc.substr(start + 7, end - start - 7);

    // Results of 12000 patients, a third of them seen two or three times on dates in and around
    // 2024 (some on the same day, later ones first in the file), with the rows every filter
    // leaves out: inpatients, other years, ages outside 18–120, no sex, no value, no patient.
    testing::TempFolder folder;
    std::mt19937 random(34);
    std::uniform_int_distribution<int> day(1, 28), month(1, 12), coin(0, 99);
    std::lognormal_distribution<double> healthy(1.5, 0.12), ill(2.1, 0.3);
    std::string csv = "result_id,patient_id,result_date,sex,age,setting,value_text\n";
    int id = 0;
    for (int p = 0; p < 12000; ++p) {
        const int visits = p % 3 == 0 ? 2 + p % 2 : 1;
        const std::string sex = coin(random) < 2 ? "" : p % 2 ? "女" : "男";
        const int age = p % 50 == 0 ? 121 : 12 + (p * 7919) % 69;
        for (int v = 0; v < visits; ++v) {
            const int y = coin(random), m = month(random), d = day(random);
            const bool sameDay = v > 0 && coin(random) < 30;
            char date[16];
            std::snprintf(date, sizeof date, "%04d-%02d-%02d",
                          y < 5   ? 2023
                          : y < 8 ? 2025
                                  : 2024,
                          sameDay ? 6 : m, sameDay ? 15 : d);
            const int kind = coin(random);
            const bool sick = coin(random) < 12;
            const double x = sick ? ill(random) : healthy(random);
            char text[16];
            std::snprintf(text, sizeof text, "%.1f", x);
            std::string value = text;
            if (kind < 2)
                value = "<3";
            else if (kind < 3)
                value = "";
            else if (kind < 5)
                value = " " + value + "0";  // " 4.10": the value 4.1
            const std::string patient = coin(random) < 1 ? "" : "P" + std::to_string(p);
            const char* setting = coin(random) < 15 ? "入院" : "外来";
            csv += std::to_string(++id) + "," + patient + "," + date + "," + sex + "," +
                   std::to_string(age) + "," + setting + "," + value + "\n";
        }
    }
    const std::string extract = folder.write("extract.csv", csv);
    const std::string script = folder.write(
        "summary.sql",
        "CREATE TABLE results (result_id INTEGER, patient_id TEXT, result_date TEXT, sex TEXT,"
        " age REAL, setting TEXT, value_text TEXT);\n"
        ".import --csv --skip 1 '" +
            extract +
            "' results\n"
            ".headers on\n.mode csv\n.output '" +
            folder.file("summary.csv") + "'\n" + query);
    const std::string command = "sqlite3 '" + folder.file("lab.db") + "' < '" + script + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    ExtractOptions raw;
    raw.valueColumn = "value_text";
    raw.groupColumn = "sex";
    raw.ageColumn = "age";
    raw.ageBands = {18, 40, 60, 120};
    raw.patientColumn = "patient_id";
    raw.firstPerPatient = true;
    raw.dateColumn = "result_date";
    raw.from = dateBound("2024-01-01", false);
    raw.to = dateBound("2024-12-31", true);
    raw.where = {{"setting", "外来"}};
    ExtractOptions pooled;
    pooled.valueColumn = "val";
    pooled.countColumn = "n";
    pooled.groupColumn = "grp";
    const ExtractResult a = readExtract({extract}, raw);
    const ExtractResult b = readExtract({folder.file("summary.csv")}, pooled);
    ASSERT_EQ(a.problem, "");
    ASSERT_EQ(b.problem, "");
    ASSERT_EQ(a.partitions.size(), 6u);
    ASSERT_EQ(b.partitions.size(), 6u);
    EXPECT_EQ(b.kept, a.kept);
    EXPECT_GT(a.laterResults, 1000);
    IndirectOptions pointOnly;
    pointOnly.resamples = -1;
    for (std::size_t i = 0; i < a.partitions.size(); ++i) {
        const auto& x = a.partitions[i];
        const auto& y = b.partitions[i];
        SCOPED_TRACE(x.label);
        EXPECT_EQ(y.label, x.label);
        EXPECT_EQ(y.counts.sorted(), x.counts.sorted());
        EXPECT_EQ(y.counts.below(), x.counts.below());
        EXPECT_GT(x.counts.censoredBelow(), 0);
        const IndirectResult ra = estimateIndirect(x.counts, pointOnly);
        const IndirectResult rb = estimateIndirect(y.counts, pointOnly);
        ASSERT_TRUE(ra.estimated()) << ra.refusal;
        EXPECT_EQ(rb.total, ra.total);
        EXPECT_EQ(rb.lower, ra.lower);
        EXPECT_EQ(rb.upper, ra.upper);
    }
}

}  // namespace
}  // namespace kijunchi
