#include "changes/originals_ini.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <string_view>
#include <utility>

#include "changes/program_folder.h"
#include "changes/screen_files.h"
#include "formats/ini_text.h"
#include "formats/regedit4.h"
#include "system/error.h"
#include "system/system.h"
#include "system/windows_path.h"

namespace zarvo::originalsini {

namespace {

using Item = KeptItem;

const std::string kHeader =
    "; The first originals Zarvo replaced on this drive. \"zarvo --restore\" puts\r\n"
    "; them back; on Windows, UNDO.REG puts back the registry values.\r\n";

// INI readers trim spaces and quotes around a value and stop at a line end;
// those characters, and '%', are written as %XX so that data comes back as
// it was.
std::string escaped(std::string_view data) {
    std::string out;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        const bool edge = i == 0 || i + 1 == data.size();
        if (c < 0x20 || c == 0x7F || c == '%' || c == ';' ||
            (edge && (c == ' ' || c == '"' || c == '\''))) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return out;
}

std::optional<std::string> unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned value = 0;
        if (i + 3 > text.size()) return std::nullopt;
        const auto [end, ec] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (ec != std::errc() || end != text.data() + i + 3) return std::nullopt;
        out += char(value);
        i += 2;
    }
    return out;
}

// Attributes are written as ATTRIB shows them.
constexpr std::array<std::pair<char, unsigned>, 4> kAttributeLetters = {
    {{'R', attr::ReadOnly}, {'H', attr::Hidden}, {'S', attr::System}, {'A', attr::Archive}}};

std::string attributeLetters(unsigned bits) {
    std::string letters;
    for (const auto& [letter, bit] : kAttributeLetters)
        if (bits & bit) letters += letter;
    return letters;
}

unsigned attributesFromLetters(std::string_view letters) {
    unsigned bits = 0;
    for (const auto& [letter, bit] : kAttributeLetters)
        if (letters.find(letter) != std::string_view::npos) bits |= bit;
    return bits;
}

// The file's text, read once, and its keys' values in UTF-8.
class Text {
public:
    Text(ISystem& system, std::string text) : system_(system), text_(std::move(text)) {}

    std::optional<std::string> get(std::string_view section, std::string_view key) const {
        const auto value = ini::value(text_, section, key);
        if (!value) return std::nullopt;
        return system_.utf8FromAnsi(*value);
    }

    // Record `index`, from 1; nullopt when it is damaged.
    std::optional<Item> item(int index) const;

private:
    ISystem& system_;
    std::string text_;
};

std::optional<Item> Text::item(int index) const {
    const std::string section = "Item" + std::to_string(index);
    auto get = [&](std::string_view key) { return this->get(section, key); };
    const auto kind = get("Kind");
    const auto original = get("Original");
    if (!kind || !original) return std::nullopt;
    Item item;
    item.existed = *original == "Kept";
    if (!item.existed && *original != "Absent") return std::nullopt;
    if (*kind == "File") {
        const auto path = get("Path");
        std::vector<std::string> parts;
        try {
            if (path) parts = winpath::parse(*path).parts;
        } catch (const Error&) {
        }
        const ScreenFile* screen = screenFileAt(parts);
        if (!screen) return std::nullopt;
        item.path = screen->path();
        item.attributes = attributesFromLetters(get("Attributes").value_or(""));
        return item;
    }
    const auto data = get("Data");
    std::optional<std::string> plain = data ? unescaped(*data) : std::string();
    if (!plain || (item.existed && !data)) return std::nullopt;
    item.data = std::move(*plain);
    if (*kind == "Value") {
        item.kind = Item::Kind::Value;
        const auto root = regedit4::rootHandle(get("Root").value_or(""));
        const auto key = get("Key");
        const auto name = get("Name");
        auto plainName = name ? unescaped(*name) : std::nullopt;
        if (!root || !key || !plainName) return std::nullopt;
        item.root = *root;
        item.key = *key;
        item.name = std::move(*plainName);
        return item;
    }
    if (*kind == "IniLine") {
        item.kind = Item::Kind::IniLine;
        const auto path = get("Path");
        const auto section = get("Section");
        const auto key = get("Key");
        if (!path || !section || !key) return std::nullopt;
        item.path = *path;
        item.key = *section;
        item.name = *key;
        return item;
    }
    return std::nullopt;
}

}  // namespace

std::string path() {
    return programfolder::backupFolder() + "\\ORIGINALS.INI";
}

const ScreenFile* screenFileAt(const std::vector<std::string>& parts) {
    for (const ScreenFile* screen : kScreenFiles) {
        const std::vector<std::string> other = winpath::parse(screen->path()).parts;
        if (parts.size() == other.size() &&
            std::equal(
                other.begin(), other.end(), parts.begin(),
                [](const std::string& a, const std::string& b) { return winpath::sameName(a, b); }))
            return screen;
    }
    return nullptr;
}

Originals read(ISystem& system) {
    Originals originals;
    const std::string file = path();
    system.flushProfile(file);
    std::string bytes;
    try {
        bytes = system.readFile(file);
    } catch (const Error& e) {
        if (e.number() != err::FileNotFound && e.number() != err::PathNotFound) throw;
        return originals;
    }
    const Text text(system, std::move(bytes));
    const auto count = text.get("Backup", "Items");
    if (!count) return originals;
    int items = 0;
    const auto [end, ec] = std::from_chars(count->data(), count->data() + count->size(), items);
    if (ec != std::errc() || end != count->data() + count->size() || items < 0)
        throw Error(err::PathFileAccessError,
                    errorDescription(err::PathFileAccessError) + ": " + file);
    originals.count = items;
    for (int i = 1; i <= items; ++i) originals.items.push_back(text.item(i));
    return originals;
}

void addRecord(ISystem& system, int number, const KeptItem& item) {
    const std::string section = "Item" + std::to_string(number);
    const std::string file = path();
    std::string text = system.fileExists(file) ? system.readFile(file) : kHeader;
    auto ansi = [&](std::string_view utf8) {
        if (auto bytes = system.ansiFromUtf8(utf8)) return *bytes;
        throw Error(err::BadFileName);
    };
    text = ini::withValue(text, "Backup", "Items", std::to_string(number));
    auto set = [&](std::string_view key, std::string_view value) {
        text = ini::withValue(text, section, key, ansi(value));
    };
    switch (item.kind) {
        case Item::Kind::File:
            set("Kind", "File");
            set("Path", item.path);
            break;
        case Item::Kind::Value:
            set("Kind", "Value");
            set("Root", std::string(regedit4::rootName(item.root).value_or("")));
            set("Key", item.key);
            set("Name", escaped(item.name));
            break;
        case Item::Kind::IniLine:
            set("Kind", "IniLine");
            set("Path", item.path);
            set("Section", item.key);
            set("Key", item.name);
            break;
    }
    set("Original", item.existed ? "Kept" : "Absent");
    if (item.kind == Item::Kind::File && item.existed) {
        set("Copy", screenFileAt(winpath::parse(item.path).parts)->name);
        set("Attributes", attributeLetters(item.attributes));
    } else if (item.kind != Item::Kind::File && item.existed) {
        set("Data", escaped(item.data));
    }
    system.createDirectory(programfolder::backupFolder());
    system.replaceFile(file, text);
}

}  // namespace zarvo::originalsini
