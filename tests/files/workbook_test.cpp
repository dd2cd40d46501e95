// Workbooks read as data files: every column of a sheet as the same data written as CSV gives
// it, and the workbooks that are refused.
#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "files/table_file.h"
#include "study/batch.h"
#include "support/data_set.h"
#include "support/temp_files.h"

namespace kijunchi {
namespace {

using testing::TempFolder;

// One cell: how it is written into the workbook, and the field the same datum is in a CSV file.
struct Cell {
    enum Kind { Number, Text, Empty, Error, FormulaValue, FormulaNoValue, Date, Bool } kind;
    double number = 0;
    std::string text;  // the string written (Text, Error, the formula of Formula*)
    std::string csv;   // the field of the CSV file
};

Cell num(double v, const char* csv) {
    return {Cell::Number, v, "", csv};
}
Cell text(const char* t) {
    return {Cell::Text, 0, t, t};
}
Cell empty() {
    return {Cell::Empty, 0, "", ""};
}

// Headings, then the rows. Text numbers (half- and full-width), notes, error cells, formulas with
// and without a kept result, dates, booleans, empty cells inside and at the end of the data.
std::vector<std::vector<Cell>> sheetCells() {
    return {
        {text("Ca"), text("ALP"), text("メモ"), text("日付"), text("性別")},
        {num(9.2, "9.2"), text("12.5"), text("溶血"), {Cell::Date, 45293, "", "45293"}, text("F")},
        {text("１０．１"), num(250, "250"), empty(), empty(), text("M")},
        {empty(), {Cell::Error, 0, "#N/A", "#N/A"}, text("12.5 mg/dL"), empty(), text("F")},
        {num(1.234567890123456, "1.234567890123456"),
         {Cell::FormulaValue, 7.5, "=3*2.5", "7.5"},
         {Cell::Bool, 1, "", "TRUE"},
         empty(),
         empty()},
        {num(-1.5e-7, "-1.5E-7"), num(300, "300"), empty(), empty(), text("M")},
        {text("9.8"), empty(), empty(), empty(), empty()},
    };
}

std::string csvOf(const std::vector<std::vector<Cell>>& rows) {
    std::string csv;
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) csv += (c ? "," : "") + row[c].csv;
        csv += "\r\n";
    }
    return csv;
}

// With libxlsxwriter: strings shared, or inline with constant memory; formulas keep results.
void writeWithXlsxwriter(const std::string& path, const std::vector<std::vector<Cell>>& rows,
                         bool inlineStrings) {
    lxw_workbook_options options{};
    options.constant_memory = inlineStrings ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* first = workbook_add_worksheet(book, "データ");
    lxw_worksheet* second = workbook_add_worksheet(book, "空");
    worksheet_write_string(second, 0, 0, "なし", nullptr);
    lxw_format* date = workbook_add_format(book);
    format_set_num_format(date, "yyyy/mm/dd");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const Cell& cell = rows[r][c];
            const auto row = static_cast<lxw_row_t>(r);
            const auto col = static_cast<lxw_col_t>(c);
            switch (cell.kind) {
                case Cell::Number:
                    worksheet_write_number(first, row, col, cell.number, nullptr);
                    break;
                case Cell::Text:
                    worksheet_write_string(first, row, col, cell.text.c_str(), nullptr);
                    break;
                case Cell::Error:
                    worksheet_write_formula_str(first, row, col, "=NA()", nullptr, "#N/A");
                    break;
                case Cell::FormulaValue:
                    worksheet_write_formula_num(first, row, col, cell.text.c_str(), nullptr,
                                                cell.number);
                    break;
                case Cell::Date:
                    worksheet_write_number(first, row, col, cell.number, date);
                    break;
                case Cell::Bool:
                    worksheet_write_boolean(first, row, col, cell.number != 0, nullptr);
                    break;
                case Cell::Empty:
                case Cell::FormulaNoValue:
                    break;
            }
        }
    }
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
}

bool haveOpenpyxl() {
    return std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") == 0;
}

// With openpyxl: shared strings, true error cells, formulas without a kept result.
void writeWithOpenpyxl(const TempFolder& folder, const std::string& path,
                       const std::vector<std::vector<Cell>>& rows) {
    std::string script =
        "import datetime, sys, openpyxl\n"
        "wb = openpyxl.Workbook()\nws = wb.active\nws.title = 'データ'\n"
        "wb.create_sheet('空')['A1'] = 'なし'\n"
        "rows = [\n";
    for (const auto& row : rows) {
        script += " [";
        for (const Cell& cell : row) {
            switch (cell.kind) {
                case Cell::Number:
                    script += "float('" + cell.csv + "'),";
                    break;
                case Cell::Text:
                case Cell::Error:
                case Cell::FormulaValue:
                case Cell::FormulaNoValue:
                    script += "'" + cell.text + "',";
                    break;
                case Cell::Date:
                    script +=
                        "datetime.date(1899, 12, 30) + datetime.timedelta(days=" + cell.csv + "),";
                    break;
                case Cell::Bool:
                    script += "True,";
                    break;
                case Cell::Empty:
                    script += "None,";
                    break;
            }
        }
        script += "],\n";
    }
    script += "]\nfor r in rows: ws.append(r)\nwb.save(sys.argv[1])\n";
    const std::string file = folder.write("make.py", script);
    ASSERT_EQ(std::system(("/usr/bin/python3 " + file + " " + path).c_str()), 0);
}

void expectSameColumns(const DataFile& book, const DataFile& csv) {
    ASSERT_EQ(book.columns.size(), csv.columns.size());
    EXPECT_EQ(book.hasHeadings, csv.hasHeadings);
    for (std::size_t c = 0; c < csv.columns.size(); ++c) {
        SCOPED_TRACE(csv.columns[c].heading);
        EXPECT_EQ(book.columns[c].heading, csv.columns[c].heading);
        // The same numbers; their texts may differ in form ("-1.5E-7" and "-1.5E-07").
        std::vector<std::optional<double>> fromBook, fromCsv;
        for (const auto& n : book.columns[c].numbers) fromBook.push_back(fieldNumber(n, false));
        for (const auto& n : csv.columns[c].numbers) fromCsv.push_back(fieldNumber(n, false));
        EXPECT_EQ(fromBook, fromCsv);
        EXPECT_EQ(book.columns[c].skipped, csv.columns[c].skipped);
    }
}

TEST(Workbook, EveryColumnReadsAsTheSameDataWrittenAsCsv) {
    TempFolder folder;
    auto rows = sheetCells();
    const DataFileResult csv = readDataText(csvOf(rows));
    ASSERT_EQ(csv.problem, FileProblem::None);

    for (const bool inlineStrings : {false, true}) {
        SCOPED_TRACE(inlineStrings ? "libxlsxwriter, inline strings" : "libxlsxwriter");
        const std::string path = folder.file(inlineStrings ? "inline.xlsx" : "shared.xlsx");
        writeWithXlsxwriter(path, rows, inlineStrings);
        const TableFileRead read = readTableFile(path);
        ASSERT_EQ(read.read.problem, FileProblem::None) << read.refusal;
        EXPECT_EQ(read.sheets, (std::vector<std::string>{"データ", "空"}));
        expectSameColumns(read.read.file, csv.file);
    }

    if (!haveOpenpyxl()) {
        GTEST_SKIP() << "openpyxl missing (python3-openpyxl): workbooks of openpyxl not checked";
    }
    // openpyxl keeps no result of a formula: that cell is empty in the CSV, and counted.
    rows[4][1] = {Cell::FormulaNoValue, 0, "=3*2.5", ""};
    const DataFileResult csvNoValue = readDataText(csvOf(rows));
    const std::string path = folder.file("openpyxl.xlsm");
    writeWithOpenpyxl(folder, path, rows);
    const TableFileRead read = readTableFile(path);
    ASSERT_EQ(read.read.problem, FileProblem::None) << read.refusal;
    expectSameColumns(read.read.file, csvNoValue.file);
    const WorkbookRead book = readWorkbook(path);
    EXPECT_EQ(book.table.errors, 1);
    EXPECT_EQ(book.table.dates, 1);
    EXPECT_EQ(book.table.formulasWithoutValue, 1);
    EXPECT_EQ(read.notes.size(), 3u);
}

TEST(Workbook, ReadsCellsAndTextsCutBetweenInflatedBlocks) {
    // 4000 rows with notes of up to 30000 characters: the sheet's XML and the shared strings'
    // are many times the block inflated at a time, so cells and texts are cut between blocks.
    const auto note = [](int r) {
        return std::string(r % 400 == 0 ? 30000 : 7, static_cast<char>('a' + r % 26)) +
               std::to_string(r);
    };
    TempFolder folder;
    for (const bool inlineStrings : {false, true}) {
        SCOPED_TRACE(inlineStrings ? "inline strings" : "shared strings");
        const std::string path = folder.file(inlineStrings ? "inline.xlsx" : "shared.xlsx");
        lxw_workbook_options options{};
        options.constant_memory = inlineStrings ? LXW_TRUE : LXW_FALSE;
        lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
        lxw_worksheet* sheet = workbook_add_worksheet(book, "長い");
        worksheet_write_string(sheet, 0, 0, "値", nullptr);
        worksheet_write_string(sheet, 0, 1, "メモ", nullptr);
        for (int r = 1; r <= 4000; ++r) {
            worksheet_write_number(sheet, static_cast<lxw_row_t>(r), 0, r + 0.25, nullptr);
            worksheet_write_string(sheet, static_cast<lxw_row_t>(r), 1, note(r).c_str(), nullptr);
        }
        ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);

        const WorkbookRead read = readWorkbook(path);
        ASSERT_EQ(read.refusal, "");
        ASSERT_EQ(read.table.rows.size(), 4001u);
        for (int r = 1; r <= 4000; ++r) {
            const auto& row = read.table.rows[static_cast<std::size_t>(r)];
            ASSERT_EQ(row, (std::vector<std::string>{std::to_string(r) + ".25", note(r)})) << r;
        }
        const TableFileRead columns = readTableFile(path);
        ASSERT_EQ(columns.read.problem, FileProblem::None) << columns.refusal;
        EXPECT_EQ(columns.read.file.columns[0].count, 4000);
        EXPECT_EQ(columns.read.file.columns[1].skipped, 4000);
    }
}

TEST(Workbook, FindsPartsAndCellsUnderAnyNamespacePrefix) {
    if (!haveOpenpyxl()) GTEST_SKIP() << "python3 of Debian missing: the workbook not built";
    // Every part with its elements prefixed ("x:"), the sheet's relationship id under "rel:",
    // and an "r:id" bound elsewhere beside it that must not be taken for it.
    TempFolder folder;
    const std::string script = folder.write(
        "prefixed.py",
        "import sys, zipfile\n"
        "main = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'\n"
        "rels = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'\n"
        "pkg = 'http://schemas.openxmlformats.org/package/2006/relationships'\n"
        "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
        "z.writestr('[Content_Types].xml', '<Types/>')\n"
        "z.writestr('_rels/.rels', '<p:Relationships xmlns:p=\"' + pkg + '\"><p:Relationship "
        "Id=\"rId1\" Type=\"' + rels + '/officeDocument\" Target=\"xl/book.xml\"/>"
        "</p:Relationships>')\n"
        "z.writestr('xl/book.xml', '<x:workbook xmlns:x=\"' + main + '\" xmlns:rel=\"' + rels +"
        " '\" xmlns:r=\"urn:other\"><x:sheets><x:sheet name=\"結果\" sheetId=\"1\" r:id=\"rId9\" "
        "rel:id=\"rId2\"/></x:sheets></x:workbook>')\n"
        "z.writestr('xl/_rels/book.xml.rels', '<p:Relationships xmlns:p=\"' + pkg + '\">"
        "<p:Relationship Id=\"rId2\" Type=\"' + rels + '/worksheet\" Target=\"s.xml\"/>"
        "<p:Relationship Id=\"rId3\" Type=\"' + rels + '/sharedStrings\" Target=\"t.xml\"/>"
        "</p:Relationships>')\n"
        "z.writestr('xl/t.xml', '<x:sst xmlns:x=\"' + main + '\"><x:si><x:t>Ca</x:t></x:si>"
        "</x:sst>')\n"
        "z.writestr('xl/s.xml', '<x:worksheet xmlns:x=\"' + main + '\"><x:sheetData>"
        "<x:row><x:c r=\"A1\" t=\"s\"><x:v>0</x:v></x:c><x:c r=\"B1\" t=\"inlineStr\"><x:is>"
        "<x:t>メモ</x:t></x:is></x:c></x:row>"
        "<x:row><x:c r=\"A2\"><x:v>9.5</x:v></x:c><x:c r=\"B2\" t=\"inlineStr\"><x:is><x:r>"
        "<x:t>溶</x:t></x:r><x:r><x:t>血</x:t></x:r></x:is></x:c></x:row>"
        "</x:sheetData></x:worksheet>')\n"
        "z.close()\n"
        "# The same with the sheet cut off inside its last row: well zipped, badly formed.\n"
        "a = zipfile.ZipFile(sys.argv[1])\n"
        "b = zipfile.ZipFile(sys.argv[2], 'w', zipfile.ZIP_DEFLATED)\n"
        "for n in a.namelist(): b.writestr(n, a.read(n)[:-40] if n == 'xl/s.xml' else a.read(n))\n"
        "b.close()\n");
    const std::string path = folder.file("prefixed.xlsx");
    const std::string cut = folder.file("cut.xlsx");
    ASSERT_EQ(std::system(("/usr/bin/python3 " + script + " " + path + " " + cut).c_str()), 0);
    const WorkbookRead read = readWorkbook(path);
    ASSERT_EQ(read.refusal, "");
    EXPECT_EQ(read.sheets, (std::vector<std::string>{"結果"}));
    EXPECT_EQ(read.table.rows,
              (std::vector<std::vector<std::string>>{{"Ca", "メモ"}, {"9.5", "溶血"}}));
}

TEST(Workbook, ChoosesTheSheetByNumberOrName) {
    TempFolder folder;
    const std::string path = folder.file("two.xlsx");
    writeWithXlsxwriter(path, sheetCells(), false);
    EXPECT_EQ(readTableFile(path, "1").read.file.columns.size(), 5u);
    // The second sheet holds one word and no number: refused with the sheet's name.
    for (const char* sheet : {"2", "空"}) {
        const TableFileRead read = readTableFile(path, sheet);
        EXPECT_EQ(read.read.problem, FileProblem::Spreadsheet);
        EXPECT_EQ(tableFileMessage(read, "two.xlsx"),
                  "ファイル「two.xlsx」のシート「空」に数値がありません。");
    }
    EXPECT_EQ(tableFileMessage(readTableFile(path, "3"), "two.xlsx"),
              "ファイル「two.xlsx」にシート「3」がありません。");
}

TEST(Workbook, ReadsTheOlderBinaryWorkbook) {
    // tests/data/workbook_calcium.xls (LibreOffice, see its README): two sheets.
    const std::string path = std::string(KIJUNCHI_TEST_DATA) + "/workbook_calcium.xls";
    TableFileRead read = readTableFile(path);
    ASSERT_EQ(read.read.problem, FileProblem::None) << read.refusal;
    EXPECT_EQ(read.sheets, (std::vector<std::string>{"カルシウム", "日付"}));
    const auto& columns = read.read.file.columns;
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].heading, "Ca");
    EXPECT_EQ(columns[0].numbers,
              (std::vector<std::string>{"9.2", "9.4", "１０．１", "8.8", "9.05"}));
    EXPECT_EQ(columns[0].skipped, 1);
    EXPECT_EQ(columns[1].numbers, (std::vector<std::string>{"12.5"}));
    EXPECT_EQ(columns[1].skipped, 5);
    read = readTableFile(path, "日付");
    ASSERT_EQ(read.read.problem, FileProblem::None) << read.refusal;
    EXPECT_EQ(read.read.file.columns[0].numbers, (std::vector<std::string>{"45293", "36525"}));
    EXPECT_EQ(read.read.file.columns[1].numbers, (std::vector<std::string>{"3.25", "-0.5"}));
    EXPECT_EQ(read.notes.size(), 1u);  // the dates
}

TEST(Workbook, RefusesWhatItCannotReadWithOneMessage) {
    TempFolder folder;
    const std::string good = folder.file("good.xlsx");
    writeWithXlsxwriter(good, sheetCells(), false);
    const std::string bytes = TempFolder::read(good);

    std::string flipped = bytes;  // a byte of the compressed sheet changed: the check sum fails
    const std::size_t sheet = flipped.find("xl/worksheets/sheet1.xml");
    ASSERT_NE(sheet, std::string::npos);
    flipped[sheet + 40] = static_cast<char>(flipped[sheet + 40] ^ 0x55);

    // A compound file that holds an encrypted package names its stream "EncryptionInfo".
    std::string encrypted("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    encrypted.resize(1024, '\0');
    encrypted += std::string("E\0n\0c\0r\0y\0p\0t\0i\0o\0n\0I\0n\0f\0o\0", 28);
    encrypted.resize(2048, '\0');

    // workbook_calcium.xls with the name length of its fourth directory entry ("Ole", at
    // 5632 + 3 * 128 + 64: directory sector 10 of 512 bytes) raised from 10 bytes to 66, two
    // more than a name's field holds.
    std::string longName =
        TempFolder::read(std::string(KIJUNCHI_TEST_DATA) + "/workbook_calcium.xls");
    ASSERT_EQ(longName.substr(6080, 2), std::string("\x0A\x00", 2));
    longName.replace(6080, 2, std::string("\x42\x00", 2));

    // The same with the header of its last shared string (stream offset 1301: 1 character,
    // UTF-16) made to claim 65281 characters and formatting runs and an extension that lie past
    // the end of its record.
    std::string longString =
        TempFolder::read(std::string(KIJUNCHI_TEST_DATA) + "/workbook_calcium.xls");
    ASSERT_EQ(longString.substr(0xD15, 4), std::string("\x00\x01\x24\x50", 4));
    longString.replace(0xD15, 4, "\xFF\xFF\xFF\xFF");

    struct Case {
        const char* name;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"cut.xlsx", bytes.substr(0, bytes.size() / 2),
         "はブックとして読めません（壊れているか、途中で切れています）。"},
        {"flipped.xlsx", flipped, "はブックとして読めません（壊れているか、途中で切れています）。"},
        {"locked.xlsx", encrypted,
         "はパスワードで保護（暗号化）されたブックです。保護を解除して保存し直してから開いて下さい"
         "。"},
        {"bad.xls", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, 'x'),
         "はブックとして読めません（壊れているか、途中で切れています）。"},
        {"long_name.xls", longName,
         "はブックとして読めません（壊れているか、途中で切れています）。"},
        {"long_string.xls", longString,
         "はブックとして読めません（壊れているか、途中で切れています）。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TableFileRead read = readTableFile(folder.write(c.name, c.bytes));
        EXPECT_EQ(read.read.problem, FileProblem::Spreadsheet);
        EXPECT_EQ(read.refusal, c.message);
        EXPECT_TRUE(read.read.file.columns.empty());
    }
}

TEST(Workbook, RefusesAnArchiveThatExpandsBeyondTheLimit) {
    if (!haveOpenpyxl()) GTEST_SKIP() << "python3 of Debian missing: the zip bomb not built";
    TempFolder folder;
    // A sheet of 257 MB of blanks compresses to about 250 KB.
    const std::string script = folder.write(
        "bomb.py",
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
        "z.writestr('[Content_Types].xml', '<Types/>')\n"
        "z.writestr('xl/workbook.xml', '<workbook xmlns:r=\"r\"><sheets><sheet name=\"a\" "
        "r:id=\"rId1\"/></sheets></workbook>')\n"
        "z.writestr('xl/_rels/workbook.xml.rels', '<Relationships><Relationship Id=\"rId1\" "
        "Type=\"x/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>')\n"
        "with z.open('xl/worksheets/sheet1.xml', 'w', force_zip64=True) as f:\n"
        "    block = b' ' * (1 << 20)\n"
        "    for i in range(257): f.write(block)\n"
        "z.close()\n");
    const std::string path = folder.file("bomb.xlsx");
    ASSERT_EQ(std::system(("/usr/bin/python3 " + script + " " + path).c_str()), 0);
    const TableFileRead read = readTableFile(path);
    EXPECT_EQ(read.refusal, "は展開すると大きすぎます（256 MBまで読めます）。");
}

// A workbook of one sheet whose sheetData (and shared strings) are given as XML, zipped by
// python3's zipfile; empty when python3 is missing.
std::string bookOf(const TempFolder& folder, const std::string& name, const std::string& rows,
                   const std::string& shared = "<si><t>a</t></si>") {
    folder.write(name + ".sheet", "<worksheet><sheetData>" + rows + "</sheetData></worksheet>");
    folder.write(name + ".sst", "<sst>" + shared + "</sst>");
    const std::string script = folder.write(
        "book.py",
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
        "z.writestr('_rels/.rels', '<Relationships/>')\n"
        "z.writestr('xl/workbook.xml', '<workbook xmlns:r=\"r\"><sheets><sheet name=\"a\" "
        "r:id=\"rId1\"/></sheets></workbook>')\n"
        "z.writestr('xl/_rels/workbook.xml.rels', '<Relationships><Relationship Id=\"rId1\" "
        "Type=\"x/worksheet\" Target=\"s.xml\"/><Relationship Id=\"rId2\" "
        "Type=\"x/sharedStrings\" Target=\"t.xml\"/></Relationships>')\n"
        "z.write(sys.argv[2], 'xl/s.xml')\n"
        "z.write(sys.argv[3], 'xl/t.xml')\n"
        "z.close()\n");
    const std::string path = folder.file(name);
    const std::string command = "/usr/bin/python3 " + script + " " + path + " " +
                                folder.file(name + ".sheet") + " " + folder.file(name + ".sst");
    return std::system(command.c_str()) == 0 ? path : std::string();
}

std::string repeated(std::string_view piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(Workbook, HostileSheetsAreRefusedWithOneMessage) {
    TempFolder folder;
    const std::string numbers = repeated("<row><c><v>4.5</v></c></row>", 30);
    constexpr const char* kDamaged =
        "はブックとして読めません（壊れているか、途中で切れています）。";
    const struct {
        const char* name;
        std::string rows;
        const char* refusal;
    } cases[] = {
        // Every comparison with NaN is false: the index must be proven inside the table.
        {"nan.xlsx", numbers + "<row><c t=\"s\"><v>nan</v></c></row>", kDamaged},
        {"half.xlsx", numbers + "<row><c t=\"s\"><v>0.5</v></c></row>", kDamaged},
        {"past.xlsx", numbers + "<row><c t=\"s\"><v>1</v></c></row>", kDamaged},
        {"deep.xlsx", "<row><c>" + repeated("<x>", 5000) + repeated("</x>", 5000) + "</c></row>",
         kDamaged},
        {"long.xlsx",
         numbers + "<row><c t=\"inlineStr\"><is><t>" + std::string(70000, '9') +
             "</t></is></c></row>",
         "には長すぎるセルがあります（1つのセルは64 KiBまで読めます）。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = bookOf(folder, c.name, c.rows);
        if (path.empty()) GTEST_SKIP() << "python3 missing: the workbooks not built";
        const TableFileRead read = readTableFile(path);
        EXPECT_EQ(read.read.problem, FileProblem::Spreadsheet);
        EXPECT_EQ(read.refusal, c.refusal);
        std::string message;
        EXPECT_FALSE(TableReader::open(path, message, "1"));
        EXPECT_EQ(message, "ファイル「" + path + "」" + c.refusal);
    }
}

// A cell at the sheet's last column (XFD is column 16384) stands in that column in every
// reading; the empty cells before it cost nothing (the memory and time of a million such rows
// are measured in bench/). Cells named out of order, or one column twice, as the XML says them.
TEST(Workbook, FarCellsStandInTheirColumnsInEveryReading) {
    TempFolder folder;
    std::string rows = "<row><c r=\"A1\" t=\"inlineStr\"><is><t>sex</t></is></c></row>";
    for (int r = 2; r <= 41; ++r) {
        const std::string n = std::to_string(r);
        rows += "<row><c r=\"XFD" + n + "\"><v>" + n + ".5</v></c><c r=\"A" + n +
                "\" t=\"inlineStr\"><is><t>" + (r % 2 ? "M" : "F") + "</t></is></c><c r=\"C" + n +
                "\"><v>9</v></c><c r=\"C" + n + "\"><v>" + n + "</v></c></row>";
    }
    const std::string path = bookOf(folder, "far.xlsx", rows);
    if (path.empty()) GTEST_SKIP() << "python3 missing: the workbook not built";
    const TableFileRead read = readTableFile(path);
    ASSERT_EQ(read.read.problem, FileProblem::None) << read.refusal;
    const auto& columns = read.read.file.columns;
    ASSERT_EQ(columns.size(), 16384u);
    EXPECT_EQ(columns[16383].heading, "列16384");
    EXPECT_EQ(columns[16383].count, 40);
    EXPECT_EQ(columns[16383].numbers.front(), "2.5");
    EXPECT_EQ(columns[2].count, 40);
    EXPECT_EQ(columns[2].numbers.front(), "2");  // the cell named last
    EXPECT_EQ(columns[1].skipped, 40);
    EXPECT_EQ(columns[9999].skipped, 40);

    // The batch's row reader: the same column by its number, counted the same, per group.
    std::string message;
    auto table = TableReader::open(path, message, "1");
    ASSERT_TRUE(table) << message;
    EXPECT_EQ(table->findColumn("16384"), 16383u);
    const DataFileResult again = readDataTable(*table);
    EXPECT_EQ(again.file.columns.at(16383).count, 40);
    EXPECT_EQ(again.file.columns.at(16383).skipped, 0);
    EXPECT_EQ(again.file.columns.at(5000).skipped, 40);
    BatchOptions options;
    options.groupColumn = 0;
    options.threads = 1;
    std::vector<BatchRow> far;
    runBatch(
        *table, options, [](const std::vector<double>&, BatchRow&) {},
        [&](const BatchRow& r) {
            if (r.analyte == "列16384" || r.analyte == "列3") far.push_back(r);
        });
    ASSERT_EQ(far.size(), 4u);  // two analytes, two groups each
    for (const BatchRow& r : far) EXPECT_EQ(r.n, 20) << r.analyte << " " << r.group;
}

TEST(Workbook, TextCellsAreReadByTheDataFilesRuleInEveryReading) {
    TempFolder folder;
    // By hand: "1,234" is 1234 with a thousands separator; "1.100,5" and "1.2.3" have their
    // marks out of place; "1e999" and "-1e400" lie beyond a double; "mg" is text.
    std::string rows = repeated("<row><c><v>2</v></c></row>", 20);
    for (const char* t : {"1,234", "1.100,5", "1e999", "-1e400", "1.2.3", "mg"})
        rows += std::string("<row><c t=\"inlineStr\"><is><t>") + t + "</t></is></c></row>";
    const std::string path = bookOf(folder, "texts.xlsx", rows);
    if (path.empty()) GTEST_SKIP() << "python3 missing: the workbook not built";
    const TableFileRead read = readTableFile(path);
    ASSERT_EQ(read.read.problem, FileProblem::None) << read.refusal;
    const DataColumn& column = read.read.file.columns.at(0);
    EXPECT_EQ(column.count, 21);
    EXPECT_EQ(column.grouped, 1);
    EXPECT_EQ(column.malformed, 2);
    EXPECT_EQ(column.outOfRange, 2);
    EXPECT_EQ(column.skipped, 1);
    EXPECT_EQ(column.numbers.back(), "1234");
    // The row reader of the batch counts the same column the same.
    std::string message;
    auto table = TableReader::open(path, message, "1");
    ASSERT_TRUE(table) << message;
    const DataFileResult again = readDataTable(*table);
    ASSERT_EQ(again.file.columns.size(), 1u);
    EXPECT_EQ(again.file.columns[0].count, column.count);
    EXPECT_EQ(again.file.columns[0].malformed, column.malformed);
    EXPECT_EQ(again.file.columns[0].outOfRange, column.outOfRange);
}

}  // namespace
}  // namespace kijunchi
