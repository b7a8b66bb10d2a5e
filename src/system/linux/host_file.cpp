#include "system/linux/host_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

std::string randomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, sizeof(kLetters) - 2);
    std::string s;
    for (int i = 0; i < 10; ++i) s += kLetters[pick(engine)];
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
        // A file in use or a write-protected disk: VB's "permission denied".
        case EBUSY:
        case ETXTBSY:
        case EROFS:
            return err::PermissionDenied;
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

int renameNoReplace(const std::string& from, const std::string& to) {
    if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) ==
        0) {
        return 0;
    }
    const int renameError = errno;
    if (renameError != EINVAL && !unsupported(renameError)) return renameError;

    // The file system refuses the flag: a hard link cannot replace anything either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) != 0) {
            const int e = errno;
            ::unlink(to.c_str());
            return e;
        }
        return 0;
    }
    const int linkError = errno;
    if (linkError != EPERM && !unsupported(linkError)) return linkError;

    // Folders, and file systems without hard links: a check and a plain
    // rename, the best such a file system allows.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::optional<std::string> readFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return std::nullopt;
        throwErrno(errno, err::PathFileAccessError);
    }
    std::string bytes;
    std::vector<char> buffer(kChunk);
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            const int e = errno;
            ::close(fd);
            throw Error(writeErrorNumber(e));
        }
        if (n == 0) break;
        bytes.append(buffer.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

std::optional<unsigned> readDosAttributes(const std::string& path) {
    // Wine writes "0x%x"; Samba writes the same text followed by a NUL and
    // binary data, so only the leading hex number is read.
    char buffer[256];
    const ssize_t n = ::getxattr(path.c_str(), kDosAttribute, buffer, sizeof(buffer) - 1);
    if (n < 0) return std::nullopt;
    buffer[n] = '\0';
    char* end = nullptr;
    const unsigned long value = std::strtoul(buffer, &end, 16);
    if (end == buffer) return std::nullopt;
    return static_cast<unsigned>(value);
}

bool writeDosAttributes(int fd, unsigned bits) {
    char text[16];
    const int length = std::snprintf(text, sizeof(text), "0x%x", bits);
    if (::fsetxattr(fd, kDosAttribute, text, static_cast<std::size_t>(length), 0) == 0) return true;
    if (unsupported(errno)) return false;
    throwErrno(errno, err::PathFileAccessError);
}

TempFile::TempFile(const std::string& folder) {
    const std::string prefix = (folder == "/" ? std::string() : folder) + "/.zarvo-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        path_ = prefix + randomSuffix() + ".tmp";
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) return;
        if (errno == EEXIST) continue;
        const int e = errno;
        published_ = true;  // nothing to remove
        if (e == ENOENT || e == ENOTDIR) throw Error(err::PathNotFound);
        throw Error(writeErrorNumber(e));
    }
    published_ = true;
    throw Error(err::PathFileAccessError);
}

TempFile::~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!published_) ::unlink(path_.c_str());
}

void TempFile::writeChunk(const char* data, std::size_t size, const WriteFault& fault) {
    while (size > 0) {
        if (fault) {
            if (const int injected = fault(written_)) throw Error(writeErrorNumber(injected));
        }
        const ssize_t n = ::write(fd_, data, size);
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
    if (::fsync(fd_) != 0) throw Error(writeErrorNumber(errno));
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) throw Error(writeErrorNumber(errno));
}

void TempFile::replace(const std::string& destination) {
    if (::rename(path_.c_str(), destination.c_str()) != 0) {
        throwErrno(errno, err::PathFileAccessError);
    }
    published_ = true;
    syncFolder(parentOf(destination));
}

void TempFile::publishNew(const std::string& destination) {
    if (const int e = renameNoReplace(path_, destination)) {
        throwErrno(e, err::PathFileAccessError);
    }
    published_ = true;
    syncFolder(parentOf(destination));
}

void replaceContents(const std::string& path, std::string_view bytes, const WriteFault& fault) {
    struct stat old {};
    const bool existed = ::stat(path.c_str(), &old) == 0;
    const auto dos = existed ? readDosAttributes(path) : std::nullopt;

    TempFile temp(parentOf(path));
    temp.write(bytes, fault);
    // The attribute first: without write permission its owner could not set it.
    if (dos) writeDosAttributes(temp.fd(), *dos);
    if (existed && ::fchmod(temp.fd(), old.st_mode & 07777) != 0) {
        throwErrno(errno, err::PathFileAccessError);
    }
    temp.finish();
    temp.replace(path);
}

}  // namespace zarvo::hostfile
