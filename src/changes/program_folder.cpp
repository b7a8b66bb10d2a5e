#include "changes/program_folder.h"

#include "changes/drive_c.h"

namespace zarvo::programfolder {

std::string path(std::string_view relative) {
    std::string out(kFolder);
    out += '\\';
    out.append(relative);
    return out;
}

std::string helpFile() {
    return path("ZARVO.HLP");
}

std::string cursorFile() {
    return path("32761.CUR");
}

std::string picturesFolder() {
    return path("Zarvo");
}

std::string iconFolder() {
    return path("ico");
}

std::string wallpaperFolder() {
    return path("Wallpaper");
}

std::string screenFolder() {
    return path("Screens");
}

std::string backupFolder() {
    return path("Backup");
}

std::string stagedCopiesFile() {
    return path("STAGED.INI");
}

std::vector<std::string> writtenFolders() {
    return {std::string(kDriveRoot), std::string(kWindowsFolder),
            std::string(kFolder),    picturesFolder(),
            backupFolder(),          iconFolder(),
            wallpaperFolder(),       screenFolder()};
}

}  // namespace zarvo::programfolder
