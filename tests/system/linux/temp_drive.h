#pragma once

// A fresh drive root for one test: <tmp>/drive_c with the registry store
// <tmp>/zarvo.reg beside it, removed again afterwards.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/xattr.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/error_of.h"
#include "system/error.h"
#include "system/linux/linux_system.h"

namespace zarvo::testing {

class TempDrive {
public:
    TempDrive() {
        char pattern[] = "/tmp/zarvo-sys-XXXXXX";
        if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
        base = pattern;
        root = base + "/drive_c";
        store = base + "/zarvo.reg";
        std::filesystem::create_directory(root);
    }
    ~TempDrive() {
        std::error_code ec;
        std::filesystem::remove_all(base, ec);
    }
    TempDrive(const TempDrive&) = delete;
    TempDrive& operator=(const TempDrive&) = delete;

    // Host path of a path relative to the drive root ("Windows/Win.ini").
    std::string host(const std::string& relative) const { return root + "/" + relative; }

    // The emulated drive's options for this drive and store.
    LinuxSystem::Options options() const {
        LinuxSystem::Options o;
        o.driveRoot = root;
        o.registryStorePath = store;
        return o;
    }

    std::string base;
    std::string root;
    std::string store;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Sorted names in a folder: shows a leftover temporary file at once.
inline std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline bool userXattrsWork(const std::string& folder) {
    const std::string probe = folder + "/.xattr-probe";
    writeBytes(probe, "");
    const bool ok = ::setxattr(probe.c_str(), "user.probe", "1", 1, 0) == 0;
    std::filesystem::remove(probe);
    return ok;
}

}  // namespace zarvo::testing
