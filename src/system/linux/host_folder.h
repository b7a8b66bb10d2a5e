#pragma once

// What the host file system says of a folder named as drive C: and of the
// entries in it. It only looks; what to make of the answers is for the
// program to decide.

#include <string>
#include <string_view>

namespace zarvo::hostfolder {

// What stands at a folder's path, and whether files may be made there.
struct Probe {
    enum class Kind {
        Folder,
        Missing,     // nothing is there
        NotAFolder,  // a file, a device, anything else
        Unreadable,  // its status cannot be read: a folder on the way forbids it
    };
    Kind kind = Kind::Missing;
    // A folder without entries.
    bool empty = false;
    // 0 when files may be made in the folder (a missing one: in its parent),
    // else the errno: EROFS for a read-only file system, ENOENT for a
    // missing folder whose parent is no folder either.
    int writeRefusal = 0;
};

// The folder at `path`, made absolute and normal first.
Probe probe(const std::string& path);

// The entry of `folder` named `name` ignoring case, as a path; "" when
// none is.
std::string entryNamed(const std::string& folder, std::string_view name);

}  // namespace zarvo::hostfolder
