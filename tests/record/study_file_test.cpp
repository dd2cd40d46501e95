#include "record/study_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "evaluation/evaluation_text.h"
#include "generators/generators.h"
#include "generators/random_source.h"
#include "input/grid_sink.h"
#include "support/recording_canvas.h"
#include "support/recording_report.h"
#include "transform/power_transform.h"

namespace kijunchi {
namespace {

TEST(StudyFile, Sha256MatchesThePublishedDigests) {
    // FIPS 180-2, appendix B.1, and the digest of the empty message.
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // A file, a block at a time: `sha256sum calcium_240.txt`; nothing beyond the limit or for
    // a file that is not there.
    const std::string file = std::string(KIJUNCHI_TEST_DATA) + "/calcium_240.txt";
    EXPECT_EQ(fileSha256(file, 1 << 20),
              "b4d3e40b1fb7e8e7146e2782d05208e7e9c009b519bbab8ec46ef34a146fe396");
    EXPECT_EQ(fileSha256(file, 100), std::nullopt);
    EXPECT_EQ(fileSha256(file + ".none", 1 << 20), std::nullopt);
}

TEST(StudyFile, FingerprintIsTheDigestOfTheValuesOneALine) {
    // Expected digests from `printf '1.5\n2\n' | sha256sum` and
    // `printf '0.1\n-3\n1e-300\n' | sha256sum`.
    EXPECT_EQ(dataFingerprint({1.50, 2.0}),
              "dc492d8607802c71d3520dab4da07d525b331248ec82aa11c6b6f8ee37428ddf");
    EXPECT_EQ(dataFingerprint({0.1, -3, 1e-300}),
              "d3023c39805cefe16ebf175116cc0973e6dd77a686730ee7209e84c974a6f3b5");
    // The spelling of a value as read does not count, only its number.
    Study a, b;
    a.values = {"1.50", "2"};
    b.values = {"1.5", "+2.0"};
    EXPECT_EQ(dataFingerprint(studyValues(a)), dataFingerprint(studyValues(b)));
}

TEST(StudyFile, ExactNumberTextReadsBackAsTheSameDouble) {
    for (double v : {0.1, 1.0 / 3.0, -2.5e-17, 12.5, 4e300, 0.30000000000000004})
        EXPECT_EQ(std::stod(exactNumberText(v)), v) << exactNumberText(v);
    EXPECT_EQ(exactNumberText(12.5), "12.5");
    EXPECT_EQ(exactNumberText(3), "3");
}

Study sampleStudy() {
    Study s;
    s.programVersion = programVersion();
    s.values = {"9.1", "9.40", "8.8", "10.2", "12.9"};
    s.groups = {"男", "女", "男", "女", "男"};
    s.valuesFound = 5;
    s.source = {"file", "calcium.csv", "Ca", "", sha256Hex("bytes")};
    s.lambda = "0";
    s.classes = 7;
    s.excluded = {{5, 12.9, "Tukey法", "山田", "2026-12-09 15:04"}};
    s.header = {"カルシウム", "mg/dL", "比色法", "中央検査部", "山田", "佐藤", "メモ\n2行目"};
    s.notes = "備考";
    s.log = {{"2026-12-09 15:00", "opened", "calcium.csv"}, {"2026-12-09 15:04", "excluded", "5"}};
    return s;
}

TEST(StudyFile, WrittenStudyReadsBackUnchanged) {
    const Study s = sampleStudy();
    const std::string text = studyJson(s);
    const StudyReading r = parseStudy(text);
    ASSERT_EQ(r.refusal, StudyRefusal::None);
    EXPECT_EQ(r.study.values, s.values);
    EXPECT_EQ(r.study.groups, s.groups);
    EXPECT_EQ(r.study.valuesFound, s.valuesFound);
    EXPECT_EQ(r.study.source, s.source);
    EXPECT_EQ(r.study.lambda, s.lambda);
    EXPECT_EQ(r.study.classes, s.classes);
    ASSERT_EQ(r.study.excluded.size(), 1u);
    EXPECT_EQ(r.study.excluded[0].position, 5);
    EXPECT_EQ(r.study.excluded[0].value, 12.9);
    EXPECT_EQ(r.study.excluded[0].rule, "Tukey法");
    EXPECT_EQ(r.study.excluded[0].who, "山田");
    EXPECT_EQ(r.study.excluded[0].when, "2026-12-09 15:04");
    EXPECT_EQ(r.study.header, s.header);
    EXPECT_EQ(r.study.notes, s.notes);
    EXPECT_EQ(r.study.log, s.log);
    EXPECT_EQ(studyJson(r.study), text);
}

// Replaces the first occurrence of what in text.
std::string replaced(std::string text, const std::string& what, const std::string& with) {
    const auto at = text.find(what);
    EXPECT_NE(at, std::string::npos) << what;
    if (at != std::string::npos) text.replace(at, what.size(), with);
    return text;
}

TEST(StudyFile, EachKindOfBadFileHasItsRefusal) {
    const std::string good = studyJson(sampleStudy());
    const struct {
        const char* what;
        std::string text;
        StudyRefusal refusal;
    } cases[] = {
        {"not JSON", "これは検討ではありません", StudyRefusal::Damaged},
        {"empty", "", StudyRefusal::Damaged},
        {"another JSON", "{\"a\": 1}", StudyRefusal::Damaged},
        {"a value of the wrong kind", replaced(good, "\"classes\": 7", "\"classes\": \"7\""),
         StudyRefusal::Damaged},
        {"a missing member", replaced(good, "\"lambda\"", "\"lambdaX\""), StudyRefusal::Damaged},
        {"an excluded value that is not at its position",
         replaced(good, "\"position\": 5", "\"position\": 4"), StudyRefusal::Damaged},
        {"cut in half", good.substr(0, good.size() / 2), StudyRefusal::Truncated},
        {"without its last brace", good.substr(0, good.rfind('}')), StudyRefusal::Truncated},
        {"a newer format", replaced(good, "\"formatVersion\": 1", "\"formatVersion\": 2"),
         StudyRefusal::NewerVersion},
        {"another spelling of the same value", replaced(good, "\"9.40\"", "\"9.4\""),
         StudyRefusal::None},
        {"a changed value", replaced(good, "\"9.40\"", "\"9.41\""),
         StudyRefusal::FingerprintMismatch},
        {"a value left out", replaced(replaced(good, "\"9.40\",", ""), "\"女\",", ""),
         StudyRefusal::FingerprintMismatch},
        // Numbers beyond a double anywhere, and nesting that would cost memory for each level.
        {"a class count out of range", replaced(good, "\"classes\": 7", "\"classes\": 1e400"),
         StudyRefusal::Damaged},
        {"an excluded value out of range",
         replaced(good, "\"value\": ", "\"value\": -1e400, \"v\": "), StudyRefusal::Damaged},
        {"an unknown member out of range", replaced(good, "{", "{\"x\": 1e400,"),
         StudyRefusal::Damaged},
        {"nested a million deep", std::string(1000000, '['), StudyRefusal::Damaged},
        {"nested inside a note",
         replaced(good, "{", "{\"x\": " + std::string(100, '[') + std::string(100, ']') + ","),
         StudyRefusal::Damaged},
    };
    std::vector<std::string> messages;
    for (const auto& c : cases) {
        EXPECT_EQ(parseStudy(c.text).refusal, c.refusal) << c.what;
    }
    for (StudyRefusal r : {StudyRefusal::Damaged, StudyRefusal::Truncated,
                           StudyRefusal::NewerVersion, StudyRefusal::FingerprintMismatch}) {
        const std::string m = studyRefusalMessage(r, "a.kijunchi");
        EXPECT_NE(m.find("a.kijunchi"), std::string::npos) << m;
        EXPECT_EQ(m.find('\n'), std::string::npos) << m;
        for (const std::string& other : messages) EXPECT_NE(m, other);
        messages.push_back(m);
    }
}

TEST(StudyFile, EveryCutOfAStudyIsTruncated) {
    // Cut at every byte, inside a name, a number or a Japanese character alike.
    const std::string good = studyJson(sampleStudy());
    for (std::size_t size = 1; size + 1 < good.size(); ++size)
        ASSERT_EQ(parseStudy(good.substr(0, size)).refusal, StudyRefusal::Truncated) << size;
    EXPECT_EQ(parseStudy(good.substr(0, good.size() - 1)).refusal, StudyRefusal::None);
}

TEST(StudyFile, RebuildRefusesAnExclusionOutsideTheData) {
    Study s = sampleStudy();
    s.excluded[0].position = 6;
    AnalysisStore store;
    NullGrid grid;
    EXPECT_EQ(rebuildStore(s, store, grid), StudyRefusal::Damaged);
}

// The texts an analysis of the store shows: the report, the summary lines, the evaluation.
std::vector<std::string> analysisTexts(AnalysisStore& store) {
    testing::RecordingCanvas canvas;
    testing::RecordingReport report;
    const RunStatus status = runAnalysis(store, canvas, report);
    std::string grid;
    for (int i = 1; i <= store.DataCount; ++i) grid += store.DataValues[i].toText() + "\n";
    return {report.last(), evaluationTextAfterRun(store, status), grid};
}

TEST(StudyFile, AGeneratedDataSetIsRebuiltAsItWas) {
    // Normal values shown rounded in the grid and analysed unrounded; a λ and a class count.
    AnalysisStore generated;
    RandomSource random;
    random.setClock([] { return std::uint64_t{42}; });
    NullGrid grid;
    ASSERT_TRUE(generateNormal(generated, random, 150, 50, 7, grid));
    Study study;
    study.source.origin = "generator";
    for (int i = 1; i <= generated.DataCount; ++i)
        study.values.push_back(exactNumberText(generated.AnalysisValues[i].toNumber()));
    study.valuesFound = generated.DataCount;
    study.lambda = "0.5";
    study.classes = 9;
    ASSERT_TRUE(applyLambda(generated, "0.5", grid));
    generated.ClassCount = 9;

    const StudyReading read = parseStudy(studyJson(study));
    ASSERT_EQ(read.refusal, StudyRefusal::None);
    AnalysisStore rebuilt;
    ASSERT_EQ(rebuildStore(read.study, rebuilt, grid), StudyRefusal::None);
    EXPECT_EQ(analysisTexts(rebuilt), analysisTexts(generated));
}

TEST(StudyFile, RebuiltStoreKeepsGroupsExclusionsAndHeader) {
    const Study s = sampleStudy();
    AnalysisStore store;
    NullGrid grid;
    ASSERT_EQ(rebuildStore(s, store, grid), StudyRefusal::None);
    EXPECT_EQ(store.DataCount, 4);
    EXPECT_EQ(store.ValuesBeforeExclusion, (std::vector<double>{9.1, 9.4, 8.8, 10.2, 12.9}));
    EXPECT_EQ(store.GroupLabels, s.groups);
    EXPECT_EQ(store.Excluded.size(), 1u);
    EXPECT_EQ(store.Header, s.header);
    EXPECT_EQ(store.ClassCount, 7);
    EXPECT_EQ(store.Lambda.toText(), "0");
    // The data as read give the fingerprint, whatever is excluded or transformed.
    EXPECT_EQ(valuesAsRead(store), (std::vector<double>{9.1, 9.4, 8.8, 10.2, 12.9}));
}

TEST(StudyFile, HeaderCountsAddUpBeyondTheValuesKept) {
    // 6667 read, the first 5000 kept, 462 of them excluded: 4538 analysed.
    AnalysisStore store;
    store.ValuesBeforeExclusion.assign(5000, 1.0);
    store.Excluded.assign(462, ExcludedValue{});
    store.DataCount = 4538;
    store.ValuesRead = 6667;
    const auto count = [&] {
        for (const HeaderItem& item : documentHeaderItems(store))
            if (item.name == "データ数") return item.value;
        return std::string();
    };
    EXPECT_EQ(count(), "4538（読み込んだ6667個のうち先頭の5000個から462個を除外）");
    store.ValuesRead = 5000;
    EXPECT_EQ(count(), "4538（読み込んだ5000個のうち462個を除外）");
}

}  // namespace
}  // namespace kijunchi
