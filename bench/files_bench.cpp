// Opening a data file as the user waits for it: a 10 MB CSV of 5000 rows × 20 columns (18
// columns of results, 2 of free-text comments) read, its encoding and separator found and its
// columns counted, up to the column dialog; in UTF-8 and in Shift_JIS (converted whole).
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <QCoreApplication>
#include <QDir>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "analysis/store.h"
#include "files/data_file.h"
#include "generators/random_source.h"
#include "gui/files/file_prompt_dialog.h"
#include "gui/shell/mdi_form.h"
#include "gui/widgets/prompt.h"
#include "lab_workbook.h"

namespace {

using namespace kijunchi;

class SilentPrompt final : public Prompt {
public:
    int messages = 0;
    void message(QWidget*, const QString&, const QString&, Icon) override { ++messages; }
    bool askYesNo(QWidget*, const QString&, const QString&) override { return false; }
    Answer askYesNoCancel(QWidget*, const QString&, const QString&) override { return Answer::No; }
};

// Answers the column dialog with a cancel, and counts that it was reached.
class ColumnDialogReached final : public FilePrompt {
public:
    int reached = 0;
    QString openFileName(QWidget*, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QStringList&) override {
        return {};
    }
    std::optional<int> chooseItem(QWidget*, const QString&, const QString&, const QStringList&,
                                  const QList<bool>&, int) override {
        return std::nullopt;
    }
    std::optional<ColumnChoice> chooseColumns(QWidget*, const QString&, const QString&,
                                              const QStringList&, const QList<bool>&, int,
                                              const QStringList&, bool) override {
        ++reached;
        return std::nullopt;
    }
    std::optional<QSize> pictureSize(QWidget*, const QSize&) override { return std::nullopt; }
    QString openStudyName(QWidget*, const QString&) override { return {}; }
    std::optional<int> askNumber(QWidget*, const QString&, const QString&, int, int, int) override {
        return std::nullopt;
    }
};

std::string toShiftJis(const std::string& utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    std::string out(utf8.size() + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size(), outLeft = out.size();
    char* outPtr = out.data();
    iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

// 5000 rows × 20 columns, about 10 MB in UTF-8.
const std::string& labExport(bool shiftJis) {
    static const std::string utf8 = [] {
        std::mt19937 engine(11);
        std::normal_distribution<double> value(100, 15);
        std::string text = "検体番号";
        for (int c = 1; c <= 17; ++c) text += ",項目" + std::to_string(c);
        text += ",所見,備考\r\n";
        const std::string comment = "溶血なし、乳びなし、再検不要。";  // 45 bytes
        std::string longComment;
        while (longComment.size() < 930) longComment += comment;
        for (int r = 0; r < 5000; ++r) {
            text += "S" + std::to_string(100000 + r);
            for (int c = 0; c < 17; ++c) {
                char field[16];
                std::snprintf(field, sizeof field, ",%.1f", value(engine));
                text += field;
            }
            text += "," + longComment + "," + longComment + "\r\n";
        }
        return text;
    }();
    static const std::string sjis = toShiftJis(utf8);
    return shiftJis ? sjis : utf8;
}

std::string writeExport(bool shiftJis) {
    const auto path = std::filesystem::temp_directory_path() /
                      (shiftJis ? "kijunchi-bench-sjis.csv" : "kijunchi-bench-utf8.csv");
    std::ofstream(path, std::ios::binary) << labExport(shiftJis);
    return path.string();
}

void ReadDataFile(benchmark::State& state) {
    const std::string path = writeExport(state.range(0) != 0);
    for (auto _ : state) {
        DataFileResult read = readDataFile(path);
        if (read.file.columns.size() != 20) state.SkipWithError("not 20 columns");
        benchmark::DoNotOptimize(read);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}
BENCHMARK(ReadDataFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// "データファイルを開く…" in the real frame (offscreen), up to the column dialog.
void OpenDataFileToColumnDialog(benchmark::State& state) {
    const std::string path = writeExport(state.range(0) != 0);
    AnalysisStore store;
    RandomSource random;
    SilentPrompt prompt;
    ColumnDialogReached files;
    auto frame = std::make_unique<MDIForm1>(store, random, prompt);
    frame->endProgram = [] {};
    frame->setFilePrompt(files);
    frame->startUp(1);
    for (auto _ : state) frame->openDataFile(QString::fromStdString(path));
    if (files.reached != static_cast<int>(state.iterations()) || prompt.messages != 0)
        state.SkipWithError("the column dialog was not reached");
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    frame.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    std::filesystem::remove(path);
}
BENCHMARK(OpenDataFileToColumnDialog)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same for a 10 MB workbook of one sheet (no sheet question), up to the column dialog.
void OpenWorkbookToColumnDialog(benchmark::State& state) {
    const std::string path = bench::writeLabWorkbook();
    AnalysisStore store;
    RandomSource random;
    SilentPrompt prompt;
    ColumnDialogReached files;
    auto frame = std::make_unique<MDIForm1>(store, random, prompt);
    frame->endProgram = [] {};
    frame->setFilePrompt(files);
    frame->startUp(1);
    for (auto _ : state) frame->openDataFile(QString::fromStdString(path));
    if (files.reached != static_cast<int>(state.iterations()) || prompt.messages != 0)
        state.SkipWithError("the column dialog was not reached");
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    frame.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    std::filesystem::remove(path);
}
BENCHMARK(OpenWorkbookToColumnDialog)->Unit(benchmark::kMillisecond);

// The file KIJUNCHI_BIG_FILE names (bench/big_file.sh writes 256 MB of "1\n") opened in the real
// frame, offscreen: the reading thread, the first 5000 values into the input window, the message.
// Run alone under /usr/bin/time -v for the peak memory:
//   KIJUNCHI_BIG_FILE=/tmp/kijunchi-big-file.txt kijunchi_gui_bench --benchmark_filter=OpenBig
void OpenBigDataFile(benchmark::State& state) {
    const char* path = std::getenv("KIJUNCHI_BIG_FILE");
    if (!path) {
        state.SkipWithError("KIJUNCHI_BIG_FILE names no file");
        return;
    }
    AnalysisStore store;
    RandomSource random;
    SilentPrompt prompt;
    ColumnDialogReached files;
    auto frame = std::make_unique<MDIForm1>(store, random, prompt);
    frame->endProgram = [] {};
    frame->setFilePrompt(files);
    frame->startUp(1);
    for (auto _ : state) frame->openDataFile(QString::fromLocal8Bit(path));
    if (store.DataCount != 5000) state.SkipWithError("the first 5000 values were not read");
    frame.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
BENCHMARK(OpenBigDataFile)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
