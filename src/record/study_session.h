#pragma once
// The study session: the one owner of a study's record while it is worked on, driven alike by
// the desktop program's frame and by kijunchi-report. It holds where the values came from, the
// log in one vocabulary, the exclusions and their merging, the header's changes, the approval,
// the snapshot of the last analysis (which every document describes) and what was last saved.
// The data set itself stays in the analysis store it is given.
//
// The log's words ("what"): opened, transformed, excluded, restored, header, analysed,
// approved, unapproved, saved. Its details:
//   opened       the source ("calcium.csv の列 Ca", "calcium.xlsx のシート 2 の列 Ca",
//                "クリップボード", "正規乱数の発生", "標準入力") or the study file's name
//   transformed  "λ = 0", "変換なし"
//   excluded     "位置 3（Tukey法）、位置 17（位置を指定）"; restored the same of the values back
//   header       "項目名: 旧 → 新" for each item changed, joined by "、"
//   analysed     "データ数 238、階級数 5、λ 1（変換なし）、解析日時 2026/12/09 15:04"
//   approved     the approver; unapproved: what the change was
//   saved        the study file's name
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/store.h"
#include "analysis/value.h"
#include "input/grid_sink.h"
#include "record/study_file.h"

namespace kijunchi {

// The origins of the study file's source.
inline constexpr const char* kOriginFile = "file";
inline constexpr const char* kOriginPaste = "paste";
inline constexpr const char* kOriginGenerator = "generator";
inline constexpr const char* kOriginStdin = "stdin";

// The source as the documents name it: the file's name, "クリップボード", the generator's name
// ("乱数の発生" when the record does not say which), "標準入力", or "" when there is none.
std::string sourceName(const StudySource& source);

// The sheet a study records of a workbook: the sheet chosen (by its number from 1 or its name)
// by its name; the first when none was chosen; empty for a file without sheets.
std::string recordedSheet(const std::string& chosen, const std::vector<std::string>& sheets);

// What the last analysis ran on, as its documents describe it.
struct AnalysisSnapshot {
    bool done = false;
    int count = 0;        // the data set's count
    std::string source;   // as sourceName
    std::string analyte;  // the column's heading, else the source
    Value lambda;         // as the run left it
    int classes = 0;
    std::string at;  // "2026/12/09 15:04"
    std::vector<ExcludedValue> excluded;
    std::size_t readCount = 0;    // the data as read
    std::int64_t sourceRead = 0;  // the values the source held (more than kept when large)
    std::string fingerprint;      // dataFingerprint of the data as read
    std::string key;              // the data set's identity then (see StudySession::stale)
};

class StudySession {
public:
    explicit StudySession(AnalysisStore& store) : store_(store) {}

    // --- The source -----------------------------------------------------------------------
    // New values have been read into the store from source: the source is recorded and the log
    // says so. name overrides the shown name (a generator's caption).
    void dataRead(StudySource source, const std::string& when, std::string name = {});
    const StudySource& source() const { return source_; }
    // The source as the documents name it.
    const std::string& shownSource() const { return shownSource_; }
    // The column's heading, else the source's name.
    std::string analyte() const;
    // The analyte a header dialog suggests: the column's heading, else the file's name without
    // its extension; empty for a paste or a generator.
    std::string suggestedAnalyte() const;

    // --- The header -----------------------------------------------------------------------
    // The header becomes header; every item changed is logged with its old and new text.
    void setHeader(const StudyHeader& header, const std::string& when);

    // --- Exclusions -----------------------------------------------------------------------
    // The data set becomes the data as read without excluded (merged: each position once,
    // sorted); what went out and what came back is logged with its rule. Who takes a value out
    // is the header's 作成者, else the login name.
    void setExclusions(std::vector<ExcludedValue> excluded, GridSink& grid,
                       const std::string& when);
    // Adds exclusions to those recorded (a position already out stays as it was).
    void addExclusions(const std::vector<ExcludedValue>& added, GridSink& grid,
                       const std::string& when);
    std::string exclusionWho() const;
    // After another writer of the data set the record of exclusions no longer describes it and
    // is dropped (true when it was).
    bool forgetStaleExclusions();

    // --- Transformation and analysis ------------------------------------------------------
    // λ as applied ("" untransformed); logged when it changes.
    void transformed(const std::string& lambda, const std::string& when);
    // The analysis of the store has run with classes: the snapshot is taken and the log says
    // so. at: "2026/12/09 15:04".
    void analysed(int classes, const std::string& at, const std::string& when);
    const AnalysisSnapshot& snapshot() const { return snapshot_; }
    // Whether the data set is no longer the one of the last analysis: its values as read, λ,
    // exclusions or source changed. Nothing else (a window opened, the header) makes results
    // stale.
    bool stale() const;
    // The identity stale compares.
    std::string dataKey() const;

    // --- Approval -------------------------------------------------------------------------
    // The approver and when, logged; any later change of the record clears it (logged).
    void approve(const std::string& approver, const std::string& when);
    bool approved() const { return !approval_.who.empty(); }
    const StudyApproval& approval() const { return approval_; }
    // "承認：name（when）", else "未承認".
    std::string approvalText() const;

    // --- The documents --------------------------------------------------------------------
    // The head of a document: the snapshot's count, source, class count, analysis time and λ,
    // then for a study the header block (of the snapshot's data), the approval and the log
    // ("記録："). Without an analysis the data set as it stands, saying that it is not
    // analysed. now: "2026/12/09 15:04".
    std::vector<std::string> description(const std::string& now) const;
    // Above every page: title, analyte, the analysis time (now without one) and the approval
    // when the study has a header.
    std::string runningHead(const std::string& now) const;
    // The header block the texts of a study begin with (empty when the documents carry none),
    // of the snapshot's data while it is current.
    std::string headerText() const;
    // What every text of a study (the report, the summary, the evaluation; a window's copy as
    // the command line's output) begins with: the header block, then the values excluded unless
    // the text lists them itself (withExclusions false). Empty for a data set without a study.
    std::string textHead(bool withExclusions) const;
    // Whether the documents carry the header block: a header given, values excluded or an
    // approval.
    bool hasHeader() const;

    // --- The record -----------------------------------------------------------------------
    // The study as it stands; classes: the class count in force.
    Study study(int classes) const;
    // Whether the study has changes not in its file: once it has a file, a header, an approval
    // or excluded values, any change of its data, exclusions, header, λ or class count.
    bool unsavedChanges(int classes) const;
    // Writes the study to path (whole or not at all); an empty text, else the message why not.
    std::string save(const std::string& path, int classes, const std::string& when);
    // The study read from path (its store already rebuilt): its record becomes the session's,
    // the analysis time it recorded is kept, and the log says it was opened.
    void opened(const Study& study, const std::string& path, const std::string& when);
    // A new, untitled study: the record is forgotten, the header and exclusions too.
    void startNew();
    const std::string& path() const { return path_; }
    const std::vector<StudyLogEntry>& log() const { return log_; }
    void note(const std::string& what, const std::string& detail, const std::string& when);

private:
    std::string content(int classes) const;
    void changed(const std::string& what, const std::string& when);

    AnalysisStore& store_;
    StudySource source_;
    std::string shownSource_;
    std::vector<StudyLogEntry> log_;
    std::string notes_;
    std::string path_;
    std::string savedContent_;
    StudyApproval approval_;
    std::string lambda_;            // λ as last logged
    std::string keptAnalysisTime_;  // of an opened study, until its analysis is shown
    AnalysisSnapshot snapshot_;
};

}  // namespace kijunchi
