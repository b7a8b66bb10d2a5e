#include "changes/into_drive.h"

#include <utility>

#include "changes/drive_c.h"
#include "changes/program_folder.h"
#include "changes/shell_icons.h"
#include "changes/wallpaper.h"
#include "formats/regedit4.h"
#include "system/error.h"
#include "system/windows_path.h"

namespace zarvo {

namespace {

std::string fileNameOf(const std::string& path) {
    const std::vector<std::string> parts = winpath::parse(path).parts;
    return parts.empty() ? std::string() : parts.back();
}

// "name~2.ext" for ("name.ext", 2).
std::string numbered(const std::string& name, int number) {
    const std::size_t dot = name.rfind('.');
    std::string out = name.substr(0, dot);
    out += '~';
    out += std::to_string(number);
    if (dot != std::string::npos) out += name.substr(dot);
    return out;
}

std::string joined(const std::string& folder, const std::string& name) {
    std::string out = folder;
    out += '\\';
    out += name;
    return out;
}

}  // namespace

class IntoDrive::Writer : public ForwardingRegistryWriter {
public:
    Writer(IntoDrive& owner, std::unique_ptr<IRegistryWriter> inner)
        : ForwardingRegistryWriter(std::move(inner)), owner_(owner) {}

    void storeString(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName,
                     std::string_view valueData) override {
        const std::string key = regedit4::canonicalKeyPath(keyPath);
        const bool icon = rootKey == kShellIconsRoot && winpath::sameName(key, kShellIconsKey);
        const bool wallpaper = rootKey == kDesktopRoot && winpath::sameName(key, kDesktopKey) &&
                               winpath::sameName(valueName, kWallpaperValue);
        if (icon || wallpaper) {
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

std::string IntoDrive::placeFor(const std::string& folder, const std::string& name,
                                const std::string& bytes) {
    for (int number = 1;; ++number) {
        const std::string candidate = joined(folder, number == 1 ? name : numbered(name, number));
        if (!system_.fileExists(candidate)) return candidate;
        try {
            if (system_.readFile(candidate) == bytes) return candidate;
        } catch (const Error&) {
            // A folder or an unreadable file of that name: take another.
        }
    }
}

std::string IntoDrive::intoDrive(const std::string& path, const std::string& folder) {
    if (path.empty() || onDriveC(path)) return path;
    for (const auto& [outside, copy] : renamed_)
        if (winpath::sameName(outside, path)) return copy;
    if (!system_.fileExists(path)) return path;
    const std::string bytes = system_.readFile(path);
    system_.createDirectory(folder);
    const std::string copy = placeFor(folder, fileNameOf(path), bytes);
    if (!system_.fileExists(copy)) system_.writeNewFile(copy, bytes);
    return copy;
}

void IntoDrive::renameFile(const std::string& oldPath, const std::string& newPath) {
    if (onDriveC(oldPath) || onDriveC(newPath)) {
        system_.renameFile(oldPath, newPath);
        return;
    }
    // The user's own file stays as it is; the drive gets it under the new name.
    if (!system_.fileExists(oldPath)) throw Error(err::FileNotFound);
    const std::string bytes = system_.readFile(oldPath);
    const std::string folder = programfolder::iconFolder();
    system_.createDirectory(folder);
    const std::string copy = placeFor(folder, fileNameOf(newPath), bytes);
    if (!system_.fileExists(copy)) system_.writeNewFile(copy, bytes);
    renamed_[newPath] = copy;
}

std::unique_ptr<IRegistryWriter> IntoDrive::createRegistryWriter() {
    return std::make_unique<Writer>(*this, system_.createRegistryWriter());
}

}  // namespace zarvo
