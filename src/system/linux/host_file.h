#pragma once

// Low-level host file helpers shared by the Linux system layer and the
// registry store: errno translation, crash-safe replacement of a file and the
// DOS attribute extended attribute. Failures throw zarvo::Error.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "system/posix_fd.h"

namespace zarvo::hostfile {

// Called before every write with the bytes already written to that file;
// a nonzero result is an errno that the write then fails with.
using WriteFault = std::function<int(std::size_t bytesWrittenSoFar)>;

// The error number for an errno; `fallback` for one without a better match.
int errorNumber(int errnoValue, int fallback);
// Failed writes: 61 disk full, 57 I/O error, 75 anything else.
int writeErrorNumber(int errnoValue);
[[noreturn]] void throwErrno(int errnoValue, int fallback);

// The folder part of a host path ("/" for "/x").
std::string parentOf(const std::string& path);
bool isDirectory(const std::string& path);
bool isRegularFile(const std::string& path);

using Fd = posix::Fd;

// A folder opened to work in; 76 when it is missing, the errno's number otherwise.
Fd openFolder(const std::string& path);

// Opens `relative` (names joined by '/', "" for the folder itself) below the
// folder `rootFd` so that it never leaves that folder: a symbolic link on the
// way, the last name included, may lead anywhere below it but not out of
// it. Returns the descriptor or -errno; EXDEV (or ELOOP) when the name leads
// out. Through openat2 where the kernel has it; without it (`useOpenat2`
// false: tests), one name at a time, and then any symbolic link counts as
// leading out.
int openBeneath(int rootFd, const std::string& relative, int flags, bool useOpenat2 = true);

// Renames `fromName` in the folder `fromFd` to `toName` in `toFd` without
// ever replacing an existing entry; 0 or the errno. renameat2(RENAME_NOREPLACE)
// where the file system takes it, else link() + unlink(), which is just as
// safe for files.
int renameNoReplace(int fromFd, const std::string& fromName, int toFd, const std::string& toName);

// The whole file; nullopt when it does not exist.
std::optional<std::string> readFile(const std::string& path);
// Everything left to read from a descriptor.
std::string readAll(int fd);

// Flushes a folder's entries so that a rename in it survives a power cut.
void syncFolder(int folderFd);

// The hidden/system/archive bits kept in "user.DOSATTRIB"; nullopt when the
// file has none or the file system keeps no user attributes.
std::optional<unsigned> readDosAttributes(const std::string& path);
std::optional<unsigned> readDosAttributes(int fd);
// Writes them; false when the file system does not keep user attributes.
bool writeDosAttributes(int fd, unsigned bits);

// Where a file system keeps the DOS attributes: Linux's vfat driver keeps
// the real FAT attribute byte, read and written through its ioctls; other
// file systems get the user.DOSATTRIB extended attribute.
enum class AttributeKeeping { FatIoctl, ExtendedAttribute };
// The choice for a statfs f_type.
AttributeKeeping attributeKeepingFor(long fileSystemType);
// The choice for the file system `fd` lies on.
AttributeKeeping attributeKeeping(int fd);
// The FAT attribute byte (attr:: bits) through FAT_IOCTL_GET_ATTRIBUTES;
// nullopt where the file system has no such ioctl.
std::optional<unsigned> readFatAttributes(int fd);
// Sets it through FAT_IOCTL_SET_ATTRIBUTES; throws on failure.
void writeFatAttributes(int fd, unsigned bits);

// True for the name of a temporary file as TempFile makes them.
bool isTempName(std::string_view name);
// Removes the temporary files in a folder that were left by a process that
// ended before it could publish or remove them (killed mid-write): those
// whose lock nobody holds. A live writer's file is locked from its creation
// until its name is gone, so a concurrent instance loses nothing.
void removeLeftovers(int folderFd);

// A new file beside the one it is to become, removed again unless it is
// published. It is created with mode 0666 less the umask, like any new
// file, and stays locked while it exists. Creating one first sweeps away the
// leftovers of earlier runs in the folder. The folder stays open as long as
// the TempFile does.
class TempFile {
public:
    explicit TempFile(int folderFd);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return fd_.get(); }
    const std::string& name() const { return name_; }

    void write(std::string_view bytes, const WriteFault& fault);
    // Copies everything readable from `sourceFd`.
    void copyFrom(int sourceFd, const WriteFault& fault);
    // Flushes the bytes to the disk; call before publishing.
    void finish();
    // Atomically takes the place of `name` in the folder, replacing it if present.
    void replace(const std::string& name);
    // Atomically appears as `name`; 58 if something is there already.
    void publishNew(const std::string& name);

private:
    void writeChunk(const char* data, std::size_t size, const WriteFault& fault);
    void published();

    int folder_;
    std::string name_;
    Fd fd_;
    std::size_t written_ = 0;
    bool published_ = false;
};

// Replaces the bytes of `name` in a folder atomically. An existing file
// keeps its permission bits and DOS attributes (they belong to the inode,
// which is new).
void replaceContents(int folderFd, const std::string& name, std::string_view bytes,
                     const WriteFault& fault);

}  // namespace zarvo::hostfile
