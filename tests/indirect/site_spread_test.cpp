// A pool of three sites kept apart by their site column: with one site shifted by one SD, the
// between-site SD ratio and that site's shift flag it; with none shifted, nothing is flagged.
#include "indirect/site_spread.h"

#include <gtest/gtest.h>

#include <random>

#include "indirect/extract.h"
#include "support/temp_files.h"

namespace kijunchi {
namespace {

TEST(SiteSpread, AShiftedSiteIsFlagged) {
    // Each site: 3000 results, 90% N(100 + shift, 10) and 10% spread over 130–250. With site C
    // 10 (one SD) higher and equal weights, the centres are 0, 0, 1 SD: the weighted SD of the
    // centres is √((2·(1/3)² + (2/3)²)/3) = √2/3 = 0.471 SD; C is 1 SD from the median centre.
    for (const double shift : {10.0, 0.0}) {
        SCOPED_TRACE(shift);
        testing::TempFolder folder;
        std::mt19937 random(7);
        std::normal_distribution<double> normal(100, 10);
        std::uniform_real_distribution<double> tail(130, 250), unit(0, 1);
        std::string csv = "施設,値\n";
        for (const char* site : {"A", "B", "C"})
            for (int i = 0; i < 3000; ++i) {
                double x = unit(random) < 0.9 ? normal(random) : tail(random);
                if (site[0] == 'C') x += shift;
                csv += std::string(site) + "," + std::to_string(std::lround(x)) + "\n";
            }
        csv += ",100\n";  // no site: left out and counted
        ExtractOptions options;
        options.valueColumn = "値";
        options.siteColumn = "施設";
        const ExtractResult extract = readExtract({folder.write("pool.csv", csv)}, options);
        ASSERT_EQ(extract.problem, "");
        ASSERT_EQ(extract.partitions.size(), 1u);
        EXPECT_EQ(extract.noSite, 1);
        const PartitionCounts& p = extract.partitions[0];
        ASSERT_EQ(p.sites.size(), 3u);
        EXPECT_EQ(p.counts.total(), 9000);
        IndirectOptions pointOnly;
        pointOnly.resamples = -1;
        std::vector<std::string> names;
        std::vector<IndirectResult> fits;
        for (const auto& [name, counts] : p.sites) {
            EXPECT_EQ(counts.total(), 3000);
            names.push_back(name);
            fits.push_back(estimateIndirect(counts, pointOnly));
            ASSERT_TRUE(fits.back().estimated()) << fits.back().refusal;
        }
        const auto cells = siteCells(names, estimateIndirect(p.counts, pointOnly), fits);
        ASSERT_EQ(cells.size(), 4u);
        EXPECT_EQ(cells[0].site, "全施設");
        EXPECT_EQ(cells[3].site, "C");
        if (shift > 0) {
            EXPECT_NEAR(cells[0].sdRatio, 0.471, 0.1);
            EXPECT_NE(cells[0].note, "");
            EXPECT_NEAR(cells[3].sdRatio, 1.0, 0.2);
            EXPECT_NE(cells[3].note.find("高い側"), std::string::npos) << cells[3].note;
        } else {
            EXPECT_LT(cells[0].sdRatio, kSiteRatioNotable);
            EXPECT_EQ(cells[0].note, "");
            EXPECT_EQ(cells[3].note, "");
        }
        for (const std::size_t i : {1, 2}) {
            EXPECT_LT(std::fabs(cells[i].sdRatio), kSiteRatioNotable);
            EXPECT_EQ(cells[i].note, "");
        }
    }
}

}  // namespace
}  // namespace kijunchi
