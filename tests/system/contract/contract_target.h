#pragma once

// One system layer under the contract suite: the layer itself on a drive C:
// of its own (a fresh temporary folder), and ways to look at what it did
// without asking the layer. Each build links exactly one makeTarget(): the
// Linux test program the emulated drive, the Windows one the Win32 layer.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/error_of.h"
#include "system/error.h"
#include "system/system.h"

namespace zarvo::contract {

enum class Layer { Linux, Windows };

class Target {
public:
    virtual ~Target() = default;

    virtual Layer layer() const = 0;
    ISystem& system() { return *system_; }

    // The bytes of a file on drive C:, nullopt when it cannot be read.
    virtual std::optional<std::string> read(const std::string& windowsPath) {
        const std::string host = system_->hostPath(windowsPath);
        std::ifstream in(std::filesystem::path(std::u8string(host.begin(), host.end())),
                         std::ios::binary);
        if (!in) return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The names in a folder on drive C:, sorted: shows the spelling a file
    // was given and any temporary file left behind.
    virtual std::vector<std::string> namesIn(const std::string& windowsFolder) {
        const std::string host = system_->hostPath(windowsFolder);
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(
                 std::filesystem::path(std::u8string(host.begin(), host.end())))) {
            const std::u8string name = entry.path().filename().u8string();
            names.emplace_back(name.begin(), name.end());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // A string value as UTF-8; nullopt when the key or value is missing.
    virtual std::optional<std::string> registryString(std::uint32_t rootKey,
                                                      const std::string& keyPath,
                                                      const std::string& valueName) = 0;

    // A registry key that no other test writes to.
    virtual std::string scratchKey() const = 0;

    // False where the host file system keeps no hidden and system marks.
    bool keepsDosAttributes = true;

    // The restart seam: what it answers, and how often it was asked.
    bool restartAnswer = true;
    int restartRequests = 0;

protected:
    std::unique_ptr<ISystem> system_;
};

std::unique_ptr<Target> makeTarget();

using testing::errorOf;

}  // namespace zarvo::contract
