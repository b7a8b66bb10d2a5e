#pragma once

// The emulated registry: one REGEDIT4 text file (code page 1251, CRLF), the
// format Windows 98's regedit exports and imports, so that a store can be
// read by people and carried to a real Windows. A store rewrites the file
// atomically under an exclusive lock on its folder; everything in the file
// but the one value line it sets stays byte for byte as it was. A file that
// does not parse is reported and never overwritten; an empty one (0 bytes,
// as a failed copy or a full disk may leave it) holds no values.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "formats/regedit4.h"
#include "system/linux/host_file.h"
#include "system/system.h"

namespace zarvo {

class RegistryStore {
public:
    explicit RegistryStore(std::string storePath, hostfile::WriteFault writeFault = {});

    // Sets a string value (UTF-8 arguments); an empty name is the key's
    // unnamed value. Throws Error 5 for an unknown root key or for text that
    // code page 1251 or a REGEDIT4 line cannot hold, 75 for a damaged store,
    // and the write error when the file cannot be replaced. On any failure
    // the file is as it was.
    void storeString(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName,
                     std::string_view data) const;

    // Removes the value, whatever its type, from every section of its key;
    // the key stays. A missing store, key or value is not an error and
    // writes nothing; neither does a name that code page 1251 cannot hold,
    // as no such value can be stored. Throws as storeString does.
    void deleteValue(std::uint32_t rootKey, std::string_view keyPath,
                     std::string_view valueName) const;

    // The value as UTF-8; nullopt when the store, key or value is missing or
    // the value is not a string. Throws for a damaged store.
    std::optional<std::string> readString(std::uint32_t rootKey, std::string_view keyPath,
                                          std::string_view valueName) const;

    // Throws, as storeString would, when the store exists but does not parse.
    void check() const;

    const std::string& path() const { return path_; }

private:
    // What a damaged store's error says before the line number.
    std::string damageNote() const;
    // The store's text, "REGEDIT4" and a line end for an empty store;
    // nullopt when there is no store.
    std::optional<std::string> text() const;
    // Under the lock, the text `edit` makes of the store's (of an empty one
    // when there is none yet) replaces it, unless nothing changed.
    void rewrite(const std::function<std::string(const std::string&)>& edit) const;

    std::string path_;
    hostfile::WriteFault writeFault_;
};

// The registry writer component the main window keeps, backed by a store.
std::unique_ptr<IRegistryWriter> makeRegistryWriter(RegistryStore store);

}  // namespace zarvo
