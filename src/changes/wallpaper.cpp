#include "changes/wallpaper.h"

#include <optional>
#include <vector>

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
    return desktopValueOf(rootKey, keyPath, valueName) == kWallpaperValue;
}

std::optional<std::string_view> desktopValueOf(std::uint32_t rootKey, std::string_view keyPath,
                                               std::string_view valueName) {
    if (rootKey != kDesktopRoot ||
        !winpath::sameName(regedit4::canonicalKeyPath(keyPath), kDesktopKey))
        return std::nullopt;
    for (std::string_view name : kDesktopValues)
        if (winpath::sameName(valueName, name)) return name;
    return std::nullopt;
}

std::string winIni() {
    return std::string(kWindowsFolder) + "\\WIN.INI";
}

bool setWallpaper(ISystem& system, const std::string& path,
                  std::optional<WallpaperPlacement> placement) {
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

        // Each value and its WIN.INI line: the wallpaper's first, then how
        // it is placed; what each held before, to put back on a failure.
        struct Setting {
            std::string_view name;
            std::string value;
            std::optional<std::string> oldValue;
            std::optional<std::string> oldLine;
        };
        std::vector<Setting> settings{{kWallpaperValue, path, {}, {}}};
        if (placement) {
            settings.push_back({kWallpaperStyleValue, std::string(placement->style), {}, {}});
            settings.push_back({kTileWallpaperValue, std::string(placement->tile), {}, {}});
        }
        for (Setting& setting : settings) {
            setting.oldValue = registry->readString(kDesktopRoot, kDesktopKey, setting.name);
            setting.oldLine = iniValue(system, ini, kDesktopSection, setting.name);
        }
        std::size_t stored = 0;
        std::size_t written = 0;
        try {
            for (; stored < settings.size(); ++stored)
                registry->storeString(kDesktopRoot, kDesktopKey, settings[stored].name,
                                      settings[stored].value);
            const std::string named =
                registry->readString(kDesktopRoot, kDesktopKey, kWallpaperValue).value_or(path);
            settings.front().value = named;
            system.createDirectory(std::string(kWindowsFolder));
            for (; written < settings.size(); ++written)
                setIniValue(system, ini, kDesktopSection, settings[written].name,
                            settings[written].value);
            if (!system.refreshWallpaper(named)) throw Error(err::InvalidPicture);
        } catch (const Error&) {
            // All back as they were, so that the two places never name two
            // files or two placements.
            try {
                for (std::size_t i = 0; i < stored; ++i) {
                    if (settings[i].oldValue)
                        registry->storeString(kDesktopRoot, kDesktopKey, settings[i].name,
                                              *settings[i].oldValue);
                    else
                        registry->deleteValue(kDesktopRoot, kDesktopKey, settings[i].name);
                }
                for (std::size_t i = 0; i < written; ++i)
                    setIniValue(system, ini, kDesktopSection, settings[i].name,
                                settings[i].oldLine);
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
        return setWallpaper(system, copy, kStretched);
    } catch (const Error&) {
        return false;
    }
}

}  // namespace zarvo
