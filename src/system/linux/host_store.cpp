#include "system/linux/host_store.h"

#include <sys/file.h>

#include <cerrno>
#include <filesystem>
#include <utility>

#include "system/error.h"

namespace zarvo {

namespace {

// Held for the whole read-modify-write, until the folder is closed. The
// lock is taken on the store's folder rather than on a lock file of its
// own: on a real Windows tree the store sits inside the drive, where the
// lock would be one more file of the program's left on the user's disk.
void lockExclusively(int folder) {
    while (::flock(folder, LOCK_EX) != 0)
        if (errno != EINTR) hostfile::throwErrno(errno, err::PathFileAccessError);
}

class HostStoreFile : public StoreFile {
public:
    HostStoreFile(std::string path, hostfile::WriteFault writeFault)
        : path_(std::move(path)), writeFault_(std::move(writeFault)) {}

    std::string name() const override { return path_; }
    std::optional<std::string> read() override { return hostfile::readFile(path_); }

    void rewrite(const std::function<std::optional<std::string>(const std::optional<std::string>&)>&
                     change) override {
        const std::string folder = hostfile::parentOf(path_);
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) hostfile::throwErrno(ec.value(), err::PathNotFound);

        const hostfile::Fd folderFd = hostfile::openFolder(folder);
        lockExclusively(folderFd.get());
        const auto after = change(read());
        if (!after) return;
        hostfile::replaceContents(folderFd.get(), path_.substr(path_.find_last_of('/') + 1), *after,
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
