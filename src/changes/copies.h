#pragma once

// A file the program puts into one of its folders on the drive: a copy of a
// file from outside the drive, or a picture converted for Windows 98. A name
// already taken by a different file is never overwritten: the copy gets a
// free one (name~2.ext, name~3.ext...); an identical file there is used as
// it is.

#include <string>
#include <string_view>

namespace zarvo {

class ISystem;

// Writes `bytes` as `name` in `folder` (made when missing) under these
// rules, and returns the Windows path of the file that holds them.
std::string placeCopy(ISystem& system, const std::string& folder, std::string_view name,
                      std::string_view bytes);

// The last component of a Windows path ("C:\a\Sea.jpg" gives "Sea.jpg").
std::string fileNameOf(const std::string& path);

// The name with another extension ("Sea.jpg", ".bmp" gives "Sea.bmp").
std::string withExtension(std::string_view name, std::string_view extension);

}  // namespace zarvo
