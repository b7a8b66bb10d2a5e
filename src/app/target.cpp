#include "app/target.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "changes/into_drive.h"
#include "changes/kept_originals.h"
#include "system/image/disk_image.h"
#include "system/image/image_error.h"
#include "system/image/image_system.h"
#include "system/linux/host_file.h"
#include "system/linux/host_folder.h"
#include "system/linux/linux_system.h"
#include "system/linux/wine_prefix.h"
#include "system/registry_store.h"
#include "system/windows_path.h"

namespace zarvo {

namespace {

// A file is a disk image by its content, as --image tells its format: one
// an emulator makes, or a raw disk or volume, which starts with a partition
// table or a FAT boot sector, both signed 55 AA. A file of a kind the image
// layer names and cannot use (packed, a CD, a differencing VHD, one this
// user may not read) is an image all the same: --image says why it is
// refused.
bool isDiskImage(const std::string& path) {
    try {
        if (image::recogniseDisk(path).name != "raw") return true;
    } catch (const ImageError& error) {
        return error.reason() != ImageError::Reason::TooSmall;
    }
    std::ifstream in(path, std::ios::binary);
    unsigned char head[512] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    return in && head[510] == 0x55 && head[511] == 0xAA;
}

}  // namespace

std::optional<std::string> placeFile(TargetOptions& target) {
    if (target.file.empty()) return std::nullopt;
    const std::string file = std::exchange(target.file, {});
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0) return file + ": " + std::strerror(errno);
    if (S_ISBLK(status.st_mode) || (S_ISREG(status.st_mode) && isDiskImage(file))) {
        target.image = file;
        return std::nullopt;
    }
    if (!S_ISDIR(status.st_mode))
        return file + ": not a disk image, a block device or a folder holding Windows";
    if (!isRealWindowsTree(file) && winePrefixOf(file).empty())
        return file +
               ": a folder holding no installed Windows (WIN.COM, SYSTEM.DAT and USER.DAT in its "
               "Windows folder) and no Wine prefix's drive_c";
    target.drive = file;
    return std::nullopt;
}

DriveSetting driveSetting(const TargetOptions& target) {
    DriveSetting drive;
    if (!target.image.empty()) {
        drive.image = target.image;
        drive.partition = target.partition;
        return drive;
    }
    const bool byOption = !target.drive.empty();
    drive.root = byOption ? target.drive : LinuxSystem::defaultDriveRoot();
    const char* variable = std::getenv("ZARVO_DRIVE_C");
    const bool named = byOption || (variable && *variable);
    auto refuse = [&](int number) {
        if (!named) return;
        std::string text = errorDescription(number);
        text += byOption ? ". Папка диска C: из --drive: " : ". Папка диска C: из ZARVO_DRIVE_C: ";
        text += drive.root;
        drive.problem = Error(number, text);
    };

    using Kind = hostfolder::Probe::Kind;
    const hostfolder::Probe folder = hostfolder::probe(drive.root);
    switch (folder.kind) {
        case Kind::Folder:
            drive.isNew = folder.empty;
            // A read-only mount harms nothing by being looked at: its
            // pictures, icons, wallpaper and help still show.
            if (folder.writeRefusal == EROFS)
                drive.readOnly = true;
            else if (folder.writeRefusal != 0)
                refuse(err::PermissionDenied);
            break;
        case Kind::Missing:
            // A folder that is not there yet is made, but only inside one
            // that is.
            drive.isNew = true;
            if (folder.writeRefusal == ENOENT)
                refuse(err::PathNotFound);
            else if (folder.writeRefusal == EROFS)
                refuse(err::PathFileAccessError);
            else if (folder.writeRefusal != 0)
                refuse(err::PermissionDenied);
            break;
        case Kind::Unreadable:
            refuse(err::PermissionDenied);
            break;
        case Kind::NotAFolder:
            refuse(err::PathNotFound);
            break;
    }
    return drive;
}

bool isRealWindowsTree(const std::string& driveRoot) {
    const std::string windows = hostfolder::entryNamed(driveRoot, "Windows");
    if (windows.empty()) return false;
    for (const char* name : {"WIN.COM", "SYSTEM.DAT", "USER.DAT"})
        if (!hostfile::isRegularFile(hostfolder::entryNamed(windows, name))) return false;
    return true;
}

std::string registryStoreFor(const std::string& driveRoot, bool realTree) {
    if (!realTree) return LinuxSystem::defaultRegistryStore(driveRoot);
    const std::string name = winpath::parse(kDriveRegistryFile).parts.back();
    const std::string existing = hostfolder::entryNamed(driveRoot, name);
    return existing.empty() ? (std::filesystem::path(driveRoot) / name).string() : existing;
}

Target::Target() = default;
Target::Target(Target&&) noexcept = default;
Target& Target::operator=(Target&&) noexcept = default;
Target::~Target() = default;

ISystem& Target::plain() const {
    if (wine) return *wine;
    return *base;
}

ISystem& Target::top() const {
    return *keeping;
}

Target openTarget(const DriveSetting& drive, std::function<bool()> restart,
                  std::function<void(const std::string&, int)> openHelp) {
    Target target;
    bool realTree = false;
    if (!drive.image.empty()) {
        ImageOptions options;
        options.imagePath = drive.image;
        options.partition = drive.partition;
        options.restart = std::move(restart);
        options.openHelp = std::move(openHelp);
        target.base = openImageSystem(options);
        target.name = drive.image;
        realTree = true;
    } else {
        LinuxSystem::Options options;
        options.driveRoot = drive.root;
        realTree = isRealWindowsTree(drive.root);
        options.registryStorePath = registryStoreFor(drive.root, realTree);
        options.restart = std::move(restart);
        options.openHelp = std::move(openHelp);
        target.registryStore = options.registryStorePath;
        auto system = std::make_unique<LinuxSystem>(options);
        target.name = system->driveRoot();
        target.base = std::move(system);
        const std::string prefix = winePrefixOf(drive.root);
        if (!prefix.empty())
            target.wine = std::make_unique<WinePrefix>(*target.base, prefix, target.registryStore);
    }
    if (realTree) target.intoDrive = std::make_unique<IntoDrive>(target.plain());
    ISystem& below = target.intoDrive ? static_cast<ISystem&>(*target.intoDrive) : target.plain();
    target.keeping = std::make_unique<KeepingOriginals>(below);
    return target;
}

}  // namespace zarvo
