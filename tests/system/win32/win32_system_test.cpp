// What only Windows can show: the code page the prefix runs in, regedit
// taking the Linux layer's store, and what reaches the Win32 functions.

#include "system/win32/win32_system.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "changes/wallpaper.h"
#include "system/contract/store_sample.h"
#include "system/win32/temp_folder.h"

namespace zarvo {
namespace {

HKEY rootHandle(std::uint32_t rootKey) {
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<std::int32_t>(rootKey)));
}

// The raw bytes of a REG_SZ value, its terminating null dropped.
std::optional<std::string> rawString(std::uint32_t rootKey, const std::string& ansiKey,
                                     const std::string& ansiName) {
    char buffer[1024] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(rootHandle(rootKey), ansiKey.c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    const LONG rc = RegQueryValueExA(key, ansiName.empty() ? nullptr : ansiName.c_str(), nullptr,
                                     &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ || size == 0) return std::nullopt;
    return std::string(buffer, size - 1);
}

std::string ansi(const std::string& utf8) {
    return win32::ansiFromUtf8(utf8).value();
}

// Runs a command line and waits for it; its exit code, or -1.
int run(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

std::wstring besideThisProgram(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

TEST(Win32Host, AnsiCodePageIsCyrillicAndNamesArriveIntact) {
    // Without a Russian locale Wine quietly runs in 1252 and every Cyrillic
    // test would be testing something else.
    ASSERT_EQ(GetACP(), 1251u);
    testing::TempFolder folder;
    Win32System::Options options;
    options.driveC = folder.path();
    Win32System system(options);
    system.writeNewFile("C:\\Закат.bmp", "x");
    const std::wstring wide = std::filesystem::path(std::u8string(u8"Закат.bmp")).wstring();
    EXPECT_NE(GetFileAttributesW((std::filesystem::path(folder.path()) / wide).c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ansi("Закат"), "\xC7\xE0\xEA\xE0\xF2");
}

TEST(Win32Host, RegeditImportsTheStoreTheLinuxLayerWrites) {
    const std::wstring store = besideThisProgram(L"regedit4_store.reg");
    ASSERT_NE(GetFileAttributesW(store.c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_EQ(run(L"reg.exe import \"" + store + L"\""), 0);

    for (const contract::SampleValue& value : contract::kStoreSample) {
        const auto bytes = rawString(value.rootKey, ansi(value.keyPath), ansi(value.valueName));
        ASSERT_TRUE(bytes) << value.valueName;
        EXPECT_EQ(win32::utf8FromAnsi(*bytes), value.data) << value.valueName;
    }
    for (std::uint32_t root : {hkey::LocalMachine, hkey::CurrentUser}) {
        RegDeleteTreeA(rootHandle(root), ansi(contract::kSampleKey).c_str());
    }
}

TEST(Win32Host, ShellAndRestartGetWhatThePagesPassInTheCodePage) {
    std::vector<std::vector<std::string>> shellCalls;
    std::vector<std::pair<unsigned, unsigned>> restarts;
    Win32System::Options options;
    options.driveC = "D:\\Test";
    options.shellExecute = [&](const Win32System::ShellCall& call) {
        const auto text = [](const char* s) { return s ? std::string(s) : std::string("<null>"); };
        shellCalls.push_back({std::to_string(call.owner), text(call.verb), text(call.file),
                              text(call.parameters), text(call.directory),
                              std::to_string(call.show)});
    };
    options.exitWindows = [&](unsigned flags, unsigned reserved) {
        restarts.emplace_back(flags, reserved);
        return 0;
    };
    Win32System system(options);

    ShellRequest help;
    help.verb = "open";
    help.file = "C:\\Program Files\\Zarvo\\Справка.hlp";
    system.shellExecute(help);
    ShellRequest link;
    link.owner = 0x1234;
    link.verb = "Open";
    link.file = "mailto:автор@example.ru";
    link.parameters = "";
    link.directory = "C:\\";
    link.show = sw::ShowMaximized;
    system.shellExecute(link);

    const std::string helpFile = "D:\\Test\\Program Files\\Zarvo\\\xD1\xEF\xF0\xE0\xE2\xEA\xE0.hlp";
    ASSERT_EQ(shellCalls.size(), 2u);
    EXPECT_EQ(shellCalls[0],
              (std::vector<std::string>{"0", "open", helpFile, "<null>", "<null>", "1"}));
    EXPECT_EQ(shellCalls[1],
              (std::vector<std::string>{"4660", "Open", "mailto:\xE0\xE2\xF2\xEE\xF0@example.ru",
                                        "", "D:\\Test", "3"}));

    EXPECT_EQ(system.exitWindowsEx(EWX_REBOOT_FLAG, 2), 0);
    EXPECT_EQ(restarts, (std::vector<std::pair<unsigned, unsigned>>{{EWX_REBOOT, 2}}));
}

TEST(Win32Host, WallpaperPathReachesTheProfileInTheCodePage) {
    testing::TempFolder folder;
    Win32System::Options options;
    options.driveC = folder.path();
    Win32System system(options);
    system.createDirectory("C:\\Обои");
    system.writeNewFile("C:\\Обои\\Закат.bmp", "BM");

    // The profile names the file as the program does; Windows is shown the
    // file where this test keeps drive C:.
    ASSERT_TRUE(setWallpaper(system, "C:\\Обои\\Закат.bmp"));
    EXPECT_EQ(rawString(hkey::CurrentUser, "Control Panel\\Desktop", "Wallpaper"),
              "C:\\\xCE\xE1\xEE\xE8\\\xC7\xE0\xEA\xE0\xF2.bmp");
    EXPECT_TRUE(setWallpaper(system, ""));
}

}  // namespace
}  // namespace zarvo
