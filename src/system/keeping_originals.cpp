#include "system/keeping_originals.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>
#include <utility>

#include "formats/cp1251.h"
#include "formats/ini_text.h"
#include "formats/regedit4.h"
#include "system/error.h"
#include "system/windows_path.h"

namespace zarvo {

// One kept original. For a file, `data` is unused: its bytes are the copy.
struct KeepingOriginals::Item {
    enum class Kind { File, Value, IniLine };
    Kind kind = Kind::File;
    std::string path;        // File: the screen file. IniLine: the INI file
    std::uint32_t root = 0;  // Value
    std::string key;         // Value: the key path. IniLine: the section
    std::string name;        // Value: the value name. IniLine: the key
    bool existed = false;
    std::string data;         // Value, IniLine: the previous data
    std::string copy;         // File: the copy's name in the backup folder
    unsigned attributes = 0;  // File
};

using Item = KeepingOriginals::Item;

namespace {

struct ScreenFile {
    const char* path;
    std::array<std::string_view, 2> parts;
    std::size_t depth;
    const char* copy;
};

constexpr std::array<ScreenFile, 3> kScreenFiles = {{
    {"C:\\Logo.sys", {"Logo.sys", ""}, 1, "Logo.sys"},
    {"C:\\Windows\\Logow.sys", {"Windows", "Logow.sys"}, 2, "Logow.sys"},
    {"C:\\Windows\\Logos.sys", {"Windows", "Logos.sys"}, 2, "Logos.sys"},
}};

constexpr std::array<std::string_view, 3> kBackupParts = {"Program Files", "Zarvo", "Backup"};

const char* const kShellIconsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";
const char* const kDesktopKey = "Control Panel\\Desktop";
const char* const kWallpaper = "Wallpaper";
const char* const kWinIni = "C:\\Windows\\WIN.INI";
const char* const kDesktopSection = "Desktop";

constexpr unsigned kFileAttributes = attr::ReadOnly | attr::Hidden | attr::System | attr::Archive;

const std::string kManifestHeader =
    "; The first originals Zarvo replaced on this drive. \"zarvo --restore\" puts\r\n"
    "; them back; on Windows, UNDO.REG puts back the registry values.\r\n";

// The components of a path on drive C:, however it was spelled: another
// case, "..", or a Z:\ path that leads into the drive. Empty when it is not
// on drive C: or does not parse.
std::vector<std::string> partsOnDriveC(ISystem& system, const std::string& path) {
    std::string spelled = path;
    try {
        spelled = system.windowsPath(system.hostPath(path));
    } catch (const Error&) {
    }
    try {
        winpath::Parsed parsed = winpath::parse(spelled);
        if (parsed.drive == 'C') return std::move(parsed.parts);
    } catch (const Error&) {
    }
    return {};
}

template <typename Parts>
bool startsWith(const std::vector<std::string>& parts, const Parts& prefix, std::size_t count) {
    if (parts.size() < count) return false;
    for (std::size_t i = 0; i < count; ++i)
        if (!winpath::sameName(parts[i], prefix[i])) return false;
    return true;
}

const ScreenFile* screenFileAt(const std::vector<std::string>& parts) {
    for (const ScreenFile& screen : kScreenFiles)
        if (parts.size() == screen.depth && startsWith(parts, screen.parts, screen.depth))
            return &screen;
    return nullptr;
}

std::string rootName(std::uint32_t root) {
    const std::uint32_t index = root - hkey::ClassesRoot;
    if (root < hkey::ClassesRoot || index >= regedit4::kRootNames.size())
        return "HKEY_" + std::to_string(root);
    return std::string(regedit4::kRootNames[index]);
}

std::optional<std::uint32_t> rootByName(std::string_view name) {
    for (std::size_t i = 0; i < regedit4::kRootNames.size(); ++i)
        if (winpath::sameName(name, regedit4::kRootNames[i]))
            return hkey::ClassesRoot + std::uint32_t(i);
    return std::nullopt;
}

bool sameItem(const Item& a, const Item& b) {
    return a.kind == b.kind && winpath::sameName(a.path, b.path) && a.root == b.root &&
           winpath::sameName(a.key, b.key) && winpath::sameName(a.name, b.name);
}

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

// The manifest writes attributes as ATTRIB shows them.
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

std::string copyPath(const Item& item) {
    return std::string(kBackupFolder) + "\\" + item.copy;
}

std::string label(const Item& item) {
    switch (item.kind) {
        case Item::Kind::File:
            return item.path;
        case Item::Kind::Value:
            return rootName(item.root) + "\\" + item.key + ", value " +
                   (item.name.empty() ? std::string("(default)") : "\"" + item.name + "\"");
        case Item::Kind::IniLine:
            return item.path + ", [" + item.key + "] " + item.name;
    }
    return item.path;
}

std::string ansi(std::string_view utf8) {
    if (auto bytes = cp1251::fromUtf8(utf8)) return *bytes;
    throw Error(err::BadFileName);
}

// The manifest's item count; 75 naming the manifest when it is damaged, so
// that a damaged backup is never written over.
int manifestCount(ISystem& system) {
    const auto count = system.iniValue(kBackupManifest, "Backup", "Items");
    if (!count) return 0;
    int value = 0;
    const auto [end, ec] = std::from_chars(count->data(), count->data() + count->size(), value);
    if (ec != std::errc() || end != count->data() + count->size() || value < 0)
        throw Error(err::PathFileAccessError,
                    errorDescription(err::PathFileAccessError) + ": " + kBackupManifest);
    return value;
}

// Item `index` of the manifest; nullopt when its record is damaged.
std::optional<Item> readItem(ISystem& system, int index) {
    const std::string section = "Item" + std::to_string(index);
    auto get = [&](std::string_view key) { return system.iniValue(kBackupManifest, section, key); };
    const auto kind = get("Kind");
    const auto original = get("Original");
    if (!kind || !original) return std::nullopt;
    Item item;
    item.existed = *original == "Kept";
    if (!item.existed && *original != "Absent") return std::nullopt;
    if (*kind == "File") {
        const auto path = get("Path");
        const std::vector<std::string> parts =
            path ? winpath::parse(*path).parts : std::vector<std::string>();
        const ScreenFile* screen = screenFileAt(parts);
        if (!screen) return std::nullopt;
        item.path = screen->path;
        item.copy = screen->copy;
        item.attributes = attributesFromLetters(get("Attributes").value_or(""));
        return item;
    }
    const auto data = get("Data");
    std::optional<std::string> plain = data ? unescaped(*data) : std::string();
    if (!plain || (item.existed && !data)) return std::nullopt;
    item.data = std::move(*plain);
    if (*kind == "Value") {
        item.kind = Item::Kind::Value;
        const auto root = rootByName(get("Root").value_or(""));
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

// A string in a REGEDIT4 line: backslashes and quotes escaped.
std::string regQuoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

std::string undoFileText(const std::vector<Item>& items) {
    std::string text = std::string(regedit4::kHeader) + "\r\n";
    std::vector<std::string> keys;
    for (const Item& item : items) {
        if (item.kind != Item::Kind::Value) continue;
        const std::string key = rootName(item.root) + "\\" + item.key;
        if (std::none_of(keys.begin(), keys.end(),
                         [&](const std::string& k) { return winpath::sameName(k, key); }))
            keys.push_back(key);
    }
    for (const std::string& key : keys) {
        text += "\r\n[" + key + "]\r\n";
        for (const Item& item : items) {
            if (item.kind != Item::Kind::Value ||
                !winpath::sameName(rootName(item.root) + "\\" + item.key, key))
                continue;
            text += item.name.empty() ? std::string("@") : regQuoted(item.name);
            if (item.existed) {
                text += '=';
                text += regQuoted(item.data);
            } else {
                text += "=-";
            }
            text += "\r\n";
        }
    }
    text += "\r\n";
    return ansi(text);
}

// Read-only taken off a file about to be replaced or removed; the bits it
// had, to put back when that fails.
unsigned makeWritable(ISystem& system, const std::string& path) {
    const unsigned bits = system.attributes(path) & kFileAttributes;
    if (bits & attr::ReadOnly) system.setAttributes(path, bits & ~attr::ReadOnly);
    return bits;
}

// Replaces or removes a file in one step, its attributes put back when
// that fails.
template <typename Change>
void changeFile(ISystem& system, const std::string& path, Change&& change) {
    const unsigned bits = makeWritable(system, path);
    try {
        change();
    } catch (...) {
        try {
            if (system.fileExists(path)) system.setAttributes(path, bits);
        } catch (const Error&) {
        }
        throw;
    }
}

// False when the file is its original already.
bool restoreFile(ISystem& system, const Item& item) {
    const bool there = system.fileExists(item.path);
    if (!item.existed) {
        if (!there) return false;
        changeFile(system, item.path, [&] { system.deleteFile(item.path); });
        return true;
    }
    std::string bytes;
    try {
        bytes = system.readFile(copyPath(item));
    } catch (const Error& error) {
        throw Error(error.number(), error.description() + ": " + copyPath(item));
    }
    if (there && system.readFile(item.path) == bytes &&
        (system.attributes(item.path) & kFileAttributes) == item.attributes)
        return false;
    if (there) {
        changeFile(system, item.path, [&] { system.replaceFile(item.path, bytes); });
    } else {
        system.createDirectory(item.path.substr(0, item.path.rfind('\\') + 1));
        system.replaceFile(item.path, bytes);
    }
    system.setAttributes(item.path, item.attributes);
    return true;
}

// Puts one item back; false when it was in its original state already.
bool restoreItem(ISystem& system, IRegistryWriter& registry, const Item& item) {
    const std::optional<std::string> original =
        item.existed ? std::optional(item.data) : std::nullopt;
    switch (item.kind) {
        case Item::Kind::File:
            return restoreFile(system, item);
        case Item::Kind::Value:
            if (registry.readString(item.root, item.key, item.name) == original) return false;
            if (original)
                registry.storeString(item.root, item.key, item.name, *original);
            else
                registry.deleteValue(item.root, item.key, item.name);
            return true;
        case Item::Kind::IniLine:
            if (system.iniValue(item.path, item.key, item.name) == original) return false;
            system.setIniValue(item.path, item.key, item.name, original);
            return true;
    }
    return false;
}

std::vector<std::optional<Item>> readManifest(ISystem& system, int count) {
    std::vector<std::optional<Item>> items;
    for (int i = 1; i <= count; ++i) {
        try {
            items.push_back(readItem(system, i));
        } catch (const Error&) {
            items.push_back(std::nullopt);
        }
    }
    return items;
}

}  // namespace

// The registry writer the program is given: it keeps a watched value before
// storing over it or deleting it.
class KeepingOriginals::Writer : public ForwardingRegistryWriter {
public:
    Writer(KeepingOriginals& owner, std::unique_ptr<IRegistryWriter> inner)
        : ForwardingRegistryWriter(std::move(inner)), owner_(owner) {}

    void storeString(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName,
                     std::string_view valueData) override {
        owner_.keepValue(*inner_, rootKey, keyPath, valueName);
        inner_->storeString(rootKey, keyPath, valueName, valueData);
    }
    void deleteValue(std::uint32_t rootKey, std::string_view keyPath,
                     std::string_view valueName) override {
        owner_.keepValue(*inner_, rootKey, keyPath, valueName);
        inner_->deleteValue(rootKey, keyPath, valueName);
    }

private:
    KeepingOriginals& owner_;
};

KeepingOriginals::KeepingOriginals(ISystem& system) : ForwardingSystem(system) {}

KeepingOriginals::~KeepingOriginals() = default;

void KeepingOriginals::beforeChanging(const std::string& path) {
    const std::vector<std::string> parts = partsOnDriveC(system_, path);
    if (startsWith(parts, kBackupParts, kBackupParts.size())) throw Error(err::PathFileAccessError);
    const ScreenFile* screen = screenFileAt(parts);
    if (!screen) return;

    Item item;
    item.path = screen->path;
    item.copy = screen->copy;
    if (alreadyKept(item)) return;
    if (system_.fileExists(item.path)) {
        const std::string bytes = system_.readFile(item.path);
        item.attributes = system_.attributes(item.path) & kFileAttributes;
        item.existed = true;
        system_.createDirectory(kBackupFolder);
        system_.replaceFile(copyPath(item), bytes);
    }
    record(item);
}

void KeepingOriginals::keepValue(IRegistryWriter& registry, std::uint32_t rootKey,
                                 std::string_view keyPath, std::string_view valueName) {
    const std::string key = regedit4::canonicalKeyPath(keyPath);
    Item item;
    item.kind = Item::Kind::Value;
    item.root = rootKey;
    item.name = std::string(valueName);
    if (rootKey == hkey::LocalMachine && winpath::sameName(key, kShellIconsKey)) {
        item.key = kShellIconsKey;
    } else if (rootKey == hkey::CurrentUser && winpath::sameName(key, kDesktopKey) &&
               winpath::sameName(valueName, kWallpaper)) {
        item.key = kDesktopKey;
        item.name = kWallpaper;
    } else {
        return;
    }
    if (alreadyKept(item)) return;
    if (auto data = registry.readString(rootKey, item.key, item.name)) {
        item.existed = true;
        item.data = std::move(*data);
    }
    record(item);
}

void KeepingOriginals::keepIniLine(const std::string& path, std::string_view section,
                                   std::string_view key) {
    const std::vector<std::string> parts = partsOnDriveC(system_, path);
    if (startsWith(parts, kBackupParts, kBackupParts.size())) throw Error(err::PathFileAccessError);
    const std::array<std::string_view, 2> winIni = {"Windows", "WIN.INI"};
    if (parts.size() != 2 || !startsWith(parts, winIni, 2) ||
        !winpath::sameName(section, kDesktopSection) || !winpath::sameName(key, kWallpaper))
        return;
    Item item;
    item.kind = Item::Kind::IniLine;
    item.path = kWinIni;
    item.key = kDesktopSection;
    item.name = kWallpaper;
    if (alreadyKept(item)) return;
    if (auto data = system_.iniValue(kWinIni, kDesktopSection, kWallpaper)) {
        item.existed = true;
        item.data = std::move(*data);
    }
    record(item);
}

bool KeepingOriginals::alreadyKept(const Item& item) {
    auto known = [&] {
        return std::any_of(kept_.begin(), kept_.end(),
                           [&](const Item& k) { return sameItem(k, item); });
    };
    if (known()) return true;
    // Another run of the program may have kept it since.
    recorded_ = manifestCount(system_);
    kept_.clear();
    for (auto& read : readManifest(system_, recorded_))
        if (read) kept_.push_back(std::move(*read));
    return known();
}

void KeepingOriginals::record(const Item& item) {
    const int index = recorded_ + 1;
    const std::string section = "Item" + std::to_string(index);
    std::string text =
        system_.fileExists(kBackupManifest) ? system_.readFile(kBackupManifest) : kManifestHeader;
    text = ini::withValue(text, "Backup", "Items", std::to_string(index));
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
            set("Root", rootName(item.root));
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
        set("Copy", item.copy);
        set("Attributes", attributeLetters(item.attributes));
    } else if (item.kind != Item::Kind::File && item.existed) {
        set("Data", escaped(item.data));
    }

    std::vector<Item> kept = kept_;
    kept.push_back(item);
    const std::string undo = undoFileText(kept);  // refuses before anything is written
    system_.createDirectory(kBackupFolder);
    system_.replaceFile(kBackupManifest, text);
    kept_ = std::move(kept);
    recorded_ = index;
    if (item.kind == Item::Kind::Value) system_.replaceFile(kUndoRegistryFile, undo);
}

void KeepingOriginals::copyFile(const std::string& source, const std::string& destination) {
    beforeChanging(destination);
    system_.copyFile(source, destination);
}

void KeepingOriginals::renameFile(const std::string& oldPath, const std::string& newPath) {
    beforeChanging(oldPath);
    beforeChanging(newPath);
    system_.renameFile(oldPath, newPath);
}

void KeepingOriginals::deleteFile(const std::string& path) {
    beforeChanging(path);
    system_.deleteFile(path);
}

void KeepingOriginals::setAttributes(const std::string& path, unsigned attributes) {
    beforeChanging(path);
    system_.setAttributes(path, attributes);
}

void KeepingOriginals::writeNewFile(const std::string& path, std::string_view bytes) {
    beforeChanging(path);
    system_.writeNewFile(path, bytes);
}

void KeepingOriginals::replaceFile(const std::string& path, std::string_view bytes) {
    beforeChanging(path);
    system_.replaceFile(path, bytes);
}

void KeepingOriginals::setIniValue(const std::string& path, std::string_view section,
                                   std::string_view key, const std::optional<std::string>& value) {
    keepIniLine(path, section, key);
    system_.setIniValue(path, section, key, value);
}

std::unique_ptr<IRegistryWriter> KeepingOriginals::createRegistryWriter() {
    return std::make_unique<Writer>(*this, system_.createRegistryWriter());
}

bool KeepingOriginals::setDesktopWallpaper(const std::string& path) {
    try {
        const std::unique_ptr<IRegistryWriter> registry = system_.createRegistryWriter();
        keepValue(*registry, hkey::CurrentUser, kDesktopKey, kWallpaper);
        keepIniLine(kWinIni, kDesktopSection, kWallpaper);
    } catch (const Error&) {
        return false;  // a change that could not be undone is not made
    }
    return system_.setDesktopWallpaper(path);
}

RestoreReport restoreOriginals(ISystem& system) {
    RestoreReport report;
    try {
        report.kept = manifestCount(system);
    } catch (const Error& error) {
        report.failures.push_back(std::string(kBackupManifest) + ": not read: " +
                                  std::to_string(error.number()) + " " + error.description());
        return report;
    }
    std::unique_ptr<IRegistryWriter> registry;
    const std::vector<std::optional<Item>> items = readManifest(system, report.kept);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!items[i]) {
            report.failures.push_back(std::string(kBackupManifest) + ", [Item" +
                                      std::to_string(i + 1) +
                                      "]: not restored: the record is damaged");
            continue;
        }
        const Item& item = *items[i];
        try {
            if (!registry) registry = system.createRegistryWriter();
            if (!restoreItem(system, *registry, item)) continue;
            report.restored.push_back(item.existed ? "restored " + label(item)
                                                   : "removed " + label(item) +
                                                         ", which was not there before Zarvo");
        } catch (const Error& error) {
            report.failures.push_back(label(item) + ": not restored: " +
                                      std::to_string(error.number()) + " " + error.description());
        }
    }
    return report;
}

}  // namespace zarvo
