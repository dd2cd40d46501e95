#pragma once
// A started frame with a recording prompt, its exit and printer dialog replaced by counters.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <QString>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "analysis/store.h"
#include "generators/random_source.h"
#include "gui/input/frm_mnu_window.h"
#include "gui/shell/mdi_form.h"
#include "support/poppler.h"
#include "support/recording_file_prompt.h"
#include "support/recording_prompt.h"
#include "support/temp_files.h"

namespace kijunchi::testing {

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        store = std::make_unique<AnalysisStore>();
        frame = std::make_unique<MDIForm1>(*store, random, prompt);
        frame->resize(1000, 800);
        frame->endProgram = [this] { ++programEnds; };
        frame->printerDialog = [this](QWidget*) { ++printerDialogs; };
        frame->startUp(1);
    }
    void TearDown() override {
        frame.reset();
        flushDeletes();
    }

    static void flushDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    frmMnu& input() { return *frame->inputWindow(); }

    // What the user does: put text on the clipboard and press "張り付け".
    void paste(const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        input().Command2->click();
    }

    void closeInputWindow() {
        frame->subWindowOf(frame->inputWindow())->close();
        flushDeletes();
    }

    std::unique_ptr<AnalysisStore> store;
    RandomSource random;
    RecordingPrompt prompt;
    std::unique_ptr<MDIForm1> frame;
    int programEnds = 0;
    int printerDialogs = 0;
};

// The frame with its file questions answered from queues, and a folder for the files.
class FileFrameTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        frame->setFilePrompt(files);
    }
    // "データファイルを開く…" answered with the file (and a column when asked).
    void open(const std::string& file, std::optional<int> column = std::nullopt) {
        files.fileNames.push_back(QString::fromStdString(file));
        if (column) files.choices.push_back(column);
        frame->OpenFile->trigger();
    }
    void analyse() { input().Command5->click(); }
    // "PDFに出力…" to name in the folder, as text; nullopt without poppler-utils.
    std::optional<QString> exportedPdf(const std::string& name = "report.pdf") {
        const std::string pdf = folder.file(name);
        std::filesystem::remove(pdf);
        files.fileNames = {QString::fromStdString(pdf)};
        frame->ExportPdf->trigger();
        const auto text = poppler(QStringLiteral("pdftotext"),
                                  {QString::fromStdString(pdf), QStringLiteral("-")});
        if (!text) return std::nullopt;
        return QString::fromUtf8(*text);
    }
    // The same without blanks; empty without poppler-utils.
    QString pdfText() {
        return exportedPdf().value_or(QString()).remove(QRegularExpression(QStringLiteral("\\s")));
    }

    RecordingFilePrompt files;
    TempFolder folder;
};

}  // namespace kijunchi::testing
