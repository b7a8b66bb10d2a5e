#include "system/image/image_hold.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>

#include "system/error.h"
#include "system/image/image_error.h"
#include "system/posix_process.h"

namespace zarvo::image {

namespace {

// QEMU's lock bytes: it marks each permission it takes on an image at 100
// plus the permission's bit number, and each one it lets nobody else take at
// 200 plus that number. Bit 0 is a consistent read, 1 a write, 3 a resize.
// Zarvo reads and writes, and shares neither writing nor resizing: a
// writable QEMU then fails with "Failed to get "write" lock", while a
// read-only look (qemu-img info) still works.
constexpr std::array<off_t, 4> kLockBytes = {100, 101, 201, 203};

// What identifies the file: a block device by its device number, whatever
// node names it; any other file by its inode.
struct FileId {
    bool block = false;
    dev_t device = 0;
    ino_t inode = 0;
};

FileId idOf(const struct stat& st) {
    if (S_ISBLK(st.st_mode)) return {true, st.st_rdev, 0};
    return {false, st.st_dev, st.st_ino};
}

bool same(const FileId& a, const FileId& b) {
    return a.block == b.block && a.device == b.device && a.inode == b.inode;
}

long parentPidOf(long pid) {
    // "pid (command) state ppid ...": the command may hold spaces and ')'.
    const std::string stat = posix::fileText("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 4 > stat.size()) return 0;
    return std::strtol(stat.c_str() + close + 4, nullptr, 10);
}

// The name a user knows the program by: its command's file name, else the
// kernel's short name for it.
std::string programOf(long pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    std::string command = posix::fileText(proc + "/cmdline");
    command = command.substr(0, command.find('\0'));
    command = command.substr(command.find_last_of('/') + 1);
    if (!command.empty()) return command;
    std::string name = posix::fileText(proc + "/comm");
    while (!name.empty() && name.back() == '\n') name.pop_back();
    return name.empty() ? "pid " + std::to_string(pid) : name;
}

bool numeric(const char* name) {
    if (*name == '\0') return false;
    for (; *name; ++name)
        if (*name < '0' || *name > '9') return false;
    return true;
}

// Whether the process has the file open: one of its descriptors leads to it.
bool holds(long pid, const FileId& wanted) {
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    DIR* dir = ::opendir(fds.c_str());
    if (!dir) return false;  // gone, or another user's
    bool found = false;
    char target[16];
    while (const dirent* entry = ::readdir(dir)) {
        if (!numeric(entry->d_name)) continue;
        const std::string link = fds + "/" + entry->d_name;
        // Pipes, sockets and the like read as "pipe:[...]": only a path can
        // be the image, and most descriptors are skipped without a stat.
        if (::readlink(link.c_str(), target, sizeof target) <= 0 || target[0] != '/') continue;
        struct stat st {};
        if (::stat(link.c_str(), &st) == 0 && same(idOf(st), wanted)) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// Whether the process is this one or descends from it, by its parents.
bool ours(long pid, long self) {
    for (int depth = 0; depth < 16 && pid > 1; ++depth) {
        if (pid == self) return true;
        pid = parentPidOf(pid);
    }
    return false;
}

std::optional<Holder> holderOf(const FileId& wanted) {
    const long self = ::getpid();
    DIR* proc = ::opendir("/proc");
    if (!proc) return std::nullopt;
    std::optional<Holder> holder;
    while (const dirent* entry = ::readdir(proc)) {
        if (!numeric(entry->d_name)) continue;
        const long pid = std::strtol(entry->d_name, nullptr, 10);
        // What this program started is mtools at work, or the export that
        // serves the image and the keeper that ends it.
        if (!holds(pid, wanted) || ours(pid, self)) continue;
        holder = Holder{pid, programOf(pid)};
        break;
    }
    ::closedir(proc);
    return holder;
}

}  // namespace

std::optional<Holder> otherHolder(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return holderOf(idOf(st));
}

ImageHold::ImageHold(const std::string& path, bool lockAsQemu)
    : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), locks_(lockAsQemu) {
    if (fd_.get() < 0) throw ImageError(ImageError::Reason::CannotOpen, path, errno);
    // Locks first, then the look for others, as QEMU does: two programs
    // starting at once both see the other and both give up, rather than
    // both going ahead.
    for (const off_t byte : kLockBytes) {
        if (!locks_) break;
        struct flock lock {};
        lock.l_type = F_RDLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = byte;
        lock.l_len = 1;
        // A file system without such locks still gets the look at the
        // processes.
        ::fcntl(fd_.get(), F_OFD_SETLK, &lock);
    }
    checkAlone();
}

void ImageHold::checkAlone() const {
    struct stat st {};
    if (::fstat(fd_.get(), &st) == 0) {
        if (const auto holder = holderOf(idOf(st)))
            throw DriveInUse(path_, holder->program, holder->pid);
    }
    // A lock of anyone else's on any byte: an emulator of another user's,
    // whose processes cannot be looked into. Our own locks do not count, as
    // they belong to this open file. An export's locks are its server's, and
    // while it holds them no other QEMU can take any.
    if (!locks_) return;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    if (::fcntl(fd_.get(), F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK) {
        if (lock.l_pid > 0) throw DriveInUse(path_, programOf(lock.l_pid), lock.l_pid);
        throw DriveInUse(path_, "", 0);
    }
}

}  // namespace zarvo::image
