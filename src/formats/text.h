#pragma once

// What the text formats share: their lines, the blanks around a value, and
// the case folding by which Windows compares names. Byte-oriented; the
// caller knows the encoding.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarvo::text {

// One line of a text: where it starts and where the next one starts, and
// its content without the line end ("\r\n" or "\n").
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string_view content;
};

// Every line, the last one even without a line end; none for "".
std::vector<Line> splitLines(std::string_view text);

// Without the blanks and tabs at either end.
std::string_view trimmed(std::string_view s);

// The characters of UTF-8 text; nullopt when it is not UTF-8 (overlong
// forms, which would let a second spelling of ASCII through, included).
std::optional<std::u32string> decodeUtf8(std::string_view utf8);

// Lower case of a letter as Windows 98 compares registry names, INI keys
// and long file names: Latin, Latin-1 and Cyrillic letters; everything else
// is its own lower case. constexpr, so that code page tables can be made
// from it at compile time.
constexpr char32_t toLower(char32_t cp) {
    if (cp >= U'A' && cp <= U'Z') return cp + 0x20;
    if (cp >= 0x00C0 && cp <= 0x00DE && cp != 0x00D7) return cp + 0x20;  // À-Þ but ×
    if (cp >= 0x0410 && cp <= 0x042F) return cp + 0x20;
    if (cp >= 0x0400 && cp <= 0x040F) return cp + 0x50;
    if (cp == 0x0490) return 0x0491;
    return cp;
}

}  // namespace zarvo::text
