#include "changes/kept_originals.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "changes/drive_c.h"
#include "changes/originals_ini.h"
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

bool sameItem(const Item& a, const Item& b) {
    return a.kind == b.kind && winpath::sameName(a.path, b.path) && a.root == b.root &&
           winpath::sameName(a.key, b.key) && winpath::sameName(a.name, b.name);
}

std::string copyPath(const Item& item) {
    return programfolder::backupFolder() + "\\" +
           std::string(originalsini::screenFileAt(winpath::parse(item.path).parts)->name);
}

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

void KeepingOriginals::beforeChanging(const std::string& path,
                                      std::optional<std::string_view> newBytes) {
    const std::vector<std::string> parts =
        partsOnDriveC(system_, path).value_or(std::vector<std::string>());
    if (inBackup(parts)) throw Error(err::PathFileAccessError);
    if (samePlace(parts, winIni())) {
        keepDesktopLines(newBytes);
        return;
    }
    const ScreenFile* screen = originalsini::screenFileAt(parts);
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
    } else if (const auto desktop = desktopValueOf(rootKey, keyPath, valueName)) {
        item.key = kDesktopKey;
        item.name = *desktop;
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

void KeepingOriginals::keepDesktopLines(std::optional<std::string_view> newBytes) {
    keepIniLine(kWallpaperValue);
    // The placement lines only when the new text changes them: most
    // wallpapers leave them as they are.
    if (!newBytes) return;
    const std::string ini = winIni();
    const std::string old = system_.fileExists(ini) ? system_.readFile(ini) : std::string();
    for (std::string_view name : {kWallpaperStyleValue, kTileWallpaperValue})
        if (ini::value(old, kDesktopSection, name) != ini::value(*newBytes, kDesktopSection, name))
            keepIniLine(name);
}

void KeepingOriginals::keepIniLine(std::string_view name) {
    Item item;
    item.kind = Item::Kind::IniLine;
    item.path = winIni();
    item.key = kDesktopSection;
    item.name = name;
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
    originalsini::Originals originals = originalsini::read(system_);
    recorded_ = originals.count;
    kept_.clear();
    for (auto& read : originals.items)
        if (read) kept_.push_back(std::move(*read));
    return known();
}

void KeepingOriginals::record(const Item& item) {
    const int index = recorded_ + 1;
    std::vector<Item> kept = kept_;
    kept.push_back(item);
    const std::string undo = undoFileText(kept);  // refuses before anything is written
    originalsini::addRecord(system_, index, item);
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
    beforeChanging(path, bytes);
    system_.writeNewFile(path, bytes);
}

void KeepingOriginals::replaceFile(const std::string& path, std::string_view bytes) {
    beforeChanging(path, bytes);
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

std::string undoFilePath() {
    return programfolder::backupFolder() + "\\UNDO.REG";
}

RestoreReport restoreOriginals(ISystem& system) {
    RestoreReport report;
    report.manifest = originalsini::path();
    originalsini::Originals originals;
    try {
        originals = originalsini::read(system);
    } catch (const Error& error) {
        report.unreadable = error;
        return report;
    }
    report.kept = originals.count;
    std::unique_ptr<IRegistryWriter> registry;
    for (int i = 1; i <= report.kept; ++i) {
        RestoreReport::Entry entry;
        entry.number = i;
        const std::optional<Item>& item = originals.items[std::size_t(i - 1)];
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
