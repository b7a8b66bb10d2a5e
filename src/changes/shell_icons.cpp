#include "changes/shell_icons.h"

#include "changes/drive_c.h"

namespace zarvo {

std::string iconCache() {
    return std::string(kWindowsFolder) + "\\ShellIconCache";
}

std::string iconToStore(ISystem& /*system*/, IPictures& /*pictures*/, const std::string& path) {
    return path;
}

}  // namespace zarvo
