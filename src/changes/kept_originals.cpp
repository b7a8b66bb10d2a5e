#include "changes/kept_originals.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string_view>
#include <utility>

#include "changes/drive_c.h"
#include "changes/program_folder.h"
#include "changes/screen_files.h"
#include "changes/shell_icons.h"
#include "changes/wallpaper.h"
#include "formats/ini_text.h"
#include "formats/regedit4.h"
#include "system/error.h"
#include "system/ini_files.h"
#include "system/windows_path.h"

namespace zarvo {

using Item = KeptItem;

namespace {

constexpr unsigned kFileAttributes = attr::ReadOnly | attr::Hidden | attr::System | attr::Archive;

std::string manifestPath() {
    return programfolder::backupFolder() + "\\ORIGINALS.INI";
}

std::string undoFilePath() {
    return programfolder::backupFolder() + "\\UNDO.REG";
}

const std::string kManifestHeader =
    "; The first originals Zarvo replaced on this drive. \"zarvo --restore\" puts\r\n"
    "; them back; on Windows, UNDO.REG puts back the registry values.\r\n";

bool startsWith(const std::vector<std::string>& parts, const std::vector<std::string>& prefix) {
    return parts.size() >= prefix.size() &&
           std::equal(
               prefix.begin(), prefix.end(), parts.begin(),
               [](const std::string& a, const std::string& b) { return winpath::sameName(a, b); });
}

bool samePlace(const std::vector<std::string>& parts, const std::string& path) {
    const std::vector<std::string> other = winpath::parse(path).parts;
    return parts.size() == other.size() && startsWith(parts, other);
}

bool inBackup(const std::vector<std::string>& parts) {
    return startsWith(parts, winpath::parse(programfolder::backupFolder()).parts);
}

const ScreenFile* screenFileAt(const std::vector<std::string>& parts) {
    for (const ScreenFile* screen : kScreenFiles)
        if (samePlace(parts, screen->path())) return screen;
    return nullptr;
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
    return programfolder::backupFolder() + "\\" +
           std::string(screenFileAt(winpath::parse(item.path).parts)->name);
}

// The manifest as read once: its items by number, nullopt for a damaged
// record. Its text is in the drive's code page.
class Manifest {
public:
    // Throws 75, naming the manifest, when its item count is damaged, so
    // that a damaged backup is never written over.
    explicit Manifest(ISystem& system) : system_(system) {
        const std::string path = manifestPath();
        system.flushProfile(path);
        try {
            text_ = system.readFile(path);
        } catch (const Error& e) {
            if (e.number() != err::FileNotFound && e.number() != err::PathNotFound) throw;
            return;
        }
        const auto count = get("Backup", "Items");
        if (!count) return;
        const auto [end, ec] =
            std::from_chars(count->data(), count->data() + count->size(), count_);
        if (ec != std::errc() || end != count->data() + count->size() || count_ < 0)
            throw Error(err::PathFileAccessError,
                        errorDescription(err::PathFileAccessError) + ": " + path);
    }

    int count() const { return count_; }
    const std::string& text() const { return text_; }

    // Item `index`, from 1; nullopt when its record is damaged.
    std::optional<Item> item(int index) const {
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

private:
    std::optional<std::string> get(std::string_view section, std::string_view key) const {
        const auto value = ini::value(text_, section, key);
        if (!value) return std::nullopt;
        return system_.utf8FromAnsi(*value);
    }

    ISystem& system_;
    std::string text_;
    int count_ = 0;
};

std::string undoFileText(const std::vector<Item>& items) {
    regedit4::Writer undo;
    for (const Item& item : items) {
        if (item.kind != Item::Kind::Value) continue;
        const std::string key = regedit4::keyName(item.root, item.key).value_or(item.key);
        if (item.existed)
            undo.setString(key, item.name, item.data);
        else
            undo.deleteValue(key, item.name);
    }
    auto text = undo.regedit4();
    if (!text) throw Error(err::BadFileName);
    return *text;
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
            if (iniValue(system, item.path, item.key, item.name) == original) return false;
            setIniValue(system, item.path, item.key, item.name, original);
            return true;
    }
    return false;
}

}  // namespace

KeepingOriginals::KeepingOriginals(ISystem& system) : ForwardingSystem(system) {}

KeepingOriginals::~KeepingOriginals() = default;

void KeepingOriginals::beforeChanging(const std::string& path) {
    const std::vector<std::string> parts =
        partsOnDriveC(system_, path).value_or(std::vector<std::string>());
    if (inBackup(parts)) throw Error(err::PathFileAccessError);
    if (samePlace(parts, winIni())) {
        keepWallpaperLine();
        return;
    }
    const ScreenFile* screen = screenFileAt(parts);
    if (!screen) return;

    Item item;
    item.path = screen->path();
    if (alreadyKept(item)) return;
    if (system_.fileExists(item.path)) {
        const std::string bytes = system_.readFile(item.path);
        item.attributes = system_.attributes(item.path) & kFileAttributes;
        item.existed = true;
        system_.createDirectory(programfolder::backupFolder());
        system_.replaceFile(copyPath(item), bytes);
    }
    record(item);
}

void KeepingOriginals::keepValue(IRegistryWriter& registry, std::uint32_t rootKey,
                                 std::string_view keyPath, std::string_view valueName) {
    Item item;
    item.kind = Item::Kind::Value;
    item.root = rootKey;
    item.name = std::string(valueName);
    if (isShellIconsKey(rootKey, keyPath)) {
        item.key = kShellIconsKey;
    } else if (isWallpaperValue(rootKey, keyPath, valueName)) {
        item.key = kDesktopKey;
        item.name = kWallpaperValue;
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

void KeepingOriginals::keepWallpaperLine() {
    Item item;
    item.kind = Item::Kind::IniLine;
    item.path = winIni();
    item.key = kDesktopSection;
    item.name = kWallpaperValue;
    if (alreadyKept(item)) return;
    if (auto data = iniValue(system_, item.path, item.key, item.name)) {
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
    const Manifest manifest(system_);
    recorded_ = manifest.count();
    kept_.clear();
    for (int i = 1; i <= recorded_; ++i)
        if (auto read = manifest.item(i)) kept_.push_back(std::move(*read));
    return known();
}

void KeepingOriginals::record(const Item& item) {
    const int index = recorded_ + 1;
    const std::string section = "Item" + std::to_string(index);
    const std::string manifest = manifestPath();
    std::string text = system_.fileExists(manifest) ? system_.readFile(manifest) : kManifestHeader;
    auto ansi = [&](std::string_view utf8) {
        if (auto bytes = system_.ansiFromUtf8(utf8)) return *bytes;
        throw Error(err::BadFileName);
    };
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

    std::vector<Item> kept = kept_;
    kept.push_back(item);
    const std::string undo = undoFileText(kept);  // refuses before anything is written
    system_.createDirectory(programfolder::backupFolder());
    system_.replaceFile(manifest, text);
    kept_ = std::move(kept);
    recorded_ = index;
    if (item.kind == Item::Kind::Value) system_.replaceFile(undoFilePath(), undo);
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

std::unique_ptr<IRegistryWriter> KeepingOriginals::createRegistryWriter() {
    // A watched value is kept before it is stored over or deleted.
    return std::make_unique<WatchingRegistryWriter>(
        system_.createRegistryWriter(),
        [this](IRegistryWriter& below, std::uint32_t root, std::string_view key,
               std::string_view name) { keepValue(below, root, key, name); },
        nullptr);
}

RestoreReport restoreOriginals(ISystem& system) {
    RestoreReport report;
    report.manifest = manifestPath();
    std::optional<Manifest> manifest;
    try {
        manifest.emplace(system);
    } catch (const Error& error) {
        report.unreadable = error;
        return report;
    }
    report.kept = manifest->count();
    std::unique_ptr<IRegistryWriter> registry;
    for (int i = 1; i <= report.kept; ++i) {
        RestoreReport::Entry entry;
        entry.number = i;
        const std::optional<Item> item = manifest->item(i);
        if (!item) {
            entry.outcome = RestoreReport::Entry::Outcome::Damaged;
            report.entries.push_back(std::move(entry));
            continue;
        }
        entry.item = *item;
        try {
            if (!registry) registry = system.createRegistryWriter();
            if (!restoreItem(system, *registry, *item))
                entry.outcome = RestoreReport::Entry::Outcome::InPlace;
            else
                entry.outcome = item->existed ? RestoreReport::Entry::Outcome::PutBack
                                              : RestoreReport::Entry::Outcome::Removed;
        } catch (const Error& error) {
            entry.outcome = RestoreReport::Entry::Outcome::Failed;
            entry.error = error;
        }
        report.entries.push_back(std::move(entry));
    }
    return report;
}

}  // namespace zarvo
