#include "transform/power_transform.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/checked.h"
#include "analysis/number_text.h"
#include "input/paste_reader.h"

namespace kijunchi {

using namespace checked;

namespace {

// One row of the table: λ, TAB, the normal log-likelihood of the transformed sample including
// the Jacobian. A likelihood that is undefined for these data leaves the row's value empty.
std::string tableRow(const AnalysisStore& store, int k) {
    const double lambda = k / 10.0;
    const std::string head = numberText(lambda) + "\t";
    const int n = store.WorkCount;
    try {
        double s1 = 0, s2 = 0, jacobian = 0;
        for (int i = 1; i <= n; ++i) {
            const double v = store.DataValues[static_cast<std::size_t>(i)].toNumber();
            const double y = powerTransform(lambda, v);
            s1 = add(s1, y);
            s2 = add(s2, pow(y, 2));
            jacobian = add(jacobian, log(std::fabs(pow(v, lambda - 1))));
        }
        const double ss = sub(s2, div(pow(s1, 2), n));
        const double ml = fin(profileLikelihood(n, ss, jacobian));
        return head + numberText(ml);
    } catch (const CalcError&) {
        return head;
    }
}

// Whether an even power would fold negative values onto positive ones (−21 and 21 both become
// 222 with λ = 2) and turn the order of the negative ones round, so that no limit could be
// carried back.
bool foldsValues(double lambda, const std::vector<double>& values) {
    const bool evenPower = lambda != 0 && std::fmod(lambda, 2.0) == 0;
    return evenPower && std::any_of(values.begin(), values.end(), [](double v) { return v < 0; });
}

}  // namespace

double profileLikelihood(double n, double ss, double logJacobian) {
    return -(n / 2.0) * std::log(ss / n) + logJacobian;
}

std::string likelihoodTable(const AnalysisStore& store) {
    const int n = store.WorkCount;
    if (n < 2 || n > kMaxValues) return {};
    std::string text = "\r\n\r\n Power Transfomation\r\nλ  \tML       　   \r\n";
    for (int k = -10; k <= 30; ++k) text += tableRow(store, k) + "\r\n";
    return text;
}

std::string transformedComment(std::string_view lambdaText) {
    return "ﾃﾞｰﾀはλ=" + std::string(lambdaText) + "で変換しました。";
}

bool applyLambda(AnalysisStore& store, std::string_view lambdaText, GridSink& grid) {
    const auto lambda = wholeNumber(lambdaText);
    if (!lambda) return false;
    const int n = store.WorkCount;
    if (n < 0 || n > kMaxValues) return false;

    // Every value is transformed before anything is written: a λ that fails for one value
    // leaves the data set as it was.
    std::vector<double> transformed(static_cast<std::size_t>(n));
    std::vector<double> original(static_cast<std::size_t>(n));
    std::vector<double> inputs(static_cast<std::size_t>(n));
    try {
        for (int i = 1; i <= n; ++i) {
            const auto at = static_cast<std::size_t>(i);
            inputs[at - 1] = store.DataValues[at].toNumber();
            transformed[at - 1] = powerTransform(*lambda, inputs[at - 1]);
            original[at - 1] = store.AnalysisValues[at].toNumber();
        }
    } catch (const CalcError&) {
        return false;
    }
    if (foldsValues(*lambda, inputs)) return false;

    // The first transformation of a data set keeps its values on the measurement scale.
    if (store.UntransformedValues.empty()) {
        store.UntransformedValues = std::move(original);
        store.UntransformedDataValues.assign(store.DataValues.begin() + 1,
                                             store.DataValues.begin() + 1 + n);
    }
    for (int i = 1; i <= n; ++i) {
        const auto at = static_cast<std::size_t>(i);
        store.DataValues[at] = Value(transformed[at - 1]);
        store.AnalysisValues[at] = store.DataValues[at];
        store.SortedValues[at - 1] = transformed[at - 1];
    }
    store.DataCount = n;
    showDataSet(store, grid);
    const std::string text(lambdaText);
    grid.setCommentLabel(transformedComment(text));
    store.Lambda = Value(text);
    store.LambdaShown = Value(text);
    return true;
}

}  // namespace kijunchi
