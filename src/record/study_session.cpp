#include "record/study_session.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>

#include "analysis/number_text.h"
#include "evaluation/exclusion.h"
#include "files/report_export.h"
#include "input/paste_reader.h"

namespace kijunchi {

namespace {

bool isTransformed(const AnalysisStore& store) {
    return !store.Lambda.isBlank() && !store.UntransformedValues.empty();
}

// "位置 3（Tukey法）、位置 17（位置を指定）": those of from whose position without lacks.
std::string positionsText(const std::vector<ExcludedValue>& from,
                          const std::vector<ExcludedValue>& without) {
    std::string text;
    for (const ExcludedValue& e : from)
        if (std::none_of(without.begin(), without.end(),
                         [&](const ExcludedValue& f) { return f.position == e.position; }))
            text += (text.empty() ? "" : "、") + std::string("位置 ") + numberText(e.position) +
                    "（" + exclusionRuleLabel(e) + "）";
    return text;
}

// The log's word as a document prints it.
std::string logWord(const std::string& what) {
    static const std::pair<const char*, const char*> words[] = {
        {"opened", "読み込み"},         {"transformed", "変換"},          {"excluded", "除外"},
        {"restored", "除外の取り消し"}, {"header", "見出しの変更"},       {"analysed", "解析"},
        {"approved", "承認"},           {"unapproved", "承認の取り消し"}, {"saved", "保存"}};
    for (const auto& [word, shown] : words)
        if (what == word) return shown;
    return what;
}

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

}  // namespace

std::string sourceName(const StudySource& source) {
    if (source.origin == kOriginPaste) return "クリップボード";
    if (source.origin == kOriginGenerator) return "乱数の発生";
    if (source.origin == kOriginStdin) return "標準入力";
    return source.file;
}

std::string recordedSheet(const std::string& chosen, const std::vector<std::string>& sheets) {
    if (sheets.empty()) return chosen;
    if (chosen.empty()) return sheets.front();
    if (std::find(sheets.begin(), sheets.end(), chosen) != sheets.end()) return chosen;
    std::size_t number = 0;
    const auto [end, error] = std::from_chars(chosen.data(), chosen.data() + chosen.size(), number);
    if (error == std::errc() && end == chosen.data() + chosen.size() && number >= 1 &&
        number <= sheets.size())
        return sheets[number - 1];
    return chosen;
}

// --- The source ---------------------------------------------------------------------------

void StudySession::dataRead(StudySource source, const std::string& when, std::string name) {
    source_ = std::move(source);
    shownSource_ = name.empty() ? sourceName(source_) : std::move(name);
    std::string detail = shownSource_;
    if (!source_.sheet.empty()) detail += " のシート " + source_.sheet;
    if (!source_.column.empty()) detail += " の列 " + source_.column;
    note("opened", detail, when);
    changed("データの読み込み", when);
}

std::string StudySession::analyte() const {
    return source_.column.empty() ? shownSource_ : source_.column;
}

std::string StudySession::suggestedAnalyte() const {
    if (!source_.column.empty()) return source_.column;
    if (source_.origin != kOriginFile) return {};
    const std::filesystem::path file(source_.file);
    return file.has_extension() ? file.stem().string() : std::string();
}

// --- The header ---------------------------------------------------------------------------

void StudySession::setHeader(const StudyHeader& header, const std::string& when) {
    const StudyHeader& old = store_.Header;
    const std::pair<const char*, std::pair<const std::string*, const std::string*>> items[] = {
        {"項目名", {&old.analyte, &header.analyte}},
        {"単位", {&old.unit, &header.unit}},
        {"測定法・機器", {&old.method, &header.method}},
        {"施設", {&old.facility, &header.facility}},
        {"作成者", {&old.author, &header.author}},
        {"承認者", {&old.approver, &header.approver}},
        {"備考", {&old.note, &header.note}}};
    std::string detail;
    for (const auto& [name, texts] : items) {
        if (*texts.first == *texts.second) continue;
        const auto shown = [](const std::string& t) { return t.empty() ? std::string("―") : t; };
        detail += (detail.empty() ? "" : "、") + std::string(name) + ": " + shown(*texts.first) +
                  " → " + shown(*texts.second);
    }
    store_.Header = header;
    if (detail.empty()) return;
    note("header", detail, when);
    changed("見出しの変更", when);
}

// --- Exclusions ---------------------------------------------------------------------------

std::string StudySession::exclusionWho() const {
    if (!store_.Header.author.empty()) return store_.Header.author;
    for (const char* name : {"USER", "USERNAME", "LOGNAME"})
        if (const char* login = std::getenv(name); login && *login) return login;
    return {};
}

void StudySession::setExclusions(std::vector<ExcludedValue> excluded, GridSink& grid,
                                 const std::string& when) {
    const std::vector<double> asRead = valuesAsRead(store_);
    std::stable_sort(
        excluded.begin(), excluded.end(),
        [](const ExcludedValue& a, const ExcludedValue& b) { return a.position < b.position; });
    excluded.erase(std::unique(excluded.begin(), excluded.end(),
                               [](const ExcludedValue& a, const ExcludedValue& b) {
                                   return a.position == b.position;
                               }),
                   excluded.end());
    const std::string out = positionsText(excluded, store_.Excluded);
    const std::string back = positionsText(store_.Excluded, excluded);
    if (!out.empty()) note("excluded", out, when);
    if (!back.empty()) note("restored", back, when);
    // The record first, so that a check of the data set written next finds it describing the
    // data set; the count read stays that of the reading.
    const std::int64_t read = store_.ValuesRead;
    store_.ValuesBeforeExclusion = excluded.empty() ? std::vector<double>() : asRead;
    store_.Excluded = std::move(excluded);
    storeMeasuredValues(store_, keptValues(asRead, store_.Excluded), grid);
    store_.ValuesRead = read;
    if (!out.empty() || !back.empty()) changed("除外の変更", when);
}

void StudySession::addExclusions(const std::vector<ExcludedValue>& added, GridSink& grid,
                                 const std::string& when) {
    std::vector<ExcludedValue> merged = store_.Excluded;
    merged.insert(merged.end(), added.begin(), added.end());
    setExclusions(std::move(merged), grid, when);
}

bool StudySession::forgetStaleExclusions() {
    if (store_.Excluded.empty() && store_.ValuesBeforeExclusion.empty()) return false;
    std::vector<double> measured;
    if (isTransformed(store_)) {
        measured = store_.UntransformedValues;
    } else {
        for (int i = 1; i <= std::clamp(store_.DataCount, 0, kMaxValues); ++i)
            measured.push_back(store_.AnalysisValues[static_cast<std::size_t>(i)].toNumber());
    }
    if (measured == keptValues(store_.ValuesBeforeExclusion, store_.Excluded)) return false;
    const std::string dropped = positionsText(store_.Excluded, {});
    store_.Excluded.clear();
    store_.ValuesBeforeExclusion.clear();
    if (!dropped.empty()) note("restored", dropped + "（データが替わったため）", localTimeText());
    return true;
}

// --- Transformation and analysis ----------------------------------------------------------

void StudySession::transformed(const std::string& lambda, const std::string& when) {
    if (lambda == lambda_) return;
    lambda_ = lambda;
    note("transformed", lambda.empty() ? std::string("変換なし") : "λ = " + lambda, when);
    changed("変換", when);
}

std::string StudySession::dataKey() const {
    std::string key =
        source_.origin + '\t' + source_.file + '\t' + source_.sheet + '\t' + source_.column + '\n';
    key += (isTransformed(store_) ? store_.Lambda.toText() : std::string()) + '\n';
    for (const ExcludedValue& e : store_.Excluded) key += numberText(e.position) + ',';
    key += '\n' + dataFingerprint(valuesAsRead(store_));
    return key;
}

void StudySession::analysed(int classes, const std::string& at, const std::string& when) {
    // The first analysis after a study is opened replays the one it records, at its time.
    const bool replay = !keptAnalysisTime_.empty();
    // The same analysis again (a window that runs it to show itself): nothing new to record.
    if (!replay && snapshot_.done && snapshot_.classes == classes && snapshot_.key == dataKey())
        return;
    if (snapshot_.done && snapshot_.classes != classes && !replay) changed("階級数の変更", when);
    const std::vector<double> asRead = valuesAsRead(store_);
    snapshot_.done = true;
    snapshot_.count = store_.DataCount;
    snapshot_.source = shownSource_;
    snapshot_.analyte = analyte();
    snapshot_.lambda = store_.Lambda;
    snapshot_.classes = classes;
    snapshot_.at = replay ? keptAnalysisTime_ : at;
    snapshot_.excluded = store_.Excluded;
    snapshot_.readCount = asRead.size();
    snapshot_.sourceRead = store_.ValuesRead;
    snapshot_.fingerprint = dataFingerprint(asRead);
    snapshot_.key = dataKey();
    keptAnalysisTime_.clear();
    if (replay) return;
    note("analysed",
         "データ数 " + numberText(store_.DataCount) + "、階級数 " + numberText(classes) + "、λ " +
             lambdaDescription(store_.Lambda) + "、解析日時 " + at,
         when);
}

bool StudySession::stale() const {
    return snapshot_.done && dataKey() != snapshot_.key;
}

// --- Approval -----------------------------------------------------------------------------

void StudySession::approve(const std::string& approver, const std::string& when) {
    store_.Header.approver = approver;
    approval_ = {approver, when};
    note("approved", approver, when);
}

std::string StudySession::approvalText() const {
    return approved() ? "承認：" + approval_.who + "（" + approval_.when + "）"
                      : std::string("未承認");
}

void StudySession::changed(const std::string& what, const std::string& when) {
    keptAnalysisTime_.clear();
    if (!approved()) return;
    approval_ = {};
    note("unapproved", what, when);
}

// --- The documents ------------------------------------------------------------------------

bool StudySession::hasHeader() const {
    const auto& excluded = snapshot_.done ? snapshot_.excluded : store_.Excluded;
    return !store_.Header.empty() || !excluded.empty() || approved();
}

std::vector<std::string> StudySession::description(const std::string& now) const {
    DataSetDescription d;
    d.dateTime = now;
    std::vector<HeaderItem> items;
    if (snapshot_.done) {
        d.count = snapshot_.count;
        d.source = snapshot_.source;
        d.lambda = lambdaDescription(snapshot_.lambda);
        d.classes = snapshot_.classes;
        d.analysedAt = snapshot_.at;
        items = documentHeaderItems(store_.Header, snapshot_.count, snapshot_.readCount,
                                    snapshot_.sourceRead, snapshot_.excluded.size(),
                                    snapshot_.fingerprint);
    } else {
        // Not analysed: the data set as it stands, and the document says so.
        d.count = store_.DataCount;
        d.source = shownSource_;
        d.lambda = lambdaDescription(store_.Lambda);
        d.analysedAt = "未解析";
        items = documentHeaderItems(store_);
    }
    if (d.source.empty()) d.source = "なし";
    std::vector<std::string> lines = descriptionLines(d);
    if (!hasHeader()) return lines;
    lines = describedWithHeader(std::move(lines), items);
    lines.push_back(approvalText());
    // The record of the work, so that the printed study shows who did what and when.
    if (!log_.empty()) lines.push_back("記録：");
    for (const StudyLogEntry& e : log_)
        lines.push_back("　" + e.when + "　" + logWord(e.what) + "　" + e.detail);
    return lines;
}

std::string StudySession::runningHead(const std::string& now) const {
    std::string analyte = store_.Header.analyte;
    if (analyte.empty()) analyte = snapshot_.done ? snapshot_.analyte : this->analyte();
    if (analyte.empty()) analyte = "なし";
    std::string head = std::string(kReportTitle) + "　　" + analyte + "　　" +
                       (snapshot_.done ? snapshot_.at : now);
    if (hasHeader()) head += "　　" + approvalText();
    return head;
}

std::string StudySession::headerText() const {
    if (!hasHeader()) return {};
    if (!snapshot_.done) return documentHeaderText(store_);
    return documentHeaderText(documentHeaderItems(
        store_.Header, snapshot_.count, snapshot_.readCount, snapshot_.sourceRead,
        snapshot_.excluded.size(), snapshot_.fingerprint));
}

std::string StudySession::textHead(bool withExclusions) const {
    std::string head = headerText();
    const auto& excluded = snapshot_.done ? snapshot_.excluded : store_.Excluded;
    if (withExclusions && !excluded.empty()) head += exclusionText(excluded) + "\r\n";
    return head;
}

// --- The record ---------------------------------------------------------------------------

void StudySession::note(const std::string& what, const std::string& detail,
                        const std::string& when) {
    log_.push_back({when, what, detail});
}

Study StudySession::study(int classes) const {
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
    study.lambda = isTransformed(store_) ? store_.Lambda.toText() : std::string();
    study.classes = classes;
    study.excluded = store_.Excluded;
    study.header = store_.Header;
    study.notes = notes_;
    study.log = log_;
    if (snapshot_.done && !stale()) study.analysedAt = snapshot_.at;
    study.approval = approval_;
    return study;
}

std::string StudySession::content(int classes) const {
    Study study = this->study(classes);
    study.log.clear();
    study.analysedAt.clear();
    return studyJson(study);
}

bool StudySession::unsavedChanges(int classes) const {
    if (path_.empty() && store_.Header.empty() && store_.Excluded.empty() && !approved())
        return false;
    return content(classes) != savedContent_;
}

std::string StudySession::save(const std::string& path, int classes, const std::string& when) {
    Study study = this->study(classes);
    study.log.push_back({when, "saved", fileName(path)});
    if (std::string error = writeWholeFile(path, studyJson(study)); !error.empty()) return error;
    log_ = std::move(study.log);
    path_ = path;
    savedContent_ = content(classes);
    return {};
}

void StudySession::opened(const Study& study, const std::string& path, const std::string& when) {
    source_ = study.source;
    shownSource_ = sourceName(study.source);
    if (shownSource_.empty()) shownSource_ = fileName(path);
    log_ = study.log;
    notes_ = study.notes;
    approval_ = study.approval;
    lambda_ = study.lambda;
    snapshot_ = {};
    keptAnalysisTime_ = study.analysedAt;
    note("opened", fileName(path), when);
    path_ = path;
    savedContent_ = content(study.classes);
}

void StudySession::startNew() {
    store_.Header = {};
    source_ = {};
    shownSource_.clear();
    log_.clear();
    notes_.clear();
    path_.clear();
    savedContent_.clear();
    approval_ = {};
    lambda_.clear();
    keptAnalysisTime_.clear();
}

}  // namespace kijunchi
