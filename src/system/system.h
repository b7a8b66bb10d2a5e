#pragma once

// The operating-system services the program is written against: plain C++,
// no Qt, so that a Win32 implementation can sit beside the Linux one and the
// disk image's. Every path is a Windows path (C:\..., Z:\...) in UTF-8; an
// implementation converts to what its host needs. Only what differs from
// one operating system to another is here; what the program makes of it
// (INI files, the wallpaper, the kept originals) is written once on top.
//
// How a failure is reported, in this layer and the ones above it:
// - Error (error.h): an operation failed, with the Windows program's error
//   number and its Russian description. Every operation throws it; a page
//   that arms an error catch looks at the number.
// - DriveInUse (error.h): another program has the drive open. No failure of
//   one operation, so no page's handler takes it: it always reaches the
//   error report, and a command ends with it.
// - ImageError (image/image_error.h): an image cannot be used at all,
//   found before anything is written; the program is not started on it.
// - A format's own exception (regedit4::ParseError, winhelp::FormatError)
//   never leaves the layer that reads the format: it becomes an Error.
// - A refusal that is an answer, not a failure, is a return value: false
//   from refreshWallpaper, nullopt for text a code page cannot hold.
// - What a longer job did (restoring originals, a Wine import) comes back
//   as data; only the program words it, in the window or on the terminal.
// Above the system, PictureError is the picture commands' own, in the pictures layer.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarvo {

// File attribute bits, as Windows numbers them.
namespace attr {
constexpr unsigned Normal = 0x00;
constexpr unsigned ReadOnly = 0x01;
constexpr unsigned Hidden = 0x02;
constexpr unsigned System = 0x04;
constexpr unsigned Directory = 0x10;  // attributes() only: it cannot be set
constexpr unsigned Archive = 0x20;
}  // namespace attr

// Registry root keys as the 32-bit values Windows gives them.
namespace hkey {
constexpr std::uint32_t ClassesRoot = 0x80000000u;
constexpr std::uint32_t CurrentUser = 0x80000001u;
constexpr std::uint32_t LocalMachine = 0x80000002u;
constexpr std::uint32_t Users = 0x80000003u;
}  // namespace hkey

// ShowWindow commands passed with a shell request.
namespace sw {
constexpr int Hide = 0;
constexpr int ShowNormal = 1;
constexpr int ShowMaximized = 3;
}  // namespace sw

// ExitWindowsEx flags.
constexpr unsigned EWX_REBOOT_FLAG = 2;

// What a page hands to ShellExecuteA. A parameter or directory that is
// std::nullopt is a null pointer on Windows; an empty string is "".
struct ShellRequest {
    std::uintptr_t owner = 0;  // window handle, 0 for none
    std::string verb;
    std::string file;
    std::optional<std::string> parameters;
    std::optional<std::string> directory;
    int show = sw::ShowNormal;
};

// The registry writer component kept by the main window in `Registry`.
class IRegistryWriter {
public:
    virtual ~IRegistryWriter() = default;

    // Stores a string value (REG_SZ) `valueName` = `valueData` under
    // rootKey\keyPath, creating the key when needed. An empty value name is
    // the key's unnamed default value. A failure throws zarvo::Error and
    // stores nothing.
    virtual void storeString(std::uint32_t rootKey, std::string_view keyPath,
                             std::string_view valueName, std::string_view valueData) = 0;
    // The string value as UTF-8; nullopt when the key or the value is
    // missing or the value is not a string.
    virtual std::optional<std::string> readString(std::uint32_t rootKey, std::string_view keyPath,
                                                  std::string_view valueName) = 0;
    // Removes a value; a missing key or value is not an error.
    virtual void deleteValue(std::uint32_t rootKey, std::string_view keyPath,
                             std::string_view valueName) = 0;
};

class ISystem {
public:
    virtual ~ISystem() = default;

    // Exact copy, replacing an existing destination. 53 when the source is
    // missing, 75 when the destination is read-only.
    virtual void copyFile(const std::string& source, const std::string& destination) = 0;
    // Never replaces: 53 source missing, 58 destination exists, 74 across devices.
    virtual void renameFile(const std::string& oldPath, const std::string& newPath) = 0;
    // 53 missing, 75 read-only.
    virtual void deleteFile(const std::string& path) = 0;
    // Throws the error that copyFile(source, destination) would raise, and
    // changes nothing, so that a step can refuse before it touches anything.
    // Only a readable regular file copies (75 otherwise), and only into an
    // existing folder (76) over nothing or a writable file (75). A source
    // that is the very file `deletedFirst` counts as missing (53): it would
    // be gone by the time of the copy. "" names no such file.
    virtual void checkCopyable(const std::string& source, const std::string& destination,
                               const std::string& deletedFirst) = 0;
    // Sets the attribute bits (attr::...); 0 clears read-only, hidden and system.
    virtual void setAttributes(const std::string& path, unsigned attributes) = 0;
    virtual unsigned attributes(const std::string& path) = 0;
    virtual bool fileExists(const std::string& path) = 0;
    // Creates a folder and its parents; an existing folder is fine.
    virtual void createDirectory(const std::string& path) = 0;
    // Creates a new file with these bytes; 58 when a file of that name exists.
    virtual void writeNewFile(const std::string& path, std::string_view bytes) = 0;
    // Writes a file's bytes atomically, creating it or replacing it whole: a
    // failure leaves what was there. 75 when it is read-only or a folder.
    virtual void replaceFile(const std::string& path, std::string_view bytes) = 0;
    // Throws the error replaceFile(path, ...) would raise, and changes
    // nothing: 76 for a missing folder, 75 for a read-only file or a folder.
    virtual void checkReplaceable(const std::string& path) = 0;
    // The whole file; 53 when it is missing, 75 for a folder.
    virtual std::string readFile(const std::string& path) = 0;

    // Text in the ANSI code page of this Windows (1251 on the emulated
    // drive and in images, the system's own on Windows), as INI files and
    // the shell take it; nullopt for what the code page cannot hold.
    virtual std::optional<std::string> ansiFromUtf8(std::string_view utf8);
    virtual std::string utf8FromAnsi(std::string_view ansi);
    // Windows 98 keeps INI files such as WIN.INI in memory: this writes that
    // copy out before the file is read, and drops it after the file was
    // written. Nothing where no Windows runs.
    virtual void flushProfile(const std::string& /*path*/) {}

    virtual std::unique_ptr<IRegistryWriter> createRegistryWriter() = 0;

    // ShellExecuteA: the result is never examined, failures are silent.
    virtual void shellExecute(const ShellRequest& request) = 0;
    // Whether shellExecute has a program to open a document with, a text
    // file among them, so that the window can say what is missing instead
    // of failing silently. Windows always has; elsewhere it takes xdg-open.
    virtual bool opensDocuments() { return true; }
    // ExitWindowsEx: nonzero when the restart goes ahead, zero when refused.
    virtual int exitWindowsEx(unsigned flags, unsigned reserved) = 0;
    // Shows `path` as the desktop's wallpaper now ("" for none):
    // SystemParametersInfoA(SPI_SETDESKWALLPAPER), which leaves the profile
    // to whoever wrote it. False when Windows refuses the picture. Where no
    // Windows runs, the profile is all there is, and this is true.
    virtual bool refreshWallpaper(const std::string& /*path*/) { return true; }

    // Calls made while the returned object lives make one change of the
    // program's (a step, setting the wallpaper): a disk image keeps what it
    // learnt of its folders across them, and makes sure once, before the
    // first write, that no other program has it open. Batches nest; the
    // outermost counts. Nothing where a call costs little.
    class Batch {
    public:
        virtual ~Batch() = default;
    };
    virtual std::unique_ptr<Batch> batch() { return nullptr; }

    // Clears up what writes in these folders that a kill cut short left:
    // the temporary files are removed, except where one holds the only copy
    // of a file whose replacement was interrupted; that replacement is
    // finished. Only the program's own names are touched, and a file still
    // being written by a running copy of the program stays. A missing folder
    // has nothing to clear up.
    virtual void recoverInterruptedWrites(const std::vector<std::string>& folders) = 0;

    // A name for this run of the program, which a later run can ask about:
    // what one run records on the drive, another tells from its own.
    virtual std::string sessionId() = 0;
    // Whether the run named `id` is still going.
    virtual bool sessionRunning(const std::string& id) = 0;

    // Where the host keeps a Windows path (identity on Windows); 76 for a
    // drive that is not there.
    virtual std::string hostPath(const std::string& windowsPath) = 0;
    // The Windows path under which the program sees a host path.
    virtual std::string windowsPath(const std::string& hostPath) = 0;
};

}  // namespace zarvo
