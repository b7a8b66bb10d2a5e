#include "system/host_drives.h"

#include <algorithm>
#include <filesystem>

#include "system/error.h"

namespace zarvo::hostdrives {

winpath::Parsed parseOnHost(std::string_view windowsPath) {
    winpath::Parsed parsed = winpath::parse(windowsPath);
    if (parsed.drive != 'C' && parsed.drive != 'Z') throw Error(err::PathNotFound);
    return parsed;
}

std::string hostPath(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& part : parts) {
        out += '/';
        out += part;
    }
    return out.empty() ? std::string("/") : out;
}

std::string absolute(const std::string& path) {
    if (!path.empty() && path.front() == '/') return hostPath(winpath::components(path, '/'));
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec);
    return hostPath(winpath::components((ec ? std::string("/") : cwd.string()) + "/" + path, '/'));
}

std::string windowsPath(const std::string& path, const std::string& driveRoot) {
    const auto parts = winpath::components(path, '/');
    const auto root = winpath::components(driveRoot, '/');
    const bool onC =
        parts.size() >= root.size() && std::equal(root.begin(), root.end(), parts.begin());
    std::string out = onC ? "C:\\" : "Z:\\";
    for (std::size_t i = onC ? root.size() : 0; i < parts.size(); ++i) {
        if (out.back() != '\\') out += '\\';
        out += parts[i];
    }
    return out;
}

}  // namespace zarvo::hostdrives
