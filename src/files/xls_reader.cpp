#include <freexl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>

#include "files/workbook_parts.h"

// .xls: the older binary workbooks (BIFF in a compound file), read with FreeXL once the file has
// been checked for what FreeXL takes on trust.
namespace kijunchi::workbook {

namespace {

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
    // The sectors of a chain, as many as bytes needs (all of it when bytes is npos), each
    // sector once: a chain that comes back to a sector of its own loops, and is damage.
    const auto chain = [&](std::uint32_t start, std::size_t bytes,
                           const std::function<std::uint32_t(std::uint32_t)>& next,
                           const std::function<std::string_view(std::uint32_t)>& sector)
        -> std::optional<std::string> {
        std::string out;
        std::vector<bool> seen;
        for (std::uint32_t s = start; out.size() < bytes && s != kEnd; s = next(s)) {
            const std::string_view bytesOf = sector(s);
            if (bytesOf.empty()) return std::nullopt;
            if (seen.size() <= s) seen.resize(std::size_t{s} + 1);
            if (seen[s]) return std::nullopt;
            seen[s] = true;
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

// FreeXL keeps, for every sheet of a workbook, a grid of as many cells as the sheet's
// DIMENSION record states (its last row times its last column, up to 65536 × 256), about 16
// bytes each, whether the cells exist or not: it is built when the workbook is opened, for
// every sheet, not only the one read. A file of a few kilobytes that states the largest sheet
// would take 270 MB, and one of 255 such sheets 68 GB. So the grids together may take no more
// than 64 MB plus 4 bytes for every byte of the workbook's data (a sheet that fills its grid
// holds at least 2 bytes a cell, a blank in a MULBLANK record; numbers 6 or more): every
// workbook whose cells fill their sheets is read, one whose sheets state far more than it holds
// is refused as too large. False when the grids would take more.
bool gridsFitMemory(std::string_view stream) {
    constexpr std::uint64_t kCellBytes = 16;
    const std::uint64_t budget = (std::uint64_t{64} << 20) + 4 * std::uint64_t{stream.size()};
    const auto at = [&](std::size_t p, unsigned bytes) {
        return littleEndian(reinterpret_cast<const unsigned char*>(stream.data() + p), bytes);
    };
    std::uint64_t cells = 0;
    for (std::size_t p = 0; p + 4 <= stream.size();) {
        const std::uint32_t type = at(p, 2), size = at(p + 2, 2);
        if (p + 4 + size > stream.size()) break;
        if (type == 0x200 && size >= 10) {  // DIMENSION: BIFF8 rows in 4 bytes, BIFF5 in 2
            const bool biff8 = size >= 14;
            const std::uint64_t rows = at(p + 4 + (biff8 ? 4 : 2), biff8 ? 4 : 2);
            const std::uint64_t columns = at(p + 4 + (biff8 ? 10 : 6), 2);
            cells += rows * columns;
            if (cells * kCellBytes > budget) return false;
        }
        p += 4 + size;
    }
    return true;
}

}  // namespace

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
    } else if (!gridsFitMemory(*stream)) {
        read.refusal = kExpandedTooLarge;
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

}  // namespace kijunchi::workbook
