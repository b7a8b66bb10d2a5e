#include "changes/shell_icons.h"

#include <optional>

#include "changes/copies.h"
#include "changes/drive_c.h"
#include "changes/program_folder.h"
#include "formats/ico_judge.h"
#include "formats/regedit4.h"
#include "system/error.h"
#include "system/windows_path.h"

namespace zarvo {

bool isShellIconsKey(std::uint32_t rootKey, std::string_view keyPath) {
    return rootKey == kShellIconsRoot &&
           winpath::sameName(regedit4::canonicalKeyPath(keyPath), kShellIconsKey);
}

std::string iconCache() {
    return std::string(kWindowsFolder) + "\\ShellIconCache";
}

std::string iconToStore(ISystem& system, IPictures& pictures, const std::string& path) {
    const auto batch = system.batch();
    std::string bytes;
    try {
        bytes = system.readFile(path);
    } catch (const Error&) {
        // What cannot be read (missing, a folder) is stored as it always
        // was: the value names it.
        return path;
    }
    // A bitmap is what the value has always named; an icon Windows 98 shows
    // stays as it is.
    if (bytes.starts_with("BM")) return path;
    const std::optional<ico::Judgement> judgement = ico::judge(bytes);
    if (judgement && judgement->fine()) return path;
    const std::optional<std::string> icon = pictures.windows98Icon(system.hostPath(path));
    if (!icon) return path;
    return placeCopy(system, programfolder::iconFolder(), withExtension(fileNameOf(path), ".ico"),
                     *icon);
}

}  // namespace zarvo
