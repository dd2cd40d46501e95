// The frame's file commands: opening data files, saving the statistics, writing pictures,
// printing the report and writing it as PDF, and the remembered place.
#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>

#include "evaluation/exclusion.h"
#include "files/column_reading.h"
#include "files/data_file.h"
#include "files/report_export.h"
#include "files/table_file.h"
#include "gui/evaluation/evaluation_window.h"
#include "gui/files/file_prompt_dialog.h"
#include "gui/files/progress_dialog.h"
#include "gui/input/frm_mnu_window.h"
#include "gui/results/document_part.h"
#include "gui/results/histogram_window.h"
#include "gui/results/report_document.h"
#include "gui/results/statistics_window.h"
#include "gui/shell/mdi_form.h"
#include "gui/study/batch_window.h"
#include "gui/widgets/prompt.h"
#include "input/paste_reader.h"
#include "record/study_session.h"
#include "study/grouped_data.h"

namespace kijunchi {

namespace {

constexpr const char* kOpenTitle = "データファイルを開く";
constexpr const char* kSaveTitle = "統計量の保存";
constexpr const char* kExportTitle = "図の書き出し";
constexpr const char* kPrintTitle = "レポートを印刷";
constexpr const char* kPdfTitle = "PDFに出力";

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

QString writeFailure(const QString& path, const QString& why) {
    return QStringLiteral("ファイル「%1」に書き込めませんでした。\n%2")
        .arg(QDir::toNativeSeparators(path), why);
}

}  // namespace

void MDIForm1::buildFileActions() {
    OpenFile = new QAction(QStringLiteral("データファイルを開く…"), this);
    OpenFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    SaveStatistics = new QAction(QStringLiteral("統計量の保存…"), this);
    ExportPicture = new QAction(QStringLiteral("図の書き出し…"), this);
    PrintReport = new QAction(QStringLiteral("レポートを印刷…"), this);
    PrintReport->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    ExportPdf = new QAction(QStringLiteral("PDFに出力…"), this);
    StudyInfo = new QAction(QStringLiteral("検討の情報…"), this);
    OpenStudy = new QAction(QStringLiteral("検討を開く…"), this);
    SaveStudy = new QAction(QStringLiteral("検討を保存"), this);
    SaveStudy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    SaveStudyAs = new QAction(QStringLiteral("名前を付けて保存…"), this);
    Approve = new QAction(QStringLiteral("承認…"), this);
    RecentStudies = new QMenu(QStringLiteral("最近の検討"), this);
    connect(RecentStudies, &QMenu::aboutToShow, this, &MDIForm1::fillRecentStudies);
    fillRecentStudies();
    // On the frame, so that the shortcuts work whichever child window is active.
    addActions({OpenFile, SaveStatistics, ExportPicture, PrintReport, ExportPdf, StudyInfo,
                OpenStudy, SaveStudy, SaveStudyAs, Approve});
    connect(Approve, &QAction::triggered, this, &MDIForm1::approveCommand);
    connect(OpenStudy, &QAction::triggered, this, &MDIForm1::openStudyCommand);
    connect(SaveStudy, &QAction::triggered, this, &MDIForm1::saveStudyCommand);
    connect(SaveStudyAs, &QAction::triggered, this, &MDIForm1::saveStudyAsCommand);
    connect(OpenFile, &QAction::triggered, this, &MDIForm1::openDataFileCommand);
    connect(SaveStatistics, &QAction::triggered, this, &MDIForm1::saveStatisticsCommand);
    connect(ExportPicture, &QAction::triggered, this, &MDIForm1::exportPictureCommand);
    connect(PrintReport, &QAction::triggered, this, &MDIForm1::printReportCommand);
    connect(ExportPdf, &QAction::triggered, this, &MDIForm1::exportPdfCommand);
    connect(StudyInfo, &QAction::triggered, this, &MDIForm1::studyHeaderCommand);
}

void MDIForm1::addFileActions(QMenu* fileMenu) {
    // 新規作成, データファイルを開く…, ─, 検討を開く…, 検討を保存, 名前を付けて保存…, 最近の検討,
    // ─, 統計量の保存…, 図の書き出し…, ─, プリンターの設定, レポートを印刷…, PDFに出力…, ─,
    // 検討の情報…, 承認…, ─, 終了
    const QList<QAction*> items = fileMenu->actions();
    if (items.size() < 5) return;
    fileMenu->insertAction(items[1], OpenFile);
    fileMenu->insertActions(items[2],
                            {OpenStudy, SaveStudy, SaveStudyAs, RecentStudies->menuAction()});
    fileMenu->insertSeparator(items[2]);
    fileMenu->insertActions(items[2], {SaveStatistics, ExportPicture});
    fileMenu->insertSeparator(items[2]);
    fileMenu->insertActions(items[3], {PrintReport, ExportPdf});
    fileMenu->insertActions(items[4], {StudyInfo, Approve});
    fileMenu->insertSeparator(items[4]);
}

// --- Data files ---------------------------------------------------------------------------

void MDIForm1::openDataFileCommand() {
    // Other data end the study: its changes are asked about first.
    if (!leaveStudy()) return;
    const QString path = filePrompt_->openFileName(this, lastFolder());
    if (!path.isEmpty()) openDataFile(path);
}

bool MDIForm1::openDataFile(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const QString title = QString::fromUtf8(kOpenTitle);
    // A workbook of several sheets: the one the user chooses.
    std::string refusal;
    const std::optional<SheetChoice> chosenSheet =
        askWorkbookSheet(*filePrompt_, this, path, refusal);
    if (!chosenSheet) {
        if (!refusal.empty())
            prompt_.message(this, fromUtf8(refusal), title, Prompt::Icon::Exclamation);
        return false;
    }
    const std::string& sheet = chosenSheet->sheet;
    TableFileRead opened = readDataFileWithProgress(this, path, std::nullopt, std::nullopt, sheet);
    const DataFileResult& read = opened.read;
    if (read.problem == FileProblem::Cancelled) return false;
    if (read.problem != FileProblem::None) {
        prompt_.message(this, fromUtf8(tableFileMessage(opened, name.toStdString())), title,
                        Prompt::Icon::Exclamation);
        return false;
    }
    rememberFolder(path);
    const DataFile& file = read.file;
    std::size_t column = 0;
    std::optional<std::size_t> groupColumn;
    std::optional<bool> headingRow;  // the tick "1行目は見出し" where it overrules the reading
    if (file.columns.size() > 1) {
        QStringList items, headings;
        QList<bool> enabled;
        int current = -1;
        for (std::size_t c = 0; c < file.columns.size(); ++c) {
            items << fromUtf8(columnLabel(file.columns[c]));
            headings << fromUtf8(file.columns[c].heading);
            enabled << !file.columns[c].numbers.empty();
            if (current < 0 && enabled.back()) current = static_cast<int>(c);
        }
        const std::optional<ColumnChoice> chosen =
            filePrompt_->chooseColumns(this, QStringLiteral("列の選択"),
                                       QStringLiteral("「%1」のどの列を読み込みますか。").arg(name),
                                       items, enabled, current, headings, file.hasHeadings);
        const auto inFile = [&](int c) {
            return c >= 0 && static_cast<std::size_t>(c) < file.columns.size();
        };
        if (!chosen || !inFile(chosen->values) ||
            file.columns[static_cast<std::size_t>(chosen->values)].numbers.empty()) {
            return false;
        }
        column = static_cast<std::size_t>(chosen->values);
        if (chosen->groups && inFile(*chosen->groups) && *chosen->groups != chosen->values)
            groupColumn = static_cast<std::size_t>(*chosen->groups);
        if (chosen->headings != file.hasHeadings) headingRow = chosen->headings;
    }
    if (groupColumn)
        return openGroupedColumn(path, GroupedColumn{column, *groupColumn}, headingRow, sheet);
    if (headingRow) {
        // The first row as the user says: the file is read again.
        opened = readDataFileWithProgress(this, path, std::nullopt, headingRow, sheet);
        if (read.problem == FileProblem::Cancelled) return false;
        if (read.problem != FileProblem::None) {
            prompt_.message(this, fromUtf8(tableFileMessage(opened, name.toStdString())), title,
                            Prompt::Icon::Exclamation);
            return false;
        }
        if (column >= file.columns.size() || file.columns[column].numbers.empty()) return false;
    }
    const ColumnReading reading = readColumn(file, column);

    showInputWindow();
    input_->replacePasteBuffer(fromUtf8(reading.valuesText));
    // The analyte is the column's heading when the file has more than one column.
    const DataColumn& values = file.columns[column];
    setDataSource(fileSource(path, file.columns.size() > 1 ? fromUtf8(values.heading) : QString(),
                             recordedSheet(sheet, opened.sheets)));
    // The reading's message, then what a workbook's sheet tells.
    QStringList notes;
    if (!reading.message.empty()) notes << fromUtf8(reading.message);
    for (const auto& note : opened.notes) notes << fromUtf8(note);
    if (!notes.isEmpty()) {
        prompt_.message(input_, notes.join(QLatin1Char('\n')), title, Prompt::Icon::Information);
    }
    return true;
}

// The file is read again with the group column's field beside each value of the value
// column; only that column's groups are kept.
bool MDIForm1::openGroupedColumn(const QString& path, GroupedColumn columns,
                                 std::optional<bool> headings, const std::string& sheet) {
    const QString name = QFileInfo(path).fileName();
    const QString title = QString::fromUtf8(kOpenTitle);
    const TableFileRead opened = readDataFileWithProgress(this, path, columns, headings, sheet);
    const DataFileResult& read = opened.read;
    if (read.problem == FileProblem::Cancelled) return false;
    if (read.problem == FileProblem::None && columns.values >= read.file.columns.size())
        return false;  // the file has changed since its columns were offered
    if (read.problem != FileProblem::None) {
        prompt_.message(this, fromUtf8(tableFileMessage(opened, name.toStdString())), title,
                        Prompt::Icon::Exclamation);
        return false;
    }
    showInputWindow();
    const GroupedPaste result =
        ReadGroupedColumn(store_, read.file.columns[columns.values], *input_);
    input_->setPasteBufferText(fromUtf8(result.valuesText));
    setDataSource(fileSource(path, fromUtf8(read.file.columns[columns.values].heading),
                             recordedSheet(sheet, opened.sheets)));
    QStringList notes;
    if (!result.message.empty()) notes << fromUtf8(result.message);
    if (read.file.decimalComma) notes << QString::fromUtf8(kDecimalCommaNotice);
    for (const auto& note : opened.notes) notes << fromUtf8(note);
    if (!notes.isEmpty()) {
        prompt_.message(input_, notes.join(QLatin1Char('\n')), title, Prompt::Icon::Information);
    }
    return true;
}

void MDIForm1::noteGeneratorSource(QWidget* dialog, QPushButton* ok, const QString& source) {
    if (dialog->property("kijunchiSourceNoted").toBool()) return;
    dialog->setProperty("kijunchiSourceNoted", true);
    connect(ok, &QPushButton::clicked, this, [this, source] {
        StudySource generator;
        generator.origin = kOriginGenerator;
        setDataSource(generator, source);
    });
}

StudySource MDIForm1::fileSource(const QString& path, const QString& column,
                                 const std::string& sheet) {
    StudySource source;
    source.origin = kOriginFile;
    source.file = QFileInfo(path).fileName().toStdString();
    source.column = column.toStdString();
    source.sheet = sheet;
    // Read a block at a time: the file may be as large as a data file can be.
    if (auto digest = fileSha256(QFile::encodeName(path).toStdString(), kMaxDataFileBytes))
        source.sha256 = std::move(*digest);
    return source;
}

void MDIForm1::askFilesThroughFrame(BatchWindow& batch) {
    QPointer<BatchWindow> window(&batch);
    batch.chooseDataFile = [this, window] {
        const QString path = filePrompt_->openFileName(window, lastFolder());
        if (!path.isEmpty()) rememberFolder(path);
        return path;
    };
    const auto saveAs = [this, window](const char* title, const char* name, const char* filter) {
        return [this, window, title, name, filter] {
            const QString path = filePrompt_->saveFileName(
                window, QString::fromUtf8(title),
                QDir(lastFolder()).filePath(QString::fromUtf8(name)), {QString::fromUtf8(filter)});
            if (!path.isEmpty()) rememberFolder(path);
            return path;
        };
    };
    batch.chooseCsvFile = saveAs("CSVに保存", "一括評価.csv", "CSV (*.csv)");
    batch.choosePdfFile = saveAs("PDFに保存", "一括評価.pdf", "PDF (*.pdf)");
    batch.chooseExcelFile = saveAs("Excelに保存", "一括評価.xlsx", "Excel ブック (*.xlsx)");
}

// --- The report ---------------------------------------------------------------------------

void MDIForm1::addDocumentPart(QWidget* window, const DocumentPart* part) {
    extraParts_.append({QPointer<QWidget>(window), part});
}

QList<const DocumentPart*> MDIForm1::documentParts() const {
    QList<const DocumentPart*> parts;
    if (statV_) parts << statV_.data();
    if (reg_) parts << reg_.data();
    // A window closed with its X (hidden) gives nothing until it is opened again.
    for (const auto& [window, part] : extraParts_) {
        const QMdiSubWindow* sub = window ? subWindowOf(window) : nullptr;
        if (window && !(sub && sub->isHidden())) parts << part;
    }
    return parts;
}

bool MDIForm1::hasReport() const {
    for (const DocumentPart* part : documentParts())
        if (!part->partText().isEmpty() || part->pictureCount() > 0) return true;
    return false;
}

QStringList MDIForm1::reportDescription() const {
    // The analysis the windows show, as it was when it ran; the data set only before any.
    QStringList lines;
    for (const std::string& line :
         session_.description(QDateTime::currentDateTime()
                                  .toString(QStringLiteral("yyyy/MM/dd HH:mm"))
                                  .toStdString()))
        lines << fromUtf8(line);
    // The values excluded, once in the document: here unless the evaluation lists them.
    const AnalysisSnapshot& analysed = session_.snapshot();
    const auto& excluded = analysed.done ? analysed.excluded : store_.Excluded;
    if (excluded.empty()) return lines;
    for (const DocumentPart* part : documentParts())
        if (part == static_cast<const DocumentPart*>(evaluation_.data())) return lines;
    for (const QString& line :
         QString::fromStdString(exclusionText(excluded)).split(QStringLiteral("\r\n")))
        if (!line.isEmpty()) lines << line;
    return lines;
}

QString MDIForm1::runningHead() const {
    return fromUtf8(session_.runningHead(
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")).toStdString()));
}

int MDIForm1::printReport(QPagedPaintDevice& device) {
    // Printed to a file: never in place of a device or a pipe (a pipe without a reader would
    // hold the program for ever).
    if (const auto* printer = dynamic_cast<const QPrinter*>(&device);
        printer && !printer->outputFileName().isEmpty()) {
        const QString path = printer->outputFileName();
        if (const QString refused = outputRefused(path); !refused.isEmpty()) {
            prompt_.message(this, writeFailure(path, refused), QString::fromUtf8(kPrintTitle),
                            Prompt::Icon::Exclamation);
            return 0;
        }
    }
    return paintReportDocument(device, reportDescription(), documentParts(), runningHead());
}

void MDIForm1::saveStatisticsCommand() {
    const QString title = QString::fromUtf8(kSaveTitle);
    QString text;
    for (const DocumentPart* part : documentParts()) {
        QString partText = part->partText();
        if (partText.isEmpty()) continue;
        partText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (!partText.endsWith(QLatin1Char('\n'))) partText += QLatin1Char('\n');
        // The statistics come first as they stand; other windows' texts under their titles.
        if (!text.isEmpty()) text += QLatin1Char('\n') + part->partTitle() + QLatin1Char('\n');
        text += partText;
    }
    if (text.isEmpty()) {
        prompt_.message(this, QStringLiteral("保存する統計量がありません。先に解析して下さい。"),
                        title, Prompt::Icon::Exclamation);
        return;
    }
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const QString path = filePrompt_->saveFileName(
        this, title, QDir(lastFolder()).filePath(QStringLiteral("統計量.txt")),
        {QStringLiteral("テキスト (*.txt)"), QStringLiteral("CSV (*.csv)")});
    if (path.isEmpty()) return;
    const bool csv =
        QFileInfo(path).suffix().compare(QStringLiteral("csv"), Qt::CaseInsensitive) == 0;
    const QByteArray bytes =
        csv ? QByteArray::fromStdString(reportCsv(text.toStdString())) : text.toUtf8();
    written(path, writeBytes(path, bytes), title);
}

void MDIForm1::exportPictureCommand() {
    const QString title = QString::fromUtf8(kExportTitle);
    QList<QPair<const DocumentPart*, int>> pictures;
    QStringList names;
    for (const DocumentPart* part : documentParts()) {
        for (int i = 0; i < part->pictureCount(); ++i) {
            pictures.append({part, i});
            names << part->pictureName(i);
        }
    }
    if (pictures.isEmpty()) {
        prompt_.message(this, QStringLiteral("書き出す図がありません。先に解析して下さい。"), title,
                        Prompt::Icon::Exclamation);
        return;
    }
    int index = 0;
    if (pictures.size() > 1) {
        std::optional<int> chosen =
            filePrompt_->chooseItem(this, title, QStringLiteral("どの図を書き出しますか。"), names,
                                    QList<bool>(pictures.size(), true), 0);
        if (!chosen || *chosen < 0 || *chosen >= pictures.size()) return;
        index = *chosen;
    }
    const auto [part, picture] = pictures[index];
    std::optional<QSize> size = filePrompt_->pictureSize(this, part->pictureSize(picture));
    if (!size || size->isEmpty()) return;
    const QString path = filePrompt_->saveFileName(
        this, title, QDir(lastFolder()).filePath(names[index] + QStringLiteral(".png")),
        {QStringLiteral("PNG 画像 (*.png)"), QStringLiteral("SVG 画像 (*.svg)")});
    if (path.isEmpty()) return;
    written(path, writePicture(path, *part, picture, *size), title);
}

void MDIForm1::printReportCommand() {
    if (!hasReport()) {
        prompt_.message(this, QStringLiteral("印刷するレポートがありません。先に解析して下さい。"),
                        QString::fromUtf8(kPrintTitle), Prompt::Icon::Exclamation);
        return;
    }
    if (printPreview) printPreview(this);
}

void MDIForm1::exportPdfCommand() {
    const QString title = QString::fromUtf8(kPdfTitle);
    if (!hasReport()) {
        prompt_.message(this, QStringLiteral("出力するレポートがありません。先に解析して下さい。"),
                        title, Prompt::Icon::Exclamation);
        return;
    }
    const QString path = filePrompt_->saveFileName(
        this, title, QDir(lastFolder()).filePath(QStringLiteral("レポート.pdf")),
        {QStringLiteral("PDF (*.pdf)")});
    if (path.isEmpty()) return;
    written(path, writeReportPdf(path, reportDescription(), documentParts(), runningHead()), title);
}

// --- The remembered place -----------------------------------------------------------------

QString MDIForm1::lastFolder() const {
    const QString folder = QSettings().value(QStringLiteral("lastFolder")).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

void MDIForm1::rememberFolder(const QString& file) {
    QSettings().setValue(QStringLiteral("lastFolder"), QFileInfo(file).absolutePath());
}

void MDIForm1::written(const QString& path, const QString& error, const QString& title) {
    if (error.isEmpty())
        rememberFolder(path);
    else
        prompt_.message(this, writeFailure(path, error), title, Prompt::Icon::Exclamation);
}

void MDIForm1::restorePlace() {
    const QByteArray geometry = QSettings().value(QStringLiteral("frameGeometry")).toByteArray();
    if (!geometry.isEmpty()) restoreGeometry(geometry);
}

void MDIForm1::rememberPlace() {
    QSettings().setValue(QStringLiteral("frameGeometry"), saveGeometry());
}

}  // namespace kijunchi
