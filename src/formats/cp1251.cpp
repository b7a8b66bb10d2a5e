#include "formats/cp1251.h"

#include <array>
#include <cstdint>

#include "formats/text.h"

namespace zarvo::cp1251 {

namespace {

// Bytes 0x80-0xBF; 0xC0-0xFF are U+0410-U+044F in order and 0x00-0x7F are ASCII.
constexpr std::array<char32_t, 64> kHighTable = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

constexpr char32_t toUnicode(unsigned char b) {
    if (b < 0x80) return b;
    if (b >= 0xC0) return 0x0410 + (b - 0xC0);
    return kHighTable[b - 0x80];
}

constexpr std::optional<unsigned char> fromUnicode(char32_t cp) {
    if (cp < 0x80) return static_cast<unsigned char>(cp);
    if (cp >= 0x0410 && cp <= 0x044F) return static_cast<unsigned char>(0xC0 + (cp - 0x0410));
    for (unsigned i = 0; i < kHighTable.size(); ++i) {
        if (kHighTable[i] == cp) return static_cast<unsigned char>(0x80 + i);
    }
    return std::nullopt;
}

constexpr std::array<unsigned char, 256> makeLowerTable() {
    std::array<unsigned char, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        auto lower = fromUnicode(text::toLower(toUnicode(static_cast<unsigned char>(b))));
        table[b] = lower ? *lower : static_cast<unsigned char>(b);
    }
    return table;
}

constexpr std::array<unsigned char, 256> kLowerTable = makeLowerTable();

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::optional<std::string> fromUtf8(std::string_view utf8) {
    const auto characters = text::decodeUtf8(utf8);
    if (!characters) return std::nullopt;
    std::string out;
    out.reserve(characters->size());
    for (const char32_t cp : *characters) {
        const auto byte = fromUnicode(cp);
        if (!byte) return std::nullopt;
        out += static_cast<char>(*byte);
    }
    return out;
}

std::string toUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) appendUtf8(out, toUnicode(static_cast<unsigned char>(c)));
    return out;
}

char toLower(char c) {
    return static_cast<char>(kLowerTable[static_cast<unsigned char>(c)]);
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (toLower(a[i]) != toLower(b[i])) return false;
    }
    return true;
}

}  // namespace zarvo::cp1251
