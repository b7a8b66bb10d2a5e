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

namespace zarvo {

namespace {

// The name of a root key the program writes under; 5 for any other.
std::string_view rootName(std::uint32_t rootKey) {
    if (rootKey < hkey::ClassesRoot || rootKey > hkey::Users) {
        throw Error(err::InvalidProcedureCall);
    }
    return regedit4::kRootNames[rootKey - hkey::ClassesRoot];
}

// "HKEY_...\a\b" with empty components dropped.
std::string fullKey(std::uint32_t rootKey, std::string_view path) {
    std::string key(rootName(rootKey));
    const std::string canonical = regedit4::canonicalKeyPath(path);
    if (!canonical.empty()) {
        key += '\\';
        key += canonical;
    }
    return key;
}

std::string encoded(std::string_view utf8) {
    auto bytes = cp1251::fromUtf8(utf8);
    if (!bytes) {
        throw Error(err::InvalidProcedureCall,
                    errorDescription(err::InvalidProcedureCall) +
                        ": в тексте есть знак вне кодовой страницы 1251");
    }
    if (!regedit4::fitsOnALine(*bytes)) {
        throw Error(err::InvalidProcedureCall,
                    errorDescription(err::InvalidProcedureCall) +
                        ": перевод строки или нулевой знак в тексте реестра");
    }
    return *bytes;
}

// Held for the whole read-modify-write so that two program instances
// storing at once cannot lose each other's values.
class StoreLock {
public:
    explicit StoreLock(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
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

// What an empty or missing store reads as.
std::string emptyStore() {
    std::string text(regedit4::kHeader);
    text += "\r\n";
    return text;
}

}  // namespace

RegistryStore::RegistryStore(std::string storePath, hostfile::WriteFault writeFault)
    : path_(std::move(storePath)), writeFault_(std::move(writeFault)) {}

[[noreturn]] void RegistryStore::damaged(const regedit4::ParseError& error) const {
    throw Error(err::PathFileAccessError, "Хранилище реестра повреждено: " + path_ + " (строка " +
                                              std::to_string(error.line()) + ")");
}

std::optional<std::string> RegistryStore::text() const {
    auto text = hostfile::readFile(path_);
    if (text && text->empty()) return emptyStore();
    return text;
}

void RegistryStore::rewrite(const std::function<std::string(const std::string&)>& edit) const {
    std::error_code ec;
    std::filesystem::create_directories(hostfile::parentOf(path_), ec);
    if (ec) hostfile::throwErrno(ec.value(), err::PathNotFound);

    StoreLock lock(lockPath());
    const auto before = text();
    std::string after;
    try {
        after = edit(before.value_or(emptyStore()));
    } catch (const regedit4::ParseError& e) {
        damaged(e);
    }
    if (before == after) return;
    const hostfile::Fd folderFd = hostfile::openFolder(hostfile::parentOf(path_));
    hostfile::replaceContents(folderFd.get(), path_.substr(path_.find_last_of('/') + 1), after,
                              writeFault_);
}

void RegistryStore::storeString(std::uint32_t rootKey, std::string_view keyPath,
                                std::string_view valueName, std::string_view data) const {
    const std::string key = fullKey(rootKey, encoded(keyPath));
    const std::string name = encoded(valueName);
    const std::string bytes = encoded(data);
    rewrite([&](const std::string& text) { return regedit4::withString(text, key, name, bytes); });
}

void RegistryStore::deleteValue(std::uint32_t rootKey, std::string_view keyPath,
                                std::string_view valueName) const {
    rootName(rootKey);  // an unknown root is refused even when there is nothing to remove
    const auto key = cp1251::fromUtf8(keyPath);
    const auto name = cp1251::fromUtf8(valueName);
    if (!key || !name || !hostfile::readFile(path_)) return;
    const std::string full = fullKey(rootKey, *key);
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
    try {
        const auto value = regedit4::readString(*text, fullKey(rootKey, *key), *name);
        if (!value) return std::nullopt;
        return cp1251::toUtf8(*value);
    } catch (const regedit4::ParseError& e) {
        damaged(e);
    }
}

void RegistryStore::check() const {
    const auto text = this->text();
    if (!text) return;
    try {
        regedit4::check(*text);
    } catch (const regedit4::ParseError& e) {
        damaged(e);
    }
}

std::unique_ptr<IRegistryWriter> makeRegistryWriter(RegistryStore store) {
    return std::make_unique<StoreWriter>(std::move(store));
}

}  // namespace zarvo
