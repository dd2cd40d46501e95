#include "report/report_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "analysis/store.h"
#include "input/grid_sink.h"
#include "report/analysis_run.h"
#include "support/data_set.h"
#include "support/recording_canvas.h"
#include "support/recording_report.h"
#include "transform/power_transform.h"

namespace kijunchi {
namespace {

using testing::testData;
using testing::testDataValues;

// Runs the analysis and returns the statistics text (empty when the run did not set one). A
// mismatch of two texts prints their line-by-line diff.
std::string reportOf(AnalysisStore& store) {
    testing::RecordingCanvas canvas;
    testing::RecordingReport sink;
    EXPECT_EQ(runAnalysis(store, canvas, sink), RunStatus::Completed);
    EXPECT_EQ(sink.texts.size(), 1u);
    return sink.texts.empty() ? std::string() : sink.texts.back();
}

TEST(StatisticsReport, OneToFourWithFiveClassesMatchesTheHandWorkedText) {
    // Worked by hand as well: rows 1–1.6, 1.6–2.2, 2.2–2.8, 2.8–3.4, 3.4–4 holding 1, 1, 0,
    // 1, 1 with expected frequencies 0.82, 0.75, 0.86, 0.75, 0.82 (all shown as 1);
    // χo² = 1.113 below χ²(2, 0.05) = 5.991; limits 2.5 ∓ 1.96·1.291 = −0.03035, 5.03; the
    // λ line is empty since nothing was ever transformed.
    AnalysisStore store;
    testing::load(store, {1, 2, 3, 4});
    EXPECT_EQ(reportOf(store), testData("report_one_to_four.txt"));
}

TEST(StatisticsReport, SkewedSampleRejectsNormalityInAllThreeTests) {
    // 25 skewed values, 6 classes: Z1 = 3.944 and Z2 = 4.199 beyond 3.29, χo² = 12.43 above
    // χ²(3, 0.05) = 7.815; the last class expects 0.1 and shows 0.
    AnalysisStore store;
    store.ClassCount = 6;
    testing::load(store, testDataValues("skewed_25.txt"));
    EXPECT_EQ(reportOf(store), testData("report_skewed_25_six_classes.txt"));
}

TEST(StatisticsReport, LogTransformedAfterAnAnalysisReportsLimitsOnTheMeasurementScale) {
    // ln of the same 25 values: the maximum ln 17.5 = 2.8622 rounds down to 2.862 and forms a
    // seventh class; λ shows as 対数変換, the limits are e^v, and the percentile limits and the
    // median stay those of the untransformed values (2.995, 18.8, 5.3). The command line's
    // --lambda checks the same text without the analysis before the transformation.
    AnalysisStore store;
    store.ClassCount = 6;
    testing::load(store, testDataValues("skewed_25.txt"));
    reportOf(store);
    NullGrid grid;
    ASSERT_TRUE(applyLambda(store, "0", grid));
    EXPECT_EQ(reportOf(store), testData("report_skewed_25_log.txt"));
}

TEST(StatisticsReport, ASkewnessStatisticRoundingToExactly196DoesNotReject) {
    // 1..10 and 18.423717: Z1 = 1.96002 unrounded (python), 1.96 rounded, so no rejection;
    // Z2 = 2.214 rejects at 5%.
    AnalysisStore store;
    testing::load(store, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 18.423717});
    const std::string text = reportOf(store);
    for (const char* lines :
         {"Z1    = \t1.96\r\nP>0.05で正規性を棄却することができない。\r\n",
          "Z2    = \t2.214\r\nZ2=2.214 > Z=1.96   P<0.05で正規性は棄却される。"})
        EXPECT_NE(text.find(lines), std::string::npos) << lines << "\n" << text;
}

}  // namespace
}  // namespace kijunchi
