#include "system/linux/host_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <linux/openat2.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "system/error.h"

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace zarvo::hostfile {

namespace {

constexpr const char* kDosAttribute = "user.DOSATTRIB";
constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kSuffixLength = 10;

std::string randomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, sizeof(kLetters) - 2);
    std::string s;
    for (std::size_t i = 0; i < kSuffixLength; ++i) s += kLetters[pick(engine)];
    return s;
}

bool unsupported(int e) {
    return e == ENOTSUP || e == EOPNOTSUPP || e == ENOSYS;
}

}  // namespace

int errorNumber(int errnoValue, int fallback) {
    switch (errnoValue) {
        case ENOENT:
            return err::FileNotFound;
        case ENOTDIR:
            return err::PathNotFound;
        case EEXIST:
        case ENOTEMPTY:
            return err::FileAlreadyExists;
        case ENOSPC:
        case EDQUOT:
            return err::DiskFull;
        case EIO:
            return err::DeviceIoError;
        case EXDEV:
            return err::RenameAcrossDrives;
        // A file in use: VB's "permission denied".
        case EBUSY:
        case ETXTBSY:
            return err::PermissionDenied;
        // A write-protected disk answers 75 to every write, as a failed
        // write reports it (writeErrorNumber).
        case EROFS:
        case EACCES:
        case EPERM:
        case EISDIR:
            return err::PathFileAccessError;
        case ENAMETOOLONG:
            return err::BadFileName;
        default:
            return fallback;
    }
}

int writeErrorNumber(int errnoValue) {
    switch (errnoValue) {
        case ENOSPC:
        case EDQUOT:
            return err::DiskFull;
        case EIO:
            return err::DeviceIoError;
        default:
            return err::PathFileAccessError;
    }
}

void throwErrno(int errnoValue, int fallback) {
    throw Error(errorNumber(errnoValue, fallback));
}

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

Fd openFolder(const std::string& path) {
    Fd folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) throw Error(err::PathNotFound);
        throwErrno(errno, err::PathFileAccessError);
    }
    return folder;
}

int openBeneath(int rootFd, const std::string& relative, int flags, bool useOpenat2) {
    flags |= O_CLOEXEC;
    if (useOpenat2) {
        open_how how{};
        how.flags = static_cast<std::uint64_t>(flags);
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
        const char* path = relative.empty() ? "." : relative.c_str();
        // EAGAIN: a rename elsewhere on the file system raced the lookup.
        for (int attempt = 0; attempt < 16; ++attempt) {
            const long fd = ::syscall(SYS_openat2, rootFd, path, &how, sizeof how);
            if (fd >= 0) return static_cast<int>(fd);
            if (errno != EAGAIN) break;
        }
        if (errno != ENOSYS) return -errno;
    }

    // One name at a time, none of them followed.
    Fd current(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
    if (current.get() < 0) return -errno;
    std::size_t start = 0;
    while (start < relative.size()) {
        const std::size_t slash = std::min(relative.find('/', start), relative.size());
        const std::string name = relative.substr(start, slash - start);
        start = slash + 1;
        const bool last = start > relative.size();
        Fd next(::openat(current.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (next.get() < 0) return -errno;
        struct stat st {};
        if (::fstat(next.get(), &st) != 0) return -errno;
        if (S_ISLNK(st.st_mode)) return -EXDEV;
        if (last) {
            // Reopened as asked, now that it is known to be no link.
            const int fd = ::openat(current.get(), name.c_str(), flags | O_NOFOLLOW);
            return fd >= 0 ? fd : (errno == ELOOP ? -EXDEV : -errno);
        }
        if (!S_ISDIR(st.st_mode)) return -ENOTDIR;
        current = std::move(next);
    }
    const int fd = ::openat(current.get(), ".", flags);
    return fd >= 0 ? fd : -errno;
}

int renameNoReplace(int fromFd, const std::string& fromName, int toFd, const std::string& toName) {
    const char* from = fromName.c_str();
    const char* to = toName.c_str();
    if (::syscall(SYS_renameat2, fromFd, from, toFd, to, RENAME_NOREPLACE) == 0) return 0;
    const int renameError = errno;
    if (renameError != EINVAL && !unsupported(renameError)) return renameError;

    // The file system refuses the flag: a hard link cannot replace anything either.
    if (::linkat(fromFd, from, toFd, to, 0) == 0) {
        if (::unlinkat(fromFd, from, 0) != 0) {
            const int e = errno;
            ::unlinkat(toFd, to, 0);
            return e;
        }
        return 0;
    }
    const int linkError = errno;
    if (linkError != EPERM && !unsupported(linkError)) return linkError;

    // Folders, and file systems without hard links: a check and a plain
    // rename, the best such a file system allows.
    struct stat st {};
    if (::fstatat(toFd, to, &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return ::renameat(fromFd, from, toFd, to) == 0 ? 0 : errno;
}

std::string readAll(int fd) {
    std::string bytes;
    std::vector<char> buffer(kChunk);
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Error(writeErrorNumber(errno));
        }
        if (n == 0) return bytes;
        bytes.append(buffer.data(), static_cast<std::size_t>(n));
    }
}

std::optional<std::string> readFile(const std::string& path) {
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT) return std::nullopt;
        throwErrno(errno, err::PathFileAccessError);
    }
    return readAll(fd.get());
}

void syncFolder(int folderFd) {
    ::fsync(folderFd);
}

namespace {

std::optional<unsigned> parseDosAttributes(const char* buffer, ssize_t n) {
    // Wine writes "0x%x"; Samba writes the same text followed by a NUL and
    // binary data, so only the leading hex number is read.
    if (n < 0) return std::nullopt;
    const std::string text(buffer, static_cast<std::size_t>(n));
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 16);
    if (end == text.c_str()) return std::nullopt;
    return static_cast<unsigned>(value);
}

}  // namespace

std::optional<unsigned> readDosAttributes(const std::string& path) {
    char buffer[256];
    const auto kept = parseDosAttributes(
        buffer, ::getxattr(path.c_str(), kDosAttribute, buffer, sizeof(buffer) - 1));
    if (kept) return kept;
    // vfat keeps no user attributes, but the real ones, which need the file open.
    const Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
    if (fd.get() < 0 || attributeKeeping(fd.get()) != AttributeKeeping::FatIoctl)
        return std::nullopt;
    return readFatAttributes(fd.get());
}

std::optional<unsigned> readDosAttributes(int fd) {
    if (attributeKeeping(fd) == AttributeKeeping::FatIoctl) return readFatAttributes(fd);
    char buffer[256];
    return parseDosAttributes(buffer, ::fgetxattr(fd, kDosAttribute, buffer, sizeof(buffer) - 1));
}

bool writeDosAttributes(int fd, unsigned bits) {
    if (attributeKeeping(fd) == AttributeKeeping::FatIoctl) {
        // Read-only follows the permission bits, and the folder and volume
        // bits are the file system's own: only these three are set here.
        constexpr unsigned kBits = 0x02 | 0x04 | 0x20;  // hidden, system, archive
        const unsigned current = readFatAttributes(fd).value_or(0);
        writeFatAttributes(fd, (current & ~kBits) | (bits & kBits));
        return true;
    }
    char text[16];
    const int length = std::snprintf(text, sizeof(text), "0x%x", bits);
    if (::fsetxattr(fd, kDosAttribute, text, static_cast<std::size_t>(length), 0) == 0) return true;
    if (unsupported(errno)) return false;
    throwErrno(errno, err::PathFileAccessError);
}

AttributeKeeping attributeKeepingFor(long fileSystemType) {
    return fileSystemType == MSDOS_SUPER_MAGIC ? AttributeKeeping::FatIoctl
                                               : AttributeKeeping::ExtendedAttribute;
}

AttributeKeeping attributeKeeping(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) return AttributeKeeping::ExtendedAttribute;
    return attributeKeepingFor(static_cast<long>(fs.f_type));
}

std::optional<unsigned> readFatAttributes(int fd) {
    std::uint32_t bits = 0;
    if (::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &bits) != 0) return std::nullopt;
    return static_cast<unsigned>(bits);
}

void writeFatAttributes(int fd, unsigned bits) {
    std::uint32_t value = bits;
    if (::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &value) != 0)
        throwErrno(errno, err::PathFileAccessError);
}

bool isTempName(std::string_view name) {
    constexpr std::string_view prefix = ".zarvo-";
    constexpr std::string_view suffix = ".tmp";
    if (name.size() != prefix.size() + kSuffixLength + suffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(suffix)) {
        return false;
    }
    const std::string_view middle = name.substr(prefix.size(), kSuffixLength);
    return std::all_of(middle.begin(), middle.end(),
                       [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); });
}

void removeLeftovers(int folderFd) {
    const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return;
    }
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(dir)) {
        if (isTempName(entry->d_name)) candidates.emplace_back(entry->d_name);
    }
    ::closedir(dir);

    for (const std::string& name : candidates) {
        const Fd file(
            ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat opened {};
        if (file.get() < 0 || ::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) {
            continue;
        }
        // A lock nobody holds: its writer is gone. Where the file system
        // keeps no locks, nothing tells, and the file stays.
        if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) continue;
        // Still the file under that name, not a new one made meanwhile.
        struct stat named {};
        if (::fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
            ::unlinkat(folderFd, name.c_str(), 0);
        }
    }
}

TempFile::TempFile(int folderFd) : folder_(folderFd) {
    removeLeftovers(folder_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name_ = ".zarvo-" + randomSuffix() + ".tmp";
        fd_ = Fd(::openat(folder_, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd_.get() < 0) {
            if (errno == EEXIST) continue;
            const int e = errno;
            published_ = true;  // nothing to remove
            if (e == ENOENT || e == ENOTDIR) throw Error(err::PathNotFound);
            throw Error(writeErrorNumber(e));
        }
        // Locked before anyone could take it for a leftover; one that a
        // sweep removed between its creation and the lock is no longer
        // linked, and another name is tried.
        while (::flock(fd_.get(), LOCK_EX) != 0 && errno == EINTR) {
        }
        struct stat st {};
        if (::fstat(fd_.get(), &st) == 0 && st.st_nlink == 0) continue;
        return;
    }
    published_ = true;
    throw Error(err::PathFileAccessError);
}

TempFile::~TempFile() {
    // Removed while still locked, so that no sweep can mistake it.
    if (!published_) ::unlinkat(folder_, name_.c_str(), 0);
}

void TempFile::writeChunk(const char* data, std::size_t size, const WriteFault& fault) {
    while (size > 0) {
        if (fault) {
            if (const int injected = fault(written_)) throw Error(writeErrorNumber(injected));
        }
        const ssize_t n = ::write(fd_.get(), data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Error(writeErrorNumber(errno));
        }
        written_ += static_cast<std::size_t>(n);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void TempFile::write(std::string_view bytes, const WriteFault& fault) {
    while (!bytes.empty()) {
        const std::size_t size = std::min(bytes.size(), kChunk);
        writeChunk(bytes.data(), size, fault);
        bytes.remove_prefix(size);
    }
}

void TempFile::copyFrom(int sourceFd, const WriteFault& fault) {
    std::vector<char> buffer(kChunk);
    for (;;) {
        const ssize_t n = ::read(sourceFd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Error(writeErrorNumber(errno));
        }
        if (n == 0) break;
        writeChunk(buffer.data(), static_cast<std::size_t>(n), fault);
    }
}

void TempFile::finish() {
    // The descriptor stays open, and the file locked, until its name is gone.
    if (::fsync(fd_.get()) != 0) throw Error(writeErrorNumber(errno));
}

void TempFile::published() {
    published_ = true;
    syncFolder(folder_);
    fd_ = Fd();
}

void TempFile::replace(const std::string& name) {
    if (::renameat(folder_, name_.c_str(), folder_, name.c_str()) != 0) {
        throwErrno(errno, err::PathFileAccessError);
    }
    published();
}

void TempFile::publishNew(const std::string& name) {
    if (const int e = renameNoReplace(folder_, name_, folder_, name)) {
        throwErrno(e, err::PathFileAccessError);
    }
    published();
}

void replaceContents(int folderFd, const std::string& name, std::string_view bytes,
                     const WriteFault& fault) {
    struct stat old {};
    const bool existed = ::fstatat(folderFd, name.c_str(), &old, 0) == 0;
    std::optional<unsigned> dos;
    if (existed) {
        const Fd file(::openat(folderFd, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (file.get() >= 0) dos = readDosAttributes(file.get());
    }

    TempFile temp(folderFd);
    temp.write(bytes, fault);
    // The attribute first: without write permission its owner could not set it.
    if (dos) writeDosAttributes(temp.fd(), *dos);
    if (existed && ::fchmod(temp.fd(), old.st_mode & 07777) != 0) {
        throwErrno(errno, err::PathFileAccessError);
    }
    temp.finish();
    temp.replace(name);
}

}  // namespace zarvo::hostfile
