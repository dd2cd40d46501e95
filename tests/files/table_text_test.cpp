#include "files/table_text.h"

#include <gtest/gtest.h>

#include <string>

namespace kijunchi {
namespace {

// 性別,女 in UTF-8, Shift_JIS and UTF-16 (little-endian, with its byte order mark).
const std::string kUtf8 = "\xE6\x80\xA7\xE5\x88\xA5,\xE5\xA5\xB3\r\n";
const std::string kShiftJis = "\x90\xAB\x95\xCA,\x8F\x97\r\n";
const std::string kUtf16(
    "\xFF\xFE\x27\x60\x25\x52"
    ",\0\x73\x59\r\0\n\0",
    14);

// The text decoded from blocks of one byte each, as a file whose blocks cut every sequence.
std::string byteByByte(TextEncoding encoding, const std::string& bytes, bool& ok) {
    TextDecoder decoder(encoding);
    std::string out;
    ok = true;
    for (char c : bytes) ok = decoder.decode(std::string_view(&c, 1), out) && ok;
    ok = ok && decoder.complete();
    return out;
}

TEST(TableText, DecodingGivesTheSameTextWhereverTheBlocksAreCut) {
    for (const auto& [encoding, bytes] :
         {std::pair{TextEncoding::ShiftJis, kShiftJis}, std::pair{TextEncoding::Utf16, kUtf16}}) {
        TextDecoder whole(encoding);
        std::string out;
        EXPECT_TRUE(whole.decode(bytes, out));
        EXPECT_TRUE(whole.complete());
        EXPECT_EQ(out, kUtf8);
        bool ok = false;
        EXPECT_EQ(byteByByte(encoding, bytes, ok), kUtf8);
        EXPECT_TRUE(ok);
    }
    // A lead byte at the very end is a text cut short; a lone continuation byte is no CP932.
    bool ok = true;
    byteByByte(TextEncoding::ShiftJis, "1,\x8F", ok);
    EXPECT_FALSE(ok);
    TextDecoder bad(TextEncoding::ShiftJis);
    std::string out;
    EXPECT_FALSE(bad.decode("\x81\x20", out));
}

TEST(TableText, TheEncodingIsJudgedOnAllBlocksTogether) {
    auto choose = [](const std::string& bytes, std::size_t block, TextEncoding& encoding) {
        EncodingScan scan;
        for (std::size_t i = 0; i < bytes.size(); i += block)
            scan.feed(std::string_view(bytes).substr(i, block));
        return chooseEncoding(bytes, scan, encoding);
    };
    for (std::size_t block : {1u, 2u, 3u, 1000u}) {
        TextEncoding encoding{};
        EXPECT_EQ(choose(kUtf8, block, encoding), FileProblem::None);
        EXPECT_EQ(encoding, TextEncoding::Utf8) << block;
        EXPECT_EQ(choose(kShiftJis, block, encoding), FileProblem::None);
        EXPECT_EQ(encoding, TextEncoding::ShiftJis) << block;
        EXPECT_EQ(choose(kUtf16, block, encoding), FileProblem::None);
        EXPECT_EQ(encoding, TextEncoding::Utf16) << block;
        EXPECT_EQ(choose("\xEF\xBB\xBF" + kShiftJis, block, encoding), FileProblem::None);
        EXPECT_EQ(encoding, TextEncoding::Utf8WithBom) << block;
        // UTF-8 cut short at the end of the file is not UTF-8.
        EXPECT_EQ(choose("1\r\n\xE5\xA5", block, encoding), FileProblem::None);
        EXPECT_EQ(encoding, TextEncoding::ShiftJis) << block;
        EXPECT_EQ(choose(std::string("1\0"
                                     "2",
                                     3),
                         block, encoding),
                  FileProblem::Binary);
    }
}

TEST(TableText, FieldsLayoutAndNumbers) {
    FieldSplitter splitter;
    EXPECT_TRUE(
        splitter.split(" \"a;\"\"b\"\" \" ;\xE3\x80\x80"
                       "12,5\xE3\x80\x80;",
                       ';'));
    EXPECT_EQ(splitter.fields(), (std::vector<std::string_view>{"a;\"b\"", "12,5", ""}));
    EXPECT_FALSE(splitter.split(" ; ;\"\"", ';'));

    const TableLayout comma = detectLayout({"Ca;Sex", "9,5;F", "10;M"});
    EXPECT_EQ(comma.separator, ';');
    EXPECT_TRUE(comma.decimalComma);
    EXPECT_EQ(fieldNumber("9,5", true), 9.5);
    EXPECT_EQ(fieldNumber("9,5", false), 9.0);
    EXPECT_EQ(fieldNumber("12 mg/dL", false), 12.0);
    EXPECT_FALSE(isNumberField("mg/dL", false));
    const TableLayout tabs = detectLayout({"a\tb,c", "1\t2,5"});
    EXPECT_EQ(tabs.separator, '\t');
    EXPECT_FALSE(tabs.decimalComma);
    EXPECT_EQ(detectLayout({"1", "2"}).separator, 0);

    // A first row is the headings when most of its filled fields are not numbers.
    EXPECT_TRUE(isHeadingRow({"Ca", "2024", "Sex"}, false));
    EXPECT_FALSE(isHeadingRow({"Ca", "2024", "", "7"}, false));
    // Columns are named by number before heading, from 1.
    const std::vector<std::string> headings{"2", "Ca"};
    EXPECT_EQ(findColumn(headings, "2"), 1u);
    EXPECT_EQ(findColumn(headings, "Ca"), 1u);
    EXPECT_FALSE(findColumn(headings, "0"));
    EXPECT_FALSE(findColumn(headings, "Na"));
}

TEST(TableText, LinesEndAtCrLfLfOrALoneCr) {
    LineReader lines("a\r\nb\rc\n\nd");
    std::vector<std::string_view> got;
    std::string_view line;
    while (lines.next(line)) got.push_back(line);
    EXPECT_EQ(got, (std::vector<std::string_view>{"a", "b", "c", "", "d"}));
}

}  // namespace
}  // namespace kijunchi
