#include "files/workbook.h"

#include <expat.h>
#include <freexl.h>
#include <minizip/unzip.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <pugixml.hpp>

namespace kijunchi {

namespace {

constexpr const char* kEncrypted =
    "はパスワードで保護（暗号化）されたブックです。保護を解除して保存し直してから開いて下さい。";
constexpr const char* kDamaged = "はブックとして読めません（壊れているか、途中で切れています）。";
constexpr const char* kExpandedTooLarge = "は展開すると大きすぎます（256 MBまで読めます）。";

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// The shortest decimal text that reads back as v, with "E" for the exponent.
std::string shortestText(double v) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
    std::string text(buffer, end);
    for (char& c : text)
        if (c == 'e') c = 'E';
    return text;
}

std::optional<double> parseNumber(std::string_view text) {
    double v = 0;
    const char* first = text.data();
    if (!text.empty() && *first == '+') ++first;
    const auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// The serial number of "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" or "HH:MM:SS" (days from
// 1899-12-30, the day's fraction after the point).
std::optional<double> serialOf(const char* text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    double days = 0;
    if (std::sscanf(text, "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) >= 3) {
        if (mo < 1 || mo > 12 || d < 1 || d > 31) return std::nullopt;
        days = static_cast<double>(
            daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) -
            daysFromCivil(1899, 12, 30));
    } else if (std::sscanf(text, "%d:%d:%d", &h, &mi, &s) != 3) {
        return std::nullopt;
    }
    return days + (h * 3600 + mi * 60 + s) / 86400.0;
}

// A cell's text as a field of a data file, which cannot hold a TAB or a line end: those become
// spaces, and the blanks around the text are dropped. Empty when nothing is left.
std::string_view asField(char* first, char* last) {
    std::replace_if(
        first, last, [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return trimField(std::string_view(first, static_cast<std::size_t>(last - first)));
}
std::string_view asField(std::string& text) {
    return asField(text.data(), text.data() + text.size());
}

// A sheet's cells, row by row, gathered into SheetTable::rows.
class RowBuilder {
public:
    explicit RowBuilder(SheetTable& table) : table_(table) {}
    void cell(std::size_t column, std::string text) {
        const std::string_view field = asField(text);
        if (field.empty()) return;
        if (row_.size() <= column) row_.resize(column + 1);
        row_[column] = field.size() == text.size() ? std::move(text) : std::string(field);
    }
    void endRow() {
        if (!row_.empty()) table_.rows.push_back(std::move(row_));
        row_.clear();
    }

private:
    SheetTable& table_;
    std::vector<std::string> row_;
};

// --- .xlsx ------------------------------------------------------------------------------------

struct ZipCloser {
    void operator()(void* zip) const { unzClose(zip); }
};

enum class PartResult { Read, Missing, Damaged, Encrypted, TooLarge, Cancelled };

// The parts of the archive, inflated a block at a time. Every byte inflated counts against the
// limit as it comes: the sizes the archive's headers state are not trusted.
class Archive {
public:
    explicit Archive(const std::string& path) : zip_(unzOpen64(path.c_str())) {}
    bool opened() const { return zip_ != nullptr; }
    std::uint64_t expanded() const { return expanded_; }
    void setExpanded(std::uint64_t bytes) { expanded_ = bytes; }

    // Makes name the part that inflate() reads.
    PartResult open(const std::string& name) {
        if (unzLocateFile(zip_.get(), name.c_str(), 2) != UNZ_OK) return PartResult::Missing;
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip_.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) !=
            UNZ_OK)
            return PartResult::Damaged;
        if (info.flag & 1) return PartResult::Encrypted;
        if (unzOpenCurrentFile(zip_.get()) != UNZ_OK) return PartResult::Damaged;
        return PartResult::Read;
    }
    // The next bytes of the open part into buffer (got is 0 at its end); progress is told of
    // them and may cancel.
    PartResult inflate(char* buffer, std::size_t size, std::size_t& got, ReadProgress* progress) {
        got = 0;
        const int n = unzReadCurrentFile(zip_.get(), buffer, static_cast<unsigned>(size));
        if (n < 0) return PartResult::Damaged;
        expanded_ += static_cast<std::uint64_t>(n);
        if (expanded_ > kMaxDataFileBytes) return PartResult::TooLarge;
        got = static_cast<std::size_t>(n);
        if (progress) {
            progress->done = expanded_;
            if (progress->cancel) return PartResult::Cancelled;
        }
        return PartResult::Read;
    }
    // Closes the open part. The check sum is compared here: a part read whole whose bytes were
    // changed is damaged.
    PartResult close(PartResult result) {
        const int closed = unzCloseCurrentFile(zip_.get());
        return result == PartResult::Read && closed != UNZ_OK ? PartResult::Damaged : result;
    }
    // What the rest of the open part shows (too large, damaged, cancelled), read to its end.
    PartResult rest(ReadProgress* progress) {
        std::vector<char> buffer(kChunk);
        for (;;) {
            std::size_t got = 0;
            const PartResult r = inflate(buffer.data(), buffer.size(), got, progress);
            if (r != PartResult::Read || got == 0) return close(r);
        }
    }

    PartResult read(const std::string& name, std::string& out, ReadProgress* progress) {
        out.clear();
        PartResult r = open(name);
        if (r != PartResult::Read) return r;
        for (;;) {
            const std::size_t before = out.size();
            out.resize(before + kChunk);
            std::size_t got = 0;
            r = inflate(out.data() + before, kChunk, got, progress);
            out.resize(before + got);
            if (r != PartResult::Read || got == 0) break;
        }
        return close(r);
    }

    static constexpr std::size_t kChunk = std::size_t{1} << 16;

private:
    std::unique_ptr<void, ZipCloser> zip_;
    std::uint64_t expanded_ = 0;
};

std::string refusalOf(PartResult r) {
    switch (r) {
        case PartResult::Encrypted:
            return kEncrypted;
        case PartResult::TooLarge:
            return kExpandedTooLarge;
        case PartResult::Cancelled:
        case PartResult::Read:
            return {};
        case PartResult::Missing:
        case PartResult::Damaged:
            break;
    }
    return kDamaged;
}

// or from the archive's root when it starts with "/".
std::string partName(std::string_view folder, std::string_view target) {
    if (startsWith(target, "/")) return std::string(target.substr(1));
    std::string name(folder);
    while (startsWith(target, "../")) {
        target.remove_prefix(3);
        const std::size_t slash = name.find_last_of('/', name.size() >= 2 ? name.size() - 2 : 0);
        name = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
    }
    return name + std::string(target);
}

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// Whether a number format shows a date or a time: the built-in date formats (with the
// Japanese era forms) or a format code with a date or time letter outside quotes and brackets.
bool isDateFormat(unsigned id, std::string_view code) {
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
        (id >= 50 && id <= 58))
        return true;
    if (code.empty()) return false;
    bool quoted = false, bracket = false, escaped = false;
    for (char c : code) {
        if (escaped) {
            escaped = false;
            continue;
        }
        if (c == '\\') escaped = true;
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '[') bracket = true;
        if (c == ']') bracket = false;
        if (bracket) continue;
        switch (c) {
            case 'y':
            case 'Y':
            case 'm':
            case 'M':
            case 'd':
            case 'D':
            case 'h':
            case 'H':
            case 's':
            case 'S':
            case 'e':
            case 'g':
                return true;
            default:
                break;
        }
    }
    return false;
}

// The column of a cell reference ("AB12" → 27), from 0; nullopt without letters.
std::optional<std::size_t> referenceColumn(std::string_view ref) {
    std::size_t column = 0, letters = 0;
    for (char c : ref) {
        if (c >= 'A' && c <= 'Z') {
            column = column * 26 + static_cast<std::size_t>(c - 'A' + 1);
            if (++letters > 3) return std::nullopt;
        } else {
            break;
        }
    }
    if (letters == 0) return std::nullopt;
    return column - 1;
}

// The relationship id of a <sheet>: its attribute "id" in the namespace of relationships, under
// whatever prefix the workbook binds to it ("r:id" as a rule); failing that, an "id" under any
// prefix.
std::string relationshipId(const pugi::xml_node& sheet) {
    constexpr std::string_view kTransitional =
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    constexpr std::string_view kStrict = "http://purl.oclc.org/ooxml/officeDocument/relationships";
    std::string fallback;
    for (const auto& a : sheet.attributes()) {
        const std::string_view name = a.name();
        const std::size_t colon = name.find(':');
        if (colon == std::string_view::npos || name.substr(colon + 1) != "id") continue;
        const std::string declaration = "xmlns:" + std::string(name.substr(0, colon));
        for (pugi::xml_node n = sheet; n; n = n.parent()) {
            if (const auto bound = n.attribute(declaration.c_str())) {
                const std::string_view uri = bound.value();
                if (uri == kTransitional || uri == kStrict) return a.value();
                break;
            }
        }
        if (fallback.empty()) fallback = a.value();
    }
    return fallback;
}

constexpr std::size_t kMaxColumns = 16384;

// An element's name without its namespace prefix.
std::string_view localName(const XML_Char* name) {
    const std::string_view n(name);
    const std::size_t colon = n.rfind(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

const XML_Char* attribute(const XML_Char** attributes, std::string_view name) {
    for (; *attributes; attributes += 2)
        if (name == attributes[0]) return attributes[1];
    return nullptr;
}

// An unsigned attribute as pugixml's as_uint reads it (a style index): blanks, a sign,
// decimal or 0x digits; the largest value on overflow.
unsigned uintAttribute(const char* text) {
    if (!text) return 0;
    while (*text == ' ' || *text == '\t' || *text == '\r' || *text == '\n') ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    }
    unsigned value = 0;
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, value, base);
    if (ec == std::errc::result_out_of_range) return negative ? 0 : UINT_MAX;
    return negative ? 0u - value : value;
}

// The shared strings of a workbook: their texts one after the other, already as cell fields.
struct SharedStrings {
    std::string text;
    std::vector<std::size_t> ends;
    std::size_t size() const { return ends.size(); }
    std::string_view operator[](std::size_t i) const {
        const std::size_t begin = i == 0 ? 0 : ends[i - 1];
        return std::string_view(text).substr(begin, ends[i] - begin);
    }
};

}  // namespace

// An .xlsx sheet part, parsed by expat as it is inflated. A pass hands out one row at a time:
// the parser stops after each row and goes on when the next is asked for. The shared strings
// part is parsed the same way, whole, when the workbook is opened.
struct XlsxSheet {
    explicit XlsxSheet(const std::string& path) : archive(path) {}
    XlsxSheet(const XlsxSheet&) = delete;
    XlsxSheet& operator=(const XlsxSheet&) = delete;
    ~XlsxSheet() {
        if (parser) XML_ParserFree(parser);
    }

    Archive archive;
    SharedStrings shared;
    std::vector<bool> dateStyle;  // by style index
    std::string sheetPart;
    std::uint64_t before = 0;  // bytes inflated for the other parts
    ReadProgress* progress = nullptr;
    bool firstPass = true;

    // The pass under way.
    enum class Mode { SharedStrings, Sheet } mode = Mode::Sheet;
    XML_Parser parser = nullptr;
    bool suspended = false, lastChunk = false, done = true;
    PartResult result = PartResult::Read;
    bool damaged = false;  // a cell the parser accepted but a sheet cannot hold
    SheetCounts counts;

    // Where the parser is: the kinds of the open elements.
    enum Kind : std::uint8_t { Other, Root, SheetData, Row, Cell, Value, Item, ItemText, Run };
    std::vector<Kind> open;
    bool sheetDataSeen = false;
    // The cell under way.
    std::size_t nextColumn = 0, column = 0;
    std::string type;
    unsigned style = 0;
    bool valueSeen = false, formula = false, itemSeen = false, runTextSeen = false;
    std::string value, item;
    std::size_t itemBegin = 0;  // of a shared string's text
    // The row under way, and the row handed out: cell texts in one buffer, or shared strings.
    struct Span {
        std::size_t begin = 0, size = 0;
        bool shared = false;
    };
    std::vector<Span> cells, ready;
    std::string cellText, readyText;
    bool rowReady = false;

    PartResult begin(const std::string& part, Mode m) {
        mode = m;
        if (!done) archive.close(PartResult::Read);  // a pass left before its end
        done = true;
        if (parser) XML_ParserFree(parser);
        parser = XML_ParserCreate(nullptr);
        if (!parser) return PartResult::Damaged;
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, onStart, onEnd);
        XML_SetCharacterDataHandler(parser, onText);
        // An entity declared in the document is refused, not expanded.
        XML_SetEntityDeclHandler(parser, onEntity);
        open.clear();
        sheetDataSeen = suspended = lastChunk = damaged = rowReady = false;
        nextColumn = 0;
        cells.clear();
        cellText.clear();
        counts = SheetCounts{};
        const PartResult r = archive.open(part);
        done = r != PartResult::Read;
        result = r;
        return r;
    }

    // The next block of the part through the parser, or the rest of the block it stopped in.
    void step() {
        XML_Status status;
        if (suspended) {
            status = XML_ResumeParser(parser);
        } else {
            void* buffer = XML_GetBuffer(parser, static_cast<int>(Archive::kChunk));
            if (!buffer) return finish(failed());
            std::size_t got = 0;
            PartResult r =
                archive.inflate(static_cast<char*>(buffer), Archive::kChunk, got, told());
            if (r == PartResult::Read && progress && progress->cancel) r = PartResult::Cancelled;
            if (r != PartResult::Read) return finish(archive.close(r));
            lastChunk = got == 0;
            status = XML_ParseBuffer(parser, static_cast<int>(got), lastChunk);
        }
        suspended = status == XML_STATUS_SUSPENDED;
        // A document the parser refuses is damaged, unless the rest of the part says more
        // (too large to read, cancelled).
        if (status == XML_STATUS_ERROR) return finish(failed());
        if (status == XML_STATUS_OK && lastChunk) finish(archive.close(PartResult::Read));
    }
    // The first pass over the sheet (with the parts before it) tells how far it has come; the
    // passes after it may be cancelled but leave the progress to their reader.
    ReadProgress* told() const { return firstPass ? progress : nullptr; }
    PartResult failed() {
        const PartResult r = archive.rest(told());
        return r == PartResult::Read ? PartResult::Damaged : r;
    }
    void finish(PartResult r) {
        result = r == PartResult::Read && damaged ? PartResult::Damaged : r;
        done = true;
        // The first pass of the sheet tells how much there was to inflate.
        if (mode == Mode::Sheet && firstPass && progress) progress->total = progress->done.load();
        if (mode == Mode::Sheet) firstPass = false;
    }
    void stop() {
        damaged = true;
        XML_StopParser(parser, XML_FALSE);
    }

    static void XMLCALL onEntity(void* data, const XML_Char*, int, const XML_Char*, int,
                                 const XML_Char*, const XML_Char*, const XML_Char*,
                                 const XML_Char*) {
        static_cast<XlsxSheet*>(data)->stop();
    }
    static void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
        static_cast<XlsxSheet*>(data)->start(localName(name), attributes);
    }
    static void XMLCALL onEnd(void* data, const XML_Char*) { static_cast<XlsxSheet*>(data)->end(); }
    static void XMLCALL onText(void* data, const XML_Char* text, int size) {
        auto* self = static_cast<XlsxSheet*>(data);
        const std::string_view s(text, static_cast<std::size_t>(size));
        switch (self->open.empty() ? Other : self->open.back()) {
            case Value:
                self->value += s;
                break;
            case ItemText:
                (self->mode == Mode::SharedStrings ? self->shared.text : self->item) += s;
                break;
            default:
                break;
        }
    }

    void start(std::string_view name, const XML_Char** attributes) {
        const Kind parent = open.empty() ? Other : open.back();
        Kind kind = Other;
        if (open.empty()) {
            if (name == (mode == Mode::Sheet ? "worksheet" : "sst")) kind = Root;
        } else if (mode == Mode::SharedStrings) {
            if (parent == Root && name == "si") kind = startItem();
        } else if (parent == Root && name == "sheetData" && !sheetDataSeen) {
            sheetDataSeen = true;
            kind = SheetData;
        } else if (parent == SheetData && name == "row") {
            kind = Row;
            nextColumn = 0;
        } else if (parent == Row && name == "c") {
            kind = Cell;
        } else if (parent == Cell && name == "v" && !valueSeen) {
            valueSeen = true;
            kind = Value;
        } else if (parent == Cell && name == "f") {
            formula = true;
        } else if (parent == Cell && name == "is" && !itemSeen) {
            itemSeen = true;
            kind = startItem();
        }
        // The text of a string item (<si>, <is>): its runs, without the phonetic guides.
        if (parent == Item && name == "t") kind = ItemText;
        if (parent == Item && name == "r") {
            kind = Run;
            runTextSeen = false;
        }
        if (parent == Run && name == "t" && !runTextSeen) {
            runTextSeen = true;
            kind = ItemText;
        }
        open.push_back(kind);
        if (kind == Cell && !startCell(attributes)) stop();
    }
    Kind startItem() {
        item.clear();
        itemBegin = shared.text.size();
        return Item;
    }
    bool startCell(const XML_Char** attributes) {
        column = nextColumn;
        if (const XML_Char* r = attribute(attributes, "r")) {
            const auto at = referenceColumn(r);
            if (!at) return false;
            column = *at;
        }
        if (column >= kMaxColumns) return false;
        nextColumn = column + 1;
        const XML_Char* t = attribute(attributes, "t");
        type = t ? t : "";
        style = uintAttribute(attribute(attributes, "s"));
        valueSeen = formula = itemSeen = false;
        value.clear();
        item.clear();
        return true;
    }

    void end() {
        if (open.empty()) return;
        const Kind kind = open.back();
        open.pop_back();
        if (kind == Item && mode == Mode::SharedStrings) {
            // The item's text was gathered at the end of the shared text: made a field there.
            std::string& text = shared.text;
            const std::string_view field =
                asField(text.data() + itemBegin, text.data() + text.size());
            text.erase(itemBegin,
                       static_cast<std::size_t>(field.data() - (text.data() + itemBegin)));
            text.resize(itemBegin + field.size());
            shared.ends.push_back(shared.text.size());
        } else if (kind == Cell) {
            if (!endCell()) stop();
        } else if (kind == Row) {
            endRow();
        }
    }
    bool endCell() {
        // A value of blanks only is none, as a text node of blanks is none to pugixml.
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
        if (!valueSeen || std::all_of(value.begin(), value.end(), blank)) {
            if (type == "inlineStr") {
                addCell(item);
            } else if (formula) {
                ++counts.formulasWithoutValue;
            }
            return true;
        }
        if (type == "s") {
            const auto index = parseNumber(value);
            if (!index || *index < 0 || *index >= static_cast<double>(shared.size())) return false;
            const auto i = static_cast<std::size_t>(*index);
            if (shared[i].empty()) return true;
            place({i == 0 ? 0 : shared.ends[i - 1], shared[i].size(), true});
        } else if (type == "e") {
            ++counts.errors;
            addCell(value);
        } else if (type == "b") {
            std::string text = value == "1" ? "TRUE" : "FALSE";
            addCell(text);
        } else if (type == "str" || type == "inlineStr" || type == "d") {
            addCell(value);
        } else if (const auto number = parseNumber(value)) {
            if (style < dateStyle.size() && dateStyle[style]) ++counts.dates;
            std::string text = shortestText(*number);
            addCell(text);
        } else {
            addCell(value);
        }
        return true;
    }
    void addCell(std::string& text) {
        const std::string_view field = asField(text);
        if (field.empty()) return;
        place({cellText.size(), field.size(), false});
        cellText += field;
    }
    void place(Span span) {
        if (cells.size() <= column) cells.resize(column + 1);
        cells[column] = span;
    }
    void endRow() {
        if (cells.empty()) return;
        std::swap(cells, ready);
        std::swap(cellText, readyText);
        cells.clear();
        cellText.clear();
        rowReady = true;
        XML_StopParser(parser, XML_TRUE);
    }
};

namespace {

// The first child element of parent named local, with or without a namespace prefix.
pugi::xml_node child(const pugi::xml_node& parent, std::string_view local) {
    for (const pugi::xml_node& n : parent.children())
        if (n.type() == pugi::node_element && localName(n.name()) == local) return n;
    return {};
}
// Every child element of parent named so.
std::vector<pugi::xml_node> children(const pugi::xml_node& parent, std::string_view local) {
    std::vector<pugi::xml_node> found;
    for (const pugi::xml_node& n : parent.children())
        if (n.type() == pugi::node_element && localName(n.name()) == local) found.push_back(n);
    return found;
}

// The sheets, shared strings and date styles of an .xlsx, and its sheet that sheet names ready
// to be read; null with read.refusal when it cannot be (or when only the sheets were asked for).
std::unique_ptr<XlsxSheet> openXlsx(const std::string& path, std::string_view sheet,
                                    ReadProgress* progress, bool listOnly, WorkbookRead& read) {
    auto book = std::make_unique<XlsxSheet>(path);
    Archive& archive = book->archive;
    if (!archive.opened()) {
        read.refusal = kDamaged;
        return nullptr;
    }
    std::string bytes;
    pugi::xml_document doc;
    auto load = [&](const std::string& name, bool required) -> bool {
        const PartResult r = archive.read(name, bytes, progress);
        if (r == PartResult::Missing && !required) {
            doc.reset();
            return true;
        }
        if (r != PartResult::Read) {
            read.refusal = refusalOf(r);
            return false;
        }
        if (!doc.load_buffer_inplace(bytes.data(), bytes.size())) {
            read.refusal = kDamaged;
            return false;
        }
        return true;
    };

    // The workbook part, from the package's relationships.
    std::string workbookPart = "xl/workbook.xml";
    if (!load("_rels/.rels", false)) return nullptr;
    for (const auto& rel : children(child(doc, "Relationships"), "Relationship"))
        if (endsWith(rel.attribute("Type").value(), "/officeDocument"))
            workbookPart = partName("", rel.attribute("Target").value());
    const std::string folder = workbookPart.substr(0, workbookPart.find_last_of('/') + 1);
    const std::string relsPart =
        folder + "_rels/" + workbookPart.substr(workbookPart.find_last_of('/') + 1) + ".rels";

    std::map<std::string, std::string> targets;  // relationship id → part
    std::string sharedPart, stylesPart;
    if (!load(relsPart, true)) return nullptr;
    for (const auto& rel : children(child(doc, "Relationships"), "Relationship")) {
        const std::string type = rel.attribute("Type").value();
        const std::string target = partName(folder, rel.attribute("Target").value());
        targets[rel.attribute("Id").value()] = target;
        if (endsWith(type, "/sharedStrings")) sharedPart = target;
        if (endsWith(type, "/styles")) stylesPart = target;
    }

    std::vector<std::string> sheetParts;
    if (!load(workbookPart, true)) return nullptr;
    {
        const pugi::xml_node workbook = child(doc, "workbook");
        for (const auto& s : children(child(workbook, "sheets"), "sheet")) {
            const auto id = targets.find(relationshipId(s));
            if (id == targets.end()) continue;  // a chart sheet or a broken link
            read.sheets.push_back(s.attribute("name").value());
            sheetParts.push_back(id->second);
        }
    }
    if (read.sheets.empty()) {
        read.refusal = kDamaged;
        return nullptr;
    }
    if (listOnly) return nullptr;
    if (!sheet.empty()) {
        const auto found = findColumn(read.sheets, sheet);
        if (!found) {
            read.refusal = "にシート「" + std::string(sheet) + "」がありません。";
            return nullptr;
        }
        read.sheet = *found;
    }

    book->progress = progress;
    if (!sharedPart.empty()) {
        PartResult r = book->begin(sharedPart, XlsxSheet::Mode::SharedStrings);
        if (r == PartResult::Missing) {
            r = PartResult::Read;
        } else {
            while (!book->done) book->step();
            r = book->result;
        }
        if (r != PartResult::Read) {
            read.refusal = refusalOf(r);
            return nullptr;
        }
    }

    if (!stylesPart.empty()) {
        if (!load(stylesPart, false)) return nullptr;
        const pugi::xml_node styles = child(doc, "styleSheet");
        std::map<unsigned, std::string> codes;
        for (const auto& f : children(child(styles, "numFmts"), "numFmt"))
            codes[f.attribute("numFmtId").as_uint()] = f.attribute("formatCode").value();
        for (const auto& xf : children(child(styles, "cellXfs"), "xf")) {
            const unsigned id = xf.attribute("numFmtId").as_uint();
            const auto code = codes.find(id);
            book->dateStyle.push_back(isDateFormat(id, code == codes.end() ? "" : code->second));
        }
    }
    doc.reset();
    bytes = std::string();

    book->sheetPart = sheetParts[read.sheet];
    book->before = archive.expanded();
    if (progress) progress->total = progress->done + 1;
    return book;
}

// --- .xls -------------------------------------------------------------------------------------

struct XlsCloser {
    void operator()(const void* handle) const { freexl_close(handle); }
};

// A compound file that holds an encrypted package (an .xlsx saved with a password) names the
// stream "EncryptionInfo" in its directory.
bool hasEncryptionInfo(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    static const char kName[] = "E\0n\0c\0r\0y\0p\0t\0i\0o\0n\0I\0n\0f\0o\0";
    const std::string_view name(kName, sizeof kName - 1);
    std::string block(1 << 16, '\0'), carry;
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        const std::string chunk = carry + block.substr(0, static_cast<std::size_t>(in.gcount()));
        if (chunk.find(name) != std::string::npos) return true;
        carry = chunk.substr(chunk.size() > name.size() ? chunk.size() - name.size() : 0);
    }
    return false;
}

std::uint32_t littleEndian(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

// FreeXL reads the first sector of a compound file's directory into a buffer of its own and
// converts each entry's name by the length the entry states, without holding that length to the
// 64 bytes a name field has: a hostile length has it read tens of kilobytes past its buffer.
// So the sector is checked first: it must lie inside the file (FreeXL computes its offset in 32
// bits, which a hostile start sector wraps), and every name must fit its field. The sector
// size is left to FreeXL, which takes only 512 and 4096.
bool directoryFitsFreeXL(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const auto fileSize = static_cast<std::uint64_t>(in.tellg());
    unsigned char header[0x34] = {};
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return false;
    const std::uint32_t shift = littleEndian(header + 0x1E, 2);
    if (shift != 9 && shift != 12) return false;
    const std::uint64_t sectorSize = std::uint64_t{1} << shift;
    const std::uint64_t offset = (std::uint64_t{littleEndian(header + 0x30, 4)} + 1) * sectorSize;
    if (offset + sectorSize > fileSize) return false;
    std::string sector(sectorSize, '\0');
    in.seekg(static_cast<std::streamoff>(offset));
    if (!in.read(sector.data(), static_cast<std::streamsize>(sectorSize))) return false;
    constexpr std::size_t kEntry = 128, kNameLength = 64, kNameField = 64;
    for (std::size_t entry = 0; entry < sectorSize; entry += kEntry) {
        const auto* at = reinterpret_cast<const unsigned char*>(sector.data() + entry);
        if (littleEndian(at + kNameLength, 2) > kNameField) return false;
    }
    return true;
}

// The workbook stream of a compound file ("Workbook", or "Book" in BIFF5), followed through the
// file's allocation tables as FreeXL follows them; nullopt when a chain leaves the file, loops
// or ends before the stream's size, and an empty stream when the file names none.
std::optional<std::string> workbookStream(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string data{std::istreambuf_iterator<char>(in), {}};
    const auto word = [&](std::size_t at, int count) -> std::uint32_t {
        if (at + static_cast<std::size_t>(count) > data.size()) return 0xFFFFFFFF;
        return littleEndian(reinterpret_cast<const unsigned char*>(data.data() + at), count);
    };
    const std::uint32_t shift = word(0x1E, 2);
    if (shift != 9 && shift != 12) return std::nullopt;
    const std::size_t sectorSize = std::size_t{1} << shift;
    const std::size_t sectors = data.size() / sectorSize - 1;
    constexpr std::uint32_t kEnd = 0xFFFFFFFE;
    // The sectors of a chain, as many as bytes needs (all of it when bytes is npos).
    const auto chain = [&](std::uint32_t start, std::size_t bytes,
                           const std::function<std::uint32_t(std::uint32_t)>& next,
                           const std::function<std::string_view(std::uint32_t)>& sector)
        -> std::optional<std::string> {
        std::string out;
        std::size_t steps = 0;
        for (std::uint32_t s = start; out.size() < bytes && s != kEnd; s = next(s)) {
            const std::string_view bytesOf = sector(s);
            if (bytesOf.empty() || ++steps > sectors * 64 + 1) return std::nullopt;
            out.append(bytesOf);
        }
        if (bytes == std::string::npos) return out;
        if (out.size() < bytes) return std::nullopt;
        out.resize(bytes);
        return out;
    };
    const auto fileSector = [&](std::uint32_t s) {
        if (s >= sectors) return std::string_view();
        return std::string_view(data).substr((std::size_t{s} + 1) * sectorSize, sectorSize);
    };
    // The allocation table: its sectors from the header, then from the chain of DIFAT sectors.
    std::vector<std::uint32_t> tableSectors;
    const std::uint32_t tableCount = word(0x2C, 4);
    if (tableCount > sectors) return std::nullopt;
    for (std::size_t i = 0; i < 109 && tableSectors.size() < tableCount; ++i)
        tableSectors.push_back(word(0x4C + 4 * i, 4));
    for (std::uint32_t d = word(0x44, 4), steps = 0; tableSectors.size() < tableCount; ++steps) {
        if (d >= sectors || steps > sectors) return std::nullopt;
        const std::size_t at = (std::size_t{d} + 1) * sectorSize;
        for (std::size_t i = 0; i + 4 < sectorSize && tableSectors.size() < tableCount; i += 4)
            tableSectors.push_back(word(at + i, 4));
        d = word(at + sectorSize - 4, 4);
    }
    std::vector<std::uint32_t> fat;
    for (const std::uint32_t s : tableSectors) {
        const std::string_view bytes = fileSector(s);
        if (bytes.empty()) return std::nullopt;
        for (std::size_t i = 0; i < bytes.size(); i += 4)
            fat.push_back(
                littleEndian(reinterpret_cast<const unsigned char*>(bytes.data() + i), 4));
    }
    const auto nextInFile = [&](std::uint32_t s) { return s < fat.size() ? fat[s] : kEnd - 1; };
    const auto directory = chain(word(0x30, 4), std::string::npos, nextInFile, fileSector);
    if (!directory || directory->size() < 128) return std::nullopt;
    const auto entry = [&](std::size_t i, std::size_t at, int count) {
        return littleEndian(
            reinterpret_cast<const unsigned char*>(directory->data() + i * 128 + at), count);
    };
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < directory->size() / 128 && !found; ++i) {
        static const std::string_view kNames[] = {
            std::string_view("W\0o\0r\0k\0b\0o\0o\0k\0\0\0", 18),
            std::string_view("B\0o\0o\0k\0\0\0", 10)};
        const std::string_view name(directory->data() + i * 128,
                                    std::min<std::uint32_t>(entry(i, 64, 2), 64));
        if (entry(i, 66, 1) == 2 && (name == kNames[0] || name == kNames[1])) found = i;
    }
    if (!found) return std::string();
    const std::uint32_t start = entry(*found, 116, 4), size = entry(*found, 120, 4);
    if (size >= word(0x38, 4)) return chain(start, size, nextInFile, fileSector);
    // A small stream lies in the mini stream, the root entry's, in sectors of 64 bytes.
    const auto mini = chain(entry(0, 116, 4), entry(0, 120, 4), nextInFile, fileSector);
    const auto miniTable =
        chain(word(0x3C, 4), std::size_t{word(0x40, 4)} * sectorSize, nextInFile, fileSector);
    if (!mini || !miniTable) return std::nullopt;
    const auto nextInMini = [&](std::uint32_t s) {
        return std::size_t{s} * 4 + 4 <= miniTable->size()
                   ? littleEndian(reinterpret_cast<const unsigned char*>(miniTable->data() + s * 4),
                                  4)
                   : kEnd - 1;
    };
    const auto miniSector = [&](std::uint32_t s) {
        if (std::size_t{s} * 64 + 64 > mini->size()) return std::string_view();
        return std::string_view(*mini).substr(std::size_t{s} * 64, 64);
    };
    return chain(start, size, nextInMini, miniSector);
}

// FreeXL takes the lengths of the strings in a workbook's records on trust, and so reads past
// its buffer where a string (or the header of a shared string) is longer than its record: the
// shared strings (SST and the CONTINUE records after it), number formats (FORMAT), text cells
// (LABEL, RSTRING) and sheet names (BOUNDSHEET). So every such string must fit its record, and
// the count of shared strings the data that could hold them.
bool stringsFitFreeXL(std::string_view stream) {
    bool biff8 = true;
    std::int64_t sharedLeft = 0;     // shared strings still to come
    std::uint32_t pendingChars = 0;  // of a shared string cut at the end of its record
    std::uint32_t pendingSkip = 0;   // its formatting runs and extension, after it
    bool inShared = false;           // a CONTINUE record goes on with the shared strings
    const auto u16 = [](std::string_view r, std::size_t at) {
        return littleEndian(reinterpret_cast<const unsigned char*>(r.data() + at), 2);
    };
    const auto u32 = [](std::string_view r, std::size_t at) {
        return littleEndian(reinterpret_cast<const unsigned char*>(r.data() + at), 4);
    };
    // A string of count characters at at, its flags byte first: false when it does not fit.
    const auto fits = [&](std::string_view r, std::size_t at, std::uint32_t count) {
        if (at >= r.size()) return false;
        const auto flags = static_cast<unsigned char>(r[at]);
        const std::size_t header = 1 + ((flags & 8) ? 2 : 0) + ((flags & 4) ? 4 : 0);
        const std::size_t width = (flags & 1) ? 2 : 1;
        return at + header + std::size_t{count} * width <= r.size();
    };
    // The shared strings of one record from at: false when a header runs past its end.
    const auto sharedStrings = [&](std::string_view r, std::size_t at) {
        while (sharedLeft > 0 && at < r.size()) {
            if (at + 3 > r.size()) return false;
            const std::uint32_t count = u16(r, at);
            const auto flags = static_cast<unsigned char>(r[at + 2]);
            std::size_t header = 3;
            std::uint32_t skip = 0;
            if (flags & 8) {
                if (at + header + 2 > r.size()) return false;
                skip += 4 * u16(r, at + header);
                header += 2;
            }
            if (flags & 4) {
                if (at + header + 4 > r.size()) return false;
                skip += u32(r, at + header);
                header += 4;
            }
            at += header;
            const std::size_t width = (flags & 1) ? 2 : 1;
            const std::size_t available = r.size() - at;
            if (std::size_t{count} * width > available) {
                pendingChars = count - static_cast<std::uint32_t>(available / width);
                pendingSkip = skip;
                return true;
            }
            at += std::size_t{count} * width + skip;
            --sharedLeft;
        }
        return true;
    };
    for (std::size_t p = 0; p + 4 <= stream.size();) {
        const std::uint32_t type = u16(stream, p), size = u16(stream, p + 2);
        if (p + 4 + size > stream.size()) return false;
        const std::string_view r = stream.substr(p + 4, size);
        p += 4 + size;
        if (type == 0x3C) {  // CONTINUE
            if (!inShared) continue;
            std::size_t at = 0;
            if (pendingChars > 0) {
                // The rest of a cut string: a flags byte, then its characters.
                if (r.empty()) return false;
                const std::size_t rest = 1 + std::size_t{pendingChars} * ((r[0] & 1) ? 2 : 1);
                if (rest > r.size()) return false;
                at = rest + pendingSkip;
                pendingChars = 0;
                --sharedLeft;
            }
            if (!sharedStrings(r, at)) return false;
            continue;
        }
        inShared = false;
        switch (type) {
            case 0x809:  // BOF: BIFF8 (0x0600) or BIFF5
                if (size >= 2) biff8 = u16(r, 0) == 0x0600;
                break;
            case 0xFC:  // SST
                if (size < 8) return false;
                sharedLeft = u32(r, 4);
                if (sharedLeft > static_cast<std::int64_t>(stream.size() / 3)) return false;
                pendingChars = 0;
                inShared = true;
                if (!sharedStrings(r, 8)) return false;
                break;
            case 0x41E:  // FORMAT
                if (biff8 ? size < 5 || !fits(r, 4, u16(r, 2))
                          : size < 3 || 3 + static_cast<std::size_t>(r[2] & 0xFF) > size)
                    return false;
                break;
            case 0x204:  // LABEL
            case 0xD6:   // RSTRING
                if (biff8 ? size < 9 || !fits(r, 8, u16(r, 6)) : size < 8 || 8 + u16(r, 6) > size)
                    return false;
                break;
            case 0x85:  // BOUNDSHEET
                if (biff8 ? size < 8 || !fits(r, 7, static_cast<unsigned char>(r[6]))
                          : size < 7 || 7 + static_cast<std::size_t>(r[6] & 0xFF) > size)
                    return false;
                break;
            default:
                break;
        }
    }
    return true;
}

void readXls(const std::string& path, std::string_view sheet, bool listOnly, WorkbookRead& read) {
    if (hasEncryptionInfo(path)) {
        read.refusal = kEncrypted;
        return;
    }
    if (!directoryFitsFreeXL(path)) {
        read.refusal = kDamaged;
        return;
    }
    if (const auto stream = workbookStream(path); !stream || !stringsFitFreeXL(*stream)) {
        read.refusal = kDamaged;
        return;
    }
    const void* raw = nullptr;
    const int opened = freexl_open(path.c_str(), &raw);
    std::unique_ptr<const void, XlsCloser> handle(raw);
    if (opened != FREEXL_OK) {
        read.refusal = kDamaged;
        return;
    }
    unsigned password = 0;
    if (freexl_get_info(raw, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK &&
        password == FREEXL_BIFF_OBFUSCATED) {
        read.refusal = kEncrypted;
        return;
    }
    unsigned count = 0;
    if (freexl_get_info(raw, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count == 0) {
        read.refusal = kDamaged;
        return;
    }
    for (unsigned s = 0; s < count; ++s) {
        const char* name = nullptr;
        freexl_get_worksheet_name(raw, static_cast<unsigned short>(s), &name);
        read.sheets.push_back(name ? name : "Sheet" + std::to_string(s + 1));
    }
    if (listOnly) return;
    if (!sheet.empty()) {
        const auto found = findColumn(read.sheets, sheet);
        if (!found) {
            read.refusal = "にシート「" + std::string(sheet) + "」がありません。";
            return;
        }
        read.sheet = *found;
    }
    unsigned rowCount = 0;
    unsigned short columnCount = 0;
    if (freexl_select_active_worksheet(raw, static_cast<unsigned short>(read.sheet)) != FREEXL_OK ||
        freexl_worksheet_dimensions(raw, &rowCount, &columnCount) != FREEXL_OK) {
        read.refusal = kDamaged;
        return;
    }
    SheetTable& table = read.table;
    RowBuilder rows(table);
    for (unsigned r = 0; r < rowCount; ++r) {
        for (unsigned short c = 0; c < columnCount; ++c) {
            FreeXL_CellValue cell{};
            if (freexl_get_cell_value(raw, r, c, &cell) != FREEXL_OK) continue;
            switch (cell.type) {
                case FREEXL_CELL_INT:
                    rows.cell(c, std::to_string(cell.value.int_value));
                    break;
                case FREEXL_CELL_DOUBLE:
                    rows.cell(c, shortestText(cell.value.double_value));
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                    if (cell.value.text_value) rows.cell(c, cell.value.text_value);
                    break;
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    if (cell.value.text_value) {
                        if (const auto serial = serialOf(cell.value.text_value)) {
                            ++table.dates;
                            rows.cell(c, shortestText(*serial));
                        } else {
                            rows.cell(c, cell.value.text_value);
                        }
                    }
                    break;
                default:
                    break;
            }
        }
        rows.endRow();
    }
}

}  // namespace

WorkbookKind workbookKind(std::string_view head) {
    if (startsWith(head, "PK\x03\x04")) return WorkbookKind::Xlsx;
    if (startsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return WorkbookKind::Xls;
    return WorkbookKind::None;
}

WorkbookKind workbookFileKind(const std::string& path) {
    std::uint64_t size = 0;
    if (checkPath(path, size) != FileProblem::None) return WorkbookKind::None;
    // Only a regular file is looked into: the first bytes of a pipe would be gone for its reading.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return WorkbookKind::None;
    std::ifstream in(path, std::ios::binary);
    char head[8] = {};
    in.read(head, sizeof head);
    return workbookKind(std::string_view(head, static_cast<std::size_t>(in.gcount())));
}

namespace {

constexpr const char* kChanged = "は読み込み中に変わりました。";

std::int64_t changeTime(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// The kind of the workbook at path, or None with the refusal.
WorkbookKind workbookOf(const std::string& path, WorkbookRead& read) {
    std::uint64_t size = 0;
    if (checkPath(path, size) != FileProblem::None || size > kMaxDataFileBytes) {
        read.refusal = size > kMaxDataFileBytes ? kExpandedTooLarge : kDamaged;
        return WorkbookKind::None;
    }
    const WorkbookKind kind = workbookFileKind(path);
    if (kind == WorkbookKind::None) read.refusal = kDamaged;
    return kind;
}

// The columns of a sheet as a data file of it gives them, from its rows one at a time.
class SheetColumns {
public:
    SheetColumns(std::optional<GroupedColumn> grouped, std::optional<bool> headings)
        : grouped_(grouped), headings_(headings) {
        result_.file.separator = '\t';
    }

    void add(const std::vector<std::string_view>& fields) {
        DataFile& file = result_.file;
        auto& columns = file.columns;
        if (fields.size() > columns.size()) {
            // A column that starts late was empty in the rows before.
            const std::int64_t rowsBefore =
                columns.empty() ? 0 : columns.front().count + columns.front().skipped;
            const std::size_t before = columns.size();
            columns.resize(fields.size());
            for (std::size_t c = before; c < columns.size(); ++c) columns[c].skipped = rowsBefore;
        }
        if (first_) {
            first_ = false;
            if (headings_ ? *headings_ : isHeadingRow(fields, false)) {
                file.hasHeadings = true;
                for (std::size_t c = 0; c < fields.size(); ++c)
                    columns[c].heading = std::string(fields[c]);
                return;
            }
        }
        for (std::size_t c = 0; c < columns.size(); ++c) {
            DataColumn& column = columns[c];
            const std::string_view field = c < fields.size() ? fields[c] : std::string_view();
            if (field.empty() || !isNumberField(field, false)) {
                ++column.skipped;
                continue;
            }
            // Every number counts; the first kKeptValues are kept, as a data file keeps them.
            ++column.count;
            if (column.numbers.size() >= kKeptValues) continue;
            if (grouped_ && grouped_->values == c) {
                const std::string_view group = grouped_->groups < fields.size()
                                                   ? fields[grouped_->groups]
                                                   : std::string_view();
                if (group.empty()) {
                    ++column.withoutGroup;
                    continue;
                }
                column.groups.emplace_back(group);
            }
            column.numbers.push_back(normalised(field, false));
        }
    }

    DataFileResult finish() {
        auto& columns = result_.file.columns;
        for (std::size_t c = 0; c < columns.size(); ++c)
            if (columns[c].heading.empty()) columns[c].heading = numberedHeading(c);
        if (std::all_of(columns.begin(), columns.end(),
                        [](const DataColumn& c) { return c.numbers.empty(); }))
            result_.problem = FileProblem::NoNumbers;
        return std::move(result_);
    }

private:
    std::optional<GroupedColumn> grouped_;
    std::optional<bool> headings_;
    bool first_ = true;
    DataFileResult result_;
};

}  // namespace

SheetReader::SheetReader() = default;
SheetReader::~SheetReader() = default;

std::unique_ptr<SheetReader> SheetReader::open(const std::string& path, std::string_view sheet,
                                               ReadProgress* progress, WorkbookRead& listed) {
    std::unique_ptr<SheetReader> reader(new SheetReader);
    switch (workbookOf(path, listed)) {
        case WorkbookKind::Xlsx:
            reader->xlsx_ = openXlsx(path, sheet, progress, false, listed);
            if (!reader->xlsx_) return nullptr;
            break;
        case WorkbookKind::Xls:
            readXls(path, sheet, false, listed);
            if (!listed.refusal.empty()) return nullptr;
            reader->table_ = std::move(listed.table);
            listed.table = SheetTable{};
            break;
        case WorkbookKind::None:
            return nullptr;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        reader->path_ = path;
        reader->size_ = static_cast<std::uint64_t>(st.st_size);
        reader->modified_ = changeTime(st);
    }
    reader->restart();
    return reader;
}

void SheetReader::fail(std::string refusal) {
    if (refusal.empty()) {
        cancelled_ = true;
    } else if (refusal_.empty()) {
        refusal_ = std::move(refusal);
    }
}

void SheetReader::restart() {
    refusal_.clear();
    cancelled_ = false;
    row_ = 0;
    // An .xlsx sheet is inflated again at every pass: from the same file.
    struct stat st {};
    if (!path_.empty() &&
        (::stat(path_.c_str(), &st) != 0 || static_cast<std::uint64_t>(st.st_size) != size_ ||
         changeTime(st) != modified_)) {
        fail(kChanged);
        return;
    }
    if (!xlsx_) return;
    xlsx_->archive.setExpanded(xlsx_->before);
    const PartResult r = xlsx_->begin(xlsx_->sheetPart, XlsxSheet::Mode::Sheet);
    if (r != PartResult::Read) fail(refusalOf(r));
}

bool SheetReader::next(std::vector<std::string_view>& cells) {
    cells.clear();
    if (!refusal_.empty() || cancelled_) return false;
    if (!xlsx_) {
        if (row_ >= table_.rows.size()) return false;
        const auto& row = table_.rows[row_++];
        cells.assign(row.begin(), row.end());
        return true;
    }
    XlsxSheet& x = *xlsx_;
    while (!x.rowReady && !x.done) x.step();
    if (!x.rowReady) {
        if (x.result != PartResult::Read) fail(refusalOf(x.result));
        return false;
    }
    x.rowReady = false;
    cells.reserve(x.ready.size());
    for (const XlsxSheet::Span& s : x.ready)
        cells.emplace_back((s.shared ? x.shared.text : x.readyText).data() + s.begin, s.size);
    return true;
}

const SheetCounts& SheetReader::counts() const {
    if (xlsx_) return xlsx_->counts;
    return table_;
}

bool SheetReader::check() {
    restart();
    firstRow_.clear();
    width_ = 0;
    std::vector<std::string_view> cells;
    bool first = true;
    while (next(cells)) {
        if (first) firstRow_.assign(cells.begin(), cells.end());
        first = false;
        width_ = std::max(width_, cells.size());
    }
    return refusal_.empty() && !cancelled_;
}

WorkbookRead readWorkbook(const std::string& path, std::string_view sheet, ReadProgress* progress) {
    WorkbookRead read;
    const auto reader = SheetReader::open(path, sheet, progress, read);
    if (!reader) return read;
    std::vector<std::string_view> cells;
    while (reader->next(cells)) read.table.rows.emplace_back(cells.begin(), cells.end());
    read.refusal = reader->refusal();
    if (!read.refusal.empty() || reader->cancelled()) {
        read.table = SheetTable{};
        return read;
    }
    static_cast<SheetCounts&>(read.table) = reader->counts();
    return read;
}

std::vector<std::string> workbookSheets(const std::string& path, std::string& refusal) {
    WorkbookRead read;
    switch (workbookOf(path, read)) {
        case WorkbookKind::Xlsx:
            openXlsx(path, {}, nullptr, true, read);
            break;
        case WorkbookKind::Xls:
            readXls(path, {}, true, read);
            break;
        case WorkbookKind::None:
            break;
    }
    refusal = read.refusal;
    return read.sheets;
}

DataFileResult sheetDataFile(const SheetTable& table, std::optional<GroupedColumn> grouped,
                             std::optional<bool> headings) {
    SheetColumns columns(grouped, headings);
    std::vector<std::string_view> fields;
    for (const auto& row : table.rows) {
        fields.assign(row.begin(), row.end());
        columns.add(fields);
    }
    return columns.finish();
}

std::vector<std::string> sheetNotes(const SheetCounts& counts) {
    std::vector<std::string> notes;
    if (counts.dates > 0) {
        notes.push_back("シートの日付・時刻のセル" + std::to_string(counts.dates) +
                        "個は通し番号（シリアル値）の数値として読みました。");
    }
    if (counts.errors > 0) {
        notes.push_back("シートのエラーのセル" + std::to_string(counts.errors) +
                        "個（#N/A、#DIV/0! など）は値として読んでいません。");
    }
    if (counts.formulasWithoutValue > 0) {
        notes.push_back("シートの計算結果が保存されていない数式" +
                        std::to_string(counts.formulasWithoutValue) +
                        "個は値として読んでいません（表計算ソフトで開いて保存し直すと読めます）。");
    }
    return notes;
}

TableFileRead readTableFile(const std::string& path, std::string_view sheet, ReadProgress* progress,
                            std::optional<GroupedColumn> grouped) {
    DataReadOptions options;
    options.progress = progress;
    options.grouped = grouped;
    return readTableFile(path, sheet, options);
}

TableFileRead readTableFile(const std::string& path, std::string_view sheet,
                            const DataReadOptions& options) {
    ReadProgress* progress = options.progress;
    TableFileRead result;
    if (workbookFileKind(path) == WorkbookKind::None) {
        result.read = readDataFile(path, options);
        return result;
    }
    // The sheet read once, row by row, into the columns.
    WorkbookRead book;
    const auto reader = SheetReader::open(path, sheet, progress, book);
    result.sheets = book.sheets;
    SheetColumns columns(options.grouped, options.headings);
    if (reader) {
        std::vector<std::string_view> fields;
        while (reader->next(fields)) columns.add(fields);
        book.refusal = reader->refusal();
    }
    if ((progress && progress->cancel) || (reader && reader->cancelled())) {
        result.read.problem = FileProblem::Cancelled;
        return result;
    }
    if (!book.refusal.empty() || !reader) {
        result.read.problem = FileProblem::Spreadsheet;
        result.refusal = book.refusal.empty() ? kDamaged : book.refusal;
        return result;
    }
    const SheetCounts counts = reader->counts();
    result.read = columns.finish();
    if (result.read.problem == FileProblem::NoNumbers) {
        result.read.problem = FileProblem::Spreadsheet;
        result.refusal = "のシート「" + book.sheets[book.sheet] + "」に数値がありません。";
        if (counts.formulasWithoutValue > 0) result.refusal += sheetNotes(counts).back();
        return result;
    }
    result.notes = sheetNotes(counts);
    return result;
}

std::string tableFileMessage(const TableFileRead& read, std::string_view fileName) {
    if (!read.refusal.empty()) return "ファイル「" + std::string(fileName) + "」" + read.refusal;
    return fileProblemMessage(read.read.problem, fileName);
}

}  // namespace kijunchi
