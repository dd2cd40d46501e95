// The frame's study commands: the header of the documents (検討の情報) and the values taken out
// of the data set and brought back from the evaluation window.
#include <QAction>
#include <QDateTime>
#include <QFileInfo>
#include <algorithm>

#include "evaluation/exclusion.h"
#include "gui/evaluation/evaluation_window.h"
#include "gui/files/file_prompt_dialog.h"
#include "gui/results/document_part.h"
#include "gui/shell/mdi_form.h"
#include "gui/study/study_header_dialog.h"
#include "gui/widgets/prompt.h"
#include "input/paste_reader.h"

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
    if (store_.Header.empty() && store_.Excluded.empty()) return;
    // STUDY-FILE: the core's header block (with the program version and the data's SHA-256)
    // replaces these lines once the study file is in.
    const StudyHeader& h = store_.Header;
    const auto field = [&](const char* name, const std::string& value) {
        lines << QString::fromUtf8(name) + QLatin1Char('\t') +
                     (value.empty() ? QStringLiteral("―") : QString::fromStdString(value));
    };
    lines << QString();
    field("項目名", h.analyte);
    field("単位", h.unit);
    field("測定法・機器", h.method);
    field("施設", h.facility);
    field("作成者", h.author);
    field("承認者", h.approver);
    QString name = QStringLiteral("メモ");
    for (const QString& line : QString::fromStdString(h.note).split(QLatin1Char('\n'))) {
        if (h.note.empty()) break;
        lines << name + QLatin1Char('\t') + line;
        name.clear();
    }
    if (store_.Excluded.empty()) return;
    bool listed = false;
    for (const DocumentPart* part : documentParts())
        listed = listed || part == static_cast<const DocumentPart*>(evaluation_.data());
    if (listed) return;
    lines << QString();
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

std::vector<double> MDIForm1::valuesAsRead() const {
    return store_.ValuesBeforeExclusion.empty() ? measuredValues(store_)
                                                : store_.ValuesBeforeExclusion;
}

std::vector<int> MDIForm1::keptPositions() const {
    const std::size_t n = valuesAsRead().size();
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
    applyExclusions(valuesAsRead(), std::move(excluded));
}

void MDIForm1::excludePositionCommand() {
    const QString title = QString::fromUtf8(kExcludeTitle);
    if (refuseExclusion(title)) return;
    const std::vector<double> asRead = valuesAsRead();
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
    applyExclusions(valuesAsRead(), std::move(excluded));
}

void MDIForm1::restoreAllCommand() {
    if (store_.Excluded.empty() || refuseExclusion(QString::fromUtf8(kRestoreTitle))) return;
    applyExclusions(valuesAsRead(), {});
}

}  // namespace kijunchi
