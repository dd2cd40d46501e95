#include "evaluation/normality_tests.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/distributions.h"
#include "support/data_set.h"

namespace kijunchi {
namespace {

// exp(0.3·z) and z at the normal scores z = Φ⁻¹((i − 0.5)/5000): the same values in R and here.
std::vector<double> scores5000(bool skewed) {
    std::vector<double> values;
    for (int i = 1; i <= 5000; ++i) {
        const double z = normalQuantile((i - 0.5) / 5000);
        values.push_back(skewed ? std::exp(0.3 * z) : z);
    }
    return values;
}

struct Case {
    std::string name;
    std::vector<double> values;
};

std::vector<Case> cases() {
    std::vector<double> logNormal = {28,   17,   58.3, 22.5, 39.9, 25.8, 42,   23.2, 16.1, 39,
                                     10.4, 26.5, 8.9,  6.6,  15.4, 17.9, 46.4, 21.3, 18.8, 30.6,
                                     23.5, 60.4, 24.9, 10.7, 29.1, 22,   8.4,  6,    10.7, 13,
                                     20,   33.4, 16,   14.6, 17,   14,   16.4, 17.4, 12,   12.1};
    std::vector<double> logs;
    for (const double v : logNormal) logs.push_back(std::log(v));
    return {
        // Serum calcium of 240 adults, CLSI EP28-A3c Table 4 (tests/data/calcium_240.txt).
        {"calcium", testing::testDataValues("calcium_240.txt")},
        {"skewed 25", testing::testDataValues("skewed_25.txt")},
        // R: set.seed(13); round(exp(rnorm(40, 3, 0.6)), 1), as measured and after ln.
        {"lognormal 40", logNormal},
        {"lognormal 40, ln", logs},
        // R: set.seed(7); round(rgamma(60, 3, 0.5), 2).
        {"gamma 60", {14.85, 1.93, 7.9,  12.87, 4.68, 7.65,  4.64, 15.65, 12.79, 6.59, 2.57, 8.76,
                      7.88,  4.66, 7.48, 9.98,  1.57, 12.47, 7.01, 6.08,  4.13,  4.17, 5.03, 6.73,
                      6.38,  4.86, 3.38, 6.02,  5.55, 4.52,  9.6,  3.03,  1.53,  3.84, 8.29, 4.98,
                      3.81,  7.55, 6.64, 1.27,  6.1,  7.87,  8.52, 4.79,  6.87,  7.48, 6.06, 9.12,
                      7.73,  9.31, 9.78, 7.46,  6.46, 2.51,  7,    10.57, 12.51, 9.97, 2.71, 4.8}},
        // R: set.seed(2); round(rnorm(30, 10, 2), 1).
        {"normal 30",
         {8.2, 10.4, 13.2, 7.7, 9.8,  10.3, 11.4, 9.5,  14,   9.7, 10.8, 12, 9.2, 7.9,  13.6,
          5.4, 11.8, 10.1, 12,  10.9, 14.2, 7.6,  13.2, 13.9, 10,  5.1,  11, 8.8, 11.6, 10.6}},
        {"ten", {4.2, 5.1, 3.9, 6.3, 5.5, 4.8, 7.9, 5.0, 4.4, 5.7}},
        {"eight", {2.1, 3.4, 2.9, 5.0, 3.1, 2.2, 3.3, 2.8}},
        {"skewed scores 5000", scores5000(true)},
    };
}

// Relative agreement well beyond the 4 significant digits shown.
void expectClose(double actual, double expected, const char* what) {
    EXPECT_NEAR(actual, expected, 1e-7 * std::fabs(expected)) << what;
}

TEST(NormalDistribution, QuantilesAgreeWithR) {
    // R: qnorm(c(1e-300, 1e-10, 0.02, 0.3, 0.5, 0.97, 1 - 1e-12)).
    const double p[] = {1e-300, 1e-10, 0.02, 0.3, 0.5, 0.97, 1 - 1e-12};
    const double q[] = {-37.04709629936120052,
                        -6.36134090240405570,
                        -2.05374891063182252,
                        -0.52440051270804067,
                        0.0,
                        1.88079360815125041,
                        7.03448691004783555};
    for (int i = 0; i < 7; ++i)
        EXPECT_NEAR(normalQuantile(p[i]), q[i], 1e-13 * (1 + std::fabs(q[i])));
    // ln Φ far in the tail, where Φ underflows: R pnorm(-40, log.p = TRUE) = -804.6084420137538.
    EXPECT_NEAR(logNormalLowerTail(-40), -804.6084420137538, 1e-9);
    EXPECT_NEAR(logNormalLowerTail(-29.9), std::log(0.5 * std::erfc(29.9 / std::sqrt(2.0))), 1e-9);
}

TEST(ShapiroWilk, AgreesWithRsShapiroTest) {
    // R 4.2: shapiro.test(x) (W, p) for the data sets above.
    const double expected[][2] = {
        {0.984881621826, 0.0119505537004},   {0.798691729807, 0.000216214303869},
        {0.880327642918, 0.000537159694011}, {0.989879485515, 0.973076077547},
        {0.965130645607, 0.084059200753},    {0.965654125843, 0.428036967504},
        {0.913560303707, 0.306352687858},    {0.877939794341, 0.179958674659},
        {0.955968756835, 2.07813396055e-36}};
    const auto all = cases();
    for (std::size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(all[i].name);
        const auto result = shapiroWilk(all[i].values);
        ASSERT_TRUE(result);
        expectClose(result->w, expected[i][0], "W");
        expectClose(result->p, expected[i][1], "p");
    }
    // The smallest samples: n = 3 has an exact distribution, n = 5 the small-sample branch.
    // R: W = 0.96429, p = 0.6369; W = 0.92398, p = 0.5559.
    const auto three = shapiroWilk(std::vector<double>{1, 2, 4});
    ASSERT_TRUE(three);
    EXPECT_NEAR(three->w, 0.96429, 5e-6);
    EXPECT_NEAR(three->p, 0.6369, 5e-5);
    const auto five = shapiroWilk(std::vector<double>{2.1, 3.4, 2.9, 5.0, 3.1});
    ASSERT_TRUE(five);
    EXPECT_NEAR(five->w, 0.92398, 5e-6);
    EXPECT_NEAR(five->p, 0.5559, 5e-5);
    // Normal scores: W = 0.999988925441, p = 1 (R).
    const auto scores = shapiroWilk(scores5000(false));
    ASSERT_TRUE(scores);
    expectClose(scores->w, 0.999988925441, "W");
    EXPECT_NEAR(scores->p, 1.0, 1e-9);
}

TEST(ShapiroWilk, RefusesWhatItCannotTest) {
    EXPECT_FALSE(shapiroWilk(std::vector<double>{1, 2}));
    EXPECT_FALSE(shapiroWilk(std::vector<double>{3, 3, 3, 3}));
    EXPECT_FALSE(shapiroWilk(std::vector<double>(5001, 1.0)));
    // Order does not matter, nor a shift and scale of the values.
    const auto a = shapiroWilk(std::vector<double>{5, 1, 4, 2, 3, 9});
    const auto b = shapiroWilk(
        std::vector<double>{1e9 + 1e3, 1e9 + 9e3, 1e9 + 2e3, 1e9 + 4e3, 1e9 + 3e3, 1e9 + 5e3});
    ASSERT_TRUE(a && b);
    EXPECT_NEAR(a->w, b->w, 1e-12);
    // Values at the edge of the doubles: the same W and A² as for 1 .. 6 and 9 scaled down.
    const auto huge = shapiroWilk(std::vector<double>{5e307, -1.7e308, 4e307, 2e307, 3e307, 9e307});
    const auto small = shapiroWilk(std::vector<double>{5, -17, 4, 2, 3, 9});
    ASSERT_TRUE(huge && small);
    EXPECT_NEAR(huge->w, small->w, 1e-12);
    EXPECT_FALSE(shapiroWilk(std::vector<double>{1, 2, std::nan(""), 4}));
}

TEST(AndersonDarling, AgreesWithNortest) {
    // R: nortest::ad.test(x) (A², p) and A²·(1 + 0.75/n + 2.25/n²), for the data sets above;
    // the p-values cover all five pieces of the formula.
    const double expected[][3] = {{1.47902248632, 1.4837022059, 0.000796080401816},
                                  {1.6771958629, 1.73354964389, 0.000194080351484},
                                  {1.45330328886, 1.48259643328, 0.000801072964759},
                                  {0.110395566058, 0.112620726686, 0.992427280789},
                                  {0.523526189317, 0.530397470552, 0.17550382974},
                                  {0.257088113008, 0.264158036115, 0.697457780317},
                                  {0.35595940238, 0.390665444112, 0.381146169487},
                                  {0.453852284216, 0.512356680228, 0.194575082482},
                                  {44.002947389, 44.0095517914, 3.7e-24}};
    const auto all = cases();
    for (std::size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(all[i].name);
        const auto result = andersonDarling(all[i].values);
        ASSERT_TRUE(result);
        expectClose(result->a2, expected[i][0], "A²");
        expectClose(result->corrected, expected[i][1], "corrected A²");
        expectClose(result->p, expected[i][2], "p");
    }
    EXPECT_FALSE(andersonDarling(std::vector<double>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_FALSE(andersonDarling(std::vector<double>(10, 2.5)));
    const auto huge =
        andersonDarling(std::vector<double>{1e308, -1e308, 5e307, 0, 1, 2e307, 3e307, -4e307});
    const auto small =
        andersonDarling(std::vector<double>{1e8, -1e8, 5e7, 0, 1e-300, 2e7, 3e7, -4e7});
    ASSERT_TRUE(huge && small);
    EXPECT_NEAR(huge->a2, small->a2, 1e-9);
}

// The same data sets through R itself, where R with nortest is installed.
TEST(NormalityTestsAgainstR, SameFiguresAsRunningR) {
    if (std::system("Rscript -e 'library(nortest)' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "Rscript with the nortest package is not installed";
    const auto dir = std::filesystem::temp_directory_path() / "kijunchi-normality-r";
    std::filesystem::create_directories(dir);
    const auto data = dir / "values.txt";
    const auto out = dir / "out.txt";
    const auto all = cases();
    {
        std::ofstream file(data);  // one data set per line
        file.precision(17);
        for (const Case& c : all) {
            for (const double v : c.values) file << v << ' ';
            file << '\n';
        }
    }
    const std::string command =
        "Rscript -e 'for (line in readLines(\"" + data.string() +
        "\")) { x <- scan(text = line, quiet = TRUE); s <- shapiro.test(x); "
        "a <- nortest::ad.test(x); cat(sprintf(\"%.15g\", c(s$statistic, s$p.value, "
        "a$statistic, a$p.value)), \"\\n\") }' > " +
        out.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(out);
    for (const Case& c : all) {
        SCOPED_TRACE(c.name);
        double w, pw, a2, pa;
        ASSERT_TRUE(in >> w >> pw >> a2 >> pa);
        const auto sw = shapiroWilk(c.values);
        const auto ad = andersonDarling(c.values);
        ASSERT_TRUE(sw && ad);
        expectClose(sw->w, w, "W");
        expectClose(sw->p, pw, "p of W");
        expectClose(ad->a2, a2, "A²");
        expectClose(ad->p, pa, "p of A²");
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kijunchi
