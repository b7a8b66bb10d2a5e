#include "changes/wallpaper.h"

#include <optional>

#include "changes/copies.h"
#include "changes/drive_c.h"
#include "changes/program_folder.h"
#include "formats/regedit4.h"
#include "formats/screen_file.h"
#include "system/error.h"
#include "system/ini_files.h"
#include "system/windows_path.h"

namespace zarvo {

bool isWallpaperValue(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName) {
    return rootKey == kDesktopRoot &&
           winpath::sameName(regedit4::canonicalKeyPath(keyPath), kDesktopKey) &&
           winpath::sameName(valueName, kWallpaperValue);
}

std::string winIni() {
    return std::string(kWindowsFolder) + "\\WIN.INI";
}

bool setWallpaper(ISystem& system, const std::string& path) {
    const auto batch = system.batch();
    try {
        if (!path.empty() &&
            (!system.fileExists(path) || (system.attributes(path) & attr::Directory)))
            return false;
        if (!system.ansiFromUtf8(path)) return false;  // no profile could name it

        // What can refuse is asked before anything is written.
        const std::string ini = winIni();
        if (system.fileExists(std::string(kWindowsFolder))) system.checkReplaceable(ini);
        const auto registry = system.createRegistryWriter();
        const auto oldValue = registry->readString(kDesktopRoot, kDesktopKey, kWallpaperValue);
        const auto oldLine = iniValue(system, ini, kDesktopSection, kWallpaperValue);
        registry->storeString(kDesktopRoot, kDesktopKey, kWallpaperValue, path);
        bool lineWritten = false;
        try {
            const std::string named =
                registry->readString(kDesktopRoot, kDesktopKey, kWallpaperValue).value_or(path);
            system.createDirectory(std::string(kWindowsFolder));
            setIniValue(system, ini, kDesktopSection, kWallpaperValue, named);
            lineWritten = true;
            if (!system.refreshWallpaper(named)) throw Error(err::InvalidPicture);
        } catch (const Error&) {
            // Both back as they were, so that they never name two files.
            try {
                if (oldValue)
                    registry->storeString(kDesktopRoot, kDesktopKey, kWallpaperValue, *oldValue);
                else
                    registry->deleteValue(kDesktopRoot, kDesktopKey, kWallpaperValue);
                if (lineWritten)
                    setIniValue(system, ini, kDesktopSection, kWallpaperValue, oldLine);
            } catch (const Error&) {
            }
            return false;
        }
        return true;
    } catch (const Error&) {
        return false;
    }
}

bool setWallpaperFrom(ISystem& system, IPictures& pictures, const std::string& path) {
    if (path.empty()) return setWallpaper(system, path);  // no wallpaper
    const auto batch = system.batch();
    std::string bytes;
    try {
        bytes = system.readFile(path);
    } catch (const Error&) {
        return false;
    }
    if (bytes.starts_with("BM")) return screen::isWholeBitmap(bytes) && setWallpaper(system, path);
    std::optional<std::string> bitmap;
    try {
        bitmap = pictures.windowsBitmap(system.hostPath(path), kMostWallpaperWidth,
                                        kMostWallpaperHeight, kDesktopColour);
    } catch (const Error&) {
    }
    if (!bitmap) return false;
    try {
        const std::string copy = placeCopy(system, programfolder::wallpaperFolder(),
                                           withExtension(fileNameOf(path), ".bmp"), *bitmap);
        return setWallpaper(system, copy);
    } catch (const Error&) {
        return false;
    }
}

}  // namespace zarvo
