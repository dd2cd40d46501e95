#include "analysis/distributions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kijunchi {
namespace {

// Expected values from R 4.2 (pnorm, pchisq, pbinom, qt, qnorm with lower.tail = FALSE where
// an upper tail is meant), printed to 17 digits.
TEST(Distributions, AgreeWithRFarIntoTheTails) {
    struct Case {
        const char* what;
        double got;
        double want;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"2(1-Φ(0.5))", 2 * normalUpperTail(0.5), 6.1707507745197387e-01},
        {"2(1-Φ(1.96))", 2 * normalUpperTail(1.96), 4.9995790296440856e-02},
        {"2(1-Φ(8))", 2 * normalUpperTail(8), 1.2441921148543570e-15},
        {"2(1-Φ(14.4))", 2 * normalUpperTail(14.4), 5.1743518508044993e-47},
        {"Q3(7.815)", chiSquareUpperProbability(3, 7.815), 4.9993902974883903e-02},
        {"Q3(400)", chiSquareUpperProbability(3, 400), 2.2138865931011180e-86},
        {"Q3(1.6e11)", chiSquareUpperProbability(3, 1.6e11), 0},
        {"Q3(∞)", chiSquareUpperProbability(3, inf), 0},
        {"Q1(1000)", chiSquareUpperProbability(1, 1000), 1.7958327848007259e-219},
        {"P(B≤3), n 120", binomialLowerTail(3, 120, 0.025), 6.4724385628412118e-01},
        {"P(B≤20), n 5000", binomialLowerTail(20, 5000, 0.025), 7.1083083409416262e-32},
        {"P(B≤1200), n 60000", binomialLowerTail(1200, 60000, 0.025), 2.6339055154758119e-16},
        {"P(X≥23), n 40", binomialUpperTail(23, 40, 0.05), 4.5933724224534433e-20},
        {"t(0.975, 19)", studentTQuantile(0.975, 19), 2.0930240544083092},
        {"t(0.025, 119)", studentTQuantile(0.025, 119), -1.9800998764569204},
        {"t(0.95, 4.5)", studentTQuantile(0.95, 4.5), 2.0655758888785236},
        {"Φ⁻¹(1e-300)", normalQuantile(1e-300), -3.7047096299361201e+01},
        {"Φ⁻¹(0.025)", normalQuantile(0.025), -1.9599639845400538},
        {"ln Φ(-40)", logNormalLowerTail(-40), -804.6084420137538},
    };
    for (const Case& c : cases) {
        if (c.want == 0)
            EXPECT_EQ(c.got, 0) << c.what;
        else
            EXPECT_NEAR(c.got, c.want, std::fabs(c.want) * 1e-12) << c.what;
    }
    EXPECT_TRUE(std::isnan(normalQuantile(0)));
    EXPECT_EQ(binomialUpperTail(0, 10, 0.5), 1);
    EXPECT_EQ(binomialUpperTail(11, 10, 0.5), 0);
}

}  // namespace
}  // namespace kijunchi
