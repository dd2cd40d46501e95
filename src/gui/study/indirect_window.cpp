#include "gui/study/indirect_window.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <sstream>
#include <variant>

#include "adopted/adopted_table.h"
#include "analysis/number_text.h"
#include "files/table_reader.h"
#include "gui/results/chart_parts.h"
#include "gui/results/report_document.h"
#include "gui/widgets/file_prompt.h"
#include "gui/widgets/prompt.h"
#include "gui/widgets/window_layout.h"
#include "gui/widgets/worker_progress.h"
#include "indirect/adopted_columns.h"
#include "indirect/extract.h"
#include "indirect/extract_options.h"
#include "indirect/indirect_chart.h"
#include "indirect/indirect_table.h"
#include "indirect/site_spread.h"
#include "report/sig_round.h"

namespace kijunchi {

namespace {

constexpr const char* kTitle = "間接法による基準範囲";

const QColor kDensity(20, 20, 20);
const QColor kTruncation(110, 110, 110);
const QColor kLimit(180, 30, 30);
const QColor kAdopted(30, 70, 170);
const QColor kMargin(230, 140, 0);

QString none() {
    return QStringLiteral("（なし）");
}

// The column a chooser names, nullopt for （なし）.
std::optional<std::string> chosen(const QComboBox* box) {
    if (box->currentIndex() <= 0) return std::nullopt;
    return box->currentText().toStdString();
}

// Qt Charts draws a legend below the plot in one row and cuts its labels short ("...") where the
// row is wider than the chart. A chart too narrow for the row has its legend on the right, one
// entry a line, where it gets up to 0.4 of the chart's width; a label still cut short shows its
// whole text as a tooltip.
void placeLegend(QChart* chart, int width) {
    if (!chart || !chart->legend()->isVisible()) return;
    QLegend* legend = chart->legend();
    legend->setShowToolTips(true);
    // Each entry in the row: its label, its marker (half a line wide) and four gaps of 4 pixels.
    const QFontMetrics metrics(legend->font());
    double row = 0, widest = 0;
    for (const QLegendMarker* marker : legend->markers())
        if (marker->isVisible()) {
            const double label = metrics.boundingRect(marker->label()).width();
            row += label + 16 + metrics.height() / 2.0;
            widest = std::max(widest, label);
        }
    // The chart's margins, its layout's inner margins (20 pixels each side) and the legend's
    // (9 pixels each side), and a line's height to spare for the text as the legend measures it.
    const double margins =
        chart->margins().left() + chart->margins().right() + 40 + 18 + metrics.height();
    const bool below = width >= row + margins;
    legend->setAlignment(below ? Qt::AlignBottom : Qt::AlignRight);
    // On the right the legend asks for no more than its widest entry, and the entry, laid out
    // within the legend less the legend's margins, would lose the end of its label: room for
    // the label whole, with its marker, the gaps and the margins (the text measured as the
    // legend draws it is a little wider).
    legend->setMinimumWidth(below ? 0 : std::ceil(widest) + 6 * metrics.height());
}

// A title (the partition and its note) wider than the chart is cut short ("..."): the view then
// shows the whole title as its tooltip.
void showWholeTitle(QChartView& view, int width) {
    const QChart* chart = view.chart();
    const QString title = chart ? chart->title() : QString();
    const double room =
        width - (chart ? chart->margins().left() + chart->margins().right() : 0) - 40;
    const bool cut =
        QFontMetrics(chart ? chart->titleFont() : view.font()).horizontalAdvance(title) > room;
    view.setToolTip(cut ? title : QString());
}

// The chart of one partition: the histogram of its results, the fitted non-pathological
// density, the truncation points and the limits with their 90% intervals; the row's note (a
// warning, or the reason a partition was not estimated) in the title. A partition that was not
// estimated shows neither curve nor limits.
QChart* partitionChart(const IndirectWindow::Partition& p) {
    const IndirectResult& r = p.result;
    QString title = QString::fromStdString(p.label);
    if (p.site) title += QStringLiteral("　") + QString::fromStdString(p.site->site);
    std::string note = indirectNote(r);
    if (p.site && !p.site->note.empty()) note += (note.empty() ? "" : "。") + p.site->note;
    if (!note.empty()) title += QStringLiteral("　") + QString::fromStdString(note);
    const auto model = indirectChart(p.counts, r);
    QChart* chart = makeChart(title);
    if (!model) {
        chart->legend()->hide();
        return chart;
    }
    // The results beyond the chart (a pathological tail) and the censored ones are counted under
    // it, with where the chart ends.
    const auto edge = [](double v) { return QString::fromStdString(numberText(SigRound(v, 4))); };
    QStringList beyond;
    if (model->outsideBelow > 0)
        beyond << QStringLiteral("%1未満 %2件")
                      .arg(edge(model->bars.front().from))
                      .arg(model->outsideBelow);
    if (model->outsideAbove > 0)
        beyond << QStringLiteral("%1以上 %2件")
                      .arg(edge(model->bars.back().to))
                      .arg(model->outsideAbove);
    QString valueTitle = QStringLiteral("測定値");
    if (!beyond.isEmpty())
        valueTitle += QStringLiteral("（図の外: %1）").arg(beyond.join(QStringLiteral("、")));
    if (model->censored > 0)
        valueTitle += QStringLiteral("（打ち切り値%1件は描かず）").arg(model->censored);
    QValueAxis* x = makeChartAxis(model->valueAxis, valueTitle);
    QValueAxis* y = makeChartAxis(model->countAxis, QStringLiteral("度数（件数）"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    const double top = model->countAxis.max;

    auto* bars = histogramSeries(model->bars, QStringLiteral("すべての結果"));
    attachSeries(chart, bars, x, y, true);
    if (!r.estimated()) return chart;

    auto* density = new QLineSeries;
    density->setName(QStringLiteral("非病的分布（割合%1%）").arg(r.fraction * 100, 0, 'f', 1));
    for (const CurvePoint& point : model->density) density->append(point.x, point.y);
    density->setPen(QPen(kDensity, 1.6));
    attachSeries(chart, density, x, y, true);

    bool named = false;
    for (const auto& t : {model->lowerTruncation, model->upperTruncation}) {
        if (!t) continue;
        auto* line = polyline({{*t, 0}, {*t, top}});
        line->setName(QStringLiteral("切断点"));
        line->setPen(QPen(kTruncation, 1.2, Qt::DashLine));
        attachSeries(chart, line, x, y, !named);
        named = true;
    }
    named = false;
    for (const LimitInput& limit : model->limits) {
        auto* line = polyline({{limit.value, 0}, {limit.value, top}});
        line->setName(QStringLiteral("基準限界"));
        line->setPen(QPen(kLimit, 1.8));
        attachSeries(chart, line, x, y, !named);
        named = true;
    }
    named = false;
    for (const LimitInput& limit : model->limits) {
        if (!limit.ciLow || !limit.ciHigh) continue;
        auto* area = shadedBand(*limit.ciLow, *limit.ciHigh, top, kLimit);
        // Darker than a band behind the bars, and edged, so that a narrow interval still shows.
        QColor fill = kLimit;
        fill.setAlpha(70);
        area->setBrush(fill);
        fill.setAlpha(150);
        area->setPen(QPen(fill, 1));
        area->setName(QStringLiteral("その90%信頼区間"));
        attachSeries(chart, area, x, y, !named);
        named = true;
    }
    // The comparison: the adopted limits, and the uncertainty margins of both intervals.
    if (!p.comparison) return chart;
    const AdoptedComparison& c = *p.comparison;
    chart->setTitle(chart->title() + QStringLiteral("　判定: ") +
                    QString::fromStdString(c.overallText()));
    if (!c.adoptedMargins || !c.estimatedMargins) return chart;
    const IntervalMargins& a = *c.adoptedMargins;
    const IntervalMargins& e = *c.estimatedMargins;
    for (double v : {a.lower.low, a.upper.high, e.lower.low, e.upper.high}) {
        if (!std::isfinite(v)) continue;
        if (v < x->min()) x->setMin(v);
        if (v > x->max()) x->setMax(v);
    }
    const struct {
        const IntervalMargins& m;
        QColor colour;
        const char* name;
    } margins[] = {{e, kMargin, "推定の不確かさの幅（n=120, 90%）"},
                   {a, kAdopted, "採用中の不確かさの幅"}};
    for (const auto& m : margins) {
        named = false;
        for (const Margin& limit : {m.m.lower, m.m.upper}) {
            if (!std::isfinite(limit.low) || !std::isfinite(limit.high)) continue;
            auto* area = shadedBand(limit.low, limit.high, top * 0.5, m.colour);
            area->setName(QString::fromUtf8(m.name));
            attachSeries(chart, area, x, y, !named);
            named = true;
        }
    }
    named = false;
    for (double v : {c.adoptedLower, c.adoptedUpper}) {
        auto* line = polyline({{v, 0}, {v, top}});
        line->setName(QStringLiteral("採用中の基準限界"));
        line->setPen(QPen(kAdopted, 1.8, Qt::DashDotLine));
        attachSeries(chart, line, x, y, !named);
        named = true;
    }
    return chart;
}

}  // namespace

IndirectWindow::IndirectWindow(Prompt& prompt, FilePrompt& filePrompt, QWidget* parent)
    : QWidget(parent), prompt_(prompt), filePrompt_(&filePrompt) {
    setWindowTitle(QString::fromUtf8(kTitle));
    OpenButton = new QPushButton(QStringLiteral("ファイルを選ぶ…"), this);
    FilesLabel = new QLabel(QStringLiteral("データファイル: なし"), this);
    FilesLabel->setWordWrap(true);
    const auto combo = [this] {
        auto* box = new QComboBox(this);
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        return box;
    };
    ValueBox = combo();
    CountBox = combo();
    GroupBox = combo();
    SiteBox = combo();
    AgeBox = combo();
    PatientBox = combo();
    DateBox = combo();
    WhereBox = combo();
    BandsEdit = new QLineEdit(this);
    BandsEdit->setPlaceholderText(QStringLiteral("0,18,40,60,120"));
    FirstCheck = new QCheckBox(QStringLiteral("患者ごとに最初の結果だけ"), this);
    FromEdit = new QLineEdit(this);
    ToEdit = new QLineEdit(this);
    FromEdit->setPlaceholderText(QStringLiteral("2024-01-01"));
    ToEdit->setPlaceholderText(QStringLiteral("2024-12-31"));
    WhereEdit = new QLineEdit(this);
    WhereEdit->setPlaceholderText(QStringLiteral("外来"));
    SeedEdit = new QLineEdit(QString::number(IndirectOptions{}.seed), this);
    CompareCheck = new QCheckBox(QStringLiteral("採用中の基準範囲と比べる"), this);
    AdoptedBox = new QComboBox(this);
    AdoptedBox->addItems({QStringLiteral("入力した範囲"), QStringLiteral("JCCLS共用基準範囲"),
                          QStringLiteral("表のファイル")});
    AdoptedLowerEdit = new QLineEdit(this);
    AdoptedUpperEdit = new QLineEdit(this);
    AnalyteEdit = new QLineEdit(this);
    AnalyteEdit->setPlaceholderText(QStringLiteral("値の列の見出し"));
    AdoptedFileButton = new QPushButton(QStringLiteral("表を選ぶ…"), this);
    AdoptedFileLabel = new QLabel(this);
    for (QLineEdit* edit : {AdoptedLowerEdit, AdoptedUpperEdit}) edit->setFixedWidth(70);
    RunButton = new QPushButton(QStringLiteral("推定"), this);
    CopyButton = new QPushButton(QStringLiteral("コピー"), this);
    SaveButton = new QPushButton(QStringLiteral("CSVに保存…"), this);
    Table = new QTableWidget(this);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->verticalHeader()->setVisible(false);
    ChartBox = new QComboBox(this);
    ChartBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    ChartView = new QChartView(this);
    ChartView->setRenderHint(QPainter::Antialiasing);
    ChartView->setBackgroundBrush(Qt::white);
    ChartView->setFrameShape(QFrame::NoFrame);
    ChartView->setMinimumSize(320, 200);
    ChartView->installEventFilter(this);
    StatusLabel = new QLabel(this);
    StatusLabel->setWordWrap(true);
    for (QWidget* w : std::initializer_list<QWidget*>{RunButton, CopyButton, SaveButton, ChartBox})
        w->setEnabled(false);

    // The choices in four short rows, each a label before its control; the texts keep their
    // natural width, the room left over goes to the end of the row.
    for (QLineEdit* edit : {BandsEdit, FromEdit, ToEdit, WhereEdit, SeedEdit})
        edit->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    const auto line = [this](std::initializer_list<std::variant<const char*, QWidget*>> items) {
        auto* row = new QHBoxLayout;
        for (const auto& item : items) {
            if (const auto* text = std::get_if<const char*>(&item))
                row->addWidget(new QLabel(QString::fromUtf8(*text), this));
            else
                row->addWidget(std::get<QWidget*>(item));
        }
        row->addStretch();
        return row;
    };
    auto* choices = new QVBoxLayout;
    auto* files = new QHBoxLayout;
    files->addWidget(OpenButton);
    files->addWidget(FilesLabel, 1);  // wrapped: many files make it taller, not wider
    choices->addLayout(files);
    choices->addLayout(line({"値の列", ValueBox, "件数の列", CountBox, "グループ列", GroupBox,
                             "施設の列", SiteBox, "乱数の種", SeedEdit}));
    choices->addLayout(
        line({"年齢の列", AgeBox, "年齢区分", BandsEdit, "患者IDの列", PatientBox, FirstCheck}));
    choices->addLayout(line({"日付の列", DateBox, "期間", FromEdit, "〜", ToEdit, "条件の列",
                             WhereBox, "が", WhereEdit, "の行だけ"}));
    choices->addLayout(
        line({CompareCheck, AdoptedBox, "下限", AdoptedLowerEdit, "上限", AdoptedUpperEdit, "項目",
              AnalyteEdit, AdoptedFileButton, AdoptedFileLabel}));
    auto* commands = new QHBoxLayout;
    commands->addWidget(RunButton);
    commands->addStretch();
    commands->addWidget(CopyButton);
    commands->addWidget(SaveButton);
    auto* chartRow = new QHBoxLayout;
    chartRow->addWidget(new QLabel(QStringLiteral("図の分割"), this));
    chartRow->addWidget(ChartBox);
    chartRow->addStretch();

    // The table above the chart, the line between them movable.
    auto* chartPane = new QWidget;
    auto* chartLayout = new QVBoxLayout(chartPane);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->addLayout(chartRow);
    chartLayout->addWidget(ChartView, 1);
    Table->setMinimumHeight(80);
    auto* results = new QSplitter(Qt::Vertical);
    results->setChildrenCollapsible(false);
    results->addWidget(Table);
    results->addWidget(chartPane);
    results->setStretchFactor(0, 1);
    results->setStretchFactor(1, 3);

    // The controls sit on a page that never gets smaller than they need: a smaller window
    // scrolls the page, a larger one gives the table and the chart the room.
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(choices);
    layout->addLayout(commands);
    layout->addWidget(results, 1);
    layout->addWidget(StatusLabel);
    setScrollingPage(*this, page);

    chooseDataFiles = [this] {
        return QFileDialog::getOpenFileNames(this, QStringLiteral("抽出したデータのファイルを選ぶ"),
                                             QString(), dataFileFilter());
    };
    chooseAdoptedTable = [this] {
        return QFileDialog::getOpenFileName(
            this, QStringLiteral("採用中の基準範囲の表を選ぶ"), QString(),
            QStringLiteral("表 (*.csv *.tsv *.txt);;すべてのファイル (*)"));
    };
    // Only the controls of the chosen kind of adopted interval take input.
    const auto enableAdopted = [this] {
        const bool on = CompareCheck->isChecked();
        const int kind = AdoptedBox->currentIndex();
        AdoptedBox->setEnabled(on);
        AdoptedLowerEdit->setEnabled(on && kind == 0);
        AdoptedUpperEdit->setEnabled(on && kind == 0);
        AnalyteEdit->setEnabled(on && kind > 0);
        AdoptedFileButton->setEnabled(on && kind == 2);
    };
    enableAdopted();
    connect(CompareCheck, &QCheckBox::toggled, this, enableAdopted);
    connect(AdoptedBox, &QComboBox::currentIndexChanged, this, enableAdopted);
    connect(AdoptedFileButton, &QPushButton::clicked, this, [this] {
        const QString path = chooseAdoptedTable();
        if (path.isEmpty()) return;
        adoptedFile_ = path;
        AdoptedFileLabel->setText(QFileInfo(path).fileName());
    });
    chooseCsvFile = [this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("CSVに保存"), QString(),
                                            QStringLiteral("CSV (*.csv)"));
    };
    connect(OpenButton, &QPushButton::clicked, this, &IndirectWindow::openCommand);
    connect(RunButton, &QPushButton::clicked, this, &IndirectWindow::runCommand);
    connect(CopyButton, &QPushButton::clicked, this, &IndirectWindow::copyCommand);
    connect(SaveButton, &QPushButton::clicked, this, &IndirectWindow::saveCommand);
    connect(ChartBox, &QComboBox::currentIndexChanged, this, &IndirectWindow::showChart);
    connect(Table, &QTableWidget::currentCellChanged, this,
            [this](int r) { ChartBox->setCurrentIndex(r); });
    resize(960, 760);
}

void IndirectWindow::fail(const QString& text) {
    prompt_.message(this, text, QString::fromUtf8(kTitle), Prompt::Icon::Exclamation);
}

void IndirectWindow::openCommand() {
    if (running_) return;
    const QStringList paths = chooseDataFiles();
    if (!paths.isEmpty()) openFiles(paths);
}

bool IndirectWindow::openFiles(const QStringList& paths) {
    if (paths.isEmpty()) return false;
    // The first workbook of several sheets among the files: the user says which, and that
    // sheet is read in each workbook, as the command line's --sheet.
    std::string sheet;
    QString sheetName;
    for (const auto& path : paths) {
        std::string refusal;
        const std::optional<SheetChoice> chosen =
            askWorkbookSheet(*filePrompt_, this, path, refusal);
        if (!chosen) {
            if (!refusal.empty()) fail(QString::fromStdString(refusal));
            return false;
        }
        if (chosen->sheet.empty()) continue;
        sheet = chosen->sheet;
        sheetName = chosen->name;
        break;
    }
    // The columns are offered from the first file; the others are matched by heading when run.
    std::string problem;
    const auto table =
        TableReader::open(QFile::encodeName(paths.front()).toStdString(), problem, sheet);
    if (!table) {
        fail(QString::fromStdString(problem));
        return false;
    }
    files_ = paths;
    sheet_ = sheet;
    sheetName_ = sheetName;
    FilesLabel->setText(filesText());
    const auto fill = [&](QComboBox* box, bool optional) {
        box->clear();
        if (optional) box->addItem(none());
        for (const auto& h : table->headings()) box->addItem(QString::fromStdString(h));
    };
    fill(ValueBox, false);
    for (QComboBox* box : {CountBox, GroupBox, SiteBox, AgeBox, PatientBox, DateBox, WhereBox})
        fill(box, true);
    partitions_.clear();
    text_.clear();
    showResults();
    StatusLabel->clear();
    RunButton->setEnabled(ValueBox->count() > 0);
    return true;
}

QString IndirectWindow::filesText() const {
    QStringList names;
    for (const auto& p : files_) names << QFileInfo(p).fileName();
    QString text = QStringLiteral("データファイル: %1").arg(names.join(QStringLiteral("、")));
    if (!sheetName_.isEmpty())
        text +=
            QStringLiteral("（シート %1「%2」）").arg(QString::fromStdString(sheet_), sheetName_);
    return text;
}

QString IndirectWindow::choicesText() const {
    QStringList lines;
    lines << filesText();
    QString choice = QStringLiteral("値の列: %1").arg(ValueBox->currentText());
    if (CountBox->currentIndex() > 0)
        choice += QStringLiteral("　件数の列: %1").arg(CountBox->currentText());
    if (GroupBox->currentIndex() > 0)
        choice += QStringLiteral("　グループ列: %1").arg(GroupBox->currentText());
    if (SiteBox->currentIndex() > 0)
        choice += QStringLiteral("　施設の列: %1").arg(SiteBox->currentText());
    if (AgeBox->currentIndex() > 0)
        choice +=
            QStringLiteral("　年齢の列: %1（%2）").arg(AgeBox->currentText(), BandsEdit->text());
    lines << choice;
    QString filters;
    if (PatientBox->currentIndex() > 0 && FirstCheck->isChecked())
        filters += QStringLiteral("患者（%1）ごとに最初の結果　").arg(PatientBox->currentText());
    if (DateBox->currentIndex() > 0 && (!FromEdit->text().isEmpty() || !ToEdit->text().isEmpty()))
        filters += QStringLiteral("%1: %2〜%3　")
                       .arg(DateBox->currentText(), FromEdit->text(), ToEdit->text());
    if (WhereBox->currentIndex() > 0)
        filters +=
            QStringLiteral("%1 が %2 の行　").arg(WhereBox->currentText(), WhereEdit->text());
    if (!filters.isEmpty()) lines << QStringLiteral("絞り込み: ") + filters.trimmed();
    lines << QStringLiteral("乱数の種: %1").arg(SeedEdit->text().trimmed());
    if (comparing())
        lines << QStringLiteral(
                     "採用中の基準範囲: %1。判定は不確かさの幅（n=120、90%）の重なり"
                     "による")
                     .arg(adoptedSource_);
    return lines.join(QStringLiteral("\r\n"));
}

void IndirectWindow::runCommand() {
    if (files_.isEmpty() || running_) return;
    ExtractOptions extract;
    extract.sheet = sheet_;
    extract.valueColumn = ValueBox->currentText().toStdString();
    extract.countColumn = chosen(CountBox);
    extract.groupColumn = chosen(GroupBox);
    extract.siteColumn = chosen(SiteBox);
    extract.ageColumn = chosen(AgeBox);
    extract.patientColumn = chosen(PatientBox);
    extract.firstPerPatient = FirstCheck->isChecked();
    extract.dateColumn = chosen(DateBox);
    // A field left empty is not given.
    const auto typed = [](const QLineEdit* edit) -> std::optional<std::string> {
        const QString text = edit->text().trimmed();
        if (text.isEmpty()) return std::nullopt;
        return text.toStdString();
    };
    if (const auto where = chosen(WhereBox))
        extract.where.emplace_back(*where, WhereEdit->text().trimmed().toStdString());
    if (const std::string problem =
            validateExtractOptions(extract, {typed(BandsEdit), typed(FromEdit), typed(ToEdit)});
        !problem.empty())
        return fail(QString::fromStdString(problem));
    IndirectOptions options;
    const std::string seed = SeedEdit->text().trimmed().toStdString();
    const auto parsed = std::from_chars(seed.data(), seed.data() + seed.size(), options.seed);
    if (seed.empty() || parsed.ec != std::errc() || parsed.ptr != seed.data() + seed.size())
        return fail(
            QStringLiteral("乱数の種には0以上の整数を指定して下さい: %1").arg(SeedEdit->text()));
    // The adopted interval each partition is compared with.
    AdoptedChoice choice;
    std::shared_ptr<AdoptedTable> adopted;
    QString adoptedSource;
    if (CompareCheck->isChecked()) {
        if (AdoptedBox->currentIndex() == 0) {
            const auto low = wholeNumber(AdoptedLowerEdit->text().trimmed().toStdString());
            const auto high = wholeNumber(AdoptedUpperEdit->text().trimmed().toStdString());
            if (!low || !high || !(*low < *high))
                return fail(
                    QStringLiteral("採用中の基準範囲には、下限と上限に下限が上限より"
                                   "小さい数値を入力して下さい。"));
            choice.typed = std::make_pair(*low, *high);
            adoptedSource = QStringLiteral("入力した範囲 %1〜%2")
                                .arg(QString::fromStdString(numberText(*low)),
                                     QString::fromStdString(numberText(*high)));
        } else {
            if (AdoptedBox->currentIndex() == 2 && adoptedFile_.isEmpty())
                return fail(QStringLiteral("採用中の基準範囲の表を選んで下さい。"));
            adopted = std::make_shared<AdoptedTable>(
                AdoptedBox->currentIndex() == 1
                    ? jcclsTable()
                    : loadAdoptedTable(QFile::encodeName(adoptedFile_).toStdString()));
            if (!adopted->problem.empty()) return fail(QString::fromStdString(adopted->problem));
            const QString name = AnalyteEdit->text().trimmed().isEmpty()
                                     ? ValueBox->currentText()
                                     : AnalyteEdit->text().trimmed();
            choice.table = adopted.get();
            choice.analyte = name.toStdString();
            const auto rows = findAnalyte(*adopted, choice.analyte);
            if (rows.empty())
                return fail(QStringLiteral("%1 に項目「%2」がありません。")
                                .arg(QString::fromStdString(adopted->name), name));
            adoptedSource = QStringLiteral("%1「%2」（出典: %3）")
                                .arg(QString::fromStdString(adopted->name), name,
                                     QString::fromStdString(rows.front()->source));
        }
    }
    std::vector<std::string> files;
    for (const auto& f : files_) files.push_back(QFile::encodeName(f).toStdString());

    // What the worker fills; it may outlive a cancelled wait, so it is shared with it.
    struct Work {
        ExtractResult extract;
        std::vector<IndirectResult> results;
        std::vector<std::vector<IndirectResult>> sites;  // per partition, by site
    };
    const auto work = std::make_shared<Work>();
    running_ = true;
    for (QWidget* w :
         std::initializer_list<QWidget*>{OpenButton, RunButton, CopyButton, SaveButton, ChartBox})
        w->setEnabled(false);
    const bool finished = runWithProgress(
        this, QString::fromUtf8(kTitle),
        [](int stage) {
            return stage == 0 ? QStringLiteral("抽出したデータを読み込んでいます…")
                              : QStringLiteral("分割ごとに基準範囲を推定しています…");
        },
        [work, files, extract, options](WorkerState& state) mutable {
            extract.progress = &state.progress;
            // Nothing may leave the worker's thread: a failure (memory) becomes the message.
            try {
                work->extract = readExtract(files, extract);
            } catch (const std::exception& e) {
                work->extract.problem =
                    std::string("抽出したデータを読み込めませんでした（") + e.what() + "）。";
            }
            if (!work->extract.problem.empty() || state.progress.cancel) return;
            const auto& parts = work->extract.partitions;
            state.progress.done = 0;
            std::size_t fits = 0;
            for (const auto& p : parts) fits += 1 + p.sites.size();
            state.progress.total = fits;
            state.stage = 1;
            options.cancel = &state.progress.cancel;
            for (std::size_t i = 0; i < parts.size() && !state.progress.cancel; ++i) {
                // Never throws: what cannot be calculated is the partition's refusal.
                work->results.push_back(estimateIndirect(parts[i].counts, options));
                ++state.progress.done;
                auto& sites = work->sites.emplace_back();
                for (const auto& [name, counts] : parts[i].sites) {
                    if (state.progress.cancel) break;
                    sites.push_back(estimateIndirect(counts, options));
                    ++state.progress.done;
                }
            }
        });
    running_ = false;
    OpenButton->setEnabled(true);
    RunButton->setEnabled(true);

    partitions_.clear();
    text_.clear();
    if (!finished) {
        showResults();
        StatusLabel->setText(QStringLiteral("中止しました。"));
        return;
    }
    const ExtractResult& got = work->extract;
    if (!got.problem.empty()) {
        showResults();
        StatusLabel->clear();
        return fail(QString::fromStdString(got.problem));
    }
    QStringList status;
    for (const auto& n : got.notes()) status << QString::fromStdString(n);
    if (got.kept == 0) {
        showResults();
        StatusLabel->setText(status.join(QStringLiteral("\n")));
        return fail(
            QStringLiteral("条件に合う結果がありません（%1行を読みました）。").arg(got.rows));
    }
    adoptedSource_ = adoptedSource;
    for (std::size_t i = 0; i < got.partitions.size() && i < work->results.size(); ++i) {
        const PartitionCounts& p = got.partitions[i];
        const auto compare = [&](const IndirectResult& r) -> std::optional<AdoptedComparison> {
            if (!CompareCheck->isChecked()) return std::nullopt;
            return compareWithPartition(choice, p, extract.ageBands, r);
        };
        if (!extract.siteColumn) {
            partitions_.push_back(
                {p.label, p.counts, work->results[i], compare(work->results[i]), std::nullopt});
            continue;
        }
        // The pool's row, then each site's.
        std::vector<std::string> names;
        for (const auto& [name, counts] : p.sites) names.push_back(name);
        const auto cells = siteCells(names, work->results[i], work->sites[i]);
        partitions_.push_back(
            {p.label, p.counts, work->results[i], compare(work->results[i]), cells[0]});
        std::size_t k = 0;
        for (const auto& [name, counts] : p.sites) {
            if (k >= work->sites[i].size()) break;
            partitions_.push_back(
                {p.label, counts, work->sites[i][k], compare(work->sites[i][k]), cells[k + 1]});
            ++k;
        }
    }
    status.prepend(QStringLiteral("%1行を読み、%2件の結果を%3の分割で推定しました。")
                       .arg(got.rows)
                       .arg(got.kept)
                       .arg(partitions_.size()));
    StatusLabel->setText(status.join(QStringLiteral("\n")));
    const QString head = choicesText() + QStringLiteral("\r\n") +
                         status.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n\r\n");
    textHeadLines_ = static_cast<int>(head.count(QStringLiteral("\r\n")));
    text_ = head + tableText();
    showResults();
}

bool IndirectWindow::comparing() const {
    return !partitions_.empty() && partitions_.front().comparison.has_value();
}

std::string IndirectWindow::writeTable(IndirectFormat format) const {
    std::ostringstream out;
    std::vector<ExtraColumn> after;
    if (sites()) after = siteColumns();
    if (comparing())
        for (auto& c : adoptedColumns()) after.push_back(std::move(c));
    IndirectWriter writer(out, format, {}, after);
    for (const auto& p : partitions_) {
        std::vector<ExtraCell> cells;
        if (p.site) cells = siteExtraCells(*p.site);
        if (p.comparison)
            for (auto& c : adoptedCells(*p.comparison)) cells.push_back(std::move(c));
        writer.row(p.label, p.result, {}, cells);
    }
    writer.finish();
    return out.str();
}

QString IndirectWindow::tableText() const {
    return QString::fromStdString(writeTable(IndirectFormat::Tsv));
}

DocumentPart::TextTable IndirectWindow::partTable() const {
    if (text_.isEmpty()) return {};
    return {textHeadLines_, 1};
}

bool IndirectWindow::sites() const {
    return !partitions_.empty() && partitions_.front().site.has_value();
}

namespace {

// The partition, and the site where there is one: "男 18歳以上40歳未満 A".
QString rowName(const IndirectWindow::Partition& p) {
    QString name = QString::fromStdString(p.label);
    if (p.site) name += QStringLiteral(" ") + QString::fromStdString(p.site->site);
    return name;
}

}  // namespace

QString IndirectWindow::pictureName(int index) const {
    return QStringLiteral("%1 %2").arg(windowTitle(),
                                       rowName(partitions_[static_cast<std::size_t>(index)]));
}

void IndirectWindow::paintPicture(int index, QPainter& painter, const QSize& size) const {
    if (index < 0 || index >= pictureCount()) return;
    paintChartScaled(partitionChart(partitions_[static_cast<std::size_t>(index)]), painter, size,
                     QSizeF(640, 400));
}

void IndirectWindow::showResults() {
    Table->clear();
    auto headings = indirectHeadings();
    if (sites())
        for (const auto& c : siteColumns()) headings.push_back(c.heading);
    if (comparing())
        for (const auto& c : adoptedColumns()) headings.push_back(c.heading);
    Table->setColumnCount(static_cast<int>(headings.size()));
    Table->setRowCount(static_cast<int>(partitions_.size()));
    QStringList labels;
    for (const auto& h : headings) labels << QString::fromStdString(h);
    Table->setHorizontalHeaderLabels(labels);
    for (std::size_t r = 0; r < partitions_.size(); ++r) {
        auto cells = indirectCells(partitions_[r].label, partitions_[r].result);
        const std::size_t note = cells.size() - 1;
        std::vector<bool> numeric(cells.size(), true);
        numeric[0] = numeric[note] = numeric[note - 1] = false;
        std::vector<ExtraCell> extras;
        if (partitions_[r].site) extras = siteExtraCells(*partitions_[r].site);
        if (partitions_[r].comparison)
            for (auto& c : adoptedCells(*partitions_[r].comparison)) extras.push_back(std::move(c));
        for (const auto& extra : extras) {
            cells.push_back(extraCellText(extra));
            numeric.push_back(extra.isNumber);
        }
        for (std::size_t c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(QString::fromStdString(cells[c]));
            if (numeric[c]) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Table->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    }
    Table->resizeColumnsToContents();
    ChartBox->blockSignals(true);
    ChartBox->clear();
    for (const auto& p : partitions_) ChartBox->addItem(rowName(p));
    ChartBox->blockSignals(false);
    const bool any = !partitions_.empty();
    ChartBox->setEnabled(any);
    CopyButton->setEnabled(any);
    SaveButton->setEnabled(any);
    showChart(any ? 0 : -1);
}

void IndirectWindow::showChart(int index) {
    QChart* old = ChartView->chart();
    if (index < 0 || index >= pictureCount()) {
        ChartView->setChart(new QChart);
    } else {
        ChartView->setChart(partitionChart(partitions_[static_cast<std::size_t>(index)]));
        placeLegend(ChartView->chart(), ChartView->width());
    }
    delete old;
    showWholeTitle(*ChartView, ChartView->width());
}

bool IndirectWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ChartView && event->type() == QEvent::Resize) {
        const int width = static_cast<QResizeEvent*>(event)->size().width();
        placeLegend(ChartView->chart(), width);
        showWholeTitle(*ChartView, width);
    }
    return QWidget::eventFilter(watched, event);
}

void IndirectWindow::copyCommand() {
    if (!partitions_.empty()) QGuiApplication::clipboard()->setText(tableText());
}

void IndirectWindow::saveCommand() {
    const QString path = chooseCsvFile();
    if (!path.isEmpty()) saveCsv(path);
}

bool IndirectWindow::saveCsv(const QString& path) {
    std::ostringstream out;
    // A byte order mark, so that a Japanese spreadsheet reads the file as UTF-8.
    out << "\xEF\xBB\xBF" << writeTable(IndirectFormat::Csv);
    // Written whole or not at all: a failed write leaves an earlier file as it was.
    const QString error = writeBytes(path, QByteArray::fromStdString(out.str()));
    if (!error.isEmpty()) {
        fail(QStringLiteral("ファイルに書き込めません: %1\n%2").arg(path, error));
        return false;
    }
    return true;
}

}  // namespace kijunchi
