// The frame's study commands: the header of the documents (検討の情報), the values taken out
// of the data set and brought back from the evaluation window, and the study file.
#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <algorithm>
#include <memory>

#include "evaluation/exclusion.h"
#include "gui/evaluation/evaluation_window.h"
#include "gui/files/file_prompt_dialog.h"
#include "gui/input/frm_mnu_window.h"
#include "gui/results/document_part.h"
#include "gui/shell/mdi_form.h"
#include "gui/study/study_header_dialog.h"
#include "gui/widgets/prompt.h"
#include "input/paste_reader.h"
#include "record/study_file.h"
#include "report/analysis_run.h"

namespace kijunchi {

namespace {

constexpr const char* kExcludeTitle = "値の除外";
constexpr const char* kRestoreTitle = "除外した値を戻す";

bool transformed(const AnalysisStore& store) {
    return !store.Lambda.isBlank() && !store.UntransformedValues.empty();
}

// The data set's values on the measurement scale, in order.
std::vector<double> measuredValues(const AnalysisStore& store) {
    if (transformed(store)) return store.UntransformedValues;
    std::vector<double> values;
    const int n = std::clamp(store.DataCount, 0, kMaxValues);
    values.reserve(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i)
        values.push_back(store.AnalysisValues[static_cast<std::size_t>(i)].toNumber());
    return values;
}

}  // namespace

// --- The header ---------------------------------------------------------------------------

std::string nowText() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
}

void MDIForm1::studyHeaderCommand() {
    // The analyte suggested: the column's heading, else the name of the file the values came
    // from (a paste or a generator names none).
    StudyHeaderDialog dialog(store_.Header, QString::fromStdString(session_.suggestedAnalyte()),
                             this);
    if (dialog.exec() != QDialog::Accepted) return;
    setStudyHeader(dialog.header());
}

void MDIForm1::setStudyHeader(const StudyHeader& header) {
    session_.setHeader(header, nowText());
    refreshCopyHeads();
}

void MDIForm1::approveCommand() {
    const QString title = QStringLiteral("承認");
    if (!session_.snapshot().done || session_.stale()) {
        prompt_.message(this, QStringLiteral("承認する解析がありません。先に解析して下さい。"),
                        title, Prompt::Icon::Exclamation);
        return;
    }
    if (store_.Header.approver.empty()) {
        prompt_.message(this, QStringLiteral("「検討の情報…」で承認者を入力して下さい。"), title,
                        Prompt::Icon::Exclamation);
        return;
    }
    session_.approve(store_.Header.approver, nowText());
    refreshCopyHeads();
}

// --- Exclusions ---------------------------------------------------------------------------

QString MDIForm1::exclusionNote() const {
    if (store_.Excluded.empty()) return {};
    QStringList values;
    for (const ExcludedValue& e : store_.Excluded)
        values << QStringLiteral("位置 %1 %2（%3）")
                      .arg(e.position)
                      .arg(QString::number(e.value, 'g', 15),
                           QString::fromStdString(exclusionRuleLabel(e)));
    return QStringLiteral("%1個を除外: %2")
        .arg(store_.Excluded.size())
        .arg(values.join(QStringLiteral("、")));
}

std::vector<int> MDIForm1::keptPositions() const {
    const std::size_t n = valuesAsRead(store_).size();
    std::vector<bool> out(n, false);
    for (const ExcludedValue& e : store_.Excluded)
        if (e.position >= 1 && static_cast<std::size_t>(e.position) <= n)
            out[static_cast<std::size_t>(e.position - 1)] = true;
    std::vector<int> kept;
    for (std::size_t i = 0; i < n; ++i)
        if (!out[i]) kept.push_back(static_cast<int>(i + 1));
    return kept;
}

bool MDIForm1::refuseExclusion(const QString& title) {
    QString why;
    if (store_.WorkCount == 0 && store_.Excluded.empty())
        why = QStringLiteral("データがありません。先にデータを入力して下さい。");
    else if (transformed(store_))
        why = QStringLiteral(
            "変換したデータでは値を除外することも戻すこともできません。入力画面の「修正ベキ変換」"
            "を押すと測定値のデータに戻りますので、戻してから行って下さい。");
    if (why.isEmpty()) return false;
    prompt_.message(evaluation_ ? static_cast<QWidget*>(evaluation_) : this, why, title,
                    Prompt::Icon::Exclamation);
    return true;
}

void MDIForm1::applyExclusions(std::vector<ExcludedValue> excluded) {
    session_.setExclusions(std::move(excluded), inputGrid(), nowText());
    if (evaluation_) evaluation_->setExcludedCount(static_cast<int>(store_.Excluded.size()));
    openEvaluationWindow();
}

void MDIForm1::excludeFlaggedCommand(const QString& rule) {
    const QString title = QString::fromUtf8(kExcludeTitle);
    const auto rules = outlierRulesNamed(rule.toStdString());
    if (!rules || refuseExclusion(title)) return;
    // The rule screens the data set as it stands, as the evaluation shows its candidates; the
    // record counts positions in the data as read.
    std::vector<ExcludedValue> flagged =
        flaggedExclusions(measuredValues(store_), *rules, session_.exclusionWho(), nowText());
    if (flagged.empty()) {
        prompt_.message(evaluation_ ? static_cast<QWidget*>(evaluation_) : this,
                        QStringLiteral("%1で外れ値とされる値はありません。")
                            .arg(QString::fromStdString(outlierRulesName(*rules))),
                        title, Prompt::Icon::Information);
        return;
    }
    const std::vector<int> positions = keptPositions();
    std::vector<ExcludedValue> excluded = store_.Excluded;
    for (ExcludedValue& e : flagged) {
        e.position = positions[static_cast<std::size_t>(e.position - 1)];
        excluded.push_back(std::move(e));
    }
    applyExclusions(std::move(excluded));
}

void MDIForm1::excludePositionCommand() {
    const QString title = QString::fromUtf8(kExcludeTitle);
    if (refuseExclusion(title)) return;
    const std::vector<double> asRead = valuesAsRead(store_);
    const int n = static_cast<int>(asRead.size());
    QWidget* parent = evaluation_ ? static_cast<QWidget*>(evaluation_) : this;
    const std::optional<int> position = filePrompt_->askNumber(
        parent, title, QStringLiteral("除外する値の、読み込んだ順の位置（1～%1）:").arg(n), 1, n,
        1);
    if (!position || *position < 1 || *position > n) return;
    if (std::any_of(store_.Excluded.begin(), store_.Excluded.end(),
                    [&](const ExcludedValue& e) { return e.position == *position; })) {
        prompt_.message(parent,
                        QStringLiteral("位置 %1 の値はもう除外してあります。").arg(*position),
                        title, Prompt::Icon::Information);
        return;
    }
    if (static_cast<int>(store_.Excluded.size()) + 1 >= n) {
        prompt_.message(parent, QStringLiteral("すべての値を除外することはできません。"), title,
                        Prompt::Icon::Exclamation);
        return;
    }
    std::vector<ExcludedValue> excluded = store_.Excluded;
    for (ExcludedValue& e :
         positionExclusions(asRead, {*position}, session_.exclusionWho(), nowText()))
        excluded.push_back(std::move(e));
    applyExclusions(std::move(excluded));
}

void MDIForm1::restoreOneCommand() {
    const QString title = QString::fromUtf8(kRestoreTitle);
    if (store_.Excluded.empty() || refuseExclusion(title)) return;
    QStringList items;
    for (const ExcludedValue& e : store_.Excluded)
        items << QStringLiteral("位置 %1　値 %2　%3")
                     .arg(e.position)
                     .arg(QString::number(e.value, 'g', 15),
                          QString::fromStdString(exclusionRuleLabel(e)));
    const std::optional<int> chosen = filePrompt_->chooseItem(
        evaluation_ ? static_cast<QWidget*>(evaluation_) : this, title,
        QStringLiteral("どの値を戻しますか。"), items, QList<bool>(items.size(), true), 0);
    if (!chosen || *chosen < 0 || *chosen >= items.size()) return;
    std::vector<ExcludedValue> excluded = store_.Excluded;
    excluded.erase(excluded.begin() + *chosen);
    applyExclusions(std::move(excluded));
}

void MDIForm1::restoreAllCommand() {
    if (store_.Excluded.empty() || refuseExclusion(QString::fromUtf8(kRestoreTitle))) return;
    applyExclusions({});
}

// --- The study file -----------------------------------------------------------------------

namespace {

constexpr const char* kOpenStudyTitle = "検討を開く";
constexpr const char* kSaveStudyTitle = "検討を保存";
constexpr const char* kRecentKey = "recentStudies";
constexpr int kRecentCount = 5;
constexpr std::size_t kMaxStudyBytes = std::size_t{64} << 20;

// Keeps the comment line a rebuilt data set writes, for the input window once it is taken.
class CommentGrid final : public GridSink {
public:
    void putGridValue(int, std::string_view) override {}
    void resetCurrentCell() override {}
    void setCountLabel(std::string_view) override {}
    void setCommentLabel(std::string_view text) override { comment.assign(text); }
    std::string comment;
};

}  // namespace

int MDIForm1::classCount() const {
    if (input_)
        if (const auto classes = readClassCount(input_->classCountText().toStdString()))
            return static_cast<int>(*classes);
    return static_cast<int>(store_.ClassCount);
}

bool MDIForm1::unsavedChanges() const {
    return session_.unsavedChanges(classCount());
}

bool MDIForm1::saveStudy(const QString& path) {
    const std::string error =
        session_.save(QFile::encodeName(path).toStdString(), classCount(), nowText());
    if (!error.empty()) {
        prompt_.message(this, QString::fromStdString(error), QString::fromUtf8(kSaveStudyTitle),
                        Prompt::Icon::Exclamation);
        return false;
    }
    rememberRecentStudy(path);
    rememberFolder(path);
    return true;
}

bool MDIForm1::saveStudyCommand() {
    return session_.path().empty() ? saveStudyAsCommand() : saveStudy(studyPath());
}

bool MDIForm1::saveStudyAsCommand() {
    if (valuesAsRead(store_).empty()) {
        prompt_.message(this, QStringLiteral("保存するデータがありません。"),
                        QString::fromUtf8(kSaveStudyTitle), Prompt::Icon::Exclamation);
        return false;
    }
    QString name = QString::fromStdString(store_.Header.analyte);
    if (name.isEmpty()) name = QString::fromStdString(session_.suggestedAnalyte());
    if (name.isEmpty()) name = QStringLiteral("検討");
    const QString suggested =
        session_.path().empty() ? QDir(lastFolder()).filePath(name + QLatin1String(kStudyExtension))
                                : studyPath();
    const QString path = filePrompt_->saveFileName(
        this, QStringLiteral("名前を付けて保存"), suggested, {QStringLiteral("検討 (*.kijunchi)")});
    return !path.isEmpty() && saveStudy(path);
}

bool MDIForm1::openStudyCommand() {
    if (!leaveStudy()) return false;
    const QString path = filePrompt_->openStudyName(this, lastFolder());
    return !path.isEmpty() && openStudy(path);
}

bool MDIForm1::openStudy(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const QString title = QString::fromUtf8(kOpenStudyTitle);
    const std::optional<std::string> bytes = readWholeFile(path.toStdString(), kMaxStudyBytes);
    if (!bytes) {
        prompt_.message(this, QStringLiteral("ファイル「%1」を読めません。").arg(name), title,
                        Prompt::Icon::Exclamation);
        return false;
    }
    // The study is rebuilt aside; the current work changes only once it has been taken.
    StudyReading reading = parseStudy(*bytes);
    auto rebuilt = std::make_unique<AnalysisStore>();
    CommentGrid grid;
    if (reading.refusal == StudyRefusal::None)
        reading.refusal = rebuildStore(reading.study, *rebuilt, grid);
    if (reading.refusal != StudyRefusal::None) {
        prompt_.message(
            this, QString::fromStdString(studyRefusalMessage(reading.refusal, name.toStdString())),
            title, Prompt::Icon::Exclamation);
        return false;
    }
    const Study& study = reading.study;
    showInputWindow();
    store_ = *rebuilt;
    session_.opened(study, QFile::encodeName(path).toStdString(), nowText());
    QString values;
    for (const std::string& v : study.values) values += QString::fromStdString(v) + "\r\n";
    input_->setPasteBufferText(values);
    input_->Text3->setText(QString::number(study.classes));
    showDataSet(store_, inputGrid());
    inputGrid().setCommentLabel(grid.comment);
    if (evaluation_) evaluation_->setExcludedCount(static_cast<int>(store_.Excluded.size()));
    rememberRecentStudy(path);
    rememberFolder(path);
    // The windows show the study's analysis; the evaluation too when it is open.
    analysisCommand();
    return true;
}

bool MDIForm1::leaveStudy() {
    if (!unsavedChanges()) return true;
    const QString name =
        session_.path().empty() ? QStringLiteral("無題") : QFileInfo(studyPath()).fileName();
    switch (prompt_.askYesNoCancel(
        this,
        QStringLiteral("検討「%1」には保存していない変更があります。保存しますか。").arg(name),
        QString::fromUtf8(kSaveStudyTitle))) {
        case Prompt::Answer::Yes:
            return saveStudyCommand();
        case Prompt::Answer::No:
            return true;
        case Prompt::Answer::Cancel:
            break;
    }
    return false;
}

void MDIForm1::forgetStudy() {
    session_.startNew();
}

QStringList MDIForm1::recentStudies() const {
    return QSettings().value(QString::fromUtf8(kRecentKey)).toStringList();
}

void MDIForm1::rememberRecentStudy(const QString& path) {
    QStringList recent = recentStudies();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    while (recent.size() > kRecentCount) recent.removeLast();
    QSettings().setValue(QString::fromUtf8(kRecentKey), recent);
}

void MDIForm1::fillRecentStudies() {
    RecentStudies->clear();
    const QStringList recent = recentStudies();
    if (recent.isEmpty()) RecentStudies->addAction(QStringLiteral("（なし）"))->setEnabled(false);
    for (qsizetype i = 0; i < recent.size(); ++i) {
        const QString path = recent[i];
        QAction* item = RecentStudies->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
        item->setToolTip(QDir::toNativeSeparators(path));
        connect(item, &QAction::triggered, this, [this, path] {
            if (leaveStudy()) openStudy(path);
        });
    }
}

}  // namespace kijunchi
