#pragma once
// One small laboratory export in the forms data files come in: headings, a column of sample
// numbers that hold no number, a blank and a "n.d." field. Read by hand, the columns are
//   検体番号    0 values, 5 skipped
//   カルシウム  9.2 9.8 10.1, 2 skipped (n.d. and the blank)
//   無機リン    3.4 3.1 2.9 3.6, 1 skipped (the blank)
#include <string>
#include <vector>

namespace kijunchi::testing::lab {

inline const std::vector<std::string> kCalcium = {"9.2", "9.8", "10.1"};
inline const std::vector<std::string> kPhosphorus = {"3.4", "3.1", "2.9", "3.6"};

inline std::string rows(const std::string& separator, bool decimalComma = false,
                        const std::string& lineEnd = "\r\n") {
    const char* cells[6][3] = {{"A001", "9.2", "3.4"},
                               {"A002", "n.d.", "3.1"},
                               {"A003", "", "2.9"},
                               {"A004", "9.8", ""},
                               {"A005", "10.1", "3.6"}};
    std::string text;
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 3; ++c) {
            std::string cell = cells[r][c];
            if (decimalComma)
                for (char& ch : cell)
                    if (ch == '.' && cell != "n.d.") ch = ',';
            text += (c ? separator : "") + cell;
        }
        text += lineEnd;
    }
    return text;
}

inline const std::string kHeadingsUtf8 = "検体番号,カルシウム,無機リン\r\n";

// Comma-separated UTF-8 without a byte order mark, CR LF.
inline std::string csvUtf8() {
    return kHeadingsUtf8 + rows(",");
}

// Comma-separated Shift_JIS as a Japanese spreadsheet saves it (bytes from the JIS X 0208
// code table).
inline std::string csvShiftJis() {
    return std::string(
               "\x8C\x9F\x91\xCC\x94\xD4\x8D\x86,"  // 検体番号
               "\x83J\x83\x8B\x83V\x83"
               "E\x83\x80,"  // カルシウム
               "\x96\xB3\x8B@\x83\x8A\x83\x93\r\n") +
           rows(",");  // 無機リン
}

// TAB-separated UTF-8 with a byte order mark, LF only.
inline std::string tsvUtf8Bom() {
    return "\xEF\xBB\xBF"
           "検体番号\tカルシウム\t無機リン\n" +
           rows("\t", false, "\n");
}

// Semicolons between the fields and "," as decimal mark, lone CR line ends.
inline std::string semicolonDecimalComma() {
    return "検体番号;カルシウム;無機リン\r" + rows(";", true, "\r");
}

// UTF-16 (little endian, with its byte order mark), TAB-separated, as spreadsheets save
// "Unicode text".
inline std::string tsvUtf16() {
    std::u16string text = u"検体番号\tカルシウム\t無機リン\r\n";
    for (char c : rows("\t")) text += static_cast<char16_t>(c);
    std::string bytes = "\xFF\xFE";
    for (char16_t u : text) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

}  // namespace kijunchi::testing::lab
