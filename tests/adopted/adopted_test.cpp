// The comparison with an adopted interval: the margins against hand calculation, the verdict
// on estimates whose truth is known, refused and warned estimates never judged, and the tables.
#include <gtest/gtest.h>

#include <cmath>

#include "adopted/adopted_check.h"
#include "adopted/adopted_table.h"
#include "analysis/distributions.h"
#include "indirect/adopted_columns.h"
#include "indirect/indirect_estimate.h"

namespace kijunchi {
namespace {

// Expected values from Python's statistics.NormalDist, not from this program:
// inv_cdf(0.95) · √(0.025 · 0.975 / 120) / pdf(inv_cdf(0.975)) = 1.644854 × 0.01425219 /
// 0.05844507 = 0.4011078.
TEST(Adopted, MarginsByHand) {
    EXPECT_NEAR(marginFactor(), 0.4011078, 1e-6);
    const struct {
        double lower, upper, lambda;
        double lowerLow, lowerHigh, upperLow, upperHigh;
    } cases[] = {
        // λ = 1 (the scale is x + 0): σ = 19.6 / 3.919928 = 5.000092, half-width 2.005576.
        {10.3, 29.9, 1, 8.294424, 12.305576, 27.894424, 31.905576},
        // λ = 0 (ln): σ = ln(30/13) / 3.919928 = 0.2133325, half-width 0.08556932,
        // 13·e^∓h and 30·e^∓h.
        {13, 30, 0, 11.933864, 14.161382, 27.539685, 32.680112},
    };
    for (const auto& c : cases) {
        const auto m = uncertaintyMargins(c.lower, c.upper, c.lambda);
        ASSERT_TRUE(m);
        EXPECT_NEAR(m->lower.low, c.lowerLow, 1e-4);
        EXPECT_NEAR(m->lower.high, c.lowerHigh, 1e-4);
        EXPECT_NEAR(m->upper.low, c.upperLow, 1e-4);
        EXPECT_NEAR(m->upper.high, c.upperHigh, 1e-4);
    }
    EXPECT_FALSE(uncertaintyMargins(0, 0.14, 0));  // ln 0: no margin
    EXPECT_FALSE(uncertaintyMargins(5, 4, 1));
}

// Estimated limits [80, 120] on λ = 1: their margins are ±0.4011078·40/3.919928 = ±4.09301;
// an adopted interval of the same width has the same, so its limits may lie 8.18602 away.
// Of width 50 its margins are ±5.11627: 9.20928 away.
TEST(Adopted, VerdictOfTheOverlap) {
    const struct {
        double lower, upper;  // adopted
        Verdict v1, v2;
        const char* overall;
    } cases[] = {
        {80, 120, Verdict::Compatible, Verdict::Compatible, "適合"},
        {88.18, 128.18, Verdict::Compatible, Verdict::Compatible, "適合"},
        {88.2, 128.2, Verdict::LocalLower, Verdict::LocalLower, "要検討"},
        {70.5, 120.5, Verdict::LocalHigher, Verdict::Compatible, "要検討"},
        {80, 130, Verdict::Compatible, Verdict::LocalLower, "要検討"},
        {79, 129, Verdict::Compatible, Verdict::Compatible, "適合"},
        {80 + 40.0 / 3, 120 + 40.0 / 3, Verdict::LocalLower, Verdict::LocalLower, "要検討"},
    };
    for (const auto& c : cases) {
        const auto r = compareWithAdopted(c.lower, c.upper, {80, 120, 1, 0, ""});
        EXPECT_EQ(r.lower, c.v1) << c.lower;
        EXPECT_EQ(r.upper, c.v2) << c.upper;
        EXPECT_EQ(r.overallText(), c.overall);
    }
    EXPECT_EQ(verdictText(Verdict::LocalHigher), "要検討（自施設の値が高い）");
    const auto refused = compareWithAdopted(80, 120, {NAN, NAN, NAN, 0, "推定できません: 少ない"});
    EXPECT_EQ(refused.overallText(), "判定できません（推定できません: 少ない）");
    EXPECT_EQ(refused.lower, Verdict::NotJudged);
    // CRP 0.00–0.14 has no lower limit under ln: the adopted margins fall back to the
    // measurement scale, ±0.401108 · 0.14 / 3.919928 = ±0.014326, which overlap the estimate's
    // 0.01·e^∓0.27709 = 0.00758–0.01319 and 0.15·e^∓0.27709 = 0.1137–0.1979.
    const auto crp = compareWithAdopted(0, 0.14, {0.01, 0.15, 0, 0, ""});
    ASSERT_TRUE(crp.adoptedMargins);
    EXPECT_NEAR(crp.adoptedMargins->upper.low, 0.125674, 1e-5);
    EXPECT_EQ(crp.overall, Verdict::Compatible);
}

// Results whose non-pathological part is N(100, 10) exactly (its quantiles at (i + ½)/n) with
// 10% pathological results above, N(160, 15): the truth is [80.40, 119.60].
ValueCounts knownPopulation(int n) {
    ValueCounts counts;
    for (int i = 0; i < n; ++i) {
        const double p = (i + 0.5) / n;
        counts.add(std::round((100 + 10 * normalQuantile(p)) * 10) / 10);
        if (i % 9 == 0) counts.add(std::round((160 + 15 * normalQuantile(p)) * 10) / 10);
    }
    return counts;
}

TEST(Adopted, EstimatesOfAKnownTruth) {
    IndirectOptions options;
    options.resamples = -1;
    const IndirectResult r = estimateIndirect(knownPopulation(9000), options);
    ASSERT_TRUE(r.estimated()) << r.refusal;
    const LocalEstimate local = localEstimate(r);
    ASSERT_EQ(local.notUsable, "");
    EXPECT_EQ(compareWithAdopted(80.4, 119.6, local).overall, Verdict::Compatible);
    // A third of the width (13.07) up: the local limits are lower.
    const auto up = compareWithAdopted(93.47, 132.67, local);
    EXPECT_EQ(up.lower, Verdict::LocalLower);
    EXPECT_EQ(up.upper, Verdict::LocalLower);
    // A refused estimate and a warned one are never judged.
    IndirectResult warned = r;
    warned.caution = "注意: 限界値の90%区間が広すぎます";
    EXPECT_EQ(localEstimate(warned).notUsable, warned.caution);
    EXPECT_EQ(compareWithAdopted(80.4, 119.6, localEstimate(warned)).overall, Verdict::NotJudged);
    IndirectResult resampled = r;
    resampled.resamples = 200;
    resampled.resamplesFitted = 90;
    EXPECT_NE(localEstimate(resampled).notUsable, "");
    const IndirectResult small = estimateIndirect(knownPopulation(500), options);
    EXPECT_EQ(compareWithAdopted(80.4, 119.6, localEstimate(small)).overall, Verdict::NotJudged);
}

TEST(Adopted, TablesAndPartitions) {
    const auto& jccls = jcclsTable();
    EXPECT_EQ(findAnalyte(jccls, "ＡＳＴ").size(), 1u);
    EXPECT_EQ(findAnalyte(jccls, "got").size(), 1u);
    EXPECT_EQ(findAnalyte(jccls, "クレアチニン").size(), 2u);
    EXPECT_TRUE(findAnalyte(jccls, "PSA").empty());
    EXPECT_EQ(sexOfGroup("女性"), AdoptedSex::Female);
    EXPECT_FALSE(sexOfGroup("外来"));

    const AdoptedTable own = parseAdoptedTable(
        "出典,項目,単位,性別,年齢下限,年齢上限,下限,上限\n"
        "\"自施設, 2024\",Hb,g/dL,男,18,65,13.5,17.0\n"
        "自施設,Hb,g/dL,女,18,65,11.5,15.0\n"
        "自施設,Hb,g/dL,共通,65,,11.0,16.0\n"
        "自施設,Na,mmol/L,共通,,,138,145\n",
        "own.csv");
    ASSERT_EQ(own.problem, "");
    ASSERT_EQ(own.rows.size(), 4u);
    EXPECT_EQ(own.rows[0].source, "自施設, 2024");
    const auto hb = findAnalyte(own, "hb");
    const struct {
        std::optional<AdoptedSex> sex;
        std::optional<double> low, high;
        double lower;  // of the row matched; 0 for none
    } cases[] = {
        {AdoptedSex::Male, 18, 40, 13.5},  {AdoptedSex::Female, 40, 65, 11.5},
        {AdoptedSex::Female, 65, 120, 11}, {std::nullopt, 65, 120, 11},
        {std::nullopt, 18, 40, 0},         {AdoptedSex::Male, {}, {}, 0},
        {AdoptedSex::Male, 10, 40, 0},
    };
    for (const auto& c : cases) {
        std::string reason;
        const AdoptedRow* row = matchPartition(hb, c.sex, c.low, c.high, reason);
        EXPECT_EQ(row ? row->lower : 0, c.lower) << reason;
        EXPECT_EQ(row == nullptr, !reason.empty());
    }
    std::string reason;
    ASSERT_TRUE(matchPartition(findAnalyte(own, "Na"), std::nullopt, {}, {}, reason));

    const struct {
        const char* text;
        const char* problem;
    } bad[] = {
        {"項目,単位,性別,年齢下限,年齢上限,下限,出典\nNa,,共通,,,1,x\n", "「上限」"},
        {"項目,単位,性別,年齢下限,年齢上限,下限,上限,出典\nNa,,男女,,,1,2,x\n", "2行目"},
        {"項目,単位,性別,年齢下限,年齢上限,下限,上限,出典\nNa,,,,,1,2,x\nK,,,,,5,4,x\n", "3行目"},
        {"項目,単位,性別,年齢下限,年齢上限,下限,上限,出典\n,,,,,1,2,x\n", "項目がありません"},
    };
    for (const auto& b : bad)
        EXPECT_NE(parseAdoptedTable(b.text, "t.csv").problem.find(b.problem), std::string::npos)
            << b.text;
}

// Tables that must be refused, each with the line the user finds the fault on (counted by
// hand: blank lines and the lines of a quoted field count as lines of the file).
TEST(Adopted, HostileTablesRefusedWithTheirLine) {
    const std::string h = "項目,単位,性別,年齢下限,年齢上限,下限,上限,出典\n";
    const struct {
        std::string text;
        const char* problem;
    } bad[] = {
        {h + "\n\nNa,,,,,1,2,x\n\nK,,,,,5,4,x\n", "t.csv の6行目: 下限（5）"},
        {h + "Na,,,,,1,2,\"a\nb\"\n", "2行目: 出典にタブか改行"},
        {h + "\"N\ta\",,,,,1,2,x\n", "2行目: 項目にタブか改行"},
        {h + "Na,,,,,1,234,145,x\n", "2行目: 9列目に見出しのない値"},
        {h + "Na,,,,,138,145,x\nＮＡ,,,,,136,147,y\n", "3行目: 2行目と項目、性別と年齢が同じ"},
        {"項目,単位,性別,年齢下限,年齢上限,下限,上限,出典,下限\nNa,,,,,1,2,x,3\n",
         "見出し「下限」の列が2つ以上"},
        {h + "Na,,,,,nan,2,x\nK,,,,,1,1e400,x\n", "2行目: 下限と上限が数値ではありません"},
        {h + "Na,,,,,1,2,x\r\nK,,,,,1,inf,x\r\n", "3行目: 下限と上限が数値ではありません"},
    };
    for (const auto& b : bad)
        EXPECT_NE(parseAdoptedTable(b.text, "t.csv").problem.find(b.problem), std::string::npos)
            << parseAdoptedTable(b.text, "t.csv").problem;

    // A CR LF cut between two blocks of the reading (1 MiB) ends one line, not two: 20 rows of
    // 52,000 bytes, then a row padded so that its CR is the last byte of the first block.
    std::string big = h;
    for (int i = 0; i < 21; ++i) {
        const std::string row = "A" + std::to_string(i) + ",,,,,1,2,";
        const std::size_t pad =
            i < 20 ? 52000 : (std::size_t{1} << 20) - big.size() - row.size() - 1;
        big += row + std::string(pad, 'x') + "\r\n";
    }
    ASSERT_EQ(big[(std::size_t{1} << 20) - 1], '\r');
    big += "K,,,,,1,,x\r\n";
    EXPECT_NE(parseAdoptedTable(big, "t.csv").problem.find("の23行目"), std::string::npos)
        << parseAdoptedTable(big, "t.csv").problem;

    // More rows than a table may hold: refused, not held.
    std::string many = h;
    for (std::size_t i = 0; i <= kMaxAdoptedRows; ++i)
        many += "A" + std::to_string(i) + ",,,,,1,2,\n";
    EXPECT_NE(parseAdoptedTable(many, "t.csv").problem.find("多すぎます"), std::string::npos);

    // Read right: a limit written with thousands separators in quotes, full-width digits.
    const auto ok = parseAdoptedTable(h + "Na,,,,,\"1,234\",１２３４５,x\n", "t.csv");
    ASSERT_EQ(ok.problem, "");
    EXPECT_EQ(ok.rows[0].lower, 1234);
    EXPECT_EQ(ok.rows[0].upper, 12345);
}

}  // namespace
}  // namespace kijunchi
