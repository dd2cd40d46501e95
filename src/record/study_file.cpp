#include "record/study_file.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "analysis/number_text.h"
#include "evaluation/exclusion.h"
#include "files/file_access.h"
#include "input/paste_reader.h"
#include "transform/power_transform.h"

#ifndef KIJUNCHI_VERSION
#define KIJUNCHI_VERSION "1.0"
#endif

namespace kijunchi {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kFormatName = "kijunchi-study";
constexpr const char* kCrLf = "\r\n";

// A member of the wrong kind or missing: the file is damaged.
struct Damaged {};

const Json& member(const Json& object, const char* name) {
    if (!object.is_object()) throw Damaged{};
    const auto at = object.find(name);
    if (at == object.end()) throw Damaged{};
    return *at;
}

std::string text(const Json& object, const char* name) {
    const Json& v = member(object, name);
    if (!v.is_string()) throw Damaged{};
    return v.get<std::string>();
}

std::int64_t integer(const Json& object, const char* name) {
    const Json& v = member(object, name);
    if (!v.is_number_integer()) throw Damaged{};
    return v.get<std::int64_t>();
}

const Json& array(const Json& object, const char* name) {
    const Json& v = member(object, name);
    if (!v.is_array()) throw Damaged{};
    return v;
}

std::vector<std::string> texts(const Json& object, const char* name) {
    std::vector<std::string> out;
    for (const Json& v : array(object, name)) {
        if (!v.is_string()) throw Damaged{};
        out.push_back(v.get<std::string>());
    }
    return out;
}

Study readMembers(const Json& root) {
    Study s;
    s.programVersion = text(root, "programVersion");
    const Json& data = member(root, "data");
    s.values = texts(data, "values");
    s.groups = texts(data, "groups");
    s.valuesFound = integer(data, "valuesFound");
    if (s.values.size() > static_cast<std::size_t>(kMaxValues) ||
        (!s.groups.empty() && s.groups.size() != s.values.size()) ||
        s.valuesFound < static_cast<std::int64_t>(s.values.size()))
        throw Damaged{};
    for (const std::string& v : s.values)
        if (!leadingNumber(v)) throw Damaged{};
    const Json& source = member(root, "source");
    s.source = {text(source, "origin"), text(source, "file"), text(source, "column"),
                text(source, "sheet"), text(source, "sha256")};
    s.lambda = text(root, "lambda");
    const std::int64_t classes = integer(root, "classes");
    if (classes < 4 || classes > kMaxClasses) throw Damaged{};
    s.classes = static_cast<int>(classes);
    for (const Json& e : array(root, "excluded")) {
        const Json& value = member(e, "value");
        const std::int64_t position = integer(e, "position");
        if (!value.is_number() || position < 1 || position > kMaxValues) throw Damaged{};
        s.excluded.push_back({static_cast<int>(position), value.get<double>(), text(e, "rule"),
                              text(e, "who"), text(e, "when")});
    }
    const Json& header = member(root, "header");
    s.header = {text(header, "analyte"),  text(header, "unit"),   text(header, "method"),
                text(header, "facility"), text(header, "author"), text(header, "approver"),
                text(header, "note")};
    s.notes = text(root, "notes");
    for (const Json& e : array(root, "log"))
        s.log.push_back({text(e, "when"), text(e, "what"), text(e, "detail")});
    // Members a study of an earlier program lacks.
    if (root.contains("analysedAt")) s.analysedAt = text(root, "analysedAt");
    if (root.contains("approval")) {
        const Json& approval = member(root, "approval");
        s.approval = {text(approval, "who"), text(approval, "when")};
    }
    return s;
}

// The excluded values stand at their positions in the data as read, each once.
bool exclusionsFit(const Study& s, const std::vector<double>& values) {
    std::vector<bool> seen(values.size(), false);
    for (const ExcludedValue& e : s.excluded) {
        if (e.position < 1 || e.position > static_cast<int>(values.size())) return false;
        const auto i = static_cast<std::size_t>(e.position - 1);
        if (seen[i] || values[i] != e.value) return false;
        seen[i] = true;
    }
    return true;
}

}  // namespace

const char* programVersion() {
    return KIJUNCHI_VERSION;
}

std::string localTimeText(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, format, &local);
    return buffer;
}

namespace {

std::string hexOf(const unsigned char* digest, unsigned int size) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

}  // namespace

std::string sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 failed");
    return hexOf(digest, size);
}

std::optional<std::string> fileSha256(const std::string& path, std::size_t maxBytes) {
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 failed");
    // Only a regular file: a pipe's bytes were read already and cannot be read again (and its
    // open would wait for a writer that has gone).
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<char> buffer(std::size_t{1} << 16);
    std::size_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || (total += static_cast<std::size_t>(n)) > maxBytes) {
            ::close(fd);
            if (n != 0) return std::nullopt;
            break;
        }
        if (EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(n)) != 1) {
            ::close(fd);
            throw std::runtime_error("SHA-256 failed");
        }
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &size) != 1)
        throw std::runtime_error("SHA-256 failed");
    return hexOf(digest, size);
}

std::string exactNumberText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::vector<double> studyValues(const Study& study) {
    std::vector<double> values;
    values.reserve(study.values.size());
    for (const std::string& t : study.values) values.push_back(leadingNumber(t).value_or(0.0));
    return values;
}

std::string dataFingerprint(const std::vector<double>& values) {
    std::string canonical;
    for (double v : values) canonical += exactNumberText(v) + "\n";
    return sha256Hex(canonical);
}

std::string studyJson(const Study& s) {
    Json root;
    root["format"] = kFormatName;
    root["formatVersion"] = kStudyFormatVersion;
    root["programVersion"] = s.programVersion;
    root["data"] = {{"values", s.values},
                    {"groups", s.groups},
                    {"valuesFound", s.valuesFound},
                    {"fingerprint", dataFingerprint(studyValues(s))}};
    root["source"] = {{"origin", s.source.origin},
                      {"file", s.source.file},
                      {"column", s.source.column},
                      {"sheet", s.source.sheet},
                      {"sha256", s.source.sha256}};
    root["lambda"] = s.lambda;
    root["classes"] = s.classes;
    root["excluded"] = Json::array();
    for (const ExcludedValue& e : s.excluded)
        root["excluded"].push_back({{"position", e.position},
                                    {"value", e.value},
                                    {"rule", e.rule},
                                    {"who", e.who},
                                    {"when", e.when}});
    root["header"] = {{"analyte", s.header.analyte}, {"unit", s.header.unit},
                      {"method", s.header.method},   {"facility", s.header.facility},
                      {"author", s.header.author},   {"approver", s.header.approver},
                      {"note", s.header.note}};
    root["notes"] = s.notes;
    root["log"] = Json::array();
    for (const StudyLogEntry& e : s.log)
        root["log"].push_back({{"when", e.when}, {"what", e.what}, {"detail", e.detail}});
    if (!s.analysedAt.empty()) root["analysedAt"] = s.analysedAt;
    if (!s.approval.who.empty())
        root["approval"] = {{"who", s.approval.who}, {"when", s.approval.when}};
    // A text that is not UTF-8 (a name from a file in another encoding) is written with the
    // replacement character rather than not at all.
    return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string studyRefusalMessage(StudyRefusal refusal, const std::string& name) {
    switch (refusal) {
        case StudyRefusal::None:
            return {};
        case StudyRefusal::Damaged:
            return "検討ファイル " + name + " は壊れているか検討ファイルではないため、開けません。";
        case StudyRefusal::Truncated:
            return "検討ファイル " + name + " は途中で切れているため、開けません。";
        case StudyRefusal::NewerVersion:
            return "検討ファイル " + name +
                   " は新しいバージョンのプログラムで保存されたため、このバージョンでは開けません"
                   "。";
        case StudyRefusal::FingerprintMismatch:
            return "検討ファイル " + name +
                   " のデータが保存したときの指紋（SHA-256）と一致しないため、開けません。";
    }
    return {};
}

namespace {

// A study nests four deep; a text nested deeper than this is no study, and is refused before
// the parser builds every level of it.
constexpr int kMaxStudyDepth = 64;

// Whether the arrays and objects of a JSON text nest no deeper than depth (brackets inside
// strings not counted).
bool depthWithin(std::string_view text, int depth) {
    int open = 0;
    bool inString = false, escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++open > depth) return false;
        } else if (c == ']' || c == '}') {
            --open;
        }
    }
    return true;
}

}  // namespace

StudyReading parseStudy(std::string_view bytes) {
    StudyReading reading;
    if (!depthWithin(bytes, kMaxStudyDepth)) {
        reading.refusal = StudyRefusal::Damaged;
        return reading;
    }
    Json root;
    try {
        root = Json::parse(bytes);
    } catch (const Json::parse_error& e) {
        // An error at the end of the text: what there is was JSON until it stopped.
        const bool blank = bytes.find_first_not_of(" \t\r\n") == std::string_view::npos;
        reading.refusal =
            !blank && e.byte >= bytes.size() ? StudyRefusal::Truncated : StudyRefusal::Damaged;
        return reading;
    } catch (const std::exception&) {
        // A number beyond the range of a double (1e400), or memory: no study.
        reading.refusal = StudyRefusal::Damaged;
        return reading;
    }
    try {
        if (text(root, "format") != kFormatName) throw Damaged{};
        const std::int64_t version = integer(root, "formatVersion");
        if (version < 1) throw Damaged{};
        if (version > kStudyFormatVersion) {
            reading.refusal = StudyRefusal::NewerVersion;
            return reading;
        }
        Study s = readMembers(root);
        const std::vector<double> values = studyValues(s);
        if (text(member(root, "data"), "fingerprint") != dataFingerprint(values)) {
            reading.refusal = StudyRefusal::FingerprintMismatch;
            return reading;
        }
        if (!exclusionsFit(s, values)) throw Damaged{};
        reading.study = std::move(s);
    } catch (const Damaged&) {
        reading.refusal = StudyRefusal::Damaged;
    } catch (const std::exception&) {
        reading.refusal = StudyRefusal::Damaged;  // a number out of the range of its type
    }
    return reading;
}

std::optional<Study> openStudyFile(const std::string& path, std::string& message) {
    // A study of 5000 values with its record is far smaller; more is no study.
    constexpr std::size_t kMaxStudyBytes = std::size_t{64} << 20;
    const auto bytes = readWholeFile(path, kMaxStudyBytes);
    if (!bytes) {
        message = "ファイルを読めません: " + path;
        return std::nullopt;
    }
    StudyReading reading = parseStudy(*bytes);
    if (reading.refusal != StudyRefusal::None) {
        message = studyRefusalMessage(reading.refusal, path);
        return std::nullopt;
    }
    return std::move(reading.study);
}

StudyRefusal rebuildStore(const Study& study, AnalysisStore& store, GridSink& grid) {
    const std::vector<double> values = studyValues(study);
    if (!exclusionsFit(study, values)) return StudyRefusal::Damaged;
    const bool generated = study.source.origin == "generator";
    const auto take = [&](const std::vector<double>& v) {
        storeMeasuredValues(store, v, grid);
        // A generator shows its values in the grid rounded, and analyses them unrounded.
        if (generated) FLSET(store, grid);
    };
    take(values);
    store.ValuesRead = study.valuesFound;
    if (!study.groups.empty()) {
        store.GroupLabels = study.groups;
        store.GroupedValues = values;
    }
    if (!study.excluded.empty()) {
        take(keptValues(values, study.excluded));
        store.ValuesRead = study.valuesFound;
        store.Excluded = study.excluded;
        store.ValuesBeforeExclusion = values;
    }
    if (!study.lambda.empty() && !applyLambda(store, study.lambda, grid))
        return StudyRefusal::Damaged;
    store.ClassCount = study.classes;
    store.Header = study.header;
    return StudyRefusal::None;
}

std::string writeWholeFile(const std::string& path, std::string_view bytes) {
    // A device or a pipe is not replaced by a file of the same name.
    if (std::string refused = outputRefusal(path); !refused.empty()) return refused;
    if (!writeBytesWhole(path, bytes).empty()) return "ファイルに書き込めません: " + path;
    return {};
}

std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes) {
    // Opened without blocking, so that a named pipe without a writer is refused, not waited on.
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return std::nullopt;
    std::string bytes;
    if (!awaitPipeWriter(fd, bytes)) {
        ::close(fd);
        return std::nullopt;
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
            ::close(fd);
            if (n == 0) return bytes;
            return std::nullopt;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

std::vector<double> valuesAsRead(const AnalysisStore& store) {
    if (!store.Excluded.empty()) return store.ValuesBeforeExclusion;
    const int n = std::clamp(store.DataCount, 0, kMaxValues);
    const bool transformed =
        static_cast<int>(store.UntransformedValues.size()) == n && !store.Lambda.isBlank();
    if (transformed) return store.UntransformedValues;
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i)
        values.push_back(store.AnalysisValues[static_cast<std::size_t>(i)].toNumber());
    return values;
}

bool hasDocumentHeader(const AnalysisStore& store) {
    return !store.Header.empty() || !store.Excluded.empty();
}

std::vector<HeaderItem> documentHeaderItems(const AnalysisStore& store) {
    const std::vector<double> asRead = valuesAsRead(store);
    return documentHeaderItems(store.Header, store.DataCount, asRead.size(), store.ValuesRead,
                               store.Excluded.size(), dataFingerprint(asRead));
}

std::vector<HeaderItem> documentHeaderItems(const StudyHeader& h, int dataCount,
                                            std::size_t readCount, std::int64_t sourceRead,
                                            std::size_t excludedCount,
                                            const std::string& fingerprint) {
    std::vector<HeaderItem> items;
    const auto add = [&](const char* name, const std::string& value) {
        items.push_back({name, value.empty() ? std::string("―") : value});
    };
    add("項目名", h.analyte);
    add("単位", h.unit);
    add("測定法・機器", h.method);
    add("施設", h.facility);
    add("作成者", h.author);
    add("承認者", h.approver);
    std::string note;
    for (char c : h.note)
        if (c != '\r') note += c;
    add("備考", note);
    add("プログラムのバージョン", programVersion());
    std::string count = numberText(dataCount);
    // A source of more than the values a data set keeps: the count read is the source's, and
    // the values excluded are taken from those kept, so that the three counts add up.
    if (excludedCount > 0 && sourceRead > static_cast<std::int64_t>(readCount))
        count += "（読み込んだ" + numberText(static_cast<double>(sourceRead)) + "個のうち先頭の" +
                 numberText(static_cast<double>(readCount)) + "個から" +
                 numberText(static_cast<double>(excludedCount)) + "個を除外）";
    else if (excludedCount > 0)
        count += "（読み込んだ" + numberText(static_cast<double>(readCount)) + "個のうち" +
                 numberText(static_cast<double>(excludedCount)) + "個を除外）";
    add("データ数", count);
    add("データのSHA-256", fingerprint);
    return items;
}

std::vector<std::string> describedWithHeader(std::vector<std::string> description,
                                             const AnalysisStore& store) {
    return describedWithHeader(std::move(description), documentHeaderItems(store));
}

std::vector<std::string> describedWithHeader(std::vector<std::string> description,
                                             const std::vector<HeaderItem>& items) {
    for (const HeaderItem& item : items) {
        const std::string name = item.name + "：";
        if (item.name == "データ数") {
            const auto own =
                std::find_if(description.begin(), description.end(),
                             [&](const std::string& l) { return l.rfind(name, 0) == 0; });
            // Only the same count: a description of an earlier analysis keeps its own.
            const std::string counted = own == description.end() ? "" : own->substr(name.size());
            if (!counted.empty() &&
                (item.value == counted || item.value.rfind(counted + "（", 0) == 0)) {
                *own = name + item.value;
                continue;
            }
        }
        std::size_t start = 0;
        for (std::size_t end; (end = item.value.find('\n', start)) != std::string::npos;
             start = end + 1)
            description.push_back((start == 0 ? name : "　") +
                                  item.value.substr(start, end - start));
        description.push_back((start == 0 ? name : "　") + item.value.substr(start));
    }
    return description;
}

std::string documentHeaderText(const AnalysisStore& store) {
    return documentHeaderText(documentHeaderItems(store));
}

std::string documentHeaderText(const std::vector<HeaderItem>& items) {
    std::string out;
    for (const HeaderItem& item : items) {
        out += item.name + " =\t";
        for (char c : item.value) out += c == '\n' ? std::string(kCrLf) + "\t" : std::string(1, c);
        out += kCrLf;
    }
    out += kCrLf;
    return out;
}

}  // namespace kijunchi
