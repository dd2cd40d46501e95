// The frame's study commands: the header of the documents (検討の情報), the values taken out
// of the data set and brought back from the evaluation window, and the study file.
#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QSaveFile>
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

QString ruleTitle(const QString& rule) {
    if (rule == QLatin1String("tukey")) return QStringLiteral("Tukey法");
    if (rule == QLatin1String("horn")) return QStringLiteral("Horn法");
    return QStringLiteral("Dixon-Reed法");
}

}  // namespace

// --- The header ---------------------------------------------------------------------------

void MDIForm1::studyHeaderCommand() {
    // The analyte suggested: the column's heading, else the name of the file the values came
    // from (a paste or a generator names none).
    QString suggested = dataColumn_;
    if (suggested.isEmpty() && !QFileInfo(dataSource).suffix().isEmpty())
        suggested = QFileInfo(dataSource).completeBaseName();
    StudyHeaderDialog dialog(store_.Header, suggested, this);
    if (dialog.exec() != QDialog::Accepted) return;
    store_.Header = dialog.header();
}

void MDIForm1::appendStudyDescription(QStringList& lines) const {
    if (!hasDocumentHeader(store_)) return;
    // As the command line heads its PDF.
    std::vector<std::string> description;
    for (const QString& line : lines) description.push_back(line.toStdString());
    lines.clear();
    for (const std::string& line : describedWithHeader(std::move(description), store_))
        lines << QString::fromStdString(line);
    if (store_.Excluded.empty()) return;
    // The values excluded, once in the document: here unless the evaluation lists them.
    for (const DocumentPart* part : documentParts())
        if (part == static_cast<const DocumentPart*>(evaluation_.data())) return;
    for (const QString& line :
         QString::fromStdString(exclusionText(store_.Excluded)).split(QStringLiteral("\r\n")))
        if (!line.isEmpty()) lines << line;
}

// --- Exclusions ---------------------------------------------------------------------------

std::string MDIForm1::exclusionWho() const {
    if (!store_.Header.author.empty()) return store_.Header.author;
    for (const char* name : {"USER", "USERNAME", "LOGNAME"})
        if (const QString login = qEnvironmentVariable(name); !login.isEmpty())
            return login.toStdString();
    return {};
}

QString MDIForm1::exclusionNote() const {
    if (store_.Excluded.empty()) return {};
    QStringList values;
    for (const ExcludedValue& e : store_.Excluded)
        values << QStringLiteral("位置 %1 %2（%3）")
                      .arg(e.position)
                      .arg(QString::number(e.value, 'g', 15), e.rule.empty()
                                                                  ? QStringLiteral("位置を指定")
                                                                  : QString::fromStdString(e.rule));
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

void MDIForm1::applyExclusions(const std::vector<double>& asRead,
                               std::vector<ExcludedValue> excluded) {
    std::sort(excluded.begin(), excluded.end(), [](const ExcludedValue& a, const ExcludedValue& b) {
        return a.position < b.position;
    });
    // The record first, so that the check of the data set written next finds it describing
    // the data set; the count read stays that of the reading.
    const std::int64_t read = store_.ValuesRead;
    // The log names the positions that went out or came back.
    const auto positions = [](const std::vector<ExcludedValue>& from,
                              const std::vector<ExcludedValue>& without) {
        std::string text;
        for (const ExcludedValue& e : from)
            if (std::none_of(without.begin(), without.end(),
                             [&](const ExcludedValue& f) { return f.position == e.position; }))
                text += (text.empty() ? "位置 " : "、") + std::to_string(e.position);
        return text;
    };
    if (const std::string out = positions(excluded, store_.Excluded); !out.empty())
        noteStudy("excluded", out);
    if (const std::string back = positions(store_.Excluded, excluded); !back.empty())
        noteStudy("restored", back);
    store_.ValuesBeforeExclusion = excluded.empty() ? std::vector<double>() : asRead;
    store_.Excluded = std::move(excluded);
    storeMeasuredValues(store_, keptValues(asRead, store_.Excluded), inputGrid());
    store_.ValuesRead = read;
    if (evaluation_) evaluation_->setExcludedCount(static_cast<int>(store_.Excluded.size()));
    openEvaluationWindow();
}

void MDIForm1::forgetStaleExclusions() {
    if (store_.Excluded.empty() && store_.ValuesBeforeExclusion.empty()) return;
    if (measuredValues(store_) == keptValues(store_.ValuesBeforeExclusion, store_.Excluded)) return;
    store_.Excluded.clear();
    store_.ValuesBeforeExclusion.clear();
    if (evaluation_) evaluation_->setExcludedCount(0);
}

void MDIForm1::excludeFlaggedCommand(const QString& rule) {
    const QString title = QString::fromUtf8(kExcludeTitle);
    const auto rules = outlierRulesNamed(rule.toStdString());
    if (!rules || refuseExclusion(title)) return;
    // The rule screens the data set as it stands, as the evaluation shows its candidates; the
    // record counts positions in the data as read.
    const std::string when =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
    std::vector<ExcludedValue> flagged =
        flaggedExclusions(measuredValues(store_), *rules, exclusionWho(), when);
    if (flagged.empty()) {
        prompt_.message(evaluation_ ? static_cast<QWidget*>(evaluation_) : this,
                        QStringLiteral("%1で外れ値とされる値はありません。").arg(ruleTitle(rule)),
                        title, Prompt::Icon::Information);
        return;
    }
    const std::vector<int> positions = keptPositions();
    std::vector<ExcludedValue> excluded = store_.Excluded;
    for (ExcludedValue& e : flagged) {
        e.position = positions[static_cast<std::size_t>(e.position - 1)];
        excluded.push_back(std::move(e));
    }
    applyExclusions(valuesAsRead(store_), std::move(excluded));
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
    const std::string when =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
    std::vector<ExcludedValue> excluded = store_.Excluded;
    for (ExcludedValue& e : positionExclusions(asRead, {*position}, exclusionWho(), when))
        excluded.push_back(std::move(e));
    applyExclusions(asRead, std::move(excluded));
}

void MDIForm1::restoreOneCommand() {
    const QString title = QString::fromUtf8(kRestoreTitle);
    if (store_.Excluded.empty() || refuseExclusion(title)) return;
    QStringList items;
    for (const ExcludedValue& e : store_.Excluded)
        items << QStringLiteral("位置 %1　値 %2　%3")
                     .arg(e.position)
                     .arg(QString::number(e.value, 'g', 15), e.rule.empty()
                                                                 ? QStringLiteral("位置を指定")
                                                                 : QString::fromStdString(e.rule));
    const std::optional<int> chosen = filePrompt_->chooseItem(
        evaluation_ ? static_cast<QWidget*>(evaluation_) : this, title,
        QStringLiteral("どの値を戻しますか。"), items, QList<bool>(items.size(), true), 0);
    if (!chosen || *chosen < 0 || *chosen >= items.size()) return;
    std::vector<ExcludedValue> excluded = store_.Excluded;
    excluded.erase(excluded.begin() + *chosen);
    applyExclusions(valuesAsRead(store_), std::move(excluded));
}

void MDIForm1::restoreAllCommand() {
    if (store_.Excluded.empty() || refuseExclusion(QString::fromUtf8(kRestoreTitle))) return;
    applyExclusions(valuesAsRead(store_), {});
}

// --- The study file -----------------------------------------------------------------------

namespace {

constexpr const char* kOpenStudyTitle = "検討を開く";
constexpr const char* kSaveStudyTitle = "検討を保存";
constexpr const char* kRecentKey = "recentStudies";
constexpr int kRecentCount = 5;
constexpr std::size_t kMaxStudyBytes = std::size_t{64} << 20;

std::string nowText() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
}

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

void MDIForm1::noteStudy(const char* what, const std::string& detail) {
    log_.push_back({nowText(), what, detail});
}

Study MDIForm1::currentStudy() const {
    Study study;
    study.programVersion = programVersion();
    const std::vector<double> asRead = valuesAsRead(store_);
    study.values.reserve(asRead.size());
    for (double v : asRead) study.values.push_back(exactNumberText(v));
    // The groups belong to the data set while the values are those they were read with.
    if (store_.GroupLabels.size() == asRead.size() && store_.GroupedValues == asRead)
        study.groups = store_.GroupLabels;
    study.valuesFound =
        std::max<std::int64_t>(store_.ValuesRead, static_cast<std::int64_t>(asRead.size()));
    study.source = source_;
    // λ as the transformation applied it (an analysis of untransformed data sets λ to 1 for
    // itself, which is no transformation to replay).
    study.lambda = transformed(store_) ? store_.Lambda.toText() : std::string();
    study.classes = static_cast<int>(store_.ClassCount);
    if (input_)
        if (const auto classes = readClassCount(input_->classCountText().toStdString()))
            study.classes = static_cast<int>(*classes);
    study.excluded = store_.Excluded;
    study.header = store_.Header;
    study.notes = notes_;
    study.log = log_;
    return study;
}

std::string MDIForm1::studyContent() const {
    Study study = currentStudy();
    study.log.clear();
    return studyJson(study);
}

bool MDIForm1::unsavedChanges() const {
    if (studyPath_.isEmpty() && store_.Header.empty() && store_.Excluded.empty()) return false;
    return studyContent() != savedContent_;
}

bool MDIForm1::saveStudy(const QString& path) {
    Study study = currentStudy();
    study.log.push_back({nowText(), "saved", QFileInfo(path).fileName().toStdString()});
    const std::string json = studyJson(study);
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.write(json.data(), static_cast<qint64>(json.size())) ==
                             static_cast<qint64>(json.size()) &&
                         file.commit();
    if (!written) {
        prompt_.message(this,
                        QStringLiteral("ファイル「%1」に書き込めませんでした。\n%2")
                            .arg(QDir::toNativeSeparators(path), file.errorString()),
                        QString::fromUtf8(kSaveStudyTitle), Prompt::Icon::Exclamation);
        return false;
    }
    log_ = std::move(study.log);
    studyPath_ = path;
    savedContent_ = studyContent();
    rememberRecentStudy(path);
    rememberFolder(path);
    return true;
}

bool MDIForm1::saveStudyCommand() {
    return studyPath_.isEmpty() ? saveStudyAsCommand() : saveStudy(studyPath_);
}

bool MDIForm1::saveStudyAsCommand() {
    if (valuesAsRead(store_).empty()) {
        prompt_.message(this, QStringLiteral("保存するデータがありません。"),
                        QString::fromUtf8(kSaveStudyTitle), Prompt::Icon::Exclamation);
        return false;
    }
    QString name = QString::fromStdString(store_.Header.analyte);
    if (name.isEmpty()) name = dataColumn_;
    if (name.isEmpty() && !QFileInfo(dataSource).suffix().isEmpty())
        name = QFileInfo(dataSource).completeBaseName();
    if (name.isEmpty()) name = QStringLiteral("検討");
    const QString suggested =
        studyPath_.isEmpty() ? QDir(lastFolder()).filePath(name + QLatin1String(kStudyExtension))
                             : studyPath_;
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
    source_ = study.source;
    log_ = study.log;
    notes_ = study.notes;
    dataSource = study.source.origin == "paste" ? QStringLiteral("クリップボード")
                 : !study.source.file.empty()   ? QString::fromStdString(study.source.file)
                                                : name;
    dataColumn_ = QString::fromStdString(study.source.column);
    QString values;
    for (const std::string& v : study.values) values += QString::fromStdString(v) + "\r\n";
    input_->setPasteBufferText(values);
    input_->Text3->setText(QString::number(study.classes));
    showDataSet(store_, inputGrid());
    inputGrid().setCommentLabel(grid.comment);
    if (evaluation_) evaluation_->setExcludedCount(static_cast<int>(store_.Excluded.size()));
    noteStudy("opened", name.toStdString());
    studyPath_ = path;
    savedContent_ = studyContent();
    rememberRecentStudy(path);
    rememberFolder(path);
    // The windows show the study's analysis; the evaluation too when it is open.
    analysisCommand();
    return true;
}

bool MDIForm1::leaveStudy() {
    if (!unsavedChanges()) return true;
    const QString name =
        studyPath_.isEmpty() ? QStringLiteral("無題") : QFileInfo(studyPath_).fileName();
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

void MDIForm1::noteSourceFile(const QString& path) {
    // Read a block at a time: the file may be as large as a data file can be.
    if (auto digest = fileSha256(path.toStdString(), kMaxStudyBytes * 4))
        source_.sha256 = std::move(*digest);
}

void MDIForm1::forgetStudy() {
    store_.Header = {};
    studyPath_.clear();
    source_ = {};
    log_.clear();
    notes_.clear();
    savedContent_.clear();
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
