#include "files/workbook.h"

#include <freexl.h>
#include <minizip/unzip.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
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

// A sheet's cells, row by row, gathered into SheetTable::rows.
class RowBuilder {
public:
    explicit RowBuilder(SheetTable& table) : table_(table) {}
    void cell(std::size_t column, std::string text) {
        // A cell may hold line ends and TABs; a field of a data file cannot.
        std::replace_if(
            text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; },
            ' ');
        const std::string_view trimmed = trimField(text);
        if (trimmed.empty()) return;
        if (row_.size() <= column) row_.resize(column + 1);
        row_[column] = trimmed.size() == text.size() ? std::move(text) : std::string(trimmed);
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

class Archive {
public:
    explicit Archive(const std::string& path) : zip_(unzOpen64(path.c_str())) {}
    bool opened() const { return zip_ != nullptr; }

    // Inflates one part, counting every byte against the limit as it comes: the sizes the
    // archive's headers state are not trusted.
    PartResult read(const std::string& name, std::string& out, ReadProgress* progress) {
        out.clear();
        if (unzLocateFile(zip_.get(), name.c_str(), 2) != UNZ_OK) return PartResult::Missing;
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip_.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) !=
            UNZ_OK)
            return PartResult::Damaged;
        if (info.flag & 1) return PartResult::Encrypted;
        if (unzOpenCurrentFile(zip_.get()) != UNZ_OK) return PartResult::Damaged;
        if (info.uncompressed_size < kMaxDataFileBytes - expanded_)
            out.reserve(static_cast<std::size_t>(info.uncompressed_size));
        char buffer[1 << 16];
        PartResult result = PartResult::Read;
        for (;;) {
            const int n = unzReadCurrentFile(zip_.get(), buffer, sizeof buffer);
            if (n < 0) {
                result = PartResult::Damaged;
                break;
            }
            if (n == 0) break;
            expanded_ += static_cast<std::uint64_t>(n);
            if (expanded_ > kMaxDataFileBytes) {
                result = PartResult::TooLarge;
                break;
            }
            out.append(buffer, static_cast<std::size_t>(n));
            if (progress) {
                progress->done = expanded_;
                if (progress->cancel) {
                    result = PartResult::Cancelled;
                    break;
                }
            }
        }
        // The check sum is compared here: a part whose bytes were changed is damaged.
        const int closed = unzCloseCurrentFile(zip_.get());
        if (result == PartResult::Read && closed != UNZ_OK) result = PartResult::Damaged;
        return result;
    }

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

// A relationship's target as a part name: relative to the folder of the part that names it,
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

// The text of a string item (<si>, <is>): its runs, without the phonetic guides (<rPh>).
std::string itemText(const pugi::xml_node& item) {
    std::string text;
    for (const pugi::xml_node& child : item.children()) {
        const std::string_view name = child.name();
        if (name == "t") {
            text += child.text().get();
        } else if (name == "r") {
            text += child.child("t").text().get();
        }
    }
    return text;
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

constexpr std::size_t kMaxColumns = 16384;

void readXlsx(const std::string& path, std::string_view sheet, ReadProgress* progress,
              bool listOnly, WorkbookRead& read) {
    Archive archive(path);
    if (!archive.opened()) {
        read.refusal = kDamaged;
        return;
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
    if (!load("_rels/.rels", false)) return;
    for (const auto& rel : doc.child("Relationships").children("Relationship"))
        if (endsWith(rel.attribute("Type").value(), "/officeDocument"))
            workbookPart = partName("", rel.attribute("Target").value());
    const std::string folder = workbookPart.substr(0, workbookPart.find_last_of('/') + 1);
    const std::string relsPart =
        folder + "_rels/" + workbookPart.substr(workbookPart.find_last_of('/') + 1) + ".rels";

    std::map<std::string, std::string> targets;  // relationship id → part
    std::string sharedPart, stylesPart;
    if (!load(relsPart, true)) return;
    for (const auto& rel : doc.child("Relationships").children("Relationship")) {
        const std::string type = rel.attribute("Type").value();
        const std::string target = partName(folder, rel.attribute("Target").value());
        targets[rel.attribute("Id").value()] = target;
        if (endsWith(type, "/sharedStrings")) sharedPart = target;
        if (endsWith(type, "/styles")) stylesPart = target;
    }

    std::vector<std::string> sheetParts;
    if (!load(workbookPart, true)) return;
    {
        const pugi::xml_node workbook = doc.child("workbook");
        for (const auto& s : workbook.child("sheets").children("sheet")) {
            const auto id = targets.find(s.attribute("r:id").value());
            if (id == targets.end()) continue;  // a chart sheet or a broken link
            read.sheets.push_back(s.attribute("name").value());
            sheetParts.push_back(id->second);
        }
    }
    if (read.sheets.empty()) {
        read.refusal = kDamaged;
        return;
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

    std::vector<std::string> shared;
    if (!sharedPart.empty()) {
        if (!load(sharedPart, false)) return;
        for (const auto& si : doc.child("sst").children("si")) shared.push_back(itemText(si));
    }

    std::vector<bool> dateStyle;  // by style index
    if (!stylesPart.empty()) {
        if (!load(stylesPart, false)) return;
        const pugi::xml_node styles = doc.child("styleSheet");
        std::map<unsigned, std::string> codes;
        for (const auto& f : styles.child("numFmts").children("numFmt"))
            codes[f.attribute("numFmtId").as_uint()] = f.attribute("formatCode").value();
        for (const auto& xf : styles.child("cellXfs").children("xf")) {
            const unsigned id = xf.attribute("numFmtId").as_uint();
            const auto code = codes.find(id);
            dateStyle.push_back(isDateFormat(id, code == codes.end() ? "" : code->second));
        }
    }

    if (progress) progress->total = progress->done + 1;
    if (!load(sheetParts[read.sheet], true)) return;
    if (progress) progress->total = progress->done.load();
    SheetTable& table = read.table;
    RowBuilder rows(table);
    for (const auto& row : doc.child("worksheet").child("sheetData").children("row")) {
        std::size_t next = 0;
        for (const auto& c : row.children("c")) {
            std::size_t column = next;
            if (const auto r = c.attribute("r")) {
                const auto at = referenceColumn(r.value());
                if (!at) {
                    read.refusal = kDamaged;
                    return;
                }
                column = *at;
            }
            if (column >= kMaxColumns) {
                read.refusal = kDamaged;
                return;
            }
            next = column + 1;
            const std::string_view type = c.attribute("t").value();
            const pugi::xml_node v = c.child("v");
            if (!v || !*v.text().get()) {
                if (type == "inlineStr") {
                    rows.cell(column, itemText(c.child("is")));
                } else if (c.child("f")) {
                    ++table.formulasWithoutValue;
                }
                continue;
            }
            const std::string_view value = v.text().get();
            if (type == "s") {
                const auto index = parseNumber(value);
                if (!index || *index < 0 || *index >= static_cast<double>(shared.size())) {
                    read.refusal = kDamaged;
                    return;
                }
                rows.cell(column, shared[static_cast<std::size_t>(*index)]);
            } else if (type == "e") {
                ++table.errors;
                rows.cell(column, std::string(value));
            } else if (type == "b") {
                rows.cell(column, value == "1" ? "TRUE" : "FALSE");
            } else if (type == "str" || type == "inlineStr" || type == "d") {
                rows.cell(column, std::string(value));
            } else if (const auto number = parseNumber(value)) {
                const std::size_t style = c.attribute("s").as_uint();
                if (style < dateStyle.size() && dateStyle[style]) ++table.dates;
                rows.cell(column, shortestText(*number));
            } else {
                rows.cell(column, std::string(value));
            }
        }
        rows.endRow();
    }
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

void readXls(const std::string& path, std::string_view sheet, bool listOnly, WorkbookRead& read) {
    if (hasEncryptionInfo(path)) {
        read.refusal = kEncrypted;
        return;
    }
    if (!directoryFitsFreeXL(path)) {
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

WorkbookRead openWorkbook(const std::string& path, std::string_view sheet, ReadProgress* progress,
                          bool listOnly) {
    WorkbookRead read;
    std::uint64_t size = 0;
    if (checkPath(path, size) != FileProblem::None || size > kMaxDataFileBytes) {
        read.refusal = size > kMaxDataFileBytes ? kExpandedTooLarge : kDamaged;
        return read;
    }
    switch (workbookFileKind(path)) {
        case WorkbookKind::Xlsx:
            readXlsx(path, sheet, progress, listOnly, read);
            break;
        case WorkbookKind::Xls:
            readXls(path, sheet, listOnly, read);
            break;
        case WorkbookKind::None:
            read.refusal = kDamaged;
            break;
    }
    if (!read.refusal.empty()) read.table = SheetTable{};
    return read;
}

}  // namespace

WorkbookRead readWorkbook(const std::string& path, std::string_view sheet, ReadProgress* progress) {
    return openWorkbook(path, sheet, progress, false);
}

std::vector<std::string> workbookSheets(const std::string& path, std::string& refusal) {
    WorkbookRead read = openWorkbook(path, {}, nullptr, true);
    refusal = read.refusal;
    return read.sheets;
}

DataFileResult sheetDataFile(const SheetTable& table, std::optional<GroupedColumn> grouped,
                             std::optional<bool> headings) {
    DataFileResult result;
    DataFile& file = result.file;
    file.separator = '\t';
    auto& columns = file.columns;
    std::vector<std::string_view> fields;
    bool first = true;
    for (const auto& row : table.rows) {
        fields.assign(row.begin(), row.end());
        if (fields.size() > columns.size()) {
            // A column that starts late was empty in the rows before.
            const std::int64_t rowsBefore =
                columns.empty() ? 0 : columns.front().count + columns.front().skipped;
            const std::size_t before = columns.size();
            columns.resize(fields.size());
            for (std::size_t c = before; c < columns.size(); ++c) columns[c].skipped = rowsBefore;
        }
        if (first) {
            first = false;
            if (headings ? *headings : isHeadingRow(fields, false)) {
                file.hasHeadings = true;
                for (std::size_t c = 0; c < fields.size(); ++c)
                    columns[c].heading = std::string(fields[c]);
                continue;
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
            if (grouped && grouped->values == c) {
                const std::string_view group =
                    grouped->groups < fields.size() ? fields[grouped->groups] : std::string_view();
                if (group.empty()) {
                    ++column.withoutGroup;
                    continue;
                }
                column.groups.emplace_back(group);
            }
            column.numbers.push_back(normalised(field, false));
        }
    }
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (columns[c].heading.empty()) columns[c].heading = numberedHeading(c);
    if (std::all_of(columns.begin(), columns.end(),
                    [](const DataColumn& c) { return c.numbers.empty(); }))
        result.problem = FileProblem::NoNumbers;
    return result;
}

std::vector<std::string> sheetNotes(const SheetTable& table) {
    std::vector<std::string> notes;
    if (table.dates > 0) {
        notes.push_back("シートの日付・時刻のセル" + std::to_string(table.dates) +
                        "個は通し番号（シリアル値）の数値として読みました。");
    }
    if (table.errors > 0) {
        notes.push_back("シートのエラーのセル" + std::to_string(table.errors) +
                        "個（#N/A、#DIV/0! など）は値として読んでいません。");
    }
    if (table.formulasWithoutValue > 0) {
        notes.push_back("シートの計算結果が保存されていない数式" +
                        std::to_string(table.formulasWithoutValue) +
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
    WorkbookRead book = readWorkbook(path, sheet, progress);
    result.sheets = book.sheets;
    if (progress && progress->cancel) {
        result.read.problem = FileProblem::Cancelled;
        return result;
    }
    if (!book.refusal.empty()) {
        result.read.problem = FileProblem::Spreadsheet;
        result.refusal = book.refusal;
        return result;
    }
    result.read = sheetDataFile(book.table, options.grouped, options.headings);
    if (result.read.problem == FileProblem::NoNumbers) {
        result.read.problem = FileProblem::Spreadsheet;
        result.refusal = "のシート「" + book.sheets[book.sheet] + "」に数値がありません。";
        if (book.table.formulasWithoutValue > 0) result.refusal += sheetNotes(book.table).back();
        return result;
    }
    result.notes = sheetNotes(book.table);
    return result;
}

std::string tableFileMessage(const TableFileRead& read, std::string_view fileName) {
    if (!read.refusal.empty()) return "ファイル「" + std::string(fileName) + "」" + read.refusal;
    return fileProblemMessage(read.read.problem, fileName);
}

}  // namespace kijunchi
