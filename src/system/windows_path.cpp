#include "system/windows_path.h"

#include <algorithm>

#include "formats/text.h"
#include "system/error.h"

namespace zarvo::winpath {

namespace {

bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

Parsed parse(std::string_view path, char defaultDrive) {
    if (path.find('\0') != std::string_view::npos) throw Error(err::BadFileName);
    std::string p(path);
    std::replace(p.begin(), p.end(), '/', '\\');
    Parsed parsed;
    parsed.drive = defaultDrive;
    std::string_view rest = p;
    if (p.size() >= 2 && p[1] == ':' && isAsciiLetter(p[0])) {
        parsed.drive = p[0] >= 'a' ? static_cast<char>(p[0] - 'a' + 'A') : p[0];
        rest.remove_prefix(2);
    } else if (p.starts_with("\\\\")) {
        throw Error(err::PathNotFound);  // a network share: there is no network
    }
    parsed.parts = components(rest, '\\');
    return parsed;
}

std::vector<std::string> components(std::string_view path, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(separator, start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.emplace_back(part);
        }
        start = end + 1;
    }
    return parts;
}

std::string foldedName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    std::size_t i = 0;
    while (i < name.size()) {
        const auto lead = static_cast<unsigned char>(name[i]);
        if (lead < 0x80) {
            out += static_cast<char>(text::toLower(lead));
            ++i;
            continue;
        }
        // Every letter that folds is below U+0800: two bytes in UTF-8.
        if ((lead & 0xE0) == 0xC0 && i + 1 < name.size() &&
            (static_cast<unsigned char>(name[i + 1]) & 0xC0) == 0x80) {
            const char32_t raw =
                ((lead & 0x1F) << 6) | (static_cast<unsigned char>(name[i + 1]) & 0x3F);
            // An overlong form of ASCII is no letter.
            const char32_t cp = raw < 0x80 ? raw : text::toLower(raw);
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
            i += 2;
            continue;
        }
        out += name[i++];
    }
    return out;
}

bool sameName(std::string_view a, std::string_view b) {
    return foldedName(a) == foldedName(b);
}

}  // namespace zarvo::winpath
