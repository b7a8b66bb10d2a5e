#include "changes/drive_c.h"

#include "system/error.h"
#include "system/system.h"
#include "system/windows_path.h"

namespace zarvo {

std::optional<std::vector<std::string>> partsOnDriveC(ISystem& system, const std::string& path) {
    try {
        winpath::Parsed parsed = winpath::parse(path);
        // Only the host knows where a Z:\ path leads; asking it of a C:\ path
        // would cost a disk image a copy of the file.
        if (parsed.drive == 'Z') {
            try {
                parsed = winpath::parse(system.windowsPath(system.hostPath(path)));
            } catch (const Error&) {
            }
        }
        if (parsed.drive == 'C') return std::move(parsed.parts);
    } catch (const Error&) {
    }
    return std::nullopt;
}

}  // namespace zarvo
