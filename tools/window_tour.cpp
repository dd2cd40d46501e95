// A tour of every window in a real X session, for looking at them and for the screenshots in
// docs/: start-up, an analysis (tiled; KIJUNCHI_TOUR_MAXIMISED=1: in a maximised frame), cascade
// from the frame and from the input window, each child window maximised, the input window tiled
// small and scrolled, the transformation window, both generators and the version window; then the
// evaluation, tiled with the others, the print preview, the documents written (a PDF, each picture
// as SVG and PNG at two sizes, the copied figure) and the result windows once the data set has
// changed after the analysis; with a workbook of several sheets, its sheet question. Each step
// waits for the window manager, then grabs the screen into <folder>/<step>.png. Given an extract of
// routine results (kijunchi_indirect_bench extract), the window of the indirect method is run on it
// by sex among the outpatients before the documents are written ("" for none).
//
//   kijunchi_window_tour <folder> <data file> [<extract> [<workbook>]]
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextStream>
#include <QTimer>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "analysis/store.h"
#include "generators/random_source.h"
#include "gui/evaluation/distribution_charts.h"
#include "gui/evaluation/evaluation_window.h"
#include "gui/generators/itiyou_dialog.h"
#include "gui/generators/nrm_dialog.h"
#include "gui/input/frm_mnu_window.h"
#include "gui/results/histogram_window.h"
#include "gui/results/report_document.h"
#include "gui/results/statistics_window.h"
#include "gui/shell/about.h"
#include "gui/shell/mdi_form.h"
#include "gui/study/batch_window.h"
#include "gui/study/indirect_window.h"
#include "gui/study/partition_window.h"
#include "gui/study/study_windows.h"
#include "gui/study/verification_window.h"
#include "gui/transform/box_window.h"
#include "gui/widgets/app_setup.h"
#include "gui/widgets/prompt.h"

namespace {

// Messages are printed instead of shown, and questions answered No, so that the tour runs on.
class PrintingPrompt final : public kijunchi::Prompt {
public:
    void message(QWidget*, const QString& text, const QString& title, Icon) override {
        qInfo("message: %s / %s", qPrintable(title), qPrintable(text));
    }
    bool askYesNo(QWidget*, const QString& text, const QString& title) override {
        qInfo("question: %s / %s (answered No)", qPrintable(title), qPrintable(text));
        return false;
    }
    Answer askYesNoCancel(QWidget*, const QString& text, const QString& title) override {
        qInfo("question: %s / %s (answered No)", qPrintable(title), qPrintable(text));
        return Answer::No;
    }
};

// Values with a group column for 分割の検討 (120 women, 120 men) and a file of ten analytes in
// two groups for 一括評価, drawn from a fixed seed.
QString groupedValues() {
    std::mt19937 engine(20261210);
    std::normal_distribution<double> women(9.2, 0.35), men(9.45, 0.4);
    QString text = QStringLiteral("Ca\t性別\r\n");
    for (int i = 0; i < 240; ++i)
        text += QString::number(std::round((i < 120 ? women : men)(engine)*10) / 10, 'f', 1) +
                (i < 120 ? QStringLiteral("\t女\r\n") : QStringLiteral("\t男\r\n"));
    return text;
}

bool writeBatchFile(const QString& path) {
    struct Analyte {
        const char* name;
        double centre, spread;
    };
    const Analyte analytes[] = {{"TP", 7.1, 0.06}, {"Alb", 4.4, 0.07}, {"AST", 20, 0.25},
                                {"ALT", 18, 0.4},  {"LD", 180, 0.15},  {"ALP", 75, 0.25},
                                {"γ-GT", 25, 0.5}, {"CK", 110, 0.4},   {"UA", 5.3, 0.25},
                                {"Ca", 9.3, 0.04}};
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QTextStream out(&file);
    out << QStringLiteral("性別");
    for (const Analyte& a : analytes) out << ',' << a.name;
    out << "\r\n";
    std::mt19937 engine(20261211);
    std::normal_distribution<double> z;
    for (int i = 0; i < 240; ++i) {
        out << (i % 2 ? QStringLiteral("男") : QStringLiteral("女"));
        for (const Analyte& a : analytes)
            out << ',' << QString::number(a.centre * std::exp(a.spread * z(engine)), 'f', 1);
        out << "\r\n";
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kijunchi::setUpApplication(app);
    if (argc < 3) {
        qCritical("usage: kijunchi_window_tour <folder> <data file> [<extract> [<workbook>]]");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    QFile data(QString::fromLocal8Bit(argv[2]));
    if (!data.open(QIODevice::ReadOnly)) {
        qCritical("cannot read %s", argv[2]);
        return 2;
    }
    const QString values = QString::fromUtf8(data.readAll());
    const QString extract = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    const QString workbook = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString();

    kijunchi::AnalysisStore store;
    kijunchi::RandomSource random;
    PrintingPrompt prompt;
    kijunchi::MDIForm1 frame(store, random, prompt);
    frame.endProgram = [] {};

    // The whole screen as <name>.png and, when a window is named, that window with its frame
    // from the window manager as <name>-window.png.
    auto shot = [&](const char* name, const QWidget* window = nullptr) {
        QScreen* screen = QGuiApplication::primaryScreen();
        const QPixmap whole = screen->grabWindow(0);
        const QString path = folder + QLatin1Char('/') + QLatin1String(name);
        whole.save(path + QStringLiteral(".png"));
        if (window) {
            const qreal ratio = whole.devicePixelRatio();
            // A top-level window's place is on the screen; a child's (an MDI child) in its
            // parent.
            const QRect place = window->isWindow()
                                    ? window->frameGeometry()
                                    : QRect(window->mapToGlobal(QPoint(0, 0)), window->size());
            const QRect pixels =
                QRectF(QPointF(place.topLeft()) * ratio, QSizeF(place.size()) * ratio)
                    .toAlignedRect();
            whole.copy(pixels.intersected(whole.rect())).save(path + QStringLiteral("-window.png"));
        }
        qInfo("%s", name);
    };
    auto sub = [&](QWidget* w) { return frame.subWindowOf(w); };

    QTimer timer;
    std::vector<std::function<void()>> steps = {
        [&] {
            // KIJUNCHI_TOUR_MAXIMISED: the frame fills the screen, as a user may set it.
            if (!qEnvironmentVariable("KIJUNCHI_TOUR_MAXIMISED").isEmpty()) frame.showMaximized();
            frame.inputWindow()->Text3->setText(QStringLiteral("5"));
            QGuiApplication::clipboard()->setText(values);
            frame.inputWindow()->Command2->click();
            frame.inputWindow()->Command5->click();
        },
        [&] { shot("analysis-tiled", &frame); },
        [&] {
            frame.mdiArea->setActiveSubWindow(sub(frame.statisticsWindow()));
            frame.WW2->trigger();
        },
        [&] { shot("cascade-frame"); },
        [&] { frame.inputWindow()->WW3->trigger(); },
        [&] { shot("cascade-input"); },
        [&] { sub(frame.inputWindow())->showMaximized(); },
        [&] { shot("maximised-input"); },
        [&] { sub(frame.statisticsWindow())->showMaximized(); },
        [&] { shot("maximised-statistics"); },
        [&] { sub(frame.histogramWindow())->showMaximized(); },
        [&] { shot("maximised-histogram"); },
        [&] { frame.tileCommand(); },
        [&] {
            frame.inputWindow()->scrollArea()->ensureWidgetVisible(frame.inputWindow()->Command10);
        },
        [&] { shot("tiled-input-scrolled"); },
        [&] { frame.tileCommand(); },
        [&] { frame.inputWindow()->Command3->click(); },
        [&] { shot("transform", frame.transformWindow()); },
        [&] {
            if (frame.transformWindow()) frame.transformWindow()->close();
            frame.inputWindow()->Command9->click();
        },
        [&] { shot("normal-generator", frame.normalGenerator()); },
        [&] {
            if (frame.normalGenerator()) frame.normalGenerator()->close();
            frame.inputWindow()->Command4->click();
        },
        [&] { shot("uniform-generator", frame.uniformGenerator()); },
        [&] {
            if (frame.uniformGenerator()) frame.uniformGenerator()->close();
            frame.toolbarButtonClick(kijunchi::MDIForm1::kVersionButton);
        },
        [&] { shot("version", frame.modelessAbout()); },
        [&] {
            if (frame.modelessAbout()) frame.modelessAbout()->close();
            frame.raise();
            frame.activateWindow();
        },
        [&] { shot("frame"); },
        // The frame's own menu: its title "バージョン情報" opens the version window, and no
        // menu may drop down once that window is closed.
        [&] {
            frame.mdiArea->setActiveSubWindow(sub(frame.statisticsWindow()));
            frame.menuBar()->setActiveAction(frame.M7->menuAction());
        },
        [&] { shot("version-from-menu"); },
        [&] {
            if (auto* about = qobject_cast<kijunchi::About*>(QApplication::activeModalWidget()))
                about->OK->click();
        },
        [&] { shot("after-version-from-menu"); },
        [&] { frame.WW3->trigger(); },
        [&] { shot("evaluation", frame.evaluationWindow()); },
        [&] { frame.tileCommand(); },
        [&] { shot("tiled-with-evaluation"); },
        [&] {
            if (QScrollBar* bar = frame.mdiArea->verticalScrollBar()) bar->setValue(bar->maximum());
        },
        [&] { shot("tiled-with-evaluation-scrolled", &frame); },
        // An analysis with the evaluation open keeps the arrangement.
        [&] { frame.inputWindow()->Command5->click(); },
        [&] { shot("analysis-with-evaluation", &frame); },
        [&] { frame.tileCommand(); },
        // Values out of the data set: the evaluation lists them and says how many.
        [&] {
            kijunchi::StudyHeader header;
            header.analyte = "カルシウム";
            header.author = "検査 花子";
            header.approver = "承認 太郎";
            frame.setStudyHeader(header);
            if (frame.evaluationWindow()) frame.evaluationWindow()->ExcludeTukey->trigger();
        },
        [&] { sub(frame.evaluationWindow())->showMaximized(); },
        [&] {
            if (frame.evaluationWindow())
                frame.evaluationWindow()->Text1->verticalScrollBar()->setValue(
                    frame.evaluationWindow()->Text1->verticalScrollBar()->maximum() / 2);
        },
        [&] { shot("evaluation-excluded", frame.evaluationWindow()); },
        [&] { shot("evaluation-excluded-frame", &frame); },
        // 検討の情報 is modal: its picture is taken and it is closed from inside it.
        [&] {
            QTimer::singleShot(1500, [&] {
                QWidget* dialog = QApplication::activeModalWidget();
                shot("study-header", dialog);
                if (dialog) dialog->close();
            });
            frame.StudyInfo->trigger();
        },
        [&] { frame.tileCommand(); },
        [&] {
            if (extract.isEmpty()) return;
            kijunchi::IndirectWindow* w = frame.studies->showIndirect();
            w->chooseDataFiles = [&] { return QStringList{extract}; };
            w->OpenButton->click();
            w->ValueBox->setCurrentText(QStringLiteral("値"));
            w->GroupBox->setCurrentText(QStringLiteral("性別"));
            w->WhereBox->setCurrentText(QStringLiteral("区分"));
            w->WhereEdit->setText(QStringLiteral("外来"));
            sub(w)->showMaximized();
        },
        [&] {
            // The estimate waits in its own event loop: no step may run meanwhile.
            if (extract.isEmpty()) return;
            timer.stop();
            frame.studies->indirectWindow()->RunButton->click();
            timer.start();
        },
        [&] {
            if (extract.isEmpty()) return;
            shot("indirect", &frame);
        },
        // The comparison with an adopted interval: the women's truth typed in (the extract's
        // women are ln-normal about 100 with σ 0.15: 74.5–134.2), the men's lies higher.
        [&] {
            if (extract.isEmpty()) return;
            kijunchi::IndirectWindow* w = frame.studies->indirectWindow();
            w->CompareCheck->setChecked(true);
            w->AdoptedBox->setCurrentIndex(0);
            w->AdoptedLowerEdit->setText(QStringLiteral("74.5"));
            w->AdoptedUpperEdit->setText(QStringLiteral("134.2"));
            timer.stop();
            w->RunButton->click();
            timer.start();
        },
        [&] {
            if (extract.isEmpty()) return;
            kijunchi::IndirectWindow* w = frame.studies->indirectWindow();
            w->Table->scrollToItem(w->Table->item(0, w->Table->columnCount() - 2));
            w->ChartBox->setCurrentIndex(1);
        },
        [&] {
            if (extract.isEmpty()) return;
            shot("indirect-adopted", &frame);
        },
        // The chart's foot, its legend and the status, where the window is smaller than its
        // page (a small screen or a large scaling) and scrolls it.
        [&] {
            if (extract.isEmpty()) return;
            auto* page = frame.studies->indirectWindow()->findChild<QScrollArea*>();
            if (page) page->verticalScrollBar()->setValue(page->verticalScrollBar()->maximum());
        },
        [&] {
            if (extract.isEmpty()) return;
            shot("indirect-adopted-foot", &frame);
            auto* page = frame.studies->indirectWindow()->findChild<QScrollArea*>();
            if (page) page->verticalScrollBar()->setValue(0);
        },
        // Then against the JCCLS table's glucose row (73–109 mg/dL), which the report keeps.
        [&] {
            if (extract.isEmpty()) return;
            kijunchi::IndirectWindow* w = frame.studies->indirectWindow();
            w->AdoptedBox->setCurrentIndex(1);
            w->AnalyteEdit->setText(QStringLiteral("Glu"));
            timer.stop();
            w->RunButton->click();
            timer.start();
        },
        [&] {
            if (extract.isEmpty()) return;
            shot("indirect-jccls", &frame);
            sub(frame.studies->indirectWindow())->showNormal();
        },
        // 基準範囲の検証 against a row of the JCCLS table: the men's uric acid (3.7–7.8 mg/dL).
        [&] {
            kijunchi::VerificationWindow* w = frame.studies->showVerification();
            w->TableBox->setCurrentIndex(1);
            w->AnalyteBox->setCurrentText(QStringLiteral("UA"));
            w->SexBox->setCurrentIndex(1);
            w->VerifyButton->click();
            sub(w)->move(30, 30);
            sub(w)->raise();
        },
        [&] { shot("verification-table", sub(frame.studies->verificationWindow())); },
        // The analysis approved: the approver and the time head every page.
        [&] { frame.Approve->trigger(); },
        [&] {
            // The documents, as the file commands write them.
            const QString report = folder + QStringLiteral("/report.pdf");
            kijunchi::writeReportPdf(report, frame.reportDescription(), frame.documentParts(),
                                     frame.runningHead());
            int index = 0;
            for (const kijunchi::DocumentPart* part : frame.documentParts())
                for (int p = 0; p < part->pictureCount(); ++p, ++index)
                    for (const QSize size : {QSize(1000, 700), QSize(700, 700)})
                        for (const char* type : {"png", "svg"})
                            kijunchi::writePicture(QStringLiteral("%1/picture-%2-%3x%4.%5")
                                                       .arg(folder)
                                                       .arg(index)
                                                       .arg(size.width())
                                                       .arg(size.height())
                                                       .arg(QLatin1String(type)),
                                                   *part, p, size);
            if (frame.evaluationWindow()) {
                frame.evaluationWindow()->Command2->click();
                QGuiApplication::clipboard()->image().save(folder +
                                                           QStringLiteral("/copied-figure.png"));
            }
        },
        // The print preview is modal: its picture is taken and it is closed from inside it.
        [&] {
            QTimer::singleShot(3000, [&] {
                shot("print-preview");
                if (QWidget* preview = QApplication::activeModalWidget()) preview->close();
            });
            frame.PrintReport->trigger();
        },
        [&] {
            // Another data set after the analysis: the result windows say whose results they hold.
            QGuiApplication::clipboard()->setText(QStringLiteral("5\r\n6\r\n7\r\n"));
            frame.inputWindow()->Command2->click();
        },
        [&] { shot("earlier-data"); },
        // 分割の検討 of values with a group column.
        [&] {
            frame.inputWindow()->GroupTick->setChecked(true);
            QGuiApplication::clipboard()->setText(groupedValues());
            frame.inputWindow()->Command2->click();
            frame.studies->showPartition();
        },
        [&] { shot("partition", sub(frame.studies->partitionWindow())); },
        // 一括評価 of ten analytes in two groups.
        [&] {
            kijunchi::BatchWindow* w = frame.studies->showBatch();
            const QString file = folder + QStringLiteral("/batch.csv");
            if (!writeBatchFile(file)) return;
            w->openFile(file);
            w->GroupBox->setCurrentText(QStringLiteral("性別"));
            timer.stop();
            w->RunButton->click();
            timer.start();
        },
        [&] { shot("batch", sub(frame.studies->batchWindow())); },
        [&] { shot("batch-frame", &frame); },
        // The sheet question of the workbook is modal: its picture is taken, then it is
        // cancelled from inside it.
        [&] {
            if (workbook.isEmpty()) return;
            QTimer::singleShot(1500, [&] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                shot("sheet-dialog", dialog);
                if (dialog) dialog->reject();
            });
            frame.openDataFile(workbook);
        },
        [&] { QCoreApplication::quit(); },
    };

    // One step every 700 ms, time for the window manager to map and decorate the windows.
    std::size_t next = 0;
    timer.setInterval(700);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (next < steps.size()) steps[next++]();
    });
    // The start-up window is shown for its 3000 ms; one look at it on the way.
    QTimer::singleShot(1200, [&] { shot("startup", &frame); });
    frame.startUp();
    timer.start();
    return QApplication::exec();
}
