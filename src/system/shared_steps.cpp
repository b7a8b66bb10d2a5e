#include "system/shared_steps.h"

#include <cstdio>

#include "formats/cp1251.h"
#include "formats/text.h"
#include "system/system.h"

namespace zarvo {

bool isLink(std::string_view file) {
    const auto startsWith = [file](std::string_view prefix) {
        if (file.size() < prefix.size()) return false;
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            if (text::toLower(static_cast<unsigned char>(file[i])) != char32_t(prefix[i])) {
                return false;
            }
        }
        return true;
    };
    return startsWith("http:") || startsWith("https:") || startsWith("mailto:");
}

bool isWindowsHelpFile(const std::string& hostPath) {
    unsigned char magic[4] = {};
    FILE* file = std::fopen(hostPath.c_str(), "rb");
    if (!file) return false;
    const bool read = std::fread(magic, 1, sizeof magic, file) == sizeof magic;
    std::fclose(file);
    return read && magic[0] == 0x3F && magic[1] == 0x5F && magic[2] == 0x03 && magic[3] == 0x00;
}

int exitWindowsThrough(const std::function<bool()>& restart) {
    try {
        return restart() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

// Where no Windows runs, the drive is a Russian Windows 98's.
std::optional<std::string> ISystem::ansiFromUtf8(std::string_view utf8) {
    return cp1251::fromUtf8(utf8);
}

std::string ISystem::utf8FromAnsi(std::string_view ansi) {
    return cp1251::toUtf8(ansi);
}

}  // namespace zarvo
