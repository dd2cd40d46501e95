#pragma once
// The window "間接法による基準範囲": reference limits from an extract of routine results (one
// or more data files) by the indirect method, per partition (group × age band), with the same
// choices as the command line's --indirect. The reading and the estimates run on a worker
// thread with progress and キャンセル; the result table can be copied and saved as CSV, each
// partition has its chart, and table and charts join the frame's report. With
// "採用中の基準範囲と比べる" each partition's estimate is compared with an adopted interval
// (typed limits, the JCCLS table or a table file): the verdict columns join the table, the
// adopted limits and both uncertainty margins the chart.
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "adopted/adopted_check.h"
#include "gui/results/document_part.h"
#include "indirect/indirect_table.h"
#include "indirect/site_spread.h"
#include "indirect/truncated_fit.h"
#include "indirect/value_counts.h"

class QCheckBox;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kijunchi {

class FilePrompt;
class Prompt;

class IndirectWindow : public QWidget, public DocumentPart {
    Q_OBJECT
public:
    // files asks which sheet of a workbook to read.
    IndirectWindow(Prompt& prompt, FilePrompt& files, QWidget* parent = nullptr);
    void setFilePrompt(FilePrompt& files) { filePrompt_ = &files; }

    // The file choosers, replaceable in tests; empty means cancelled.
    std::function<QStringList()> chooseDataFiles;
    std::function<QString()> chooseCsvFile;
    std::function<QString()> chooseAdoptedTable;  // a table of adopted intervals (CSV)

    void openCommand();  // ファイルを選ぶ…
    void runCommand();   // 推定
    void copyCommand();  // コピー
    void saveCommand();  // CSVに保存…
    // The files of the extract; their columns (those of the first) fill the choosers.
    bool openFiles(const QStringList& paths);
    bool saveCsv(const QString& path);
    // The table as the command line's TSV: a heading line, then a line per partition.
    QString tableText() const;

    // A row of the table: a partition, or with a site column the pool's or one site's part of it.
    struct Partition {
        std::string label;
        ValueCounts counts;
        IndirectResult result;
        std::optional<AdoptedComparison> comparison;  // when compared with an adopted interval
        std::optional<IndirectSiteCells> site;
    };
    const std::vector<Partition>& partitions() const { return partitions_; }

    QPushButton* OpenButton = nullptr;
    QLabel* FilesLabel = nullptr;
    QComboBox* ValueBox = nullptr;    // the value column
    QComboBox* CountBox = nullptr;    // （なし） or a column of counts
    QComboBox* GroupBox = nullptr;    // （なし） or a column
    QComboBox* SiteBox = nullptr;     // （なし） or a column
    QComboBox* AgeBox = nullptr;      // （なし） or a column
    QLineEdit* BandsEdit = nullptr;   // 0,18,40,60,120
    QComboBox* PatientBox = nullptr;  // （なし） or a column
    QCheckBox* FirstCheck = nullptr;  // 患者ごとに最初の結果だけ
    QComboBox* DateBox = nullptr;     // （なし） or a column
    QLineEdit* FromEdit = nullptr;
    QLineEdit* ToEdit = nullptr;
    QComboBox* WhereBox = nullptr;  // （なし） or a column
    QLineEdit* WhereEdit = nullptr;
    QLineEdit* SeedEdit = nullptr;
    QCheckBox* CompareCheck = nullptr;  // 採用中の基準範囲と比べる
    QComboBox* AdoptedBox = nullptr;  // 入力した範囲, JCCLS共用基準範囲, 表のファイル
    QLineEdit* AdoptedLowerEdit = nullptr;  // typed limits
    QLineEdit* AdoptedUpperEdit = nullptr;
    QLineEdit* AnalyteEdit = nullptr;          // the analyte of the table (empty: the value column)
    QPushButton* AdoptedFileButton = nullptr;  // 表を選ぶ…
    QLabel* AdoptedFileLabel = nullptr;
    QPushButton* RunButton = nullptr;
    QPushButton* CopyButton = nullptr;
    QPushButton* SaveButton = nullptr;
    QTableWidget* Table = nullptr;
    QComboBox* ChartBox = nullptr;  // the partition whose chart is shown
    QChartView* ChartView = nullptr;
    QLabel* StatusLabel = nullptr;

    // DocumentPart, after a run: the files and choices, then the table (TSV) keyed by the
    // partition, and one chart per partition.
    QString partTitle() const override { return windowTitle(); }
    QString partText() const override { return text_; }
    TextTable partTable() const override;
    int pictureCount() const override { return static_cast<int>(partitions_.size()); }
    QString pictureName(int index) const override;
    QSize pictureSize(int) const override { return {1000, 700}; }
    void paintPicture(int index, QPainter& painter, const QSize& size) const override;

protected:
    // The chart view resized: its legend placed where its labels are whole.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showResults();
    void showChart(int index);
    QString choicesText() const;
    QString filesText() const;  // the files, and the sheet of the workbooks when chosen
    bool sites() const;         // the rows have site cells
    bool comparing() const;
    std::string writeTable(IndirectFormat format) const;
    void fail(const QString& text);

    Prompt& prompt_;
    FilePrompt* filePrompt_;
    QStringList files_;
    // The sheet read in each workbook among the files (number from 1), and its name as chosen.
    std::string sheet_;
    QString sheetName_;
    std::vector<Partition> partitions_;
    QString text_;
    int textHeadLines_ = 0;
    bool running_ = false;
    QString adoptedFile_;    // the table file chosen
    QString adoptedSource_;  // the adopted interval the last run was compared with
};

}  // namespace kijunchi
