#pragma once
// Shared helpers of the fuzz targets: how a violated property stops the run, and the checks
// that several targets apply to the texts the core produces.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kijunchi::fuzz {

// Prints the property and what was seen, then aborts so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* property, std::string_view detail = {}) {
    std::fprintf(stderr, "\n*** PROPERTY VIOLATED: %s\n", property);
    if (!detail.empty()) {
        const int shown = static_cast<int>(detail.size() < 4000 ? detail.size() : 4000);
        std::fprintf(stderr, "*** detail: %.*s\n", shown, detail.data());
    }
    std::fflush(stderr);
    std::abort();
}

inline void require(bool ok, const char* property, std::string_view detail = {}) {
    if (!ok) fail(property, detail);
}

// True when the text holds "nan" or "inf" in any letter case: the marks a non-finite number
// leaves where a number should stand. (The fixed texts of the program hold neither; Japanese
// text is multi-byte and never matches.)
inline bool hasNonFiniteMark(std::string_view text) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i + 3 <= text.size(); ++i) {
        const char a = lower(text[i]), b = lower(text[i + 1]), c = lower(text[i + 2]);
        if ((a == 'n' && b == 'a' && c == 'n') || (a == 'i' && b == 'n' && c == 'f')) return true;
    }
    return false;
}

inline void requireCleanText(std::string_view text, const char* what) {
    if (hasNonFiniteMark(text)) fail(what, text);
}

inline void requireFinite(double v, const char* what) {
    if (!std::isfinite(v)) fail(what, std::to_string(v));
}

// Bytes as a printable escape sequence, for failure messages.
inline std::string escaped(std::string_view bytes, std::size_t limit = 200) {
    std::string out;
    static const char* hex = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    if (bytes.size() > limit) out += "...";
    return out;
}

}  // namespace kijunchi::fuzz
