#pragma once

// The registry where there is no Windows to keep it: one REGEDIT4 text file
// (code page 1251, CRLF), the format Windows 98's regedit exports and
// imports, so that a store can be read by people and carried to a real
// Windows. A store rewrites the file whole and atomically, with other
// writers kept out; everything in the file but the one value line it sets
// stays byte for byte as it was. A file that does not parse is reported and
// never overwritten; an empty one (0 bytes, as a failed copy or a full disk
// may leave it) holds no values.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "system/system.h"

namespace zarvo {

// Where the store is on a real Windows tree, inside the drive, for the user
// to import there: regedit takes it as it is.
inline constexpr std::string_view kDriveRegistryFile = "C:\\ZARVO.REG";

// Where a store's text lives: a host file beside the drive or inside a
// drive folder, or a file inside a disk image.
class StoreFile {
public:
    virtual ~StoreFile() = default;

    // What the store is called when it is reported damaged.
    virtual std::string name() const = 0;
    // The file's bytes; nullopt when there is no file yet.
    virtual std::optional<std::string> read() = 0;
    // Runs `change` on what read() gives, with every other writer kept out
    // until the result is written, whole and atomically; nothing is written
    // when it gives nullopt.
    virtual void rewrite(
        const std::function<std::optional<std::string>(const std::optional<std::string>&)>&
            change) = 0;
};

class RegistryStore : public IRegistryWriter {
public:
    explicit RegistryStore(std::unique_ptr<StoreFile> file);

    // Sets a string value (UTF-8 arguments); an empty name is the key's
    // unnamed value. Throws Error 5 for an unknown root key or for text that
    // code page 1251 or a REGEDIT4 line cannot hold, 75 for a damaged store,
    // and the write error when the file cannot be replaced. On any failure
    // the file is as it was.
    void storeString(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName,
                     std::string_view data) override;

    // Removes the value, whatever its type, from every section of its key;
    // the key stays. A missing store, key or value is not an error and
    // writes nothing; neither does a name that code page 1251 cannot hold,
    // as no such value can be stored. Throws as storeString does.
    void deleteValue(std::uint32_t rootKey, std::string_view keyPath,
                     std::string_view valueName) override;

    // The value as UTF-8; nullopt when the store, key or value is missing or
    // the value is not a string. Throws for a damaged store.
    std::optional<std::string> readString(std::uint32_t rootKey, std::string_view keyPath,
                                          std::string_view valueName) override;

private:
    std::optional<std::string> text();
    // `edit` on the store's text; `makeFile`: whether a store that is not
    // there yet is made.
    void rewrite(const std::function<std::string(const std::string&)>& edit, bool makeFile = true);
    [[noreturn]] void damaged(int line) const;

    std::unique_ptr<StoreFile> file_;
};

}  // namespace zarvo
