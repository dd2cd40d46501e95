#include "gui/study/batch_window.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <sstream>

#include "files/report_export.h"
#include "gui/results/report_document.h"
#include "gui/widgets/file_prompt.h"
#include "gui/widgets/prompt.h"
#include "gui/widgets/window_layout.h"
#include "study/batch_evaluation.h"
#include "study/batch_workbook.h"

namespace kijunchi {

namespace {

constexpr const char* kTitle = "一括評価";
// The lines of the window's text above the table: the file, the grouping, the status, a blank.
constexpr int kTextHeadLines = 4;

// The table as the TSV of the batch, CR LF line ends: a heading line, then one line per row.
QString tableText(const std::vector<BatchRow>& rows, bool grouped) {
    std::ostringstream out;
    BatchWriter writer(out, BatchFormat::Tsv, grouped);
    for (const auto& r : rows) writer.row(r);
    writer.finish();
    return QString::fromStdString(out.str());
}

}  // namespace

BatchWindow::BatchWindow(Prompt& prompt, FilePrompt& files, QWidget* parent)
    : QWidget(parent), prompt_(prompt), filePrompt_(&files) {
    setWindowTitle(QString::fromUtf8(kTitle));
    OpenButton = new QPushButton(QStringLiteral("ファイルを開く…"), this);
    GroupBox = new QComboBox(this);
    GroupBox->addItem(QStringLiteral("（グループなし）"));
    RunButton = new QPushButton(QStringLiteral("評価"), this);
    SaveButton = new QPushButton(QStringLiteral("CSVに保存…"), this);
    PdfButton = new QPushButton(QStringLiteral("PDFに保存…"), this);
    ExcelButton = new QPushButton(QStringLiteral("Excelに保存…"), this);
    ExcelButton->setObjectName(QStringLiteral("ExcelButton"));
    ExcelButton->setEnabled(false);
    FileLabel = new QLabel(QStringLiteral("データファイル: なし"), this);
    StatusLabel = new QLabel(this);
    Table = new QTableWidget(this);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->verticalHeader()->setVisible(false);
    RunButton->setEnabled(false);
    SaveButton->setEnabled(false);
    PdfButton->setEnabled(false);

    auto* row = new QHBoxLayout;
    row->addWidget(OpenButton);
    row->addWidget(new QLabel(QStringLiteral("グループ列"), this));
    row->addWidget(GroupBox);
    row->addWidget(RunButton);
    row->addStretch();
    row->addWidget(SaveButton);
    row->addWidget(PdfButton);
    row->addWidget(ExcelButton);
    // The controls sit on a page that never gets smaller than they need: a smaller window
    // scrolls the page, a larger one gives the table the room.
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(row);
    layout->addWidget(FileLabel);
    layout->addWidget(Table);
    layout->addWidget(StatusLabel);
    setScrollingPage(*this, page);

    chooseDataFile = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("データファイルを開く"), QString(),
                                            dataFileFilter());
    };
    chooseCsvFile = [this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("CSVに保存"), QString(),
                                            QStringLiteral("CSV (*.csv)"));
    };
    choosePdfFile = [this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("PDFに保存"), QString(),
                                            QStringLiteral("PDF (*.pdf)"));
    };
    chooseExcelFile = [this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Excelに保存"), QString(),
                                            QStringLiteral("Excel ブック (*.xlsx)"));
    };
    connect(OpenButton, &QPushButton::clicked, this, &BatchWindow::openCommand);
    connect(RunButton, &QPushButton::clicked, this, &BatchWindow::runCommand);
    connect(SaveButton, &QPushButton::clicked, this, &BatchWindow::saveCommand);
    connect(PdfButton, &QPushButton::clicked, this, &BatchWindow::pdfCommand);
    connect(ExcelButton, &QPushButton::clicked, this, &BatchWindow::excelCommand);
    resize(900, 480);
}

void BatchWindow::openCommand() {
    if (running_) return;
    const QString path = chooseDataFile();
    if (!path.isEmpty()) openFile(path);
}

bool BatchWindow::openFile(const QString& path) {
    const std::string local = QFile::encodeName(path).toStdString();
    const QString name = QFileInfo(path).fileName();
    const auto refuse = [this](const std::string& message) {
        prompt_.message(this, QString::fromStdString(message), QString::fromUtf8(kTitle),
                        Prompt::Icon::Exclamation);
        return false;
    };
    // A workbook of several sheets: the user says which, as when the frame opens one.
    std::string refusal;
    const std::optional<SheetChoice> chosen = askWorkbookSheet(*filePrompt_, this, path, refusal);
    if (!chosen) return refusal.empty() ? false : refuse(refusal);
    const std::string& sheet = chosen->sheet;
    const QString& sheetName = chosen->name;
    std::string problem;
    auto table = TableStream::open(local, problem, sheet);
    if (!table) return refuse(problem);
    table_.emplace(std::move(*table));
    fileName_ = sheetName.isEmpty() ? name : QStringLiteral("%1 シート「%2」").arg(name, sheetName);
    // The table of the file before is no longer what the window's file gives.
    rows_.clear();
    text_.clear();
    showRows();
    StatusLabel->clear();
    SaveButton->setEnabled(false);
    PdfButton->setEnabled(false);
    ExcelButton->setEnabled(false);
    GroupBox->clear();
    GroupBox->addItem(QStringLiteral("（グループなし）"));
    for (const auto& h : table_->headings()) GroupBox->addItem(QString::fromStdString(h));
    FileLabel->setText(
        QStringLiteral("データファイル: %1（%2列）").arg(fileName_).arg(table_->headings().size()));
    RunButton->setEnabled(true);
    return true;
}

void BatchWindow::runCommand() {
    // The progress bar lets events through between analytes: a second start must wait.
    if (!table_ || running_) return;
    running_ = true;
    OpenButton->setEnabled(false);
    RunButton->setEnabled(false);
    SaveButton->setEnabled(false);
    PdfButton->setEnabled(false);
    ExcelButton->setEnabled(false);
    rows_.clear();
    BatchOptions options;
    if (GroupBox->currentIndex() > 0)
        options.groupColumn = static_cast<std::size_t>(GroupBox->currentIndex() - 1);
    grouped_ = options.groupColumn.has_value();

    QProgressDialog dialog(QStringLiteral("一括評価しています…"), QStringLiteral("中止"), 0, 1,
                           this);
    dialog.setWindowTitle(QString::fromUtf8(kTitle));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(1000);
    std::function<bool(int, int)> step = progress;
    if (!step)
        step = [&dialog](int done, int total) {
            dialog.setMaximum(total);
            dialog.setValue(done);
            QCoreApplication::processEvents();
            return !dialog.wasCanceled();
        };

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const BatchSummary summary = runBatch(
        *table_, options, makeBatchEvaluator, [&](const BatchRow& r) { rows_.push_back(r); }, step);
    QApplication::restoreOverrideCursor();
    dialog.reset();
    running_ = false;
    OpenButton->setEnabled(true);
    RunButton->setEnabled(true);

    // The analytes a cancel left out stay in the table, each saying so.
    if (summary.cancelled) {
        const auto& columns = summary.analyteColumns;
        for (std::size_t a = static_cast<std::size_t>(summary.analytes); a < columns.size(); ++a) {
            const std::size_t c = columns[a];
            BatchRow row;
            row.analyte = table_->headings()[c];
            row.message = "中止したため評価していません。";
            rows_.push_back(row);
        }
    }

    QString status = QStringLiteral("%1項目を評価しました。").arg(summary.analytes);
    if (summary.analytesTotal == 0)
        status = QStringLiteral("評価する項目の列がありません。");
    else if (summary.cancelled)
        status = QStringLiteral("中止しました。%1項目中%2項目を評価しました。")
                     .arg(summary.analytesTotal)
                     .arg(summary.analytes);
    StatusLabel->setText(status);
    text_ = QStringLiteral("データファイル: %1\r\nグループ列: %2\r\n%3\r\n\r\n")
                .arg(fileName_, GroupBox->currentText(), status) +
            tableText(rows_, grouped_);
    showRows();
    SaveButton->setEnabled(!rows_.empty());
    PdfButton->setEnabled(!rows_.empty());
    ExcelButton->setEnabled(!rows_.empty());
}

DocumentPart::TextTable BatchWindow::partTable() const {
    if (text_.isEmpty()) return {};
    return {kTextHeadLines, grouped_ ? 2 : 1};
}

void BatchWindow::showRows() {
    Table->clear();
    Table->setRowCount(static_cast<int>(rows_.size()));
    const auto headings = batchHeadings(grouped_);
    Table->setColumnCount(static_cast<int>(headings.size()));
    QStringList labels;
    for (const auto& h : headings) labels << QString::fromStdString(h);
    Table->setHorizontalHeaderLabels(labels);
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const auto cells = batchCells(rows_[r], grouped_);
        for (std::size_t c = 0; c < cells.size(); ++c)
            Table->setItem(static_cast<int>(r), static_cast<int>(c),
                           new QTableWidgetItem(QString::fromStdString(cells[c].text)));
    }
    Table->resizeColumnsToContents();
}

void BatchWindow::saveCommand() {
    const QString path = chooseCsvFile();
    if (!path.isEmpty()) saveCsv(path);
}

void BatchWindow::pdfCommand() {
    const QString path = choosePdfFile();
    if (!path.isEmpty()) savePdf(path);
}

bool BatchWindow::savePdf(const QString& path) {
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
    const QStringList head{QString::fromUtf8(kReportTitle), QStringLiteral("作成日時：") + now};
    return written(
        path, writeReportPdf(path, head, {this},
                             QStringLiteral("基準値　一括評価　　%1　　%2").arg(fileName_, now)));
}

void BatchWindow::excelCommand() {
    const QString path = chooseExcelFile();
    if (path.isEmpty()) return;
    const std::string failed =
        writeBatchWorkbook(QFile::encodeName(path).toStdString(), rows_, grouped_);
    if (!failed.empty()) {
        prompt_.message(this, QString::fromStdString(failed), QString::fromUtf8(kTitle),
                        Prompt::Icon::Exclamation);
    }
}

bool BatchWindow::saveCsv(const QString& path) {
    std::ostringstream out;
    // A byte order mark, so that a Japanese spreadsheet reads the file as UTF-8.
    out << "\xEF\xBB\xBF";
    BatchWriter writer(out, BatchFormat::Csv, grouped_);
    for (const auto& r : rows_) writer.row(r);
    writer.finish();
    // Written whole or not at all: a failed write leaves an earlier file as it was.
    return written(path, writeBytes(path, QByteArray::fromStdString(out.str())));
}

bool BatchWindow::written(const QString& path, const QString& error) {
    if (error.isEmpty()) return true;
    prompt_.message(this, QStringLiteral("ファイルに書き込めません: %1\n%2").arg(path, error),
                    QString::fromUtf8(kTitle), Prompt::Icon::Exclamation);
    return false;
}

}  // namespace kijunchi
