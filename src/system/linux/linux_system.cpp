#include "system/linux/linux_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>

#include "formats/cp1251.h"
#include "formats/ini_text.h"
#include "formats/text.h"
#include "system/error.h"
#include "system/linux/registry_store.h"
#include "system/windows_path.h"

extern char** environ;

namespace zarvo {

namespace {

constexpr unsigned kDirectoryAttribute = 0x10;
constexpr unsigned kXattrBits = attr::Hidden | attr::System | attr::Archive;

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::string join(const std::string& folder, std::string_view name) {
    std::string out = folder == "/" ? std::string() : folder;
    out += '/';
    out.append(name);
    return out;
}

std::string hostJoin(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& part : parts) out += "/" + part;
    return out.empty() ? "/" : out;
}

std::string absoluteHostPath(const std::string& path) {
    if (!path.empty() && path.front() == '/') return hostJoin(winpath::components(path, '/'));
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec);
    return hostJoin(winpath::components((ec ? std::string("/") : cwd.string()) + "/" + path, '/'));
}

// Drive C: is the drive root, Z: the host's "/"; there is no other drive.
winpath::Parsed parseWindowsPath(std::string_view path) {
    winpath::Parsed parsed = winpath::parse(path);
    if (parsed.drive != 'C' && parsed.drive != 'Z') throw Error(err::PathNotFound);
    return parsed;
}

// The entry of `folder` that `name` names ignoring case. Several can match on
// a case-sensitive host: the first in byte order is taken, so that the answer
// does not depend on the directory's order.
std::optional<std::string> findIgnoringCase(const std::string& folder, std::string_view name) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return std::nullopt;
    const std::string wanted = winpath::foldedName(name);
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view candidate = entry->d_name;
        if (candidate == "." || candidate == "..") continue;
        if (winpath::foldedName(candidate) == wanted && (!found || candidate < *found)) {
            found = std::string(candidate);
        }
    }
    ::closedir(dir);
    return found;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Every symbolic link and "..", resolved; nullopt for what is not there.
std::optional<std::string> canonicalHostPath(const std::string& path) {
    std::error_code ec;
    const auto canonical = std::filesystem::canonical(path, ec);
    if (ec) return std::nullopt;
    return canonical.string();
}

bool isReadOnly(const struct stat& st) {
    return (st.st_mode & 0222) == 0;
}

// `prefix` in lower case.
bool startsWithIgnoringCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (text::toLower(static_cast<unsigned char>(s[i])) != char32_t(prefix[i])) return false;
    }
    return true;
}

}  // namespace

LinuxSystem::LinuxSystem() : LinuxSystem(Options{}) {}

LinuxSystem::LinuxSystem(Options options) : options_(std::move(options)) {
    driveRoot_ =
        absoluteHostPath(options_.driveRoot.empty() ? defaultDriveRoot() : options_.driveRoot);
    storePath_ = options_.registryStorePath.empty() ? defaultRegistryStore(driveRoot_)
                                                    : options_.registryStorePath;
    if (!options_.spawn) options_.spawn = &LinuxSystem::spawnDetached;
    if (!options_.restart) options_.restart = [] { return true; };
}

std::string LinuxSystem::defaultDriveRoot() {
    if (const char* drive = std::getenv("ZARVO_DRIVE_C"); drive && *drive) return drive;
    // XDG: a relative XDG_DATA_HOME is to be ignored.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') {
        return std::string(data) + "/zarvo/drive_c";
    }
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return home + "/.local/share/zarvo/drive_c";
}

std::string LinuxSystem::defaultRegistryStore(const std::string& driveRoot) {
    return join(hostfile::parentOf(absoluteHostPath(driveRoot)), "zarvo.reg");
}

void LinuxSystem::spawnDetached(const std::vector<std::string>& argv) {
    if (argv.empty()) return;
    // The shell starts the program in the background and exits at once; a
    // program that is not installed is silently skipped.
    std::vector<std::string> args = {
        "sh", "-c",
        "command -v \"$1\" >/dev/null 2>&1 || exit 0; \"$@\" </dev/null >/dev/null 2>&1 &", "sh"};
    args.insert(args.end(), argv.begin(), argv.end());
    std::vector<char*> cargs;
    for (auto& a : args) cargs.push_back(a.data());
    cargs.push_back(nullptr);

    posix_spawnattr_t attributes;
    if (::posix_spawnattr_init(&attributes) != 0) return;
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&defaults, sig);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    // Its own session: a Ctrl+C in our terminal does not reach the viewer.
    ::posix_spawnattr_setflags(&attributes,
                               POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, "/bin/sh", nullptr, &attributes, cargs.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    if (rc != 0) return;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

std::string LinuxSystem::hostPath(const std::string& windowsPath) {
    const winpath::Parsed parsed = parseWindowsPath(windowsPath);
    std::string result = parsed.drive == 'C' ? driveRoot_ : std::string("/");
    bool lookUp = true;  // false once a component is missing: the rest keeps its case
    for (const std::string& part : parsed.parts) {
        if (lookUp && !exists(join(result, part))) {
            if (auto match = findIgnoringCase(result, part)) {
                result = join(result, *match);
                continue;
            }
            lookUp = false;
        }
        result = join(result, part);
    }
    return result;
}

std::string LinuxSystem::windowsPath(const std::string& hostPath) {
    auto parts = winpath::components(absoluteHostPath(hostPath), '/');
    auto root = winpath::components(driveRoot_, '/');
    const auto under = [](const auto& path, const auto& folder) {
        return path.size() >= folder.size() &&
               std::equal(folder.begin(), folder.end(), path.begin());
    };
    bool onC = under(parts, root);
    if (!onC) {
        // The drive root may have been named through a symbolic link.
        char* realRoot = ::realpath(driveRoot_.c_str(), nullptr);
        char* realPath = ::realpath(hostPath.c_str(), nullptr);
        if (realRoot && realPath) {
            auto realParts = winpath::components(realPath, '/');
            auto realRootParts = winpath::components(realRoot, '/');
            if (under(realParts, realRootParts)) {
                parts = std::move(realParts);
                root = std::move(realRootParts);
                onC = true;
            }
        }
        std::free(realRoot);
        std::free(realPath);
    }
    std::string out = onC ? "C:\\" : "Z:\\";
    for (std::size_t i = onC ? root.size() : 0; i < parts.size(); ++i) {
        if (out.back() != '\\') out += '\\';
        out += parts[i];
    }
    return out;
}

std::string LinuxSystem::existingHostPath(const std::string& windowsPath, int emptyError) {
    if (windowsPath.empty()) throw Error(emptyError);
    std::string host = hostPath(windowsPath);
    struct stat st {};
    if (::lstat(host.c_str(), &st) == 0) return host;
    const int e = errno;
    if (e == ENOENT) {
        throw Error(hostfile::isDirectory(hostfile::parentOf(host)) ? err::FileNotFound
                                                                    : err::PathNotFound);
    }
    hostfile::throwErrno(e, err::PathFileAccessError);
}

std::string LinuxSystem::creatableHostPath(const std::string& windowsPath) {
    if (windowsPath.empty()) throw Error(err::PathFileAccessError);
    std::string host = hostPath(windowsPath);
    if (!hostfile::isDirectory(hostfile::parentOf(host))) throw Error(err::PathNotFound);
    return host;
}

void LinuxSystem::copyFile(const std::string& source, const std::string& destination) {
    const std::string from = existingHostPath(source, err::FileNotFound);
    const std::string to = creatableHostPath(destination);

    // O_NONBLOCK so that a FIFO named as the source cannot hang the program.
    const Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (in.get() < 0) hostfile::throwErrno(errno, err::PathFileAccessError);
    struct stat sourceStat {};
    if (::fstat(in.get(), &sourceStat) != 0) hostfile::throwErrno(errno, err::DeviceIoError);
    if (!S_ISREG(sourceStat.st_mode)) throw Error(err::PathFileAccessError);
    ::fcntl(in.get(), F_SETFL, 0);

    struct stat old {};
    const bool replacing = ::stat(to.c_str(), &old) == 0;
    if (replacing && (S_ISDIR(old.st_mode) || isReadOnly(old))) {
        throw Error(err::PathFileAccessError);
    }

    const unsigned carried =
        hostfile::readDosAttributes(from).value_or(0) & (attr::Hidden | attr::System);
    hostfile::TempFile temp(hostfile::parentOf(to));
    temp.copyFrom(in.get(), options_.writeFault);
    // The new inode carries nothing over by itself: give it its attributes
    // before it takes the destination's place.
    hostfile::writeDosAttributes(temp.fd(), carried | attr::Archive);
    if (replacing && ::fchmod(temp.fd(), old.st_mode & 07777) != 0) {
        hostfile::throwErrno(errno, err::PathFileAccessError);
    }
    temp.finish();
    temp.replace(to);
}

void LinuxSystem::checkCopyable(const std::string& source, const std::string& destination,
                                const std::string& deletedFirst) {
    const std::string from = existingHostPath(source, err::FileNotFound);
    {
        // Opened, not merely looked at: only what can be read copies. O_NONBLOCK
        // so that a FIFO cannot hang the program.
        const Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (in.get() < 0) hostfile::throwErrno(errno, err::PathFileAccessError);
        struct stat st {};
        if (::fstat(in.get(), &st) != 0) hostfile::throwErrno(errno, err::DeviceIoError);
        if (!S_ISREG(st.st_mode)) throw Error(err::PathFileAccessError);
    }
    // The very file, however it is named: through another spelling or a
    // symbolic link. A second hard link would survive the deletion.
    if (!deletedFirst.empty() && fileExists(deletedFirst)) {
        const auto doomed = canonicalHostPath(hostPath(deletedFirst));
        if (doomed && doomed == canonicalHostPath(from)) throw Error(err::FileNotFound);
    }

    const std::string to = creatableHostPath(destination);
    struct stat old {};
    if (::stat(to.c_str(), &old) == 0 && (S_ISDIR(old.st_mode) || isReadOnly(old))) {
        throw Error(err::PathFileAccessError);
    }
}

void LinuxSystem::renameFile(const std::string& oldPath, const std::string& newPath) {
    const std::string from = existingHostPath(oldPath, err::FileNotFound);
    std::string to = creatableHostPath(newPath);

    struct stat fromStat {};
    struct stat toStat {};
    if (::lstat(to.c_str(), &toStat) == 0) {
        const bool sameEntry =
            ::lstat(from.c_str(), &fromStat) == 0 && fromStat.st_dev == toStat.st_dev &&
            fromStat.st_ino == toStat.st_ino && hostfile::parentOf(from) == hostfile::parentOf(to);
        if (!sameEntry) throw Error(err::FileAlreadyExists);
        // The same file under another spelling: a change of case, which
        // Windows allows. Give it the name as written.
        const winpath::Parsed parsed = parseWindowsPath(newPath);
        if (parsed.parts.empty()) throw Error(err::PathFileAccessError);
        to = join(hostfile::parentOf(to), parsed.parts.back());
        if (to == from) return;
    }
    if (const int e = hostfile::renameNoReplace(from, to)) {
        hostfile::throwErrno(e, err::PathFileAccessError);
    }
}

void LinuxSystem::deleteFile(const std::string& path) {
    const std::string host = existingHostPath(path, err::FileNotFound);
    struct stat st {};
    if (::lstat(host.c_str(), &st) != 0) hostfile::throwErrno(errno, err::PathFileAccessError);
    if (S_ISDIR(st.st_mode)) throw Error(err::PermissionDenied);
    // Checked here, not left to the kernel: root may unlink anything.
    if (S_ISREG(st.st_mode) && isReadOnly(st)) throw Error(err::PathFileAccessError);
    if (::unlink(host.c_str()) != 0) hostfile::throwErrno(errno, err::PathFileAccessError);
}

void LinuxSystem::setAttributes(const std::string& path, unsigned attributes) {
    const std::string host = existingHostPath(path, err::FileNotFound);
    const Fd fd(::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) hostfile::throwErrno(errno, err::PathFileAccessError);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) hostfile::throwErrno(errno, err::DeviceIoError);

    const mode_t mode = st.st_mode & 07777;
    mode_t wanted = mode;
    if (S_ISREG(st.st_mode)) {
        if (attributes & attr::ReadOnly) {
            wanted = mode & ~mode_t{0222};
        } else if ((mode & 0222) == 0) {
            wanted = mode | S_IWUSR;
        }
    }
    // Without write permission even the owner may not set a user attribute.
    if ((mode & S_IWUSR) == 0) ::fchmod(fd.get(), mode | S_IWUSR);
    try {
        // False where the file system keeps no user attributes: hidden and
        // system are then not kept, which is all such a host can do.
        hostfile::writeDosAttributes(fd.get(), attributes & kXattrBits);
    } catch (...) {
        ::fchmod(fd.get(), mode);
        throw;
    }
    if (::fchmod(fd.get(), wanted) != 0) hostfile::throwErrno(errno, err::PathFileAccessError);
}

unsigned LinuxSystem::attributes(const std::string& path) {
    const std::string host = existingHostPath(path, err::FileNotFound);
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) hostfile::throwErrno(errno, err::PathFileAccessError);
    const auto kept = hostfile::readDosAttributes(host);
    if (S_ISDIR(st.st_mode)) return kDirectoryAttribute | (kept.value_or(0) & kXattrBits);
    // A file nobody set attributes on reads as Windows files usually are: archive.
    unsigned bits = kept ? (*kept & kXattrBits) : attr::Archive;
    if (isReadOnly(st)) bits |= attr::ReadOnly;
    return bits;
}

bool LinuxSystem::fileExists(const std::string& path) {
    if (path.empty()) return false;
    try {
        struct stat st {};
        return ::stat(hostPath(path).c_str(), &st) == 0;
    } catch (const Error&) {
        return false;
    }
}

void LinuxSystem::createDirectory(const std::string& path) {
    if (path.empty()) throw Error(err::PathFileAccessError);
    const winpath::Parsed parsed = parseWindowsPath(path);
    std::string current = parsed.drive == 'C' ? driveRoot_ : std::string("/");
    if (parsed.drive == 'C') {
        std::error_code ec;
        std::filesystem::create_directories(current, ec);
        if (ec) hostfile::throwErrno(ec.value(), err::PathFileAccessError);
    }
    for (const std::string& part : parsed.parts) {
        std::string next = join(current, part);
        if (!exists(next)) {
            if (auto match = findIgnoringCase(current, part)) next = join(current, *match);
        }
        if (::mkdir(next.c_str(), 0777) != 0 && errno != EEXIST) {
            hostfile::throwErrno(errno, err::PathFileAccessError);
        }
        if (!hostfile::isDirectory(next)) throw Error(err::PathFileAccessError);  // a file
        current = std::move(next);
    }
}

void LinuxSystem::writeNewFile(const std::string& path, std::string_view bytes) {
    const std::string host = creatableHostPath(path);
    if (exists(host)) throw Error(err::FileAlreadyExists);
    hostfile::TempFile temp(hostfile::parentOf(host));
    temp.write(bytes, options_.writeFault);
    temp.finish();
    temp.publishNew(host);
}

std::unique_ptr<IRegistryWriter> LinuxSystem::createRegistryWriter() {
    return makeRegistryWriter(RegistryStore(storePath_, options_.writeFault));
}

namespace {

// A Windows 3.1 help file (the format the Windows 98 help viewer opens)
// starts with the magic number 0x00035F3F, little-endian.
bool isWindowsHelpFile(const std::string& hostPath) {
    unsigned char magic[4] = {};
    FILE* file = std::fopen(hostPath.c_str(), "rb");
    if (!file) return false;
    const bool read = std::fread(magic, 1, sizeof magic, file) == sizeof magic;
    std::fclose(file);
    return read && magic[0] == 0x3F && magic[1] == 0x5F && magic[2] == 0x03 && magic[3] == 0x00;
}

}  // namespace

void LinuxSystem::shellExecute(const ShellRequest& request) {
    try {
        const std::string& file = request.file;
        if (startsWithIgnoringCase(file, "http:") || startsWithIgnoringCase(file, "https:") ||
            startsWithIgnoringCase(file, "mailto:")) {
            options_.spawn({"xdg-open", file});
            return;
        }
        if (file.empty()) return;
        const std::string host = hostPath(file);
        struct stat st {};
        if (::stat(host.c_str(), &st) != 0) return;
        // Nothing on Linux opens a Windows help file; the program shows it
        // in its own help window.
        if (options_.openHelp && S_ISREG(st.st_mode) && isWindowsHelpFile(host)) {
            options_.openHelp(host, request.show);
            return;
        }
        options_.spawn({"xdg-open", host});
    } catch (...) {
        // ShellExecute reports through a result nobody reads.
    }
}

int LinuxSystem::exitWindowsEx(unsigned /*flags*/, unsigned /*reserved*/) {
    try {
        return options_.restart() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

bool LinuxSystem::setDesktopWallpaper(const std::string& path) {
    try {
        if (!path.empty()) {
            struct stat st {};
            const std::string picture = hostPath(path);
            if (::stat(picture.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
            const Fd readable(::open(picture.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
            if (readable.get() < 0) return false;
        }
        const auto ansiPath = cp1251::fromUtf8(path);
        if (!ansiPath) return false;

        // Everything that can refuse is asked before anything is written.
        const RegistryStore store(storePath_, options_.writeFault);
        store.check();
        const std::string winIni = hostPath("C:\\Windows\\WIN.INI");
        std::string iniText;
        struct stat iniStat {};
        if (::stat(winIni.c_str(), &iniStat) == 0) {
            if (!S_ISREG(iniStat.st_mode) || isReadOnly(iniStat)) return false;
            iniText = hostfile::readFile(winIni).value_or(std::string());
        }
        const std::string newIni = ini::withValue(iniText, "Desktop", "Wallpaper", *ansiPath);

        store.storeString(hkey::CurrentUser, "Control Panel\\Desktop", "Wallpaper", path);
        createDirectory("C:\\Windows");
        hostfile::replaceContents(winIni, newIni, options_.writeFault);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace zarvo
