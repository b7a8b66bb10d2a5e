#include "changes/into_drive.h"

#include <utility>

#include "changes/copies.h"
#include "changes/drive_c.h"
#include "changes/program_folder.h"
#include "changes/shell_icons.h"
#include "changes/wallpaper.h"
#include "system/error.h"
#include "system/windows_path.h"

namespace zarvo {

class IntoDrive::Writer : public ForwardingRegistryWriter {
public:
    Writer(IntoDrive& owner, std::unique_ptr<IRegistryWriter> inner)
        : ForwardingRegistryWriter(std::move(inner)), owner_(owner) {}

    void storeString(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName,
                     std::string_view valueData) override {
        const bool icon = isShellIconsKey(rootKey, keyPath);
        if (icon || isWallpaperValue(rootKey, keyPath, valueName)) {
            const std::string copy =
                owner_.intoDrive(std::string(valueData), icon ? programfolder::iconFolder()
                                                              : programfolder::wallpaperFolder());
            inner_->storeString(rootKey, keyPath, valueName, copy);
            return;
        }
        inner_->storeString(rootKey, keyPath, valueName, valueData);
    }

private:
    IntoDrive& owner_;
};

IntoDrive::IntoDrive(ISystem& system) : ForwardingSystem(system) {}

IntoDrive::~IntoDrive() = default;

bool IntoDrive::onDriveC(const std::string& path) {
    // No path this layer can make anything of is left as it is.
    try {
        winpath::parse(path);
    } catch (const Error&) {
        return true;
    }
    return partsOnDriveC(system_, path).has_value();
}

std::string IntoDrive::intoDrive(const std::string& path, const std::string& folder) {
    if (path.empty() || onDriveC(path)) return path;
    for (const auto& [outside, copy] : renamed_)
        if (winpath::sameName(outside, path)) return copy;
    if (!system_.fileExists(path)) return path;
    return placeCopy(system_, folder, fileNameOf(path), system_.readFile(path));
}

void IntoDrive::renameFile(const std::string& oldPath, const std::string& newPath) {
    if (onDriveC(oldPath) || onDriveC(newPath)) {
        system_.renameFile(oldPath, newPath);
        return;
    }
    // The user's own file stays as it is; the drive gets it under the new name.
    if (!system_.fileExists(oldPath)) throw Error(err::FileNotFound);
    renamed_[newPath] = placeCopy(system_, programfolder::iconFolder(), fileNameOf(newPath),
                                  system_.readFile(oldPath));
}

std::unique_ptr<IRegistryWriter> IntoDrive::createRegistryWriter() {
    return std::make_unique<Writer>(*this, system_.createRegistryWriter());
}

}  // namespace zarvo
