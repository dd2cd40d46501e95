// The batch table written as a workbook reads back (openpyxl) as its TSV, number for number.
#include "study/batch_workbook.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_files.h"

namespace kijunchi {
namespace {

using testing::TempFolder;

std::vector<std::vector<std::string>> tsvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        fields.push_back(line.substr(start));
        rows.push_back(fields);
    }
    return rows;
}

TEST(BatchWorkbook, ReadsBackAsItsTsvNumberForNumber) {
    if (std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "openpyxl missing (python3-openpyxl): the workbook not read back";
    std::vector<BatchRow> rows(3);
    rows[0].analyte = "Ca, mg/dL";
    rows[0].group = "女";
    rows[0].n = 120;
    rows[0].npLower = 8.765432;
    rows[0].npUpper = 10.23456;
    rows[0].lambda = -0.000123456;
    rows[0].pChiSquare = 1.5e-12;
    rows[0].outliers = 2;
    rows[0].sdr = 0.4567;
    rows[0].recommendation = "ノンパラメトリック";
    rows[0].partition = "グループごと";
    rows[1].analyte = "ALP";
    rows[1].group = "男";
    rows[1].n = 19;
    rows[1].paramLower = 1234567.0;
    rows[1].message = "値が20個未満のため、基準範囲は推奨できません。";
    rows[2].analyte = "\"引用\"";
    rows[2].message = "数値がありません。";

    TempFolder folder;
    std::ostringstream tsv;
    BatchWriter writer(tsv, BatchFormat::Tsv, true);
    for (const auto& r : rows) writer.row(r);
    writer.finish();
    const std::string path = folder.file("batch.xlsx");
    ASSERT_EQ(writeBatchWorkbook(path, rows, true), "");

    // Each cell as a line: "n <repr>" for a number, "s <text>" for a string, "-" for none.
    const std::string script = folder.write(
        "dump.py",
        "import sys, openpyxl\n"
        "wb = openpyxl.load_workbook(sys.argv[1])\n"
        "ws = wb.active\n"
        "print(len(wb.sheetnames), ws.freeze_panes)\n"
        "for row in ws.iter_rows(values_only=True):\n"
        "    print('\\t'.join('' if v is None else ('n' + repr(float(v)) if isinstance(v, (int, "
        "float)) else 's' + v) for v in row))\n");
    const std::string out = folder.file("dump.txt");
    ASSERT_EQ(std::system(("/usr/bin/python3 " + script + " " + path + " > " + out).c_str()), 0);
    std::vector<std::vector<std::string>> book = tsvRows(TempFolder::read(out));
    ASSERT_FALSE(book.empty());
    EXPECT_EQ(book.front(), (std::vector<std::string>{"1 A2"}));  // one sheet, headings frozen
    book.erase(book.begin());

    const auto expected = tsvRows(tsv.str());
    ASSERT_EQ(book.size(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r) {
        ASSERT_EQ(book[r].size(), expected[r].size()) << "row " << r;
        for (std::size_t c = 0; c < expected[r].size(); ++c) {
            SCOPED_TRACE("row " + std::to_string(r) + " column " + std::to_string(c));
            const std::string& want = expected[r][c];
            const std::string& got = book[r][c];
            if (want.empty()) {
                EXPECT_EQ(got, "");
            } else if (r > 0 && got.rfind("n", 0) == 0) {
                EXPECT_EQ(std::strtod(got.c_str() + 1, nullptr), std::strtod(want.c_str(), nullptr))
                    << want;
            } else {
                EXPECT_EQ(got, "s" + want);
            }
        }
    }
}

TEST(BatchWorkbook, WritesWholeOrNotAtAll) {
    TempFolder folder;
    const std::string missing = folder.file("no-such-folder/batch.xlsx");
    EXPECT_NE(writeBatchWorkbook(missing, {}, false), "");
    const std::string kept = folder.write("batch.tsv", "earlier");
    // A folder where the file should be: the rename fails, the earlier file stays.
    EXPECT_NE(writeFileWhole(folder.path().string(), "new"), "");
    EXPECT_EQ(writeFileWhole(kept, "new"), "");
    EXPECT_EQ(TempFolder::read(kept), "new");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path()))
        ++files;
    EXPECT_EQ(files, 1u);  // no temporary file left behind
}

TEST(BatchWorkbook, RefusesADeviceAndACellLongerThanACellHolds) {
    TempFolder folder;
    BatchRow row;
    row.analyte = std::string(32768, 'A');  // one character more than a cell holds
    const std::string kept = folder.write("batch.xlsx", "earlier");
    const std::string refused = writeBatchWorkbook(kept, {row}, false);
    EXPECT_NE(refused.find("32,767"), std::string::npos) << refused;
    EXPECT_EQ(TempFolder::read(kept), "earlier");
    // The indirect table's sheet: a cell too long, or a 16,385th column, refuses it whole too.
    const std::string tooWide = "h\n" + std::string(16384, '\t') + "1\n";
    for (const auto& [tsv, why] :
         {std::pair{"h\n" + row.analyte + "\n", std::string("32,767")}, {tooWide, "16,384列"}}) {
        const std::string refusedTsv = writeTsvWorkbook(kept, "間接法", tsv);
        EXPECT_NE(refusedTsv.find(why), std::string::npos) << refusedTsv;
        EXPECT_EQ(TempFolder::read(kept), "earlier");
    }
    row.analyte.pop_back();
    EXPECT_EQ(writeBatchWorkbook(kept, {row}, false), "");
    // A device is never replaced by a file: /dev/full stays the device it is.
    for (const std::string& written :
         {writeBatchWorkbook("/dev/full", {row}, false), writeFileWhole("/dev/full", "x")})
        EXPECT_EQ(written,
                  "ファイル「/dev/full」には書き込めません（通常のファイルではありません）。");
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path()))
        ++files;
    EXPECT_EQ(files, 1u);  // no temporary file left behind
}

}  // namespace
}  // namespace kijunchi
