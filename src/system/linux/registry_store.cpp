#include "system/linux/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <utility>

#include "formats/cp1251.h"
#include "formats/regedit4.h"
#include "system/error.h"
#include "system/shared_steps.h"

namespace zarvo {

namespace {

// Held for the whole read-modify-write so that two program instances
// storing at once cannot lose each other's values. The lock is taken on the
// store's folder rather than on a lock file of its own: on a real Windows
// tree the store sits inside the drive, where the lock would be one more
// file of the program's left on the user's disk.
class StoreLock {
public:
    explicit StoreLock(const std::string& folder) {
        fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) hostfile::throwErrno(errno, err::PathFileAccessError);
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            const int e = errno;
            ::close(fd_);
            hostfile::throwErrno(e, err::PathFileAccessError);
        }
    }
    ~StoreLock() { ::close(fd_); }  // closing releases the lock
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

private:
    int fd_ = -1;
};

class StoreWriter : public IRegistryWriter {
public:
    explicit StoreWriter(RegistryStore store) : store_(std::move(store)) {}

    void storeString(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName,
                     std::string_view valueData) override {
        store_.storeString(rootKey, keyPath, valueName, valueData);
    }
    std::optional<std::string> readString(std::uint32_t rootKey, std::string_view keyPath,
                                          std::string_view valueName) override {
        return store_.readString(rootKey, keyPath, valueName);
    }
    void deleteValue(std::uint32_t rootKey, std::string_view keyPath,
                     std::string_view valueName) override {
        store_.deleteValue(rootKey, keyPath, valueName);
    }

private:
    RegistryStore store_;
};

}  // namespace

RegistryStore::RegistryStore(std::string storePath, hostfile::WriteFault writeFault)
    : path_(std::move(storePath)), writeFault_(std::move(writeFault)) {}

std::string RegistryStore::damageNote() const {
    std::string note = "Хранилище реестра повреждено: ";
    note += path_;
    return note;
}

std::optional<std::string> RegistryStore::text() const {
    return regfile::storeText(hostfile::readFile(path_));
}

void RegistryStore::rewrite(const std::function<std::string(const std::string&)>& edit) const {
    std::error_code ec;
    std::filesystem::create_directories(hostfile::parentOf(path_), ec);
    if (ec) hostfile::throwErrno(ec.value(), err::PathNotFound);

    StoreLock lock(hostfile::parentOf(path_));
    const auto before = text();
    const std::string after = regfile::edited(before, edit, damageNote());
    if (before == after) return;
    const hostfile::Fd folderFd = hostfile::openFolder(hostfile::parentOf(path_));
    hostfile::replaceContents(folderFd.get(), path_.substr(path_.find_last_of('/') + 1), after,
                              writeFault_);
}

void RegistryStore::storeString(std::uint32_t rootKey, std::string_view keyPath,
                                std::string_view valueName, std::string_view data) const {
    const std::string key = regfile::keyName(rootKey, regfile::encoded(keyPath));
    const std::string name = regfile::encoded(valueName);
    const std::string bytes = regfile::encoded(data);
    rewrite([&](const std::string& text) { return regedit4::withString(text, key, name, bytes); });
}

void RegistryStore::deleteValue(std::uint32_t rootKey, std::string_view keyPath,
                                std::string_view valueName) const {
    // An unknown root is refused even when there is nothing to remove.
    regfile::keyName(rootKey, "");
    const auto key = cp1251::fromUtf8(keyPath);
    const auto name = cp1251::fromUtf8(valueName);
    if (!key || !name || !hostfile::readFile(path_)) return;
    const std::string full = regfile::keyName(rootKey, *key);
    rewrite([&](const std::string& text) { return regedit4::withoutValue(text, full, *name); });
}

std::optional<std::string> RegistryStore::readString(std::uint32_t rootKey,
                                                     std::string_view keyPath,
                                                     std::string_view valueName) const {
    auto key = cp1251::fromUtf8(keyPath);
    auto name = cp1251::fromUtf8(valueName);
    if (!key || !name) return std::nullopt;  // such a value cannot have been stored
    const auto text = this->text();
    if (!text) return std::nullopt;
    return regfile::readString(*text, regfile::keyName(rootKey, *key), *name, damageNote());
}

void RegistryStore::check() const {
    regfile::check(text(), damageNote());
}

std::unique_ptr<IRegistryWriter> makeRegistryWriter(RegistryStore store) {
    return std::make_unique<StoreWriter>(std::move(store));
}

}  // namespace zarvo
