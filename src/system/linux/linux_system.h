#pragma once

// The system operations on a Linux host, where Windows is emulated: drive C:
// is a host folder (the drive root), drive Z: is the host's "/", the registry
// is a REGEDIT4 store file beside the drive root. Paths are looked up
// case-insensitively as on a FAT drive.
//
// Choices where Windows offers no single answer:
// - An empty name where a file is to be written (copy or rename destination,
//   new file, new folder) is error 75, what VB's FileCopy reports for a
//   destination it cannot open; an empty name to read from is 53.
// - A copy gets the source's hidden and system attributes and the archive
//   attribute, as CopyFile gives it, but never the read-only attribute, so
//   that the program can always replace what it copied.
// - Read-only on a folder is not kept: taking write permission from a host
//   folder would stop the program creating files in it.
// - Nothing done to a path on drive C: writes, removes or changes anything
//   outside the drive root, whatever symbolic links the drive holds: a path
//   that leads out through a link, the file's own name included, is refused
//   with 75 for every operation that changes something. Reading follows
//   links wherever they go, and drive Z: is the host's own file system,
//   links and all.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "system/linux/host_file.h"
#include "system/system.h"

namespace zarvo {

class LinuxSystem : public ISystem {
public:
    struct Options {
        // Host folder that is drive C:; empty for defaultDriveRoot().
        std::string driveRoot;
        // Host path of the registry store; empty for defaultRegistryStore(driveRoot).
        std::string registryStorePath;
        // Starts a program without waiting for it; empty for the real one.
        std::function<void(const std::vector<std::string>& argv)> spawn;
        // Shows a Windows help file (given by host path) with a ShowWindow
        // command; empty: help files go to xdg-open like any other file.
        std::function<void(const std::string& hostPath, int show)> openHelp;
        // The restart request; true when it goes ahead. Empty: always true.
        std::function<bool()> restart;
        // Makes file writes fail part way, for tests; empty: no faults.
        hostfile::WriteFault writeFault;
    };

    LinuxSystem();
    explicit LinuxSystem(Options options);

    // $ZARVO_DRIVE_C, else $XDG_DATA_HOME/zarvo/drive_c, else ~/.local/share/zarvo/drive_c.
    static std::string defaultDriveRoot();
    // "zarvo.reg" beside the drive root.
    static std::string defaultRegistryStore(const std::string& driveRoot);

    const std::string& driveRoot() const { return driveRoot_; }
    const std::string& registryStorePath() const { return storePath_; }

    void copyFile(const std::string& source, const std::string& destination) override;
    void checkCopyable(const std::string& source, const std::string& destination,
                       const std::string& deletedFirst) override;
    void renameFile(const std::string& oldPath, const std::string& newPath) override;
    void deleteFile(const std::string& path) override;
    void setAttributes(const std::string& path, unsigned attributes) override;
    unsigned attributes(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    void createDirectory(const std::string& path) override;
    void writeNewFile(const std::string& path, std::string_view bytes) override;
    void replaceFile(const std::string& path, std::string_view bytes) override;
    void checkReplaceable(const std::string& path) override;
    std::string readFile(const std::string& path) override;

    // Code page 1251, as a Russian Windows 98 has it.

    std::unique_ptr<IRegistryWriter> createRegistryWriter() override;

    void shellExecute(const ShellRequest& request) override;
    // xdg-open on $PATH, which xdg-utils installs.
    bool opensDocuments() override;
    int exitWindowsEx(unsigned flags, unsigned reserved) override;

    void recoverInterruptedWrites(const std::vector<std::string>& folders) override;
    std::string sessionId() override;
    bool sessionRunning(const std::string& id) override;

    std::string hostPath(const std::string& windowsPath) override;
    std::string windowsPath(const std::string& hostPath) override;

private:
    // Where something is to be written, removed or changed: its folder,
    // opened so that on drive C: nothing on the way leads out of the drive
    // (75), and its name in that folder, which must not lead out either.
    struct Place {
        hostfile::Fd folder;
        std::string name;
    };

    // The host path of an existing file or folder; 53, or 76 when its folder
    // is missing too, otherwise. `emptyError` is thrown for "".
    std::string existingHostPath(const std::string& windowsPath, int emptyError);
    // 76 when the folder is missing, `emptyError` for "", 75 for a drive's root.
    Place writablePlace(const std::string& windowsPath, int emptyError);
    // A place replaceFile may write: 75 too for a read-only file or a folder.
    Place replaceablePlace(const std::string& windowsPath);
    // An existing file or folder itself, opened with `flags` to be changed.
    hostfile::Fd openForChange(const std::string& windowsPath, int flags);
    // The drive root, to resolve paths on drive C: below it.
    hostfile::Fd openDriveRoot() const;
    // A host path on drive C: relative to the drive root ("" for the root).
    std::string relativeToDrive(const std::string& host) const;

    std::string driveRoot_;
    std::string storePath_;
    Options options_;
};

}  // namespace zarvo
