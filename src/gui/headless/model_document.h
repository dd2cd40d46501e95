#pragma once
// The document of an analysis drawn from the core's models, without a window: the statistics
// report's text, the histogram's drawing and the evaluation's text and charts, laid out as the
// desktop program's printed report.
#include <QString>
#include <QStringList>

namespace kijunchi {

struct AnalysisStore;

// Runs the analysis of store (a data set ready to be analysed) and writes its A4 document to
// path; returns an empty text, or why the file could not be written.
QString writeAnalysisPdf(const QString& path, AnalysisStore& store, const QStringList& description,
                         const QString& runningHead);

}  // namespace kijunchi
