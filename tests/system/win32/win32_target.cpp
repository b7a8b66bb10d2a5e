#include <windows.h>

#include "system/contract/contract_target.h"
#include "system/win32/temp_folder.h"
#include "system/win32/win32_system.h"

namespace zarvo::contract {

namespace {

HKEY rootHandle(std::uint32_t rootKey) {
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<std::int32_t>(rootKey)));
}

std::string ansi(const std::string& utf8) {
    return win32::ansiFromUtf8(utf8).value();
}

// Drive C: is a fresh folder of the Wine prefix; the registry is the
// prefix's own, where each test keeps to a key of its own.
class Win32Target : public Target {
public:
    Win32Target() {
        Win32System::Options options;
        options.driveC = folder_.path();
        options.exitWindows = [this](unsigned, unsigned) {
            ++restartRequests;
            return restartAnswer ? 1 : 0;
        };
        system_ = std::make_unique<Win32System>(options);
        scratchKey_ = "Software\\Zarvo\\Проверка\\" + folder_.name();
    }
    ~Win32Target() override {
        const auto key = win32::ansiFromUtf8(scratchKey_);
        if (!key) return;  // a prefix without the Cyrillic code page: nothing was written
        for (std::uint32_t root : {hkey::LocalMachine, hkey::CurrentUser}) {
            RegDeleteTreeA(rootHandle(root), key->c_str());
        }
    }

    Layer layer() const override { return Layer::Windows; }

    // Read back with RegQueryValueExA, as Windows itself hands it out.
    std::optional<std::string> registryString(std::uint32_t rootKey, const std::string& keyPath,
                                              const std::string& valueName) override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(rootHandle(rootKey), ansi(keyPath).c_str(), 0, KEY_QUERY_VALUE, &key) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        const std::string name = ansi(valueName);
        const char* namePtr = name.empty() ? nullptr : name.c_str();
        DWORD type = 0;
        DWORD size = 0;
        std::optional<std::string> result;
        if (RegQueryValueExA(key, namePtr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
            type == REG_SZ) {
            std::string bytes(size, '\0');
            if (RegQueryValueExA(key, namePtr, nullptr, &type,
                                 reinterpret_cast<BYTE*>(bytes.data()), &size) == ERROR_SUCCESS) {
                bytes.resize(size);
                while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
                result = win32::utf8FromAnsi(bytes);
            }
        }
        RegCloseKey(key);
        return result;
    }

    std::string scratchKey() const override { return scratchKey_; }

private:
    testing::TempFolder folder_;
    std::string scratchKey_;
};

}  // namespace

std::unique_ptr<Target> makeTarget() {
    return std::make_unique<Win32Target>();
}

}  // namespace zarvo::contract
