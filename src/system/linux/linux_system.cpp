#include "system/linux/linux_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>

#include "system/error.h"
#include "system/host_drives.h"
#include "system/linux/host_store.h"
#include "system/posix_process.h"
#include "system/shared_steps.h"
#include "system/windows_path.h"

namespace zarvo {

namespace {

constexpr unsigned kXattrBits = attr::Hidden | attr::System | attr::Archive;

using hostfile::Fd;

std::string join(const std::string& folder, std::string_view name) {
    std::string out = folder == "/" ? std::string() : folder;
    out += '/';
    out.append(name);
    return out;
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

// The number for a failed lookup below the drive root: a way out of the
// drive is refused as any other write the program may not make.
int beneathError(int e, int missing) {
    if (e == EXDEV || e == ELOOP) return err::PathFileAccessError;
    if (e == ENOENT || e == ENOTDIR) return missing;
    return hostfile::errorNumber(e, err::PathFileAccessError);
}

}  // namespace

LinuxSystem::LinuxSystem() : LinuxSystem(Options{}) {}

LinuxSystem::LinuxSystem(Options options) : options_(std::move(options)) {
    driveRoot_ =
        hostdrives::absolute(options_.driveRoot.empty() ? defaultDriveRoot() : options_.driveRoot);
    storePath_ = options_.registryStorePath.empty() ? defaultRegistryStore(driveRoot_)
                                                    : options_.registryStorePath;
    if (!options_.spawn) options_.spawn = &posix::spawnDetached;
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
    return join(hostfile::parentOf(hostdrives::absolute(driveRoot)), "zarvo.reg");
}

std::string LinuxSystem::hostPath(const std::string& windowsPath) {
    const winpath::Parsed parsed = hostdrives::parseOnHost(windowsPath);
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
    const std::string absolute = hostdrives::absolute(hostPath);
    std::string path = hostdrives::windowsPath(absolute, driveRoot_);
    if (path.front() == 'C') return path;
    // The drive root may have been named through a symbolic link.
    const auto realRoot = canonicalHostPath(driveRoot_);
    const auto realPath = canonicalHostPath(hostPath);
    if (realRoot && realPath) {
        std::string real = hostdrives::windowsPath(*realPath, *realRoot);
        if (real.front() == 'C') return real;
    }
    return path;
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

Fd LinuxSystem::openDriveRoot() const {
    Fd root(::open(driveRoot_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (root.get() < 0) throw Error(beneathError(errno, err::PathNotFound));
    return root;
}

std::string LinuxSystem::relativeToDrive(const std::string& host) const {
    if (host.size() <= driveRoot_.size()) return std::string();
    return host.substr(driveRoot_ == "/" ? 1 : driveRoot_.size() + 1);
}

LinuxSystem::Place LinuxSystem::writablePlace(const std::string& windowsPath, int emptyError) {
    if (windowsPath.empty()) throw Error(emptyError);
    const winpath::Parsed parsed = hostdrives::parseOnHost(windowsPath);
    if (parsed.parts.empty()) throw Error(err::PathFileAccessError);  // a drive is no file
    const std::string host = hostPath(windowsPath);
    Place place;
    place.name = host.substr(host.find_last_of('/') + 1);
    if (parsed.drive != 'C') {
        place.folder = hostfile::openFolder(hostfile::parentOf(host));
        return place;
    }

    const Fd root = openDriveRoot();
    const std::string relative = relativeToDrive(host);
    const std::size_t slash = relative.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : relative.substr(0, slash);
    const int folderFd = hostfile::openBeneath(root.get(), folder, O_RDONLY | O_DIRECTORY);
    if (folderFd < 0) throw Error(beneathError(-folderFd, err::PathNotFound));
    place.folder = Fd(folderFd);
    // The name itself may be a link: one that leads out is refused as well.
    const int self = hostfile::openBeneath(root.get(), relative, O_PATH);
    if (self >= 0) {
        ::close(self);
    } else if (-self == EXDEV || -self == ELOOP) {
        throw Error(err::PathFileAccessError);
    }
    return place;
}

Fd LinuxSystem::openForChange(const std::string& windowsPath, int flags) {
    const std::string host = existingHostPath(windowsPath, err::FileNotFound);
    if (hostdrives::parseOnHost(windowsPath).drive != 'C') {
        Fd fd(::open(host.c_str(), flags | O_CLOEXEC));
        if (fd.get() < 0) hostfile::throwErrno(errno, err::PathFileAccessError);
        return fd;
    }
    const int fd = hostfile::openBeneath(openDriveRoot().get(), relativeToDrive(host), flags);
    if (fd < 0) throw Error(beneathError(-fd, err::FileNotFound));
    return Fd(fd);
}

void LinuxSystem::copyFile(const std::string& source, const std::string& destination) {
    const std::string from = existingHostPath(source, err::FileNotFound);
    const Place to = writablePlace(destination, err::PathFileAccessError);

    // O_NONBLOCK so that a FIFO named as the source cannot hang the program.
    const Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (in.get() < 0) hostfile::throwErrno(errno, err::PathFileAccessError);
    struct stat sourceStat {};
    if (::fstat(in.get(), &sourceStat) != 0) hostfile::throwErrno(errno, err::DeviceIoError);
    if (!S_ISREG(sourceStat.st_mode)) throw Error(err::PathFileAccessError);
    ::fcntl(in.get(), F_SETFL, 0);

    struct stat old {};
    const bool replacing = ::fstatat(to.folder.get(), to.name.c_str(), &old, 0) == 0;
    if (replacing && (S_ISDIR(old.st_mode) || isReadOnly(old))) {
        throw Error(err::PathFileAccessError);
    }

    const unsigned carried =
        hostfile::readDosAttributes(in.get()).value_or(0) & (attr::Hidden | attr::System);
    hostfile::TempFile temp(to.folder.get());
    temp.copyFrom(in.get(), options_.writeFault);
    // The new inode carries nothing over by itself: give it its attributes
    // before it takes the destination's place.
    hostfile::writeDosAttributes(temp.fd(), carried | attr::Archive);
    if (replacing && ::fchmod(temp.fd(), old.st_mode & 07777) != 0) {
        hostfile::throwErrno(errno, err::PathFileAccessError);
    }
    temp.finish();
    temp.replace(to.name);
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

    const Place to = writablePlace(destination, err::PathFileAccessError);
    struct stat old {};
    if (::fstatat(to.folder.get(), to.name.c_str(), &old, 0) == 0 &&
        (S_ISDIR(old.st_mode) || isReadOnly(old))) {
        throw Error(err::PathFileAccessError);
    }
}

void LinuxSystem::renameFile(const std::string& oldPath, const std::string& newPath) {
    existingHostPath(oldPath, err::FileNotFound);  // 53 or 76 before anything else
    const Place from = writablePlace(oldPath, err::FileNotFound);
    Place to = writablePlace(newPath, err::PathFileAccessError);

    struct stat fromStat {};
    struct stat toStat {};
    if (::fstatat(to.folder.get(), to.name.c_str(), &toStat, AT_SYMLINK_NOFOLLOW) == 0) {
        struct stat fromFolder {};
        struct stat toFolder {};
        const bool sameEntry =
            ::fstatat(from.folder.get(), from.name.c_str(), &fromStat, AT_SYMLINK_NOFOLLOW) == 0 &&
            fromStat.st_dev == toStat.st_dev && fromStat.st_ino == toStat.st_ino &&
            ::fstat(from.folder.get(), &fromFolder) == 0 &&
            ::fstat(to.folder.get(), &toFolder) == 0 && fromFolder.st_dev == toFolder.st_dev &&
            fromFolder.st_ino == toFolder.st_ino;
        if (!sameEntry) throw Error(err::FileAlreadyExists);
        // The same file under another spelling: a change of case, which
        // Windows allows. Give it the name as written.
        to.name = hostdrives::parseOnHost(newPath).parts.back();
        if (to.name == from.name) return;
    }
    if (const int e =
            hostfile::renameNoReplace(from.folder.get(), from.name, to.folder.get(), to.name)) {
        hostfile::throwErrno(e, err::PathFileAccessError);
    }
}

void LinuxSystem::deleteFile(const std::string& path) {
    existingHostPath(path, err::FileNotFound);
    const Place place = writablePlace(path, err::FileNotFound);
    struct stat st {};
    if (::fstatat(place.folder.get(), place.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        hostfile::throwErrno(errno, err::PathFileAccessError);
    }
    if (S_ISDIR(st.st_mode)) throw Error(err::PermissionDenied);
    // Checked here, not left to the kernel: root may unlink anything.
    if (S_ISREG(st.st_mode) && isReadOnly(st)) throw Error(err::PathFileAccessError);
    if (::unlinkat(place.folder.get(), place.name.c_str(), 0) != 0) {
        hostfile::throwErrno(errno, err::PathFileAccessError);
    }
}

void LinuxSystem::recoverInterruptedWrites(const std::vector<std::string>& folders) {
    // A host rename replaces a file in one step, so no temporary file is
    // ever the only copy of one: every leftover goes.
    for (const std::string& folder : folders) {
        if (hostdrives::parseOnHost(folder).drive != 'C') continue;
        const int fd = hostfile::openBeneath(
            openDriveRoot().get(), relativeToDrive(hostPath(folder)), O_RDONLY | O_DIRECTORY);
        if (fd < 0) continue;  // nothing there, or nothing of the drive's
        const Fd opened(fd);
        hostfile::removeLeftovers(opened.get());
    }
}

std::string LinuxSystem::sessionId() {
    return posix::sessionId();
}

bool LinuxSystem::sessionRunning(const std::string& id) {
    return posix::sessionRunning(id);
}

void LinuxSystem::setAttributes(const std::string& path, unsigned attributes) {
    const Fd fd = openForChange(path, O_RDONLY | O_NONBLOCK);
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
    if (S_ISDIR(st.st_mode)) return attr::Directory | (kept.value_or(0) & kXattrBits);
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
    const winpath::Parsed parsed = hostdrives::parseOnHost(path);
    const bool onC = parsed.drive == 'C';
    std::string current = onC ? driveRoot_ : std::string("/");
    if (onC) {
        std::error_code ec;
        std::filesystem::create_directories(current, ec);
        if (ec) hostfile::throwErrno(ec.value(), err::PathFileAccessError);
    }
    const Fd root = onC ? openDriveRoot() : Fd();
    Fd folder(onC ? ::fcntl(root.get(), F_DUPFD_CLOEXEC, 0) : -1);
    std::string relative;
    for (const std::string& part : parsed.parts) {
        std::string next = join(current, part);
        if (!exists(next)) {
            if (auto match = findIgnoringCase(current, part)) next = join(current, *match);
        }
        if (!onC) {
            if (::mkdir(next.c_str(), 0777) != 0 && errno != EEXIST) {
                hostfile::throwErrno(errno, err::PathFileAccessError);
            }
            if (!hostfile::isDirectory(next)) throw Error(err::PathFileAccessError);  // a file
        } else {
            // Made in the folder already opened below the drive root, and
            // opened in turn only where it stays below it.
            const std::string name = next.substr(next.find_last_of('/') + 1);
            if (::mkdirat(folder.get(), name.c_str(), 0777) != 0 && errno != EEXIST) {
                hostfile::throwErrno(errno, err::PathFileAccessError);
            }
            if (!relative.empty()) relative += '/';
            relative += name;
            const int fd = hostfile::openBeneath(root.get(), relative, O_PATH | O_DIRECTORY);
            // ENOTDIR: a file of that name.
            if (fd < 0) throw Error(beneathError(-fd, err::PathFileAccessError));
            folder = Fd(fd);
        }
        current = std::move(next);
    }
}

void LinuxSystem::writeNewFile(const std::string& path, std::string_view bytes) {
    const Place place = writablePlace(path, err::PathFileAccessError);
    struct stat st {};
    if (::fstatat(place.folder.get(), place.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        throw Error(err::FileAlreadyExists);
    }
    hostfile::TempFile temp(place.folder.get());
    temp.write(bytes, options_.writeFault);
    temp.finish();
    temp.publishNew(place.name);
}

LinuxSystem::Place LinuxSystem::replaceablePlace(const std::string& path) {
    Place place = writablePlace(path, err::PathFileAccessError);
    struct stat st {};
    if (::fstatat(place.folder.get(), place.name.c_str(), &st, 0) == 0 &&
        (!S_ISREG(st.st_mode) || isReadOnly(st))) {
        throw Error(err::PathFileAccessError);
    }
    return place;
}

void LinuxSystem::checkReplaceable(const std::string& path) {
    replaceablePlace(path);
}

void LinuxSystem::replaceFile(const std::string& path, std::string_view bytes) {
    const Place place = replaceablePlace(path);
    hostfile::replaceContents(place.folder.get(), place.name, bytes, options_.writeFault);
}

std::string LinuxSystem::readFile(const std::string& path) {
    const std::string host = existingHostPath(path, err::FileNotFound);
    const Fd in(::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (in.get() < 0) hostfile::throwErrno(errno, err::PathFileAccessError);
    struct stat st {};
    if (::fstat(in.get(), &st) != 0) hostfile::throwErrno(errno, err::DeviceIoError);
    if (!S_ISREG(st.st_mode)) throw Error(err::PathFileAccessError);
    ::fcntl(in.get(), F_SETFL, 0);
    return hostfile::readAll(in.get());
}

std::unique_ptr<IRegistryWriter> LinuxSystem::createRegistryWriter() {
    return std::make_unique<RegistryStore>(hostStoreFile(storePath_, options_.writeFault));
}

void LinuxSystem::shellExecute(const ShellRequest& request) {
    try {
        const std::string& file = request.file;
        if (isLink(file)) {
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

bool LinuxSystem::opensDocuments() {
    return posix::onPath("xdg-open");
}

int LinuxSystem::exitWindowsEx(unsigned /*flags*/, unsigned /*reserved*/) {
    return exitWindowsThrough(options_.restart);
}

}  // namespace zarvo
