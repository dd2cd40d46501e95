#include <expat.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <pugixml.hpp>

#include "files/workbook_parts.h"

// .xlsx and .xlsm: a zip archive of XML parts, inflated with minizip; the small parts parsed with
// pugixml, the shared strings and the sheet with expat as they are inflated.
namespace kijunchi {

using namespace workbook;

namespace {

struct ZipCloser {
    void operator()(void* zip) const { unzClose(zip); }
};

enum class PartResult { Read, Missing, Damaged, Encrypted, TooLarge, Cancelled, LongCell };

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
        case PartResult::LongCell:
            return "には長すぎるセルがあります（1つのセルは64 KiBまで読めます）。";
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
constexpr std::size_t kMaxDepth = 64;

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
    bool damaged = false;   // a cell the parser accepted but a sheet cannot hold
    bool longCell = false;  // a cell's text longer than a field of a data file may be
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
    // The row under way, and the row handed out: its filled cells only, each with its column,
    // so that a cell far to the right costs itself, not the empty cells before it. Their texts
    // lie in one buffer, or among the shared strings.
    struct Span {
        std::size_t column = 0;
        std::size_t begin = 0, size = 0;
        bool shared = false;
    };
    std::vector<Span> cells, ready;
    std::string cellText, readyText;
    bool rowReady = false;
    bool outOfOrder = false;  // the row under way named a column not after the one before

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
        sheetDataSeen = suspended = lastChunk = damaged = longCell = rowReady = false;
        nextColumn = 0;
        cells.clear();
        cellText.clear();
        outOfOrder = false;
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
        if (r != PartResult::Read) return r;
        return longCell ? PartResult::LongCell : PartResult::Damaged;
    }
    void finish(PartResult r) {
        result = r != PartResult::Read || !damaged ? r
                 : longCell                        ? PartResult::LongCell
                                                   : PartResult::Damaged;
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
    // No exception may pass through the parser, which is C: one ends the part as damaged.
    template <typename F>
    static void guarded(void* data, F&& f) {
        auto* self = static_cast<XlsxSheet*>(data);
        try {
            f(*self);
        } catch (const std::exception&) {
            self->stop();
        }
    }
    static void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
        guarded(data, [&](XlsxSheet& self) { self.start(localName(name), attributes); });
    }
    static void XMLCALL onEnd(void* data, const XML_Char*) {
        guarded(data, [](XlsxSheet& self) { self.end(); });
    }
    static void XMLCALL onText(void* data, const XML_Char* text, int size) {
        guarded(data, [&](XlsxSheet& self) { self.text(text, size); });
    }
    void text(const XML_Char* text, int size) {
        XlsxSheet* self = this;
        const std::string_view s(text, static_cast<std::size_t>(size));
        switch (self->open.empty() ? Other : self->open.back()) {
            case Value:
                self->value += s;
                break;
            case ItemText:
                (self->mode == Mode::SharedStrings ? self->shared.text : self->item) += s;
                break;
            default:
                return;
        }
        // A cell holds no more than a line of a data file may.
        if (value.size() > kMaxLineBytes || item.size() > kMaxLineBytes ||
            (mode == Mode::SharedStrings && open.back() == ItemText &&
             shared.text.size() - itemBegin > kMaxLineBytes)) {
            longCell = true;
            stop();
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
        // The elements of a sheet nest a few deep; a document nested deeper is damage, not
        // memory for the parser to hold every open element.
        if (open.size() >= kMaxDepth) return stop();
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
            // Only a whole number that names a shared string: NaN, a fraction or one out of
            // range is damage (every comparison with NaN being false, it is tested as it must
            // hold, not as it must not).
            const auto index = parseNumber(value);
            if (!index || !(*index >= 0 && *index < static_cast<double>(shared.size())) ||
                *index != static_cast<double>(static_cast<std::size_t>(*index)))
                return false;
            const auto i = static_cast<std::size_t>(*index);
            if (shared[i].empty()) return true;
            place({column, i == 0 ? 0 : shared.ends[i - 1], shared[i].size(), true});
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
        place({column, cellText.size(), field.size(), false});
        cellText += field;
    }
    void place(Span span) {
        // A column named twice in a row holds the cell named last.
        if (!cells.empty() && cells.back().column >= span.column) outOfOrder = true;
        cells.push_back(span);
    }
    void endRow() {
        if (cells.empty()) return;
        if (outOfOrder) {
            std::stable_sort(cells.begin(), cells.end(),
                             [](const Span& a, const Span& b) { return a.column < b.column; });
            // Of the cells of one column the last named stays.
            std::size_t kept = 0;
            for (std::size_t i = 0; i < cells.size(); ++i) {
                if (i + 1 < cells.size() && cells[i + 1].column == cells[i].column) continue;
                cells[kept++] = cells[i];
            }
            cells.resize(kept);
            outOfOrder = false;
        }
        std::swap(cells, ready);
        std::swap(cellText, readyText);
        cells.clear();
        cellText.clear();
        rowReady = true;
        XML_StopParser(parser, XML_TRUE);
    }
};

void XlsxSheetDelete::operator()(XlsxSheet* sheet) const {
    delete sheet;
}

namespace workbook {

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
}  // namespace

std::unique_ptr<XlsxSheet, XlsxSheetDelete> openXlsx(const std::string& path,
                                                     std::string_view sheet, ReadProgress* progress,
                                                     bool listOnly, WorkbookRead& read) {
    std::unique_ptr<XlsxSheet, XlsxSheetDelete> book(new XlsxSheet(path));
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

std::optional<std::string> beginXlsxPass(XlsxSheet& x) {
    x.archive.setExpanded(x.before);
    const PartResult r = x.begin(x.sheetPart, XlsxSheet::Mode::Sheet);
    if (r != PartResult::Read) return refusalOf(r);
    return std::nullopt;
}

RowStep nextXlsxRow(XlsxSheet& x, std::vector<SheetCell>& cells, std::string& refusal) {
    while (!x.rowReady && !x.done) x.step();
    if (!x.rowReady) {
        if (x.result == PartResult::Read) return RowStep::End;
        refusal = refusalOf(x.result);
        return RowStep::Failed;
    }
    x.rowReady = false;
    cells.reserve(x.ready.size());
    for (const XlsxSheet::Span& s : x.ready)
        cells.push_back(
            {s.column,
             std::string_view((s.shared ? x.shared.text : x.readyText).data() + s.begin, s.size)});
    return RowStep::Row;
}

const SheetCounts& xlsxCounts(const XlsxSheet& x) {
    return x.counts;
}

}  // namespace workbook

}  // namespace kijunchi
