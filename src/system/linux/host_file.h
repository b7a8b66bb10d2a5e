#pragma once

// Low-level host file helpers shared by the Linux system layer and the
// registry store: errno translation, crash-safe replacement of a file and the
// DOS attribute extended attribute. Failures throw zarvo::Error.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

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

// Renames without ever replacing an existing `to`; 0 or the errno.
// renameat2(RENAME_NOREPLACE) where the file system takes it, else
// link() + unlink(), which is just as safe for files.
int renameNoReplace(const std::string& from, const std::string& to);

// The whole file; nullopt when it does not exist.
std::optional<std::string> readFile(const std::string& path);

// Flushes a folder's entries so that a rename in it survives a power cut.
void syncFolder(const std::string& folder);

// The hidden/system/archive bits kept in "user.DOSATTRIB"; nullopt when the
// file has none or the file system keeps no user attributes.
std::optional<unsigned> readDosAttributes(const std::string& path);
// Writes them; false when the file system does not keep user attributes.
bool writeDosAttributes(int fd, unsigned bits);

// A new file beside the one it is to become, removed again unless it is
// published. It is created with mode 0666 less the umask, like any new file.
class TempFile {
public:
    explicit TempFile(const std::string& folder);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    void write(std::string_view bytes, const WriteFault& fault);
    // Copies everything readable from `sourceFd`.
    void copyFrom(int sourceFd, const WriteFault& fault);
    // fsync and close; call before publishing.
    void finish();
    // Atomically takes the place of `destination`, replacing it if present.
    void replace(const std::string& destination);
    // Atomically appears as `destination`; 58 if something is there already.
    void publishNew(const std::string& destination);

private:
    void writeChunk(const char* data, std::size_t size, const WriteFault& fault);

    std::string path_;
    int fd_ = -1;
    std::size_t written_ = 0;
    bool published_ = false;
};

// Replaces a file's bytes atomically. An existing file keeps its permission
// bits and DOS attributes (they belong to the inode, which is new).
void replaceContents(const std::string& path, std::string_view bytes, const WriteFault& fault);

}  // namespace zarvo::hostfile
