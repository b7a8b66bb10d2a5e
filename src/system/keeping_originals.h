#pragma once

// Keeps the first original of everything of Windows' own that the program
// changes, so that a user can always have it back: the three screen files,
// the Shell Icons values, the wallpaper value and WIN.INI's wallpaper line.
//
// The backup lives inside the drive, in the program folder, so that it
// travels with the drive:
//   C:\Program Files\Zarvo\Backup\ORIGINALS.INI  what was kept, item by item
//   C:\Program Files\Zarvo\Backup\Logo.sys ...   byte copies of screen files
//   C:\Program Files\Zarvo\Backup\UNDO.REG       the kept registry values, for
//                                                regedit on Windows 98
// An item is kept once, before its first change; a later change never
// replaces it. Everything here goes through ISystem, so it works the same on
// every implementation.

#include <memory>
#include <string>
#include <vector>

#include "system/forwarding_system.h"
#include "system/system.h"

namespace zarvo {

inline constexpr const char* kBackupFolder = "C:\\Program Files\\Zarvo\\Backup";
inline constexpr const char* kBackupManifest = "C:\\Program Files\\Zarvo\\Backup\\ORIGINALS.INI";
inline constexpr const char* kUndoRegistryFile = "C:\\Program Files\\Zarvo\\Backup\\UNDO.REG";

// An ISystem that passes every operation on to `system`, first keeping the
// original of what the operation is about to change. When the original
// cannot be kept, the change is refused with that error (setDesktopWallpaper
// returns false) and nothing is changed. The backup folder itself cannot be
// written through it (75).
class KeepingOriginals : public ForwardingSystem {
public:
    explicit KeepingOriginals(ISystem& system);
    ~KeepingOriginals() override;

    void copyFile(const std::string& source, const std::string& destination) override;
    void renameFile(const std::string& oldPath, const std::string& newPath) override;
    void deleteFile(const std::string& path) override;
    void setAttributes(const std::string& path, unsigned attributes) override;
    void writeNewFile(const std::string& path, std::string_view bytes) override;
    void replaceFile(const std::string& path, std::string_view bytes) override;
    void setIniValue(const std::string& path, std::string_view section, std::string_view key,
                     const std::optional<std::string>& value) override;
    // Its writer keeps a watched value before storing or deleting it.
    std::unique_ptr<IRegistryWriter> createRegistryWriter() override;
    bool setDesktopWallpaper(const std::string& path) override;

    struct Item;

private:
    class Writer;

    // Before a file operation on `path`: keeps it when it is a screen file;
    // 75 when it lies in the backup folder.
    void beforeChanging(const std::string& path);
    void keepValue(IRegistryWriter& registry, std::uint32_t rootKey, std::string_view keyPath,
                   std::string_view valueName);
    void keepIniLine(const std::string& path, std::string_view section, std::string_view key);
    // Whether the item is in the backup, reading it again when it was not
    // known to be.
    bool alreadyKept(const Item& item);
    void record(const Item& item);

    std::vector<Item> kept_;
    int recorded_ = 0;  // the manifest's item count when last read
};

// What restoreOriginals did, one line per item, in the backup's order.
struct RestoreReport {
    int kept = 0;  // items in the backup
    // "restored C:\Windows\Logow.sys", "removed C:\Logo.sys, which was not
    // there before Zarvo", ...
    std::vector<std::string> restored;
    // "C:\Windows\Logos.sys: not restored: 75 ...": the item and the reason.
    std::vector<std::string> failures;
};

// Puts every kept original back through `system`, which should be the plain
// system, not a KeepingOriginals. Each item goes back on its own: a file's
// bytes are replaced in one step and then its attributes set, a value or an
// INI line in one store; an item that fails is left as it was and the rest
// go on. An item already in its original state is left alone, so a second
// restore changes nothing. The backup stays, so a later change still keeps
// the true original.
RestoreReport restoreOriginals(ISystem& system);

}  // namespace zarvo
