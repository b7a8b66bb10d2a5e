#include "system/linux/host_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <utility>

#include "system/error.h"

namespace zarvo {

namespace {

// Held for the whole read-modify-write. The lock is taken on the store's
// folder rather than on a lock file of its own: on a real Windows tree the
// store sits inside the drive, where the lock would be one more file of the
// program's left on the user's disk.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder) {
        fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) hostfile::throwErrno(errno, err::PathFileAccessError);
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            const int e = errno;
            ::close(fd_);
            hostfile::throwErrno(e, err::PathFileAccessError);
        }
    }
    ~FolderLock() { ::close(fd_); }  // closing releases the lock
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_ = -1;
};

class HostStoreFile : public StoreFile {
public:
    HostStoreFile(std::string path, hostfile::WriteFault writeFault)
        : path_(std::move(path)), writeFault_(std::move(writeFault)) {}

    std::string name() const override { return path_; }
    std::optional<std::string> read() override { return hostfile::readFile(path_); }

    void rewrite(
        const std::function<std::string(const std::optional<std::string>&)>& change) override {
        const std::string folder = hostfile::parentOf(path_);
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) hostfile::throwErrno(ec.value(), err::PathNotFound);

        const FolderLock lock(folder);
        const auto before = read();
        const std::string after = change(before);
        if (before == after) return;
        const hostfile::Fd folderFd = hostfile::openFolder(folder);
        hostfile::replaceContents(folderFd.get(), path_.substr(path_.find_last_of('/') + 1), after,
                                  writeFault_);
    }

private:
    std::string path_;
    hostfile::WriteFault writeFault_;
};

}  // namespace

std::unique_ptr<StoreFile> hostStoreFile(std::string path, hostfile::WriteFault writeFault) {
    return std::make_unique<HostStoreFile>(std::move(path), std::move(writeFault));
}

}  // namespace zarvo
