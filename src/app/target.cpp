#include "app/target.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <utility>

#include "changes/into_drive.h"
#include "changes/kept_originals.h"
#include "system/image/image_system.h"
#include "system/linux/host_file.h"
#include "system/linux/linux_system.h"
#include "system/linux/wine_prefix.h"
#include "system/registry_store.h"
#include "system/windows_path.h"

namespace zarvo {

namespace {

namespace fs = std::filesystem;

// The entry of `folder` named `name` ignoring case; empty when none is.
fs::path entryNamed(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (winpath::sameName(it->path().filename().string(), name)) return it->path();
    return {};
}

// 0 when the program may make files in the folder, else the errno.
int writeRefusal(const fs::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

}  // namespace

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

    std::error_code ec;
    fs::path root = fs::absolute(drive.root, ec).lexically_normal();
    if (!root.has_filename()) root = root.parent_path();
    const fs::file_status status = fs::status(root, ec);
    if (fs::is_directory(status)) {
        drive.isNew = fs::is_empty(root, ec) && !ec;
        // A read-only mount harms nothing by being looked at: its pictures,
        // icons, wallpaper and help still show.
        if (const int refusal = writeRefusal(root); refusal == EROFS)
            drive.readOnly = true;
        else if (refusal != 0)
            refuse(err::PermissionDenied);
    } else if (status.type() == fs::file_type::not_found) {
        // A folder that is not there yet is made, but only inside one that is.
        drive.isNew = true;
        const fs::path parent = root.parent_path();
        const int refusal = fs::is_directory(parent, ec) ? writeRefusal(parent) : ENOENT;
        if (refusal == ENOENT)
            refuse(err::PathNotFound);
        else if (refusal == EROFS)
            refuse(err::PathFileAccessError);
        else if (refusal != 0)
            refuse(err::PermissionDenied);
    } else {
        refuse(status.type() == fs::file_type::none ? err::PermissionDenied : err::PathNotFound);
    }
    return drive;
}

bool isRealWindowsTree(const std::string& driveRoot) {
    const fs::path windows = entryNamed(driveRoot, "Windows");
    if (windows.empty()) return false;
    for (const char* name : {"WIN.COM", "SYSTEM.DAT", "USER.DAT"})
        if (!hostfile::isRegularFile(entryNamed(windows, name).string())) return false;
    return true;
}

std::string registryStoreFor(const std::string& driveRoot, bool realTree) {
    if (!realTree) return LinuxSystem::defaultRegistryStore(driveRoot);
    const std::string name = winpath::parse(kDriveRegistryFile).parts.back();
    const fs::path existing = entryNamed(driveRoot, name);
    return (existing.empty() ? fs::path(driveRoot) / name : existing).string();
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
