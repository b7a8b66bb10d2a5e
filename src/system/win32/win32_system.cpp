#include "system/win32/win32_system.h"

// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <algorithm>
#include <climits>
#include <utility>

#include "formats/regedit4.h"
#include "system/error.h"
#include "system/shared_steps.h"

namespace zarvo {

namespace win32 {

std::optional<std::string> ansiFromUtf8(std::string_view utf8) {
    if (utf8.empty()) return std::string();
    if (utf8.size() > INT_MAX) return std::nullopt;
    const int utf8Size = static_cast<int>(utf8.size());
    const int wideSize =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), utf8Size, nullptr, 0);
    if (wideSize <= 0) return std::nullopt;
    // A system whose ANSI code page is UTF-8 takes the text as it is (and
    // refuses the flags below for that code page).
    if (GetACP() == CP_UTF8) return std::string(utf8);
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), utf8Size, wide.data(),
                        wideSize);
    // No best fit: "ü" must not quietly become "u" in a file name.
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideSize,
                                         nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy) return std::nullopt;
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideSize, out.data(), size,
                        nullptr, &lossy);
    if (lossy) return std::nullopt;
    return out;
}

std::string utf8FromAnsi(std::string_view ansi) {
    if (ansi.empty() || ansi.size() > INT_MAX) return std::string();
    const int ansiSize = static_cast<int>(ansi.size());
    const int wideSize = MultiByteToWideChar(CP_ACP, 0, ansi.data(), ansiSize, nullptr, 0);
    if (wideSize <= 0) return std::string();
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), ansiSize, wide.data(), wideSize);
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, out.data(), size, nullptr, nullptr);
    return out;
}

int errorNumber(unsigned long code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
            return err::FileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_PATHNAME:
            return err::PathNotFound;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return err::FileAlreadyExists;
        case ERROR_NOT_SAME_DEVICE:
            return err::RenameAcrossDrives;
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL:
            return err::DiskFull;
        case ERROR_NOT_READY:
            return err::DiskNotReady;
        case ERROR_INVALID_DRIVE:
            return err::DeviceUnavailable;
        // A file in use or a write-protected disk, as on the Linux host.
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return err::PermissionDenied;
        case ERROR_INVALID_NAME:
        case ERROR_FILENAME_EXCED_RANGE:
            return err::BadFileName;
        case ERROR_CRC:
        case ERROR_IO_DEVICE:
            return err::DeviceIoError;
        default:
            return err::PathFileAccessError;
    }
}

}  // namespace win32

namespace {

[[noreturn]] void throwLastError() {
    throw Error(win32::errorNumber(GetLastError()));
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

bool isDriveC(std::string_view path) {
    return path.size() >= 2 && (path[0] == 'C' || path[0] == 'c') && path[1] == ':';
}

// Equal ignoring the case of ASCII letters, enough for the folder a test
// chose for drive C:.
bool startsWithFolder(std::string_view path, std::string_view folder) {
    if (path.size() < folder.size()) return false;
    for (std::size_t i = 0; i < folder.size(); ++i) {
        const auto a = static_cast<unsigned char>(path[i]);
        const auto b = static_cast<unsigned char>(folder[i]);
        const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        if (lower(a) != lower(b)) return false;
    }
    return path.size() == folder.size() || isSeparator(path[folder.size()]);
}

// Where the folder part of a path starts: after "C:\", after
// "\\server\share\", after a leading "\", or at 0 for a relative path.
std::size_t rootLength(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':') {
        return path.size() >= 3 && isSeparator(path[2]) ? 3 : 2;
    }
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        std::size_t pos = 2;
        for (int part = 0; part < 2 && pos < path.size(); ++part) {
            while (pos < path.size() && !isSeparator(path[pos])) ++pos;
            if (pos < path.size()) ++pos;
        }
        return pos;
    }
    return !path.empty() && isSeparator(path[0]) ? 1 : 0;
}

// 52 for a name that cannot reach Windows through the ANSI functions.
std::string ansiName(const std::string& utf8Path) {
    auto ansi = win32::ansiFromUtf8(utf8Path);
    if (!ansi || ansi->find('\0') != std::string::npos) throw Error(err::BadFileName);
    return *ansi;
}

DWORD attributesOf(const std::string& ansiPath) {
    return GetFileAttributesA(ansiPath.c_str());
}

bool isFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool close() {
        const bool ok = !valid() || CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_;
};

// Shared with every other reader and writer, as CopyFile opens its source.
HANDLE openForReading(const std::string& ansiPath) {
    return CreateFileA(ansiPath.c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The same file on the same volume, whatever names led to it.
bool sameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

std::string registryText(std::string_view utf8) {
    auto ansi = win32::ansiFromUtf8(utf8);
    if (!ansi) {
        throw Error(err::InvalidProcedureCall, errorDescription(err::InvalidProcedureCall) +
                                                   ": в тексте есть знак вне кодовой страницы");
    }
    // REG_SZ ends at the first null: the rest would be lost without a word.
    if (ansi->find('\0') != std::string::npos) {
        throw Error(err::InvalidProcedureCall, errorDescription(err::InvalidProcedureCall) +
                                                   ": нулевой знак в тексте реестра");
    }
    return *ansi;
}

HKEY rootKeyHandle(std::uint32_t rootKey) {
    switch (rootKey) {
        case hkey::ClassesRoot:
        case hkey::CurrentUser:
        case hkey::LocalMachine:
        case hkey::Users:
            // The predefined handles are these 32-bit values sign-extended.
            return reinterpret_cast<HKEY>(
                static_cast<LONG_PTR>(static_cast<std::int32_t>(rootKey)));
        default:
            throw Error(err::InvalidProcedureCall);
    }
}

class RegistryWriter : public IRegistryWriter {
public:
    void storeString(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName,
                     std::string_view valueData) override {
        // Everything that can be refused is checked before the key is created.
        // "a\\b\" becomes "a\b", as in the Linux store, which RegCreateKeyExA
        // would otherwise refuse; split on the UTF-8 text, where a "\" byte is
        // always a backslash.
        const HKEY root = rootKeyHandle(rootKey);
        const std::string key = registryText(regedit4::canonicalKeyPath(keyPath));
        const std::string name = registryText(valueName);
        const std::string data = registryText(valueData);
        if (data.size() >= MAXDWORD) throw Error(err::InvalidProcedureCall);

        HKEY opened = nullptr;
        LONG rc = RegCreateKeyExA(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE, nullptr, &opened, nullptr);
        if (rc != ERROR_SUCCESS) throw Error(win32::errorNumber(static_cast<DWORD>(rc)));
        rc = RegSetValueExA(opened, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(data.size() + 1));
        RegCloseKey(opened);
        if (rc != ERROR_SUCCESS) throw Error(win32::errorNumber(static_cast<DWORD>(rc)));
    }

    std::optional<std::string> readString(std::uint32_t rootKey, std::string_view keyPath,
                                          std::string_view valueName) override {
        const HKEY root = rootKeyHandle(rootKey);
        const auto key = win32::ansiFromUtf8(regedit4::canonicalKeyPath(keyPath));
        const auto name = win32::ansiFromUtf8(valueName);
        if (!key || !name) return std::nullopt;  // no such name can be in the registry
        HKEY opened = nullptr;
        LONG rc = RegOpenKeyExA(root, key->c_str(), 0, KEY_QUERY_VALUE, &opened);
        if (rc == ERROR_FILE_NOT_FOUND) return std::nullopt;
        if (rc != ERROR_SUCCESS) throw Error(win32::errorNumber(static_cast<DWORD>(rc)));
        const char* namePtr = name->empty() ? nullptr : name->c_str();
        DWORD type = 0;
        std::string data(256, '\0');
        for (;;) {
            DWORD size = static_cast<DWORD>(data.size());
            rc = RegQueryValueExA(opened, namePtr, nullptr, &type,
                                  reinterpret_cast<BYTE*>(data.data()), &size);
            if (rc == ERROR_MORE_DATA) {
                data.resize(size);
                continue;
            }
            data.resize(rc == ERROR_SUCCESS ? size : 0);
            break;
        }
        RegCloseKey(opened);
        if (rc == ERROR_FILE_NOT_FOUND || (rc == ERROR_SUCCESS && type != REG_SZ)) {
            return std::nullopt;
        }
        if (rc != ERROR_SUCCESS) throw Error(win32::errorNumber(static_cast<DWORD>(rc)));
        // Stored with its terminating null, or without when another program wrote it.
        while (!data.empty() && data.back() == '\0') data.pop_back();
        return win32::utf8FromAnsi(data);
    }

    void deleteValue(std::uint32_t rootKey, std::string_view keyPath,
                     std::string_view valueName) override {
        const HKEY root = rootKeyHandle(rootKey);
        const auto key = win32::ansiFromUtf8(regedit4::canonicalKeyPath(keyPath));
        const auto name = win32::ansiFromUtf8(valueName);
        if (!key || !name) return;
        HKEY opened = nullptr;
        LONG rc = RegOpenKeyExA(root, key->c_str(), 0, KEY_SET_VALUE, &opened);
        if (rc == ERROR_FILE_NOT_FOUND) return;
        if (rc != ERROR_SUCCESS) throw Error(win32::errorNumber(static_cast<DWORD>(rc)));
        rc = RegDeleteValueA(opened, name->empty() ? nullptr : name->c_str());
        RegCloseKey(opened);
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
            throw Error(win32::errorNumber(static_cast<DWORD>(rc)));
        }
    }
};

// Writes everything, flushed to the disk; ERROR_SUCCESS or the error.
DWORD writeAll(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr)) return GetLastError();
        if (written == 0) return ERROR_DISK_FULL;
        bytes.remove_prefix(written);
    }
    return FlushFileBuffers(handle) ? ERROR_SUCCESS : GetLastError();
}

// Windows 95 and 98 keep WIN.INI in memory and write it back when they
// please; with every argument null the profile functions flush that copy to
// the disk, so that a direct edit starts from what Windows holds and what
// Windows reads next is the edit. Elsewhere it changes nothing.
void flushProfileCache(const std::string& file) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
}

int realExitWindows(unsigned flags, unsigned reserved) {
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
            privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        }
        CloseHandle(token);
    }
    return ExitWindowsEx(flags, reserved) ? 1 : 0;
}

void realShellExecute(const Win32System::ShellCall& call) {
    ShellExecuteA(reinterpret_cast<HWND>(call.owner), call.verb, call.file, call.parameters,
                  call.directory, call.show);
}

}  // namespace

Win32System::Win32System() : Win32System(Options{}) {}

Win32System::Win32System(Options options) : options_(std::move(options)) {
    driveC_ = options_.driveC;
    while (driveC_.size() > rootLength(driveC_) && isSeparator(driveC_.back())) driveC_.pop_back();
    if (!options_.exitWindows) options_.exitWindows = &realExitWindows;
    if (!options_.shellExecute) options_.shellExecute = &realShellExecute;
}

std::string Win32System::hostPath(const std::string& windowsPath) {
    if (driveC_.empty() || !isDriveC(windowsPath)) return windowsPath;
    std::size_t rest = 2;
    while (rest < windowsPath.size() && isSeparator(windowsPath[rest])) ++rest;
    if (rest == windowsPath.size()) return driveC_;
    return driveC_ + (isSeparator(driveC_.back()) ? "" : "\\") + windowsPath.substr(rest);
}

std::string Win32System::windowsPath(const std::string& hostPath) {
    if (driveC_.empty() || !startsWithFolder(hostPath, driveC_)) return hostPath;
    std::size_t rest = driveC_.size();
    while (rest < hostPath.size() && isSeparator(hostPath[rest])) ++rest;
    return "C:\\" + hostPath.substr(rest);
}

std::string Win32System::ansiPath(const std::string& windowsPath) {
    return ansiName(hostPath(windowsPath));
}

// The empty names get the numbers the Linux layer gives them: 53 to read
// from, 75 to write to.

void Win32System::copyFile(const std::string& source, const std::string& destination) {
    if (source.empty()) throw Error(err::FileNotFound);
    if (destination.empty()) throw Error(err::PathFileAccessError);
    const std::string from = ansiPath(source);
    const std::string to = ansiPath(destination);
    // A missing source is 53 whatever the destination is.
    if (attributesOf(from) == INVALID_FILE_ATTRIBUTES) throwLastError();
    // Windows refuses a read-only destination itself; Wine run by root
    // would not, and the answer must not depend on who runs the program.
    const DWORD old = attributesOf(to);
    if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY)) {
        throw Error(err::PathFileAccessError);
    }
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) throwLastError();
}

void Win32System::checkCopyable(const std::string& source, const std::string& destination,
                                const std::string& deletedFirst) {
    if (source.empty()) throw Error(err::FileNotFound);
    const std::string from = ansiPath(source);
    const DWORD sourceAttributes = attributesOf(from);
    if (sourceAttributes == INVALID_FILE_ATTRIBUTES) throwLastError();
    if (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY) throw Error(err::PathFileAccessError);
    // Opened, not merely looked at: only what can be read copies, and a
    // device name such as NUL is no file.
    const Handle in(openForReading(from));
    if (!in.valid() || GetFileType(in.get()) != FILE_TYPE_DISK) {
        throw Error(err::PathFileAccessError);
    }
    if (!deletedFirst.empty()) {
        const Handle doomed(openForReading(ansiPath(deletedFirst)));
        if (doomed.valid() && sameFile(in.get(), doomed.get())) throw Error(err::FileNotFound);
    }

    checkReplaceable(destination);
}

void Win32System::renameFile(const std::string& oldPath, const std::string& newPath) {
    if (oldPath.empty()) throw Error(err::FileNotFound);
    if (newPath.empty()) throw Error(err::PathFileAccessError);
    if (!MoveFileA(ansiPath(oldPath).c_str(), ansiPath(newPath).c_str())) throwLastError();
}

void Win32System::deleteFile(const std::string& path) {
    if (path.empty()) throw Error(err::FileNotFound);
    const std::string file = ansiPath(path);
    if (DeleteFileA(file.c_str())) return;
    const DWORD code = GetLastError();
    // Access is denied to a folder as to a read-only file; VB tells them apart.
    if (code == ERROR_ACCESS_DENIED && isFolder(attributesOf(file))) {
        throw Error(err::PermissionDenied);
    }
    throw Error(win32::errorNumber(code));
}

void Win32System::setAttributes(const std::string& path, unsigned attributes) {
    if (path.empty()) throw Error(err::FileNotFound);
    if (!SetFileAttributesA(ansiPath(path).c_str(), attributes)) throwLastError();
}

unsigned Win32System::attributes(const std::string& path) {
    if (path.empty()) throw Error(err::FileNotFound);
    const DWORD bits = attributesOf(ansiPath(path));
    if (bits == INVALID_FILE_ATTRIBUTES) throwLastError();
    // FILE_ATTRIBUTE_NORMAL (no other bit set) reads as 0, as VB's GetAttr gives it.
    return bits & (attr::ReadOnly | attr::Hidden | attr::System | FILE_ATTRIBUTE_DIRECTORY |
                   attr::Archive);
}

bool Win32System::fileExists(const std::string& path) {
    if (path.empty()) return false;
    try {
        return attributesOf(ansiPath(path)) != INVALID_FILE_ATTRIBUTES;
    } catch (const Error&) {
        return false;
    }
}

void Win32System::createDirectory(const std::string& path) {
    if (path.empty()) throw Error(err::PathFileAccessError);
    // Split before converting: in a double-byte code page a "\" byte can be
    // the second half of a character.
    const std::string full = hostPath(path);
    ansiName(full);  // a name Windows cannot take is refused before anything is made
    const std::size_t start = rootLength(full);
    for (std::size_t end = start; end <= full.size(); ++end) {
        if (end < full.size() && !isSeparator(full[end])) continue;
        if (end == start || isSeparator(full[end - 1])) continue;  // an empty component
        const std::string folder = ansiName(full.substr(0, end));
        if (CreateDirectoryA(folder.c_str(), nullptr)) continue;
        const DWORD code = GetLastError();
        const DWORD existing = attributesOf(folder);
        if (isFolder(existing)) continue;
        if (existing != INVALID_FILE_ATTRIBUTES) throw Error(err::PathFileAccessError);  // a file
        throw Error(win32::errorNumber(code));
    }
}

void Win32System::writeNewFile(const std::string& path, std::string_view bytes) {
    if (path.empty()) throw Error(err::PathFileAccessError);
    const std::string file = ansiPath(path);
    Handle handle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) throwLastError();

    DWORD failure = writeAll(handle.get(), bytes);
    if (!handle.close() && failure == ERROR_SUCCESS) failure = GetLastError();
    if (failure != ERROR_SUCCESS) {
        // A half-written new file is worse than none.
        DeleteFileA(file.c_str());
        throw Error(win32::errorNumber(failure));
    }
}

unsigned long Win32System::replaceableAttributes(const std::string& path) {
    if (path.empty()) throw Error(err::PathFileAccessError);
    const DWORD old = attributesOf(ansiPath(path));
    if (old == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        // A new file in an existing folder.
        if (code != ERROR_FILE_NOT_FOUND) throw Error(win32::errorNumber(code));
    } else if (old & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
        throw Error(err::PathFileAccessError);
    }
    return old;
}

void Win32System::checkReplaceable(const std::string& path) {
    replaceableAttributes(path);
}

void Win32System::replaceFile(const std::string& path, std::string_view bytes) {
    const DWORD old = replaceableAttributes(path);
    const std::string full = hostPath(path);
    const std::string file = ansiName(full);
    // Split before converting: in a double-byte code page a "\" byte can be
    // the second half of a character.
    std::size_t cut = full.size();
    while (cut > rootLength(full) && !isSeparator(full[cut - 1])) --cut;
    const std::string folder = ansiName(cut == 0 ? std::string(".") : full.substr(0, cut));

    char temp[MAX_PATH + 1] = {};
    if (!GetTempFileNameA(folder.c_str(), "zrv", 0, temp)) throwLastError();
    DWORD failure = ERROR_SUCCESS;
    {
        Handle handle(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle.valid()) {
            failure = GetLastError();
        } else {
            failure = writeAll(handle.get(), bytes);
            if (!handle.close() && failure == ERROR_SUCCESS) failure = GetLastError();
        }
    }
    const DWORD marks = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    if (failure == ERROR_SUCCESS && old != INVALID_FILE_ATTRIBUTES && (old & marks) &&
        !SetFileAttributesA(temp, old & marks)) {
        failure = GetLastError();
    }
    if (failure == ERROR_SUCCESS &&
        !MoveFileExA(temp, file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        failure = GetLastError();
    }
    if (failure != ERROR_SUCCESS) {
        SetFileAttributesA(temp, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(temp);
        throw Error(win32::errorNumber(failure));
    }
}

namespace {

// The temporary files replaceFile left in a folder (an ANSI path), more
// than a minute old so that none a running copy is writing goes.
void removeTemporaryFiles(const std::string& folder) {
    std::string pattern = folder;
    if (!pattern.empty() && !isSeparator(pattern.back())) pattern += '\\';
    const std::string base = pattern;
    pattern += "zrv*.tmp";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    constexpr unsigned long long kMinute = 60ull * 10000000ull;  // in 100 ns
    do {
        // GetTempFileNameA's names: the prefix, one to four hex digits.
        const std::string name = found.cFileName;
        const std::string digits = name.size() > 7 ? name.substr(3, name.size() - 7) : "";
        const bool ours = name.size() <= 11 && !digits.empty() &&
                          digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
        const bool old = ticks(now) > ticks(found.ftLastWriteTime) + kMinute;
        if (ours && old && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            const std::string file = base + name;
            SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(file.c_str());
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// The process's creation time, 0 when it cannot be asked.
unsigned long long createdAt(HANDLE process) {
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(process, &creation, &exit, &kernel, &user)) return 0;
    return (static_cast<unsigned long long>(creation.dwHighDateTime) << 32) |
           creation.dwLowDateTime;
}

}  // namespace

void Win32System::recoverInterruptedWrites(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) removeTemporaryFiles(ansiPath(folder));
}

std::string Win32System::sessionId() {
    return std::to_string(GetCurrentProcessId()) + ":" +
           std::to_string(createdAt(GetCurrentProcess()));
}

bool Win32System::sessionRunning(const std::string& id) {
    const std::size_t colon = id.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    const std::string pid = id.substr(0, colon);
    if (pid.size() > 10 || pid.find_first_not_of("0123456789") != std::string::npos) return false;
    HANDLE opened =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(std::stoul(pid)));
    if (!opened) return false;
    const Handle process(opened);
    DWORD code = 0;
    return GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE &&
           std::to_string(createdAt(process.get())) == id.substr(colon + 1);
}

std::string Win32System::readFile(const std::string& path) {
    if (path.empty()) throw Error(err::FileNotFound);
    const std::string file = ansiPath(path);
    const DWORD attributes = attributesOf(file);
    if (attributes == INVALID_FILE_ATTRIBUTES) throwLastError();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) throw Error(err::PathFileAccessError);
    const Handle in(openForReading(file));
    if (!in.valid()) throwLastError();
    if (GetFileType(in.get()) != FILE_TYPE_DISK) throw Error(err::PathFileAccessError);
    std::string bytes;
    std::string buffer(1u << 16, '\0');
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
            throwLastError();
        }
        if (read == 0) return bytes;
        bytes.append(buffer.data(), read);
    }
}

std::optional<std::string> Win32System::ansiFromUtf8(std::string_view utf8) {
    return win32::ansiFromUtf8(utf8);
}

std::string Win32System::utf8FromAnsi(std::string_view ansi) {
    return win32::utf8FromAnsi(ansi);
}

void Win32System::flushProfile(const std::string& path) {
    try {
        flushProfileCache(ansiPath(path));
    } catch (const Error&) {
        // A name the code page cannot hold names no cached file either.
    }
}

std::unique_ptr<IRegistryWriter> Win32System::createRegistryWriter() {
    return std::make_unique<RegistryWriter>();
}

void Win32System::shellExecute(const ShellRequest& request) {
    try {
        const auto verb = win32::ansiFromUtf8(request.verb);
        // Links and mail addresses are not paths; hostPath leaves them alone.
        const auto file = win32::ansiFromUtf8(hostPath(request.file));
        std::optional<std::string> parameters;
        std::optional<std::string> directory;
        if (request.parameters) parameters = win32::ansiFromUtf8(*request.parameters);
        if (request.directory) directory = win32::ansiFromUtf8(hostPath(*request.directory));
        // What the code page cannot hold would open something else: nothing opens.
        if (!verb || !file || (request.parameters && !parameters) ||
            (request.directory && !directory)) {
            return;
        }
        ShellCall call;
        call.owner = request.owner;
        call.verb = verb->c_str();
        call.file = file->c_str();
        call.parameters = parameters ? parameters->c_str() : nullptr;
        call.directory = directory ? directory->c_str() : nullptr;
        call.show = request.show;
        options_.shellExecute(call);
    } catch (...) {
        // ShellExecute reports through a result nobody reads.
    }
}

int Win32System::exitWindowsEx(unsigned flags, unsigned reserved) {
    try {
        return options_.exitWindows(flags, reserved);
    } catch (...) {
        return 0;
    }
}

bool Win32System::refreshWallpaper(const std::string& path) {
    const auto ansi = win32::ansiFromUtf8(hostPath(path));
    if (!ansi || ansi->find('\0') != std::string::npos) return false;
    std::string buffer = *ansi;  // the function takes a non-const pointer
    // The profile is written already; the programs running are told.
    return SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, buffer.data(), SPIF_SENDWININICHANGE) !=
           0;
}

}  // namespace zarvo
