#pragma once
// What the transformation window and the generator dialogs write to, and a button press that
// also runs the deletion a window closing itself has queued.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPushButton>
#include <QTest>

#include "analysis/store.h"
#include "generators/random_source.h"
#include "support/data_set.h"
#include "support/recording_grid.h"
#include "support/recording_prompt.h"

namespace kijunchi::testing {

class DialogTest : public ::testing::Test {
protected:
    static void press(QPushButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    AnalysisStore store;
    RandomSource random;
    RecordingGrid grid;
    RecordingPrompt prompt;
};

}  // namespace kijunchi::testing
