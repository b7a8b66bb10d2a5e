#pragma once

// The system operations on Windows itself, through the ANSI Win32 functions.
// Paths and text arrive in UTF-8 and are handed to Windows in the system's
// ANSI code page (1251 on a Russian Windows); text that the code page cannot
// hold is refused rather than passed on with question marks, which Windows
// would read as wildcards or store as damaged text. Win32 error codes become
// the numbers the Linux layer gives for the same situation.
//
// This header stays free of <windows.h> so that the rest of the program
// never sees its macros.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "system/system.h"

namespace zarvo {

class Win32System : public ISystem {
public:
    // What ShellExecuteA receives: strings in the ANSI code page, a null
    // pointer for a parameter or directory the page did not give.
    struct ShellCall {
        std::uintptr_t owner = 0;
        const char* verb = nullptr;
        const char* file = nullptr;
        const char* parameters = nullptr;
        const char* directory = nullptr;
        int show = sw::ShowNormal;
    };

    struct Options {
        // A folder, as a Windows path, that stands for drive C:, so that a
        // test works in a folder of its own; empty: drive C: itself.
        std::string driveC;
        // ExitWindowsEx; empty for the real one.
        std::function<int(unsigned flags, unsigned reserved)> exitWindows;
        // ShellExecuteA; empty for the real one.
        std::function<void(const ShellCall& call)> shellExecute;
    };

    Win32System();
    explicit Win32System(Options options);

    void copyFile(const std::string& source, const std::string& destination) override;
    void checkCopyable(const std::string& source, const std::string& destination,
                       const std::string& deletedFirst) override;
    void renameFile(const std::string& oldPath, const std::string& newPath) override;
    void deleteFile(const std::string& path) override;
    void setAttributes(const std::string& path, unsigned attributes) override;
    unsigned attributes(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    void createDirectory(const std::string& path) override;
    void writeNewFile(const std::string& path, std::string_view bytes) override;
    // A temporary file beside it (GetTempFileNameA), written and flushed,
    // given the old file's hidden, system and archive marks, then moved over
    // it with MoveFileExA(MOVEFILE_REPLACE_EXISTING).
    void replaceFile(const std::string& path, std::string_view bytes) override;
    void checkReplaceable(const std::string& path) override;
    std::string readFile(const std::string& path) override;

    // The system's ANSI code page. INI files are edited as the Linux layer
    // edits them (ini_files.h), not through Get/WritePrivateProfileStringA:
    // Windows NT and Wine map WIN.INI's sections to the registry by the
    // file's name, so those functions would never read or write the file,
    // and Wine rewrites a whole file in its own layout. flushProfile writes
    // out and drops Windows 98's cached copy of the file.
    std::optional<std::string> ansiFromUtf8(std::string_view utf8) override;
    std::string utf8FromAnsi(std::string_view ansi) override;
    void flushProfile(const std::string& path) override;

    // Stores with RegCreateKeyExA and RegSetValueExA (REG_SZ), reads with
    // RegQueryValueExA, removes with RegDeleteValueA. Refused with error 5,
    // writing nothing: a root key other than the four the program knows,
    // and text the code page cannot hold or with a null character.
    std::unique_ptr<IRegistryWriter> createRegistryWriter() override;

    void shellExecute(const ShellRequest& request) override;
    // Asks for the shutdown privilege first, without which Windows NT and
    // later refuse every restart.
    int exitWindowsEx(unsigned flags, unsigned reserved) override;
    bool refreshWallpaper(const std::string& path) override;

    // Removes the temporary files replaceFile names with GetTempFileNameA
    // ("zrv1A2.tmp") that are more than a minute old: MoveFileExA replaces a
    // file in one step, so none is ever the only copy of one.
    void recoverInterruptedWrites(const std::vector<std::string>& folders) override;
    // The process number and the process's creation time.
    std::string sessionId() override;
    bool sessionRunning(const std::string& id) override;

    // Identity, but for a path on drive C: when Options::driveC is set.
    std::string hostPath(const std::string& windowsPath) override;
    std::string windowsPath(const std::string& hostPath) override;

private:
    // hostPath() in the ANSI code page; 52 for a name Windows cannot be
    // given through the ANSI functions.
    std::string ansiPath(const std::string& windowsPath);
    // checkReplaceable, answering the attributes the file has now;
    // INVALID_FILE_ATTRIBUTES for a new file.
    unsigned long replaceableAttributes(const std::string& path);

    Options options_;
    std::string driveC_;  // without a trailing separator
};

namespace win32 {

// UTF-8 to the ANSI code page; nullopt when the text is not UTF-8 or holds a
// character the code page has no byte for.
std::optional<std::string> ansiFromUtf8(std::string_view utf8);
// The ANSI code page to UTF-8.
std::string utf8FromAnsi(std::string_view ansi);

// The program's error number for a Win32 error code.
int errorNumber(unsigned long code);

}  // namespace win32

}  // namespace zarvo
