#pragma once

// On a real Windows tree (a disk image, a mounted partition) only drive C:
// exists when that Windows runs: a value naming a file elsewhere (Z:\home\...)
// would name nothing there. This layer copies such a file into the drive's
// program folder first (icons into its "ico" folder, wallpapers into
// "Wallpaper") and stores the name of the copy. A name already taken by a different file is never
// overwritten: the copy gets a free one (name~2.ext, ...); an identical file there is reused.

#include <map>
#include <memory>
#include <string>

#include "system/forwarding_system.h"
#include "system/system.h"

namespace zarvo {

// An ISystem that passes everything on to `system`, except that
// - a Shell Icons value and the wallpaper value that name a file outside
//   drive C: name a copy of it inside the drive (and so does WIN.INI's
//   wallpaper line, which names what the value names);
// - renaming a file outside drive C: to another name outside it (the icon
//   page's "bmp" step, which gives a picture the ".ico" name) leaves the
//   user's file as it is and makes the copy inside the drive under the new
//   name instead; the value that names the new name then names that copy.
class IntoDrive : public ForwardingSystem {
public:
    explicit IntoDrive(ISystem& system);
    ~IntoDrive() override;

    // The Windows path of the copy inside the drive that a value naming
    // `path` should name; `path` itself when it lies on drive C: or names no
    // file. `folder` is where a new copy goes. Failures throw zarvo::Error.
    std::string intoDrive(const std::string& path, const std::string& folder);

    void renameFile(const std::string& oldPath, const std::string& newPath) override;
    std::unique_ptr<IRegistryWriter> createRegistryWriter() override;

private:
    class Writer;

    bool onDriveC(const std::string& path);

    // Outside names given by a "bmp" rename, and the copies made for them.
    std::map<std::string, std::string> renamed_;
};

}  // namespace zarvo
