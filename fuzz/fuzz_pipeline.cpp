// The headless pipeline on arbitrary bytes: paste, optional λ, analysis run, report, summary,
// evaluation, likelihood table, and kijunchi-report on the same text.
//
// Input layout: byte 0 chooses the class-count text; byte 1 is 0 for no λ, otherwise the λ
// text is the next (byte 1 - 1) bytes; the rest is the pasted text.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/number_text.h"
#include "analysis/store.h"
#include "cli/report_command.h"
#include "evaluation/evaluation.h"
#include "evaluation/evaluation_text.h"
#include "files/table_file.h"
#include "fuzz_checks.h"
#include "input/paste_reader.h"
#include "report/analysis_run.h"
#include "report/sig_round.h"
#include "support/recording_canvas.h"
#include "support/recording_grid.h"
#include "support/recording_report.h"
#include "transform/power_transform.h"

using namespace kijunchi;
using namespace kijunchi::fuzz;
using kijunchi::testing::RecordingCanvas;
using kijunchi::testing::RecordingGrid;
using kijunchi::testing::RecordingReport;

namespace {

struct Case {
    std::string classText;
    std::optional<std::string> lambda;
    std::string data;
};

Case splitInput(const std::uint8_t* bytes, std::size_t size) {
    static const std::array<const char*, 16> odd = {"4.5", "&H8",   "1e1", " 6 ", "x",     "-5",
                                                    "1E3", "7D0",   "",    "3.9", "12abc", "4,5",
                                                    "&O7", "1e400", "40",  "999"};
    Case c;
    std::size_t at = 0;
    const unsigned first = size > at ? bytes[at++] : 5;
    c.classText = first < 240 ? std::to_string(first) : odd[first - 240];
    if (size > at) {
        const std::size_t lambdaLength = bytes[at++];
        if (lambdaLength > 0) {
            const std::size_t length = std::min(lambdaLength - 1, size - at);
            c.lambda = std::string(reinterpret_cast<const char*>(bytes + at), length);
            at += length;
        }
    }
    c.data.assign(reinterpret_cast<const char*>(bytes + at), size - at);
    return c;
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameValue(const Value& a, const Value& b) {
    if (a.kind() != b.kind()) return false;
    if (a.isNumber()) return sameBits(a.toNumber(), b.toNumber());
    return a.text() == b.text();
}

// The data set as it stands: the counts, the slots up to one past the count, the
// untransformed values kept by a transformation and the transformation state.
struct DataSet {
    int dataCount = 0, workCount = 0;
    std::vector<Value> data, analysis;
    std::vector<double> sorted, untransformed;
    Value lambda, lambdaShown;
};

DataSet snapshot(const AnalysisStore& s) {
    DataSet d;
    d.dataCount = s.DataCount;
    d.workCount = s.WorkCount;
    const auto end = static_cast<std::size_t>(std::clamp(s.WorkCount + 2, 2, kSlots));
    d.data.assign(s.DataValues.begin(), s.DataValues.begin() + end);
    d.analysis.assign(s.AnalysisValues.begin(), s.AnalysisValues.begin() + end);
    d.sorted.assign(s.SortedValues.begin(), s.SortedValues.begin() + end);
    d.untransformed = s.UntransformedValues;
    d.lambda = s.Lambda;
    d.lambdaShown = s.LambdaShown;
    return d;
}

bool sameDataSet(const DataSet& a, const DataSet& b) {
    auto sameValues = [](const std::vector<Value>& x, const std::vector<Value>& y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(), sameValue);
    };
    auto sameNumbers = [](const std::vector<double>& x, const std::vector<double>& y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(), sameBits);
    };
    return a.dataCount == b.dataCount && a.workCount == b.workCount && sameValues(a.data, b.data) &&
           sameValues(a.analysis, b.analysis) && sameNumbers(a.sorted, b.sorted) &&
           sameNumbers(a.untransformed, b.untransformed) && sameValue(a.lambda, b.lambda) &&
           sameValue(a.lambdaShown, b.lambdaShown);
}

// True when some value leaves the real numbers under x -> (x^λ - 1)/λ + λ (λ = 0: ln x),
// computed plainly: the only reason a λ that is a number may be refused.
// data holds slots 0 .. n + 1 of DataValues.
bool someValueFails(const std::vector<Value>& data, double lambda) {
    for (std::size_t i = 1; i + 1 < data.size(); ++i) {
        const double x = data[i].toNumber();
        if (lambda == 0.0) {
            if (!(x > 0.0) || !std::isfinite(std::log(x))) return true;
            continue;
        }
        const double p = std::pow(x, lambda);
        const double q = p - 1;
        const double r = q / lambda;
        const double y = r + lambda;
        if (!std::isfinite(p) || !std::isfinite(q) || !std::isfinite(r) || !std::isfinite(y))
            return true;
    }
    return false;
}

// True when λ is an even power and some value is negative: the transformation would fold
// negative values onto positive ones, and is refused although every value has a y.
bool foldsNegativeValues(const std::vector<Value>& data, double lambda) {
    if (lambda == 0.0 || std::fmod(lambda, 2.0) != 0.0) return false;
    for (std::size_t i = 1; i + 1 < data.size(); ++i)
        if (data[i].toNumber() < 0) return true;
    return false;
}

// Stores are large: each role has one, allocated once and reset on each run.
AnalysisStore& storeFor(int role) {
    static auto* stores = new std::array<AnalysisStore, 3>();
    return (*stores)[static_cast<std::size_t>(role)];
}
enum Role { kCommandLine = 0, kWindows = 1, kReversed = 2 };

struct LambdaOutcome {
    bool given = false;
    bool accepted = false;
};

LambdaOutcome transform(AnalysisStore& store, const std::optional<std::string>& lambdaText) {
    LambdaOutcome outcome;
    if (!lambdaText) return outcome;
    outcome.given = true;
    const DataSet before = snapshot(store);
    RecordingGrid grid;
    outcome.accepted = applyLambda(store, *lambdaText, grid);
    const auto lambda = wholeNumber(*lambdaText);
    if (!outcome.accepted) {
        require(sameDataSet(before, snapshot(store)), "a refused λ changed the data set",
                escaped(*lambdaText));
        require(grid.untouched(), "a refused λ wrote to the grid or the labels");
        require(!lambda || someValueFails(before.data, *lambda) ||
                    foldsNegativeValues(before.data, *lambda),
                "a λ that transforms every value was refused", escaped(*lambdaText));
        return outcome;
    }
    require(lambda.has_value(), "a λ text that is no whole number was accepted",
            escaped(*lambdaText));
    require(!someValueFails(before.data, *lambda), "a λ that fails for some value was accepted",
            escaped(*lambdaText));
    require(!foldsNegativeValues(before.data, *lambda),
            "an even power of negative values was accepted", escaped(*lambdaText));
    const int n = store.WorkCount;
    require(n == before.workCount && store.DataCount == before.dataCount,
            "the transformation changed the count");
    for (int i = 1; i <= n; ++i) {
        const auto at = static_cast<std::size_t>(i);
        require(store.DataValues[at].isNumber(), "a transformed slot is not a number");
        requireFinite(store.DataValues[at].toNumber(),
                      "the transformation wrote a non-finite value");
        require(sameValue(store.DataValues[at], store.AnalysisValues[at]),
                "AnalysisValues and DataValues differ after the transformation");
    }
    require(store.Lambda.isText() && store.Lambda.text() == *lambdaText &&
                store.LambdaShown.isText() && store.LambdaShown.text() == *lambdaText,
            "Lambda/LambdaShown do not hold the λ text as typed");
    require(static_cast<int>(grid.cells.size()) == kGridValues,
            "the transformation does not rewrite the 1000 grid cells");
    for (const auto& cell : grid.cells) {
        requireCleanText(cell.second, "a grid cell shows nan/inf");
        require(cell.first < n || cell.second.empty(),
                "a grid cell at or above the count still shows a value");
    }
    return outcome;
}

// A limit as printed (4 significant digits) lies within its interval as printed.
void checkLimit(const Limit& limit, const char* what) {
    if (!limit.value) return;
    requireFinite(*limit.value, what);
    if (!limit.interval) return;
    // An end that cannot be carried back is missing; the end that is there still holds the limit.
    const double value = SigRound(*limit.value);
    const auto& low = limit.interval->low;
    const auto& high = limit.interval->high;
    const auto text = [](const std::optional<double>& end) {
        return end ? std::to_string(*end) : std::string("―");
    };
    require((!low || SigRound(*low) <= value) && (!high || value <= SigRound(*high)), what,
            text(low) + " " + std::to_string(*limit.value) + " " + text(high));
}

void checkOrder(const Limit& lower, const Limit& upper, const char* what) {
    if (lower.value && upper.value)
        require(*lower.value <= *upper.value, what,
                std::to_string(*lower.value) + " > " + std::to_string(*upper.value));
}

// Above this count the evaluation's bootstrap makes a run too slow for the fuzzer: the
// properties are checked with few resamples (they do not concern the bootstrap), and the
// command line's view is compared below it only.
constexpr int kFullEvaluationCount = 300;

// The evaluation after a run, whether or not the run completed: its text is clean, every
// interval by ranks and every parametric interval holds its limit, no lower limit exceeds its
// upper limit, and from 20 values on the nonparametric limits are printed. Returns the text
// with the full bootstrap, or nothing when the data set is larger than kFullEvaluationCount.
std::optional<std::string> checkEvaluation(AnalysisStore& store, RunStatus status) {
    EvaluationInput input = evaluationInput(store);
    input.reportFailed = status == RunStatus::CalculationError;
    const bool full = store.DataCount <= kFullEvaluationCount;
    if (!full) input.resamples = 20;
    const EvaluationResult r = evaluate(input);
    const std::string text = evaluationText(r);
    requireCleanText(text, "the evaluation shows nan/inf");
    require(r.n == store.DataCount, "the evaluation counts other values than the data set");
    const NonparametricEstimate& np = r.nonparametric;
    if (r.n >= 20)
        require(np.available && np.lower.value && np.upper.value &&
                    text.find("\r\nノンパラメトリック法\t―") == std::string::npos,
                "20 values or more without nonparametric limits", text);
    if (np.available) {
        // Exact order statistics around the report's own percentile.
        for (const Limit* l : {&np.lower, &np.upper})
            if (l->interval)
                require(l->interval->low <= *l->value && *l->value <= l->interval->high,
                        "a rank interval does not hold its nonparametric limit");
        checkOrder(np.lower, np.upper, "the nonparametric lower limit exceeds the upper");
    }
    require(np.ranks.has_value() == (r.n >= 119), "rank intervals exist for the wrong sizes");
    std::vector<const ParametricEstimate*> parametric = {&r.parametric};
    if (r.parametricTransformed) parametric.push_back(&*r.parametricTransformed);
    for (const ParametricEstimate* p : parametric) {
        if (!p->available) continue;
        checkLimit(p->lower, "a parametric interval does not hold its lower limit");
        checkLimit(p->upper, "a parametric interval does not hold its upper limit");
        checkOrder(p->lower, p->upper, "a parametric lower limit exceeds the upper");
    }
    std::vector<const RobustEstimate*> robust = {&r.robust};
    if (r.robustTransformed) robust.push_back(&*r.robustTransformed);
    for (const RobustEstimate* e : robust) {
        if (!e->available) continue;
        require(r.n >= kRobustMinimumCount, "robust limits for fewer than 20 values");
        checkOrder(e->lower, e->upper, "a robust lower limit exceeds the upper");
    }
    for (const FlaggedValue& v : r.outliers) {
        require(v.position >= 1 && v.position <= r.n, "an outlier position outside the data set");
        require(!v.rules.empty(), "an outlier listed without a rule");
    }
    // The batch's way, sorting in place and counting the outliers, gives the same figures.
    EvaluationInput again = input;
    again.resamples = 0;
    const EvaluationResult b = evaluateInPlace(again);
    const auto same = [](const Limit& x, const Limit& y) { return x.value == y.value; };
    require(b.outlierCount == static_cast<std::int64_t>(r.outliers.size()),
            "the in-place evaluation counts other outliers");
    require(same(b.nonparametric.lower, np.lower) && same(b.nonparametric.upper, np.upper) &&
                same(b.parametric.lower, r.parametric.lower) &&
                same(b.parametric.upper, r.parametric.upper) &&
                same(b.robust.lower, r.robust.lower) && same(b.robust.upper, r.robust.upper) &&
                b.recommendation == r.recommendation && b.hornReason == r.hornReason,
            "the in-place evaluation gives other figures");
    if (!full) return std::nullopt;
    return text;
}

struct RunOutcome {
    RunStatus status = RunStatus::NoData;
    std::string report;
    std::string summary;
    double pct025 = 0, pct975 = 0, median = 0;
};

void checkCompletedRun(const AnalysisStore& s, int n, const RecordingCanvas& picture,
                       const RecordingReport& report) {
    require(s.WorkCount == n, "the class total (WorkCount after the run) differs from n",
            std::to_string(s.WorkCount) + " vs " + std::to_string(n));
    require(s.HistClasses >= 1 && s.HistClasses <= kMaxClasses, "the class count leaves 1..1000");
    long total = 0;
    for (int i = 1; i <= s.HistClasses; ++i) {
        const int f = s.ClassFreq[static_cast<std::size_t>(i)];
        require(f >= 0, "a negative class frequency");
        total += f;
    }
    require(total == n, "the class frequencies do not add up to n");
    require(report.texts.size() == 1, "a completed run did not write the report exactly once");
    require(!report.last().empty(), "a completed run wrote an empty report");
    require(picture.printed.size() == 12, "a completed run did not print the 12 summary lines");
    // The count as the user sees it: the report's n is the class total.
    require(report.last().find("データ数=\t" + numberText(n) + "\r\n") != std::string::npos,
            "the report does not show n as its count", report.last());
    require(picture.printed[4].find("Number of data=" + printedNumber(n)) != std::string::npos,
            "the summary does not show n as its count", picture.printed[4]);
    const std::string text = report.last();
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            fail("the report has a line feed without CR", text);
    require(picture.labels.size() == 1, "the chart does not label its scale mark once");
    for (double v :
         {s.MeanValue,  s.MedianValue,    s.MinValue,        s.MaxValue,       s.VarianceValue,
          s.SDValue,    s.SkewnessValue,  s.KurtosisValue,   s.SkewTestZ,      s.KurtTestZ,
          s.ParamLower, s.ParamUpper,     s.Pct025,          s.Pct975,         s.OrigLower,
          s.OrigUpper,  s.OrigLowerCILow, s.OrigLowerCIHigh, s.OrigUpperCILow, s.OrigUpperCIHigh,
          s.OrigPct025, s.OrigPct975})
        requireFinite(v, "a completed run left a non-finite result");
    require(s.VarianceValue >= 0 && s.SDValue >= 0, "a negative variance or SD");
    require(s.ParamLower <= s.MeanValue && s.MeanValue <= s.ParamUpper,
            "the parametric limits do not bracket the mean");
    require(s.Pct025 <= s.MedianValue && s.MedianValue <= s.Pct975,
            "the 2.5th percentile, median and 97.5th percentile are out of order");
    // No printed limit pair with the upper below the lower, on either scale.
    require(s.OrigLower <= s.OrigUpper, "the printed upper limit lies below the lower",
            report.last());
    require(s.OrigLowerCILow <= s.OrigLowerCIHigh && s.OrigUpperCILow <= s.OrigUpperCIHigh,
            "a printed confidence interval ends below its start", report.last());
}

// The smallest base λ·v − λ² + 1 of the six printed limits and confidence ends, computed
// plainly from the values the run is given; +infinity when there is nothing to carry back
// (no λ, λ = 0 or 1, fewer than 2 values).
double smallestBase(const AnalysisStore& s) {
    const int n = s.DataCount;
    if (s.Lambda.isBlank() || n < 2 || n > kMaxValues) return INFINITY;
    const auto lambda = wholeNumber(s.Lambda.toText());
    if (!lambda || *lambda == 0.0 || *lambda == 1.0) return INFINITY;
    double sum = 0;
    for (int i = 1; i <= n; ++i) sum += s.AnalysisValues[static_cast<std::size_t>(i)].toNumber();
    const double m = sum / n;
    double squares = 0;
    for (int i = 1; i <= n; ++i) {
        const double d = s.AnalysisValues[static_cast<std::size_t>(i)].toNumber() - m;
        squares += d * d;
    }
    const double sd = std::sqrt(squares / (n - 1));
    const double c = 1.96 * sd * std::sqrt(2.92 / n);
    double smallest = INFINITY;
    for (double v : {m - 1.96 * sd, m + 1.96 * sd, m - 1.96 * sd - c, m - 1.96 * sd + c,
                     m + 1.96 * sd - c, m + 1.96 * sd + c})
        smallest = std::min(smallest, *lambda * v - *lambda * *lambda + 1);
    return smallest;
}

RunOutcome analyse(AnalysisStore& store, double classCount) {
    store.ClassCount = classCount;
    const int n = store.DataCount;
    RecordingCanvas picture;
    RecordingReport report;
    RunOutcome outcome;
    const double base = smallestBase(store);
    outcome.status = runAnalysis(store, picture, report);
    // A transformed run never prints a limit that no measured value corresponds to (a clear
    // margin keeps the plain sums' own rounding out of the verdict).
    if (std::isfinite(base) && base < -1e-6)
        require(outcome.status != RunStatus::Completed,
                "a transformed run printed a limit whose base was negative", report.last());
    for (const auto& line : picture.printed) requireCleanText(line, "a summary line shows nan/inf");
    for (const auto& label : picture.labels)
        requireCleanText(label.second, "a chart label shows nan/inf");
    for (double v : picture.scale) requireFinite(v, "a non-finite chart scale");
    for (const auto& line : picture.lines)
        for (double v : {line.x1, line.y1, line.x2, line.y2})
            requireFinite(v, "a chart segment with a non-finite end");
    requireCleanText(report.last(), "the report shows nan/inf");
    if (n == 0) require(outcome.status == RunStatus::NoData, "a run without data did something");
    if (outcome.status == RunStatus::Completed) checkCompletedRun(store, n, picture, report);
    outcome.report = report.last();
    // The picture as the command line shows it: the printed lines, each ending with CR LF.
    for (const auto& line : picture.printed) outcome.summary += line + "\r\n";
    outcome.pct025 = store.OrigPct025;
    outcome.pct975 = store.OrigPct975;
    outcome.median = store.MedianValue;
    return outcome;
}

void checkTable(const std::string& table, int n) {
    requireCleanText(table, "the likelihood table shows nan/inf");
    if (n < 2) {
        require(table.empty(), "a likelihood table for fewer than 2 values");
        return;
    }
    const std::string head = "\r\n\r\n Power Transfomation\r\n";
    require(table.rfind(head, 0) == 0, "the likelihood table does not start with its heading");
    std::size_t pos = table.find("\r\n", head.size());  // end of the column header
    require(pos != std::string::npos, "the likelihood table has no column header");
    pos += 2;
    for (int k = -10; k <= 30; ++k) {
        const std::size_t end = table.find("\r\n", pos);
        require(end != std::string::npos, "the likelihood table has fewer than 41 rows");
        const std::string row = table.substr(pos, end - pos);
        const std::string lead = numberText(k / 10.0) + "\t";
        require(row.rfind(lead, 0) == 0, "a table row does not start with its λ and a TAB", row);
        const std::string ml = row.substr(lead.size());
        require(ml.empty() || wholeNumber(ml).has_value(), "a table row's ML is no number", row);
        pos = end + 2;
    }
    require(pos == table.size(), "the likelihood table has more than 41 rows");
}

std::vector<std::string> commandArgs(const Case& c, const char* show) {
    std::vector<std::string> args = {"--classes", c.classText};
    if (c.lambda) {
        args.push_back("--lambda");
        args.push_back(*c.lambda);
    }
    args.push_back("--show");
    args.push_back(show);
    return args;
}

CommandOutput command(const Case& c, const char* show) {
    CommandOutput out = runReportCommand(commandArgs(c, show), textReader(c.data));
    requireCleanText(out.out, "kijunchi-report printed nan/inf");
    requireCleanText(out.err, "kijunchi-report printed nan/inf on standard error");
    require(out.exitCode >= 0 && out.exitCode <= 3, "kijunchi-report exit code out of 0..3");
    if (out.exitCode != 0) require(out.out.empty(), "kijunchi-report failed but printed output");
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const Case c = splitInput(bytes, size);
    std::string_view text = c.data;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.remove_prefix(3);  // as the command line reads
    const auto classCount = readClassCount(c.classText);
    if (classCount)
        require(*classCount >= 4 && std::floor(*classCount) == *classCount,
                "an accepted class count is not a whole number of at least 4", c.classText);

    // Paste.
    AnalysisStore* store = &storeFor(kCommandLine);
    *store = AnalysisStore();
    NullGrid nullGrid;
    const PasteResult paste = ReadPasteBuffer(*store, text, nullGrid);
    const int n = store->DataCount;
    require(n >= 0 && n <= kMaxValues, "the count leaves 0..5000");
    require(n == std::min<std::int64_t>(paste.valuesFound, kMaxValues) && paste.valuesKept == n,
            "the count is not min(values found, 5000)");
    const std::string tableAsRead = likelihoodTable(*store);
    checkTable(tableAsRead, n);

    // The usual order in the windows: analysis, transformation, analysis again.
    AnalysisStore* windows = &storeFor(kWindows);
    *windows = AnalysisStore();
    ReadPasteBuffer(*windows, text, nullGrid);
    std::optional<RunOutcome> untransformed;
    if (classCount) {
        // The run sorts the values: the order in which they were pasted changes nothing.
        AnalysisStore* reversed = &storeFor(kReversed);
        *reversed = AnalysisStore();
        ReadPasteBuffer(*reversed, text, nullGrid);
        std::reverse(reversed->DataValues.begin() + 1, reversed->DataValues.begin() + 1 + n);
        std::reverse(reversed->AnalysisValues.begin() + 1,
                     reversed->AnalysisValues.begin() + 1 + n);
        const RunOutcome backwards = analyse(*reversed, *classCount);
        untransformed = analyse(*windows, *classCount);
        require(backwards.status == untransformed->status &&
                    backwards.report == untransformed->report &&
                    backwards.summary == untransformed->summary,
                "the analysis depends on the order of the values");
    }
    const LambdaOutcome windowsLambda = transform(*windows, c.lambda);
    if (classCount) {
        const RunOutcome after = analyse(*windows, *classCount);
        if (windowsLambda.accepted && untransformed->status == RunStatus::Completed &&
            after.status == RunStatus::Completed) {
            // The percentile limits and the median stay on the measurement scale.
            require(sameBits(untransformed->pct025, after.pct025) &&
                        sameBits(untransformed->pct975, after.pct975) &&
                        sameBits(untransformed->median, after.median),
                    "after a transformation the percentile limits or the median moved");
        }
    }
    checkTable(likelihoodTable(*windows), windows->WorkCount);

    // The order of the command line: transformation, then one analysis; a second run on the
    // same store gives the same texts.
    const LambdaOutcome lambda = transform(*store, c.lambda);
    const bool lambdaRefused = lambda.given && !lambda.accepted;
    std::string dataLines;
    for (int i = 1; i <= store->WorkCount; ++i) {
        const std::string t = store->DataValues[static_cast<std::size_t>(i)].toText();
        require(wholeNumber(t).has_value(), "a value of the data set does not print as a number",
                t);
        dataLines += t + "\n";
    }
    std::optional<RunOutcome> run;
    std::optional<std::string> evaluation;
    if (classCount && !lambdaRefused) {
        run = analyse(*store, *classCount);
        if (run->status != RunStatus::NoData) evaluation = checkEvaluation(*store, run->status);
        const RunOutcome again = analyse(*store, *classCount);
        require(again.status == run->status, "a second run on the same data ends differently");
        if (run->status == RunStatus::Completed)
            require(again.report == run->report && again.summary == run->summary,
                    "a second run on the same data writes different texts");
    }
    checkTable(likelihoodTable(*store), store->WorkCount);

    // kijunchi-report on the same text. A workbook's bytes are refused there (a workbook is
    // read from its file, by column), while a paste takes them as text.
    if (workbookKind(c.data) != WorkbookKind::None) {
        require(command(c, "table").exitCode == 2, "kijunchi-report read a workbook's bytes");
        return 0;
    }
    const CommandOutput table = command(c, "table");
    const bool lambdaUnusable = c.lambda && !wholeNumber(*c.lambda);
    if (!classCount || lambdaUnusable) {
        require(table.exitCode == 2, "kijunchi-report accepted a refused class count or λ");
    } else {
        require(table.exitCode == 0 && table.out == tableAsRead,
                "kijunchi-report --show table differs from the table of the pasted data");
    }
    for (const char* show : {"summary", "report", "data", "evaluation"}) {
        if (std::strcmp(show, "evaluation") == 0 && store->DataCount > kFullEvaluationCount)
            continue;
        const CommandOutput out = command(c, show);
        int expectedExit = 0;
        if (!classCount || lambdaRefused)
            expectedExit = 2;
        else if (store->DataCount == 0)
            expectedExit = 3;
        else if (std::strcmp(show, "data") != 0 && std::strcmp(show, "evaluation") != 0 &&
                 run->status != RunStatus::Completed)
            expectedExit = 1;
        require(out.exitCode == expectedExit, "kijunchi-report ends with an unexpected code",
                std::string(show) + ": " + std::to_string(out.exitCode) + " expected " +
                    std::to_string(expectedExit));
        if (expectedExit != 0) continue;
        if (std::strcmp(show, "data") == 0)
            require(out.out == dataLines, "kijunchi-report --show data differs from the data set");
        else if (std::strcmp(show, "summary") == 0)
            require(out.out == run->summary, "kijunchi-report --show summary differs from the run");
        else if (std::strcmp(show, "evaluation") == 0)
            require(evaluation && out.out == *evaluation,
                    "kijunchi-report --show evaluation differs from the evaluation of the run");
        else
            require(out.out == run->report, "kijunchi-report --show report differs from the run");
    }
    return 0;
}
