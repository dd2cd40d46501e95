// A long run of random user actions over the real windows, from a fixed seed. After every
// action: no exception escaped and no modal dialog opened, every message went through the prompt
// and is one of the program's own, the data set keeps its invariants and no window shows "nan"
// or "inf".
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <cmath>
#include <functional>
#include <optional>
#include <random>

#include "analysis/number_text.h"
#include "generators/generators.h"
#include "gui/generators/itiyou_dialog.h"
#include "gui/generators/nrm_dialog.h"
#include "gui/results/histogram_window.h"
#include "gui/results/statistics_window.h"
#include "gui/shell/frame_fixture.h"
#include "gui/transform/box_window.h"
#include "report/analysis_run.h"
#include "report/sig_round.h"
#include "transform/power_transform.h"

namespace kijunchi::testing {
namespace {

constexpr int kActions = 2000;

const char* const kNumbers[] = {"12",     "15.5", "-3",         "0",           "-0",       "1e3",
                                "-2.5E1", "2D2",  "&H1F",       "&O17",        "1,234",    "1 234",
                                ".5",     "+7",   "1.7976e308", "-1.7976e308", "4.9e-324", "1e400",
                                "abc",    "nan",  "inf",        "1E",          " 42 "};
const char* const kClasses[] = {"5", "5",   "4",   "7", "12",   "3",
                                "0", "4.5", "abc", "",  "1000", "1e9"};
const char* const kLambdas[] = {"1", "0", "0.5", "-1", "3", "2.5", "-0.5", "abc", "", "1e5", "&H2"};
const char* const kCounts[] = {"100", "40", "5000", "5001", "0", "3", "-1", "2.5", "abc", "1200"};
const char* const kMeans[] = {"50", "0", "-7.5", "1e6", "1.7e308", "1.7976e308", "abc", ""};
const char* const kSDs[] = {"10", "0", "0.001", "1e300", "1e308", "-2", ""};
const char* const kMaxima[] = {"100", "20", "2.5", "0", "-5", "1.7976e308", "abc"};

struct DataSet {
    int dataCount = 0, workCount = 0;
    std::array<Value, kSlots> data, analysis;
    bool operator==(const DataSet&) const = default;
};

class Soak : public FrameTest {
public:  // the test body takes the actions by member pointer
    int pick(std::size_t n) {
        return std::uniform_int_distribution<int>(0, static_cast<int>(n) - 1)(rng_);
    }
    template <std::size_t N>
    QString any(const char* const (&list)[N]) {
        return QString::fromUtf8(list[pick(N)]);
    }
    QString cell(int i) { return input().TextMatrix(i % 200 + 1, i / 200 + 1); }
    DataSet dataSet() const {
        return {store->DataCount, store->WorkCount, store->DataValues, store->AnalysisValues};
    }
    bool messageSince(std::size_t shown) const { return prompt.shown.size() > shown; }

    // Texts as a spreadsheet (or anything else) puts them on the clipboard.
    QString number() {
        std::normal_distribution<double> lab(100, 15);
        return pick(12) ? QString::number(std::round(lab(rng_) * 10) / 10) : any(kNumbers);
    }
    QString column(int count) {
        const QString eol = pick(4) ? QStringLiteral("\r\n") : QStringLiteral("\n");
        QString text;
        for (int i = 0; i < count; ++i) text += number() + (i + 1 < count || pick(2) ? eol : "");
        return text;
    }
    QString randomPaste() {
        const int kind = pick(8);
        if (kind == 0) return {};
        if (kind == 1) return column(5001 + pick(1000));  // over 5000: the first 5000 are kept
        if (kind == 2) return QStringLiteral("Value\r\n") + column(1 + pick(300));
        if (kind == 3) return column(pick(50)) + QStringLiteral("\r\n") + column(pick(50));
        QString text;
        if (kind == 4) {  // bytes of anything
            for (int i = pick(400); i >= 0; --i) text += QChar(pick(256));
        } else if (kind == 5) {  // a block of cells, some empty
            for (int r = 1 + pick(30); r > 0; --r, text += QStringLiteral("\r\n"))
                for (int c = 1 + pick(6); c > 0; --c) text += (pick(10) ? number() : "") + "\t";
        } else {
            text = column(1 + pick(pick(3) ? 60 : 1500));
        }
        return text;
    }

    // DataValues(1..n) equal AnalysisValues or their four-digit rounding (either, when the
    // data set may have come from a paste or a generator), and the grid shows the first
    // min(n, 1000) of them and nothing above them.
    void expectInStep(int n, std::optional<bool> rounded) {
        for (int i = 1; i <= n; ++i) {
            const double analysis = store->AnalysisValues[i].toNumber();
            const bool same = store->DataValues[i] == store->AnalysisValues[i];
            const bool four = store->DataValues[i] == Value(SigRound(analysis));
            ASSERT_TRUE(rounded ? (*rounded ? four : same) : (same || four))
                << "slot " << i << ": " << store->DataValues[i].toText() << " for " << analysis;
        }
        for (int i = 0; frame->inputWindow() && i < kGridValues; ++i) {
            ASSERT_EQ(cell(i).toStdString(),
                      i < n ? numberText(store->DataValues[i + 1].toNumber()) : std::string())
                << i;
        }
    }

    // Shows the input window again if it was closed: it loads anew.
    bool reopenInput() {
        if (frame->inputWindow()) return true;
        frame->M1->trigger();
        if (!frame->inputWindow()) return ADD_FAILURE() << "the input window did not reopen", false;
        EXPECT_EQ(input().Text3->text(), QStringLiteral("5"));
        EXPECT_EQ(input().Text1.text(), frame->PasteText);
        // The grid shows the data set again.
        EXPECT_EQ(cell(0).toStdString(),
                  store->WorkCount > 0 ? store->DataValues[1].toText() : std::string());
        return true;
    }
    void pasteAction() {
        paste(randomPaste());
        const int n = store->DataCount;
        EXPECT_EQ(store->WorkCount, n);
        EXPECT_EQ(input().Label4->text().toStdString(), numberText(n));
        // Too many values, or fields without a number.
        EXPECT_TRUE(!messageSince(shownBefore_) || n == kMaxValues ||
                    prompt.shown.back().text.contains(QStringLiteral("数値でない欄")))
            << n;
        expectInStep(n, false);
    }
    void newAction() {
        input().Command1->click();
        EXPECT_EQ(store->WorkCount, 0);
        EXPECT_TRUE(input().Text1.text().isEmpty() && input().Label4->text().isEmpty());
        for (int i = 0; i < kGridValues; ++i) ASSERT_EQ(cell(i), QString()) << i;
    }
    void analysisAction() {
        input().Text3->setText(any(kClasses));
        const DataSet before = dataSet();
        if (pick(3))
            input().Command5->click();
        else if (REG* reg = frame->histogramWindow())
            reg->Command3->click();  // 再表示
        EXPECT_EQ(store->DataCount, before.dataCount);
        EXPECT_TRUE(store->DataValues == before.data && store->AnalysisValues == before.analysis);
    }
    template <class Dialog>
    void generatorAction(Dialog* (MDIForm1::*dialog)() const, QPushButton* opener,
                         const std::function<void(Dialog&)>& fill) {
        opener->click();
        Dialog& d = *(frame.get()->*dialog)();
        fill(d);
        const DataSet before = dataSet();
        const auto count = readGeneratorCount(d.Text1->text().toStdString());
        const bool ok = pick(4) != 0;
        (ok ? d.Command2 : d.Command1)->click();  // OK or キャンセル
        flushDeletes();
        EXPECT_EQ((frame.get()->*dialog)() != nullptr, ok && messageSince(shownBefore_));
        if (!ok || messageSince(shownBefore_)) {  // cancelled, or refused and still open
            EXPECT_TRUE(dataSet() == before);
        } else {
            ASSERT_TRUE(count.has_value());
            EXPECT_EQ(store->DataCount, *count);
            expectInStep(*count, true);
        }
    }
    void normalAction() {
        generatorAction<NRM>(&MDIForm1::normalGenerator, input().Command9, [this](NRM& d) {
            d.Text1->setText(any(kCounts)), d.Text2->setText(any(kMeans));
            d.Text3->setText(any(kSDs));
        });
    }
    void uniformAction() {
        generatorAction<ITIYOU>(&MDIForm1::uniformGenerator, input().Command4, [this](ITIYOU& d) {
            d.Text1->setText(any(kCounts)), d.Text2->setText(any(kMaxima));
        });
    }
    void transformAction() {
        if (!frame->transformWindow() || pick(4) == 0) {
            if (!reopenInput()) return;
            input().Command3->click();  // restore the data set as measured, then open
            expectInStep(store->DataCount, std::nullopt);
            EXPECT_TRUE(store->Lambda.isBlank());
        }
        box& b = *frame->transformWindow();
        const DataSet before = dataSet();
        const std::size_t shown = prompt.shown.size();
        const int button = pick(5);
        if (button == 0) {
            b.Command1->click();  // ｺﾋﾟｰ
            QString table = b.Text2->toPlainText();
            EXPECT_EQ(clipboardText(), table.replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
        } else if (button == 1) {
            b.Command3->click();  // 閉じる
            EXPECT_FALSE(messageSince(shown));
            expectInStep(store->WorkCount, true);
        } else if (button == 2) {
            b.Command4->click();  // OK
            EXPECT_TRUE(dataSet() == before);
        } else {
            b.Text1->setText(any(kLambdas));
            b.Command2->click();  // 変換する
            if (messageSince(shown)) {
                EXPECT_TRUE(dataSet() == before);  // refused
            } else {
                expectInStep(store->DataCount, false);
            }
        }
    }
    void windowAction() {
        const DataSet before = dataSet();
        const std::function<void()> arrangements[] = {
            [this] { frame->tileCommand(); },
            [this] { frame->cascadeOnly(); },
            [this] { frame->cascadeWithHistogram(); },
            [this] { frame->arrangeIcons(); },
            [this] { closeInputWindow(); },
            [this] { reopenInput(); },
            [this] {  // the result windows refuse to close
                if (StatV* w = frame->statisticsWindow()) frame->subWindowOf(w)->close();
            },
            [this] { prompt.answers.push_back(pick(2)), frame->exitConfirmation(); },
            [this] { frame->toolbarButtonClick(1 + pick(5)); }};
        arrangements[pick(std::size(arrangements))]();
        EXPECT_TRUE(dataSet() == before);
    }
    void copyAction() {
        if (StatV* s = frame->statisticsWindow()) {
            s->Command1->click();
            EXPECT_EQ(clipboardText(), s->text());
        }
        if (REG* r = frame->histogramWindow()) r->Command1->click();
    }
    static QString clipboardText() { return QGuiApplication::clipboard()->text(); }

    // What must hold after every action.
    void expectInvariants() {
        EXPECT_EQ(modalDialogs_, 0) << "a modal dialog was opened";
        EXPECT_TRUE(store->DataCount >= 0 && store->DataCount <= kMaxValues) << store->DataCount;
        EXPECT_TRUE(store->WorkCount >= 0 && store->WorkCount <= kMaxValues) << store->WorkCount;
        const QString known[] = {kCalcErrorMessage,     kClassCountMessage, kGeneratorCountMessage,
                                 kLambdaRefusedMessage, kKeepFormMessage,   kExitQuestion};
        for (std::size_t i = shownBefore_; i < prompt.shown.size(); ++i) {
            const QString& text = prompt.shown[i].text;
            EXPECT_TRUE(std::find(std::begin(known), std::end(known), text) != std::end(known) ||
                        text.startsWith(QStringLiteral("データ数が上限の5000を超えています")) ||
                        text.startsWith(QStringLiteral("数値でない欄")))
                << text.toStdString();
        }
        for (double v : {store->MeanValue, store->MedianValue, store->VarianceValue, store->SDValue,
                         store->SkewnessValue, store->KurtosisValue, store->ParamLower,
                         store->ParamUpper, store->OrigLower, store->OrigUpper})
            EXPECT_TRUE(std::isfinite(v));
        QStringList texts;
        if (StatV* s = frame->statisticsWindow()) texts << s->text();
        if (box* b = frame->transformWindow())
            texts << b->Text2->toPlainText() << b->Label3->text();
        if (frame->inputWindow()) texts << input().Label3->text() << input().Label4->text();
        for (int i = 0; frame->inputWindow() && i < kGridValues; ++i) texts << cell(i);
        for (const QString& text : texts) {
            EXPECT_FALSE(text.contains(QStringLiteral("nan"), Qt::CaseInsensitive) ||
                         text.contains(QStringLiteral("inf"), Qt::CaseInsensitive))
                << text.toStdString();
        }
    }

    std::mt19937 rng_{20260211};
    std::size_t shownBefore_ = 0;
    int modalDialogs_ = 0;
};

TEST_F(Soak, RandomUserActionsKeepTheDataSetAndTheWindowsSound) {
    // The offscreen platform's notes on raise() and the like would bury the output.
    static const QtMessageHandler qtDefault = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& where, const QString& m) {
        if (!m.startsWith(QStringLiteral("This plugin does not support")))
            qtDefault(type, where, m);
    });
    // A modal dialog would wait for a user: the guard counts it and closes it.
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [this] {
        if (QWidget* modal = QApplication::activeModalWidget()) ++modalDialogs_, modal->close();
    });
    guard.start(0);

    // The first seven need the input window: it is shown again first if it was closed.
    const std::pair<const char*, void (Soak::*)()> actions[] = {
        {"paste", &Soak::pasteAction},
        {"paste", &Soak::pasteAction},
        {"new", &Soak::newAction},
        {"analysis", &Soak::analysisAction},
        {"analysis", &Soak::analysisAction},
        {"normal generator", &Soak::normalAction},
        {"uniform generator", &Soak::uniformAction},
        {"transformation", &Soak::transformAction},
        {"transformation", &Soak::transformAction},
        {"windows", &Soak::windowAction},
        {"copy", &Soak::copyAction}};
    for (int i = 0; i < kActions && !HasFailure(); ++i) {
        const auto k = static_cast<std::size_t>(pick(std::size(actions)));
        SCOPED_TRACE(::testing::Message() << "action " << i << ": " << actions[k].first);
        shownBefore_ = prompt.shown.size();
        try {
            if (k >= 7 || reopenInput()) (this->*actions[k].second)();
        } catch (const std::exception& e) {  // out of a slot it would end the program
            ADD_FAILURE() << "exception escaped: " << e.what();
        }
        flushDeletes();
        expectInvariants();
    }
}

}  // namespace
}  // namespace kijunchi::testing
