#pragma once

// On a real Windows tree (a disk image, a mounted partition) only drive C:
// exists when that Windows runs: a value naming a file elsewhere (Z:\home\...)
// would name nothing there. This layer copies such a file into the drive's
// program folder first and stores the name of the copy:
//   C:\Program Files\Zarvo\ico\         icons stored in Shell Icons
//   C:\Program Files\Zarvo\Wallpaper\   the desktop wallpaper
// A name already taken by a different file is never overwritten: the copy
// gets a free one (name~2.ext, ...); an identical file there is reused.

#include <map>
#include <memory>
#include <string>

#include "system/system.h"

namespace zarvo {

inline constexpr const char* kIconCopies = "C:\\Program Files\\Zarvo\\ico";
inline constexpr const char* kWallpaperCopies = "C:\\Program Files\\Zarvo\\Wallpaper";

// An ISystem that passes everything on to `system`, except that
// - a Shell Icons value and the desktop wallpaper that name a file outside
//   drive C: name a copy of it inside the drive;
// - renaming a file outside drive C: to another name outside it (the icon
//   page's "bmp" step, which gives a picture the ".ico" name) leaves the
//   user's file as it is and makes the copy inside the drive under the new
//   name instead; the value that names the new name then names that copy.
class IntoDrive : public ISystem {
public:
    explicit IntoDrive(ISystem& system);
    ~IntoDrive() override;

    // The Windows path of the copy inside the drive that a value naming
    // `path` should name; `path` itself when it lies on drive C: or names no
    // file. `folder` is where a new copy goes. Failures throw zarvo::Error.
    std::string intoDrive(const std::string& path, const std::string& folder);

    void copyFile(const std::string& source, const std::string& destination) override;
    void renameFile(const std::string& oldPath, const std::string& newPath) override;
    void deleteFile(const std::string& path) override;
    void checkCopyable(const std::string& source, const std::string& destination,
                       const std::string& deletedFirst) override;
    void setAttributes(const std::string& path, unsigned attributes) override;
    unsigned attributes(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    void createDirectory(const std::string& path) override;
    void writeNewFile(const std::string& path, std::string_view bytes) override;
    void replaceFile(const std::string& path, std::string_view bytes) override;
    std::string readFile(const std::string& path) override;
    std::optional<std::string> iniValue(const std::string& path, std::string_view section,
                                        std::string_view key) override;
    void setIniValue(const std::string& path, std::string_view section, std::string_view key,
                     const std::optional<std::string>& value) override;
    std::unique_ptr<IRegistryWriter> createRegistryWriter() override;
    void shellExecute(const ShellRequest& request) override;
    int exitWindowsEx(unsigned flags, unsigned reserved) override;
    bool setDesktopWallpaper(const std::string& path) override;
    std::string hostPath(const std::string& windowsPath) override;
    std::string windowsPath(const std::string& hostPath) override;

private:
    class Writer;

    bool onDriveC(const std::string& path);
    // A free name in `folder` for `name`, or the name of an identical file.
    std::string placeFor(const std::string& folder, const std::string& name,
                         const std::string& bytes);

    ISystem& system_;
    // Outside names given by a "bmp" rename, and the copies made for them.
    std::map<std::string, std::string> renamed_;
};

}  // namespace zarvo
