#include "changes/copies.h"

#include "system/error.h"
#include "system/system.h"
#include "system/windows_path.h"

namespace zarvo {

namespace {

// "name~2.ext" for ("name.ext", 2).
std::string numbered(std::string_view name, int number) {
    const std::size_t dot = name.rfind('.');
    std::string out(name.substr(0, dot));
    out += '~';
    out += std::to_string(number);
    if (dot != std::string_view::npos) out.append(name.substr(dot));
    return out;
}

}  // namespace

std::string placeCopy(ISystem& system, const std::string& folder, std::string_view name,
                      std::string_view bytes) {
    const auto batch = system.batch();
    system.createDirectory(folder);
    for (int number = 1;; ++number) {
        std::string candidate = folder;
        candidate += '\\';
        candidate += number == 1 ? std::string(name) : numbered(name, number);
        if (!system.fileExists(candidate)) {
            system.writeNewFile(candidate, bytes);
            return candidate;
        }
        try {
            if (system.readFile(candidate) == bytes) return candidate;
        } catch (const Error&) {
            // A folder or an unreadable file of that name: take another.
        }
    }
}

std::string fileNameOf(const std::string& path) {
    const std::vector<std::string> parts = winpath::parse(path).parts;
    return parts.empty() ? std::string() : parts.back();
}

std::string withExtension(std::string_view name, std::string_view extension) {
    const std::size_t dot = name.rfind('.');
    std::string out(name.substr(0, dot == 0 ? name.size() : dot));
    out.append(extension);
    return out;
}

}  // namespace zarvo
