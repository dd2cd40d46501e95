#pragma once
// The study file (.kijunchi): a study saved as UTF-8 JSON and read back, so that months later
// the same data, settings, exclusions and header give the same figures, and the record shows
// who did what and when.
//
// What a file holds (the format of version 1):
//   "format": "kijunchi-study"        names the kind of file
//   "formatVersion": 1                 an integer; a file of a higher version is refused
//   "programVersion": "1.0"            the program that wrote it
//   "data": { "values": [texts],      the values exactly as read, in the order read
//             "groups": [texts],      the group of each value, or empty
//             "valuesFound": n,       numbers the reading found (more than kept beyond 5000)
//             "fingerprint": hex }    dataFingerprint of the values
//   "source": { "origin", "file", "column", "sheet", "sha256" }
//   "lambda": text                     λ as applied ("" untransformed, "0" logarithm)
//   "classes": n                       the histogram's class count
//   "excluded": [ { "position", "value", "rule", "who", "when" } ]
//   "header": { "analyte", "unit", "method", "facility", "author", "approver", "note" }
//   "notes": text
//   "log": [ { "when", "what", "detail" } ]
//   "analysedAt": text                 when the analysis the study shows ran ("2026/12/09 15:04");
//                                      may be missing (then unknown)
//   "approval": { "who", "when" }      the approval of the study as saved; may be missing
// The origins are "file", "paste" (the clipboard), "generator" and "stdin" (kijunchi-report's
// standard input); a reader takes an origin it does not know as not told.
// Readers ignore members they do not know, so a later version of the same number may add some.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/store.h"
#include "input/grid_sink.h"

namespace kijunchi {

// The version this program writes and the highest it reads.
inline constexpr int kStudyFormatVersion = 1;
inline constexpr const char* kStudyExtension = ".kijunchi";

// The program's version, as the study and the documents name it.
const char* programVersion();

// Where the values came from. origin: "file", "paste", "generator", "stdin" or "" (not told).
struct StudySource {
    std::string origin;
    std::string file;    // the file's name (without its folder)
    std::string column;  // the column's heading or number
    std::string sheet;   // the workbook's sheet; empty for a text file
    std::string sha256;  // of the source file's bytes, lowercase hex; empty without a file
    friend bool operator==(const StudySource&, const StudySource&) = default;
};

// One step of the work: when (local time, "2026-12-09 15:04"), what ("opened", "transformed",
// "excluded", "restored", "analysed", "saved" or another word) and a free detail.
struct StudyLogEntry {
    std::string when;
    std::string what;
    std::string detail;
    friend bool operator==(const StudyLogEntry&, const StudyLogEntry&) = default;
};

// Who approved the study and when ("2026-12-09 15:04"); empty while it is not approved.
struct StudyApproval {
    std::string who;
    std::string when;
    friend bool operator==(const StudyApproval&, const StudyApproval&) = default;
};

struct Study {
    std::string programVersion;       // of the program that wrote the file
    std::vector<std::string> values;  // the values' texts as read, in order (at most 5000)
    std::vector<std::string> groups;  // empty, or the group of each value
    std::int64_t valuesFound = 0;     // ValuesRead of the store
    StudySource source;
    std::string lambda;  // λ as typed and applied; empty: untransformed
    int classes = 5;
    std::vector<ExcludedValue> excluded;  // positions count in values, from 1
    StudyHeader header;
    std::string notes;
    std::vector<StudyLogEntry> log;
    std::string analysedAt;  // when the analysis shown ran; empty: not told
    StudyApproval approval;
};

// The local date and time now by a strftime format; by default "2026-12-09 15:04", as the log
// and the record of an exclusion give it.
std::string localTimeText(const char* format = "%Y-%m-%d %H:%M");

// The SHA-256 of bytes as 64 lowercase hexadecimal digits.
std::string sha256Hex(std::string_view bytes);
// The same of a file's bytes, read a block at a time; nullopt when it cannot be read or holds
// more than maxBytes.
std::optional<std::string> fileSha256(const std::string& path, std::size_t maxBytes);

// A number as the shortest text that reads back as exactly the same double ("0.1", "12.5",
// "1e-300"); used for values that were never a text (a generator's) and in the fingerprint.
std::string exactNumberText(double value);

// The values of a study's texts, each read by the lenient parse as the paste reads a field.
std::vector<double> studyValues(const Study& study);

// The fingerprint of a data set: the SHA-256 (hex) of its values in their order, each written
// as exactNumberText and followed by a line feed. It depends on the numbers only, so the same
// values give the same fingerprint whatever file, column or spelling ("1.50", "1.5") they came
// from; the groups and the order of reading are part of the data set only through the order.
std::string dataFingerprint(const std::vector<double>& values);

// The study as the text of a .kijunchi file (UTF-8 JSON, LF line ends, ending with a line end).
std::string studyJson(const Study& study);

// Why a file was not taken as a study.
enum class StudyRefusal {
    None,
    Damaged,              // not JSON, or a member missing or of the wrong kind
    Truncated,            // JSON that ends before it is complete
    NewerVersion,         // written by a newer program in a format this one cannot read
    FingerprintMismatch,  // the values are not those the fingerprint was made of
};

// The one-line Japanese message for a refusal of the file named name.
std::string studyRefusalMessage(StudyRefusal refusal, const std::string& name);

struct StudyReading {
    StudyRefusal refusal = StudyRefusal::None;
    Study study;  // meaningful when refusal is None
};

// Reads the text of a .kijunchi file.
StudyReading parseStudy(std::string_view text);

// Reads the study file at path: the study, or nullopt with the one-line message why not (a file
// that cannot be read, or a refusal of parseStudy).
std::optional<Study> openStudyFile(const std::string& path, std::string& message);

// Makes store the data set of the study by the steps the data set took: the values as read
// (with their groups), the exclusions, the λ transformation and the class count. store should
// be a fresh one: the caller swaps it in on success, so that a refused study changes nothing
// current. Damaged when the study cannot be replayed (an excluded position outside the data,
// or a λ the data refuse). The grid is written as the readers of a data set write it.
StudyRefusal rebuildStore(const Study& study, AnalysisStore& store, GridSink& grid);

// Writes bytes to path whole or not at all: into a new file beside it, then renamed over it, so
// that a failed write leaves any earlier file as it was. An empty text on success, else the
// one-line message saying the file could not be written.
std::string writeWholeFile(const std::string& path, std::string_view bytes);

// Reads a whole file of at most maxBytes; nullopt when it cannot be read or is larger.
std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes);

// The data as read of the store's data set: the values before any exclusion, measured (before
// any transformation); what the fingerprint of the documents is made of.
std::vector<double> valuesAsRead(const AnalysisStore& store);

// Whether documents of the store's study carry the header block: when a header is given or
// values are excluded. Otherwise the documents are exactly those of a data set without a study.
bool hasDocumentHeader(const AnalysisStore& store);

// The header of the documents, item by item: 項目名, 単位, 測定法・機器, 施設, 作成者, 承認者,
// 備考 (the note; its lines joined by line feeds), the program version, the data count (and,
// with exclusions, the count read and the count excluded) and the data's SHA-256. An item not
// given reads "―".
struct HeaderItem {
    std::string name;
    std::string value;
};
std::vector<HeaderItem> documentHeaderItems(const AnalysisStore& store);
// The same of a header and a data set given by its count, the count of the data as read (at
// most the values a data set keeps), the count the source held, the count excluded and the
// fingerprint of the data as read.
std::vector<HeaderItem> documentHeaderItems(const StudyHeader& header, int count,
                                            std::size_t readCount, std::int64_t sourceRead,
                                            std::size_t excludedCount,
                                            const std::string& fingerprint);

// A document's description lines ("name：value") with the header's items after them: a note's
// further lines under its first, after an ideographic space. The count replaces the
// description's own "データ数：" line rather than repeating it.
std::vector<std::string> describedWithHeader(std::vector<std::string> description,
                                             const AnalysisStore& store);
std::vector<std::string> describedWithHeader(std::vector<std::string> description,
                                             const std::vector<HeaderItem>& items);

// The items as a block of text (CR LF lines, "name =" TAB value; a note's further lines under
// its first, after a TAB), ending with an empty line.
std::string documentHeaderText(const AnalysisStore& store);
std::string documentHeaderText(const std::vector<HeaderItem>& items);

}  // namespace kijunchi
