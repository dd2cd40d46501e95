#pragma once
// The window "一括評価": every analyte column of a data file evaluated at once, as a whole or
// per group, shown as a table that can be saved as CSV or as a PDF report, and that joins the
// frame's report.
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "gui/results/document_part.h"
#include "study/batch.h"
#include "study/table_stream.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace kijunchi {

class FilePrompt;
class Prompt;

class BatchWindow : public QWidget, public DocumentPart {
    Q_OBJECT
public:
    // files asks which sheet of a workbook to read.
    BatchWindow(Prompt& prompt, FilePrompt& files, QWidget* parent = nullptr);
    void setFilePrompt(FilePrompt& files) { filePrompt_ = &files; }

    // The file choosers, replaceable in tests; an empty name means cancelled.
    std::function<QString()> chooseDataFile;
    std::function<QString()> chooseCsvFile;
    std::function<QString()> choosePdfFile;
    std::function<QString()> chooseExcelFile;
    // Called between analytes with (done, total); false cancels. The window's own shows a
    // progress bar after a second of work.
    std::function<bool(int, int)> progress;

    void openCommand();   // ファイルを開く…
    void runCommand();    // 評価
    void saveCommand();   // CSVに保存…
    void pdfCommand();    // PDFに保存…
    void excelCommand();  // Excelに保存…: the table as one sheet of an .xlsx workbook
    bool openFile(const QString& path);
    bool saveCsv(const QString& path);
    // The report of this window alone: a head, then the part below.
    bool savePdf(const QString& path);

    const std::vector<BatchRow>& rows() const { return rows_; }

    QPushButton* OpenButton = nullptr;
    QComboBox* GroupBox = nullptr;  // （グループなし） or a column
    QPushButton* RunButton = nullptr;
    QPushButton* SaveButton = nullptr;
    QPushButton* PdfButton = nullptr;
    QPushButton* ExcelButton = nullptr;  // Excelに保存…
    QLabel* FileLabel = nullptr;
    QLabel* StatusLabel = nullptr;
    QTableWidget* Table = nullptr;

    // DocumentPart, after a run: the file, the grouping and how far the run went, then the
    // table (TSV) with the analyte (and group) as the key of its rows.
    QString partTitle() const override { return windowTitle(); }
    QString partText() const override { return text_; }
    TextTable partTable() const override;

private:
    void showRows();
    // Whether a write to path succeeded; when not (error), the message saying why.
    bool written(const QString& path, const QString& error);

    Prompt& prompt_;
    FilePrompt* filePrompt_;
    std::optional<TableStream> table_;
    QString fileName_;
    std::vector<BatchRow> rows_;
    QString text_;
    bool grouped_ = false;
    bool running_ = false;
};

}  // namespace kijunchi
