#pragma once
// Shared helpers of the fuzz targets: how a violated property stops the run, and the checks
// that several targets apply to the texts the core produces.
#include <unistd.h>

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

// The bytes written to a file of this process's own, /tmp/kijunchi-fuzz-<name>-<pid><suffix>,
// for the readers that take a path; the same path each time, so one file per process.
inline std::string writeInputFile(std::string_view name, std::string_view bytes,
                                  std::string_view suffix = {}) {
    const std::string path = "/tmp/kijunchi-fuzz-" + std::string(name) + "-" +
                             std::to_string(::getpid()) + std::string(suffix);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    require(f != nullptr, "the fuzz target can write its file");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

// True when the text holds a word "nan", "inf" or "infinity" in any letter case: the marks a
// non-finite number leaves where a number should stand. A word is a run of ASCII letters, so
// "info" or "banana" in a label is no mark. A word that also stands in `echoed` (the input, whose
// labels the output repeats) is the user's own text, not a number. (The fixed texts of the program
// hold no such word; Japanese text is multi-byte and never matches.)
inline bool hasNonFiniteMark(std::string_view text, std::string_view echoed = {}) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    auto lowered = [&](std::string_view s) {
        std::string out(s);
        for (char& c : out) c = lower(c);
        return out;
    };
    auto isWordIn = [&](std::string_view haystack, const std::string& word) {
        for (std::size_t at = haystack.find(word); at != std::string_view::npos;
             at = haystack.find(word, at + 1)) {
            const bool before = at > 0 && letter(haystack[at - 1]);
            const std::size_t end = at + word.size();
            const bool after = end < haystack.size() && letter(haystack[end]);
            if (!before && !after) return true;
        }
        return false;
    };
    const std::string input = lowered(echoed);
    for (std::size_t i = 0; i < text.size();) {
        if (!letter(text[i])) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < text.size() && letter(text[j])) ++j;
        const std::string word = lowered(text.substr(i, j - i));
        if ((word == "nan" || word == "inf" || word == "infinity") && !isWordIn(input, word))
            return true;
        i = j;
    }
    return false;
}

inline void requireCleanText(std::string_view text, const char* what,
                             std::string_view echoed = {}) {
    if (hasNonFiniteMark(text, echoed)) fail(what, text);
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
