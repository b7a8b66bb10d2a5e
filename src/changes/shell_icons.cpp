#include "changes/shell_icons.h"

#include "changes/drive_c.h"

namespace zarvo {

std::string iconCache() {
    return std::string(kWindowsFolder) + "\\ShellIconCache";
}

}  // namespace zarvo
