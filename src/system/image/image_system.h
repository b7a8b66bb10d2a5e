#pragma once

// Drive C: as a FAT file system inside a disk image or a block device,
// changed in place through mtools, without root: a raw disk, a fixed VHD or
// a block device directly, and the disk of every other format an emulator
// makes (qcow2, VDI, VMDK, VHDX, a dynamic VHD) as QEMU's block layer shows
// it, a raw file exported over FUSE for as long as the session lasts.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "system/image/disk_image.h"
#include "system/image/image_error.h"
#include "system/image/mdir_listing.h"
#include "system/system.h"

namespace zarvo {

struct ImageOptions {
    // The image file or block device.
    std::string imagePath;
    // The MBR partition to use, counted from 1; 0 takes the first FAT one.
    int partition = 0;
    // The restart request; true when it goes ahead. Empty: always true.
    std::function<bool()> restart;
    // Shows a Windows help file (by host path) with a ShowWindow command.
    std::function<void(const std::string& hostPath, int show)> openHelp;
    // The FUSE device an export opens; another path lets tests have one
    // that cannot be opened.
    std::string fuseDevice = "/dev/fuse";
};

// Opens the FAT file system in the image as drive C:, and holds the image
// until the system is destroyed. Throws ImageError when the file is no
// usable image, mtools is missing or the image's format cannot be exported,
// and DriveInUse when another program has the image open.
std::unique_ptr<ISystem> openImageSystem(const ImageOptions& options);

namespace image {
class BlockExport;
class ImageHold;
class Mtools;
}  // namespace image
namespace posix {
struct Ran;
}  // namespace posix

// Drive C: is the FAT volume; drive Z: is the host's "/", read only: the
// program writes only into the image.
//
// Choices where the image differs from a host folder:
// - Lookup is the FAT one: a long name ignoring case, one component at a
//   time. A short name written for a new long name is in code page 866.
// - Every whole-file write (copy, new file, replacement) goes to a
//   temporary name in the destination folder first and is renamed over the
//   old file only once it is complete. A replacement first leaves a record
//   of what its temporary file becomes, since while mtools swaps the names
//   that file is the only copy; the next session finishes such a swap
//   (recoverInterruptedWrites; interrupted_writes.h).
// - mren never gives an entry a name that needs more directory slots than
//   the entry has (fat_names.h): a temporary name takes as many as the name
//   it becomes, and a rename within a folder to a longer name writes the
//   file anew under it and then removes the old one. A kill in between
//   leaves both, never neither.
// - The image is held for the object's whole life (ImageHold), and each
//   operation that changes the volume first makes sure that no other
//   program has the image open: DriveInUse otherwise, with nothing changed.
// - The registry is C:\ZARVO.REG inside the image: REGEDIT4, code page
//   1251, CRLF, ready to be imported in Windows. Text is in code page 1251.
// - hostPath() of a file on C: is a copy extracted into a private folder,
//   for reading only; windowsPath() maps that folder back to C:.
class ImageSystem : public ISystem {
public:
    // `volumeFile` holds the volume: the image itself, or the raw file
    // `exported` serves it as.
    ImageSystem(ImageOptions options, const image::Volume& volume,
                std::unique_ptr<image::ImageHold> hold,
                std::unique_ptr<image::BlockExport> exported);
    ~ImageSystem() override;

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
    std::unique_ptr<IRegistryWriter> createRegistryWriter() override;
    void shellExecute(const ShellRequest& request) override;
    // xdg-open on $PATH, which xdg-utils installs.
    bool opensDocuments() override;
    int exitWindowsEx(unsigned flags, unsigned reserved) override;
    std::unique_ptr<ISystem::Batch> batch() override;
    void recoverInterruptedWrites(const std::vector<std::string>& folders) override;
    std::string sessionId() override;
    bool sessionRunning(const std::string& id) override;
    std::string hostPath(const std::string& windowsPath) override;
    std::string windowsPath(const std::string& hostPath) override;

    // The file mtools works on: the image, or the raw disk its export serves.
    const std::string& volumeFile() const { return volumeFile_; }

    // Makes the next whole-file write fail after its temporary copy is
    // written, for tests of what an interrupted write leaves.
    void failNextWriteForTest() { failNextWrite_ = true; }

    // One entry of a folder on the volume.
    using Entry = image::ListedEntry;
    // A path on drive C: looked up: the names as the volume spells them.
    struct Found {
        std::vector<std::string> parts;
        bool folderExists = false;  // the folder it is in
        std::optional<Entry> entry;
    };

private:
    class Operation;
    class Batch;

    // A folder's entries; kept until the next change or the end of the
    // operation, as one operation looks up the same folders again and again.
    std::vector<Entry> list(const std::vector<std::string>& folder) const;
    std::vector<Entry> listUncached(const std::string& drivePath) const;
    // The attribute bits of an entry of a folder (not a folder's own).
    unsigned attributesOf(const std::vector<std::string>& folder, const std::string& name) const;
    // What was learnt of the folders: at every change and every operation's end.
    void forgetFolders() const;
    // Before any write to the volume: the first in an operation makes sure
    // the image is not open elsewhere.
    void beforeWriting();
    // Runs an mtools program that changes the volume.
    posix::Ran change(const std::string& program, const std::vector<std::string>& args);
    Found find(const std::vector<std::string>& parts) const;
    // The long name of the entry whose short name is this (folded); nullopt
    // when there is none.
    std::optional<std::string> longNameOf(const std::vector<std::string>& folder,
                                          const std::string& foldedShortName) const;
    Found existing(const std::string& path, int emptyError) const;
    Found writable(const std::string& path, int emptyError) const;
    // What replaceFile may write: 75 too for a read-only file or a folder.
    Found replaceable(const std::string& path) const;
    // Writes the file `hostSource` (or the volume file `volumeSource`) to
    // `target` through a temporary name, with these attributes; `keepTime`
    // keeps the source's time of last change.
    void writeThroughTemporary(const Found& target, const std::string& hostSource,
                               const std::string& volumeSource, unsigned attributes,
                               bool keepTime = false);
    // renameFile of a file to another spelling of its name, `to`.
    void changeCase(const Found& from, const Found& to);
    // Gives the file `from` the name `to` in its own folder by writing it
    // anew under that name, for a name that needs more directory slots than
    // its entry has, which mren cannot give it in place (fat_names.h). `to`
    // is free, or `from` itself under another spelling. 75 for a folder.
    void rewriteUnder(const Found& from, const Found& to);
    // A host file holding `bytes`, named `name` in the work folder.
    std::string hostFileFor(std::string_view bytes, const char* name = "data");
    // A number for a temporary file and its record that neither uses in `entries`.
    unsigned freeTemporaryNumber(const std::vector<Entry>& entries, const std::string& finalName);
    // Writes the record of the temporary file numbered `number` in `folder`
    // that becomes `finalName` (interrupted_writes.h); its drive path.
    std::string writeRecord(const std::vector<std::string>& folder, unsigned number,
                            const std::string& finalName);
    void setBits(const std::string& drivePath, unsigned attributes);
    // Finishes or removes what interrupted writes left in one folder
    // (interrupted_writes.h).
    void recoverIn(const std::vector<std::string>& folder);
    // Whether mdel may remove a leftover: its cluster chain is its own and
    // sound, or is made so (fat_volume.h).
    bool madeSafeToDelete(const std::string& leftoverDrivePath);
    std::optional<std::uint64_t> sizeOf(const std::string& drivePath) const;

    ImageOptions options_;
    std::unique_ptr<image::ImageHold> hold_;
    std::unique_ptr<image::BlockExport> export_;  // ends after the mtools runs
    std::string volumeFile_;                      // the image, or the raw file exported
    std::unique_ptr<image::Mtools> mtools_;
    image::FatLayout layout_;
    std::string cache_;
    mutable std::map<std::string, std::vector<Entry>> listings_;
    mutable std::map<std::string, std::map<std::string, unsigned>> marks_;
    int depth_ = 0;         // operations under way, one inside another
    bool checked_ = false;  // this operation made sure it has the image alone
    unsigned counter_ = 0;
    bool failNextWrite_ = false;
};

}  // namespace zarvo
