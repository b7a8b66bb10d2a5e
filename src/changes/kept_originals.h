#pragma once

// Keeps the first original of everything of Windows' own that the program
// changes, so that a user can always have it back: the three screen files,
// the Shell Icons values, the wallpaper's values and WIN.INI's lines for
// them.
//
// The backup lives inside the drive, in the program folder's Backup folder,
// so that it travels with the drive:
//   ORIGINALS.INI  what was kept, item by item (originals_ini.h)
//   Logo.sys ...   byte copies of the screen files
//   UNDO.REG       the kept registry values, for regedit on Windows 98
// An item is kept once, before its first change; a later change never
// replaces it. Everything here goes through ISystem, so it works the same on
// every implementation.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "changes/originals_ini.h"
#include "system/error.h"
#include "system/forwarding_system.h"
#include "system/system.h"

namespace zarvo {

// An ISystem that passes every operation on to `system`, first keeping the
// original of what the operation is about to change. When the original
// cannot be kept, the change is refused with that error and nothing is
// changed. The backup folder itself cannot be written through it (75).
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
    // Its writer keeps a watched value before storing or deleting it.
    std::unique_ptr<IRegistryWriter> createRegistryWriter() override;

private:
    // Before a file operation on `path`: keeps it when it is a screen file,
    // and WIN.INI's desktop lines when it is WIN.INI (the lines the program
    // writes there); 75 when it lies in the backup folder. `newBytes`: what
    // the file is about to hold, when the operation says.
    void beforeChanging(const std::string& path,
                        std::optional<std::string_view> newBytes = std::nullopt);
    void keepValue(IRegistryWriter& registry, std::uint32_t rootKey, std::string_view keyPath,
                   std::string_view valueName);
    // The wallpaper line at any change of WIN.INI; a placement line when
    // `newBytes` changes it.
    void keepDesktopLines(std::optional<std::string_view> newBytes);
    void keepIniLine(std::string_view name);
    // Whether the item is in the backup, reading it again when it was not
    // known to be: another run of the program may have kept it since.
    bool alreadyKept(const KeptItem& item);
    void record(const KeptItem& item);

    std::vector<KeptItem> kept_;
    int recorded_ = 0;  // the manifest's item count when last read
};

// What restoreOriginals did with each item of the backup, in its order.
struct RestoreReport {
    // Where the backup says what it kept, for the reports below.
    std::string manifest;
    // The manifest could not be read; nothing was restored.
    std::optional<Error> unreadable;
    int kept = 0;  // items in the backup

    struct Entry {
        enum class Outcome { PutBack, Removed, InPlace, Failed, Damaged };
        Outcome outcome = Outcome::InPlace;
        KeptItem item;               // all but Damaged
        int number = 0;              // Damaged: the item's number in the manifest
        std::optional<Error> error;  // Failed
    };
    std::vector<Entry> entries;
};

// Puts every kept original back through `system`, which should be the plain
// system, not a KeepingOriginals. Each item goes back on its own: a file's
// bytes are replaced in one step and then its attributes set, a value or an
// INI line in one store; an item that fails is left as it was and the rest
// go on. An item already in its original state is left alone, so a second
// restore changes nothing. The backup stays, so a later change still keeps
// the true original.
RestoreReport restoreOriginals(ISystem& system);

// UNDO.REG in the backup folder: the kept registry values as regedit takes
// them, for a Windows that already imported the values Zarvo stored.
std::string undoFilePath();

}  // namespace zarvo
