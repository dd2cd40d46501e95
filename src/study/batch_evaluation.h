#pragma once
// The evaluation of one set of values for the batch table and the partition study: the
// statistics report's normality tests, the evaluation's limits, and the parametric limits
// after the power transformation with the λ of largest likelihood.
#include <memory>
#include <string>
#include <vector>

#include "study/batch.h"
#include "study/partition.h"

namespace kijunchi {

struct AnalysisStore;

class BatchEvaluation {
public:
    BatchEvaluation();
    ~BatchEvaluation();
    BatchEvaluation(const BatchEvaluation&) = delete;
    BatchEvaluation& operator=(const BatchEvaluation&) = delete;

    // Fills the figures of row from values (as measured, in the order read); explains in
    // row.message what could not be computed.
    void operator()(std::vector<double> values, BatchRow& row);

private:
    // One store for every set, reused: the analysis run's normality tests work on it.
    std::unique_ptr<AnalysisStore> store_;
};

// A BatchEvaluation of its own, for each thread of a batch.
BatchEvaluator makeBatchEvaluator();

// Per group: n, the recommended estimate and its limits, as lines of the partition text.
std::string groupLimitsText(const std::vector<ValueGroup>& groups);

}  // namespace kijunchi
