#include "system/image/fat_names.h"

#include <algorithm>
#include <array>
#include <optional>

#include "formats/text.h"

namespace zarvo::image {

namespace {

constexpr unsigned kLongNameChars = 13;  // UTF-16 units in one long-name entry
constexpr unsigned kMostSlots = 1 + (255 + kLongNameChars - 1) / kLongNameChars;

bool isUpper(char32_t c) {
    return text::toLower(c) != c;
}

bool isLower(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= 0x00E0 && c <= 0x00FE && c != 0x00F7) ||
           (c >= 0x0430 && c <= 0x045F) || c == 0x0491;
}

// What mtools writes into a bare 8.3 name as it is: Latin letters and
// digits, the punctuation DOS allows, and the Cyrillic of code page 866.
bool isPlain(char32_t c) {
    constexpr std::u32string_view kPunctuation = U"!#$%&()-@^_`{}~";
    return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9') ||
           kPunctuation.find(c) != std::u32string_view::npos || (c >= 0x0410 && c <= 0x044F) ||
           c == 0x0401 || c == 0x0451;
}

bool mixedCase(std::u32string_view part) {
    return std::any_of(part.begin(), part.end(), isUpper) &&
           std::any_of(part.begin(), part.end(), isLower);
}

bool lowerCase(std::u32string_view part) {
    return !std::any_of(part.begin(), part.end(), isUpper) &&
           std::any_of(part.begin(), part.end(), isLower);
}

// The base and the extension of a name of 8.3 shape; nullopt for any other.
struct Parts {
    std::u32string_view base;
    std::u32string_view extension;
};
std::optional<Parts> shortParts(std::u32string_view name) {
    const std::size_t dot = name.find(U'.');
    if (dot == 0 || (dot != std::u32string_view::npos &&
                     name.find(U'.', dot + 1) != std::u32string_view::npos)) {
        return std::nullopt;
    }
    Parts parts{name.substr(0, dot), {}};
    if (dot != std::u32string_view::npos) {
        parts.extension = name.substr(dot + 1);
        if (parts.extension.empty()) return std::nullopt;
    }
    if (parts.base.size() > 8 || parts.extension.size() > 3) return std::nullopt;
    return parts;
}

// Device names, which mtools gives a long name and a mangled short one.
bool reserved(std::u32string_view base) {
    constexpr std::array<std::u32string_view, 12> kDevices = {U"CON",  U"AUX",  U"PRN",  U"NUL",
                                                              U"COM1", U"COM2", U"COM3", U"COM4",
                                                              U"LPT1", U"LPT2", U"LPT3", U"LPT4"};
    std::u32string upper(base);
    for (char32_t& c : upper)
        if (c >= U'a' && c <= U'z') c -= 0x20;
    return std::find(kDevices.begin(), kDevices.end(), upper) != kDevices.end();
}

unsigned withLongName(std::u32string_view name) {
    std::size_t units = 0;
    for (char32_t c : name) units += c > 0xFFFF ? 2 : 1;
    return 1 + static_cast<unsigned>((units + kLongNameChars - 1) / kLongNameChars);
}

}  // namespace

EntrySlots entrySlots(std::string_view name) {
    const auto decoded = text::decodeUtf8(name);
    // Not UTF-8: no count can be trusted, so the widest bounds.
    if (!decoded) return {1, kMostSlots};
    const std::u32string_view chars = *decoded;
    const unsigned longSlots = withLongName(chars);
    const auto parts = shortParts(chars);
    if (!parts) return {longSlots, longSlots};
    EntrySlots slots;
    const bool mixed = mixedCase(parts->base) || mixedCase(parts->extension);
    // Only a name whose case the 8.3 entry cannot hold is sure to have a
    // long name; one with other characters may have been written bare.
    slots.least = mixed ? longSlots : 1;
    const bool plain = std::all_of(parts->base.begin(), parts->base.end(), isPlain) &&
                       std::all_of(parts->extension.begin(), parts->extension.end(), isPlain);
    slots.most = plain && !mixed && !reserved(parts->base) ? 1 : longSlots;
    return slots;
}

bool renamesInPlace(std::string_view from, std::string_view to) {
    return entrySlots(to).most <= entrySlots(from).least;
}

LowerCase lowerCaseOf(std::string_view name) {
    const auto decoded = text::decodeUtf8(name);
    if (!decoded) return {};
    const std::u32string_view chars = *decoded;
    const std::size_t dot = chars.find_last_of(U'.');
    if (dot == std::u32string_view::npos) return {lowerCase(chars), false};
    return {lowerCase(chars.substr(0, dot)), lowerCase(chars.substr(dot + 1))};
}

}  // namespace zarvo::image
