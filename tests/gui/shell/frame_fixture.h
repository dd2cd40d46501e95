#pragma once
// A started frame with a recording prompt, its exit and printer dialog replaced by counters.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QString>
#include <memory>

#include "analysis/store.h"
#include "generators/random_source.h"
#include "gui/input/frm_mnu_window.h"
#include "gui/shell/mdi_form.h"
#include "support/recording_prompt.h"

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

}  // namespace kijunchi::testing
