// kijunchi-report with the desktop program's document: the command line, and --pdf written by
// the same windows and the same A4 layout as the desktop program's PDF, without a display.
#include <unistd.h>

#include <QApplication>
#include <QList>
#include <QStringList>
#include <QtGlobal>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "analysis/store.h"
#include "cli/report_command.h"
#include "evaluation/evaluation_text.h"
#include "gui/evaluation/evaluation_window.h"
#include "gui/results/histogram_window.h"
#include "gui/results/report_document.h"
#include "gui/results/statistics_window.h"
#include "gui/widgets/app_setup.h"
#include "gui/widgets/prompt.h"
#include "report/analysis_run.h"

namespace kijunchi {
namespace {

// The toolkit starts only when a document is asked for, on the offscreen platform when there is
// no display (and no platform was chosen). It ends with main, before the program's statics.
void startToolkit(std::unique_ptr<QApplication>& app) {
    static int argc = 1;
    static char name[] = "kijunchi-report";
    static char* argv[] = {name, nullptr};
    if (app) return;
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!display && !std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Standard error carries the command's own one-line messages; the toolkit's notes on its
    // surroundings ("XDG_RUNTIME_DIR not set") are not for the user of a command line.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    });
    app = std::make_unique<QApplication>(argc, argv);
    setUpApplication(*app);
}

// The statistics, histogram and evaluation windows after the analysis of the data set, as the
// frame shows them, make the document's parts.
std::string writePdf(const std::string& path, const AnalysisStore& analysed, const PdfHead& head) {
    auto store = std::make_unique<AnalysisStore>(analysed);
    MessageBoxPrompt prompt;  // the windows ask nothing while they are not shown
    StatV statistics(prompt);
    REG histogram(prompt, [] {});
    EvaluationWindow evaluation(prompt);
    for (QWidget* window : std::initializer_list<QWidget*>{&statistics, &histogram, &evaluation})
        window->resize(window->sizeHint());
    const RunStatus status = runAnalysis(*store, histogram.canvas(), statistics);
    evaluation.showEvaluation(evaluationViewAfterRun(*store, status));
    QStringList description;
    for (const std::string& line : head.description) description << QString::fromStdString(line);
    const QList<const DocumentPart*> parts = {&statistics, &histogram, &evaluation};
    const QString error = writeReportPdf(QString::fromStdString(path), description, parts,
                                         QString::fromStdString(head.runningHead));
    if (error.isEmpty()) return {};
    return "ファイルに書き込めません: " + path + "（" + error.toStdString() + "）";
}

}  // namespace
}  // namespace kijunchi

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const kijunchi::InputReader readStdin = [](char* buffer, std::size_t size) {
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, size);
            if (n >= 0 || errno != EINTR) return static_cast<std::ptrdiff_t>(n);
        }
    };
    std::unique_ptr<QApplication> app;
    const kijunchi::PdfWriter writePdf = [&app](const std::string& path,
                                                const kijunchi::AnalysisStore& store,
                                                const kijunchi::PdfHead& head) {
        kijunchi::startToolkit(app);
        return kijunchi::writePdf(path, store, head);
    };
    return kijunchi::runKijunchiReport(args, readStdin, writePdf);
}
