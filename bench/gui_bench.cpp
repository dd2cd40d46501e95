// Speed and memory of the desktop program where a user waits: the analysis command in the real
// windows (offscreen) with the grid filled, the report text and the chart, and the resident
// memory after an analysis. Run: build with -DKIJUNCHI_BENCH=ON, then
// ./build/bench/kijunchi_gui_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "analysis/number_text.h"
#include "analysis/store.h"
#include "generators/random_source.h"
#include "gui/evaluation/evaluation_window.h"
#include "gui/input/frm_mnu_window.h"
#include "gui/shell/mdi_form.h"
#include "gui/widgets/app_setup.h"
#include "gui/widgets/prompt.h"

namespace {

using namespace kijunchi;

// Counts the messages instead of showing them; answers every question with No.
class CountingPrompt final : public Prompt {
public:
    int messages = 0;
    void message(QWidget*, const QString&, const QString&, Icon) override { ++messages; }
    bool askYesNo(QWidget*, const QString&, const QString&) override { return false; }
    Answer askYesNoCancel(QWidget*, const QString&, const QString&) override { return Answer::No; }
};

// A log-normal column such as a laboratory analyte gives, one value per line.
QString labColumn(int count) {
    std::mt19937 engine(7);
    std::lognormal_distribution<double> dist(4.0, 0.3);
    std::string text;
    for (int i = 0; i < count; ++i) text += numberText(std::round(dist(engine) * 10) / 10) + "\r\n";
    return QString::fromStdString(text);
}

// The program as the user has it: the frame started, the data pasted into the input window.
struct Program {
    AnalysisStore store;
    RandomSource random;
    CountingPrompt prompt;
    std::unique_ptr<MDIForm1> frame;

    explicit Program(int values) {
        frame = std::make_unique<MDIForm1>(store, random, prompt);
        frame->endProgram = [] {};
        frame->printerDialog = [](QWidget*) {};
        frame->startUp(1);
        QGuiApplication::clipboard()->setText(labColumn(values));
        frame->inputWindow()->Command2->click();  // 張り付け
        QCoreApplication::processEvents();
    }
    ~Program() {
        frame.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // "解析(ﾋｽﾄｸﾞﾗﾑ)", then the repaint of the windows the user waits for.
    void analyse() {
        frame->inputWindow()->Command5->click();
        QCoreApplication::processEvents();
    }
};

// A line of /proc/self/status in megabytes ("VmRSS", "VmHWM"), or -1.
double statusMegabytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) return std::atof(line.c_str() + key.size() + 1) / 1024;
    }
    return -1;
}

void ResidentMemoryAfterAnalysis(benchmark::State& state) {
    for (auto _ : state) {
        Program program(static_cast<int>(state.range(0)));
        program.analyse();
        if (program.prompt.messages != 0) state.SkipWithError("the analysis showed a message");
        state.counters["VmRSS_MB"] = statusMegabytes("VmRSS");
        state.counters["VmHWM_MB"] = statusMegabytes("VmHWM");
    }
}
// First, so that it sees the program as it is after one analysis and nothing else.
BENCHMARK(ResidentMemoryAfterAnalysis)->Arg(5000)->Iterations(1)->Unit(benchmark::kMillisecond);

void AnalysisCommand(benchmark::State& state) {
    Program program(static_cast<int>(state.range(0)));
    for (auto _ : state) program.analyse();
    if (program.prompt.messages != 0) state.SkipWithError("the analysis showed a message");
}
BENCHMARK(AnalysisCommand)->Arg(5000)->Unit(benchmark::kMillisecond);

// "基準範囲の評価": the analysis, the evaluation with its tests, and the text and both charts
// drawn, as the user waits for them.
void OpenEvaluationWindow(benchmark::State& state) {
    Program program(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        program.frame->openEvaluationWindow();
        program.frame->evaluationWindow()->repaint();
        QCoreApplication::processEvents();
    }
    if (program.prompt.messages != 0) state.SkipWithError("the evaluation showed a message");
}
BENCHMARK(OpenEvaluationWindow)->Arg(5000)->Unit(benchmark::kMillisecond);

// For comparison: "新規作成" and "張り付け" of the same column, the grid filled anew.
void NewAndPasteCommand(benchmark::State& state) {
    Program program(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        program.frame->inputWindow()->Command1->click();
        program.frame->inputWindow()->Command2->click();
        QCoreApplication::processEvents();
    }
    if (program.store.DataCount != state.range(0)) state.SkipWithError("the paste was not read");
}
BENCHMARK(NewAndPasteCommand)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setUpApplication(app);
    // The folder remembered by opening files goes nowhere near the user's settings.
    const QString settings = QDir::temp().filePath(QStringLiteral("kijunchi-bench-settings"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QDir(settings).removeRecursively();
    return 0;
}
