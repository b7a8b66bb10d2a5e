#pragma once

// A fresh folder in the Windows temporary folder (in a Wine prefix, its
// drive_c), removed again with everything in it, read-only files included.

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace zarvo::testing {

class TempFolder {
public:
    TempFolder() {
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD size = GetTempPathW(MAX_PATH + 1, temp);
        if (size == 0 || size > MAX_PATH) throw std::runtime_error("no temporary folder");
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            name_ = "zarvo-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(GetTickCount64()) + "-" + std::to_string(++counter);
            path_ = std::filesystem::path(temp) / name_;
            if (CreateDirectoryW(path_.c_str(), nullptr)) return;
        }
        throw std::runtime_error("cannot make a temporary folder");
    }
    ~TempFolder() {
        std::error_code ec;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ec)) {
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder as a Windows path in UTF-8.
    std::string path() const {
        const std::u8string utf8 = path_.u8string();
        return std::string(utf8.begin(), utf8.end());
    }
    // Its last component, unique among the tests running at once.
    const std::string& name() const { return name_; }

private:
    std::string name_;
    std::filesystem::path path_;
};

}  // namespace zarvo::testing
