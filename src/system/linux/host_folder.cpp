#include "system/linux/host_folder.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "system/windows_path.h"

namespace zarvo::hostfolder {

namespace {

namespace fs = std::filesystem;

int writeRefusal(const fs::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

}  // namespace

Probe probe(const std::string& path) {
    Probe probe;
    std::error_code ec;
    fs::path folder = fs::absolute(path, ec).lexically_normal();
    if (!folder.has_filename()) folder = folder.parent_path();
    const fs::file_status status = fs::status(folder, ec);
    if (fs::is_directory(status)) {
        probe.kind = Probe::Kind::Folder;
        probe.empty = fs::is_empty(folder, ec) && !ec;
        probe.writeRefusal = writeRefusal(folder);
    } else if (status.type() == fs::file_type::not_found) {
        probe.kind = Probe::Kind::Missing;
        const fs::path parent = folder.parent_path();
        probe.writeRefusal = fs::is_directory(parent, ec) ? writeRefusal(parent) : ENOENT;
    } else {
        probe.kind = status.type() == fs::file_type::none ? Probe::Kind::Unreadable
                                                          : Probe::Kind::NotAFolder;
    }
    return probe;
}

std::string entryNamed(const std::string& folder, std::string_view name) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (winpath::sameName(it->path().filename().string(), name)) return it->path().string();
    return {};
}

}  // namespace zarvo::hostfolder
