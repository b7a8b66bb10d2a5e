#include "system/registry_store.h"

#include <utility>

#include "formats/cp1251.h"
#include "formats/regedit4.h"
#include "system/error.h"

namespace zarvo {

namespace {

// "HKEY_...\a\b" with empty components dropped; Error 5 for a root key the
// program does not write under.
std::string keyName(std::uint32_t rootKey, std::string_view path) {
    auto key = regedit4::keyName(rootKey, path);
    if (!key || rootKey > hkey::Users) throw Error(err::InvalidProcedureCall);
    return std::move(*key);
}

// Text for the store: Error 5, with the reason, for what code page 1251 or
// a REGEDIT4 line cannot hold.
std::string encoded(std::string_view utf8) {
    auto bytes = cp1251::fromUtf8(utf8);
    const char* reason = nullptr;
    if (!bytes) {
        reason = ": в тексте есть знак вне кодовой страницы 1251";
    } else if (!regedit4::fitsOnALine(*bytes)) {
        reason = ": перевод строки или нулевой знак в тексте реестра";
    }
    if (reason) {
        std::string description = errorDescription(err::InvalidProcedureCall);
        description += reason;
        throw Error(err::InvalidProcedureCall, description);
    }
    return *bytes;
}

}  // namespace

RegistryStore::RegistryStore(std::unique_ptr<StoreFile> file) : file_(std::move(file)) {}

void RegistryStore::damaged(int line) const {
    std::string description = "Хранилище реестра повреждено: ";
    description += file_->name();
    description += " (строка ";
    description += std::to_string(line);
    description += ')';
    throw Error(err::PathFileAccessError, description);
}

std::optional<std::string> RegistryStore::text() {
    auto bytes = file_->read();
    if (bytes && bytes->empty()) *bytes = regedit4::kEmptyText;
    return bytes;
}

void RegistryStore::rewrite(const std::function<std::string(const std::string&)>& edit,
                            bool makeFile) {
    file_->rewrite([&](const std::optional<std::string>& bytes) -> std::optional<std::string> {
        if (!bytes && !makeFile) return std::nullopt;
        const std::string before =
            bytes && !bytes->empty() ? *bytes : std::string(regedit4::kEmptyText);
        try {
            std::string after = edit(before);
            if (after == before && bytes) return std::nullopt;
            return after;
        } catch (const regedit4::ParseError& e) {
            damaged(e.line());
        }
    });
}

void RegistryStore::storeString(std::uint32_t rootKey, std::string_view keyPath,
                                std::string_view valueName, std::string_view data) {
    const std::string key = keyName(rootKey, encoded(keyPath));
    const std::string name = encoded(valueName);
    const std::string bytes = encoded(data);
    rewrite([&](const std::string& text) { return regedit4::withString(text, key, name, bytes); });
}

void RegistryStore::deleteValue(std::uint32_t rootKey, std::string_view keyPath,
                                std::string_view valueName) {
    // An unknown root is refused even when there is nothing to remove.
    keyName(rootKey, "");
    const auto key = cp1251::fromUtf8(keyPath);
    const auto name = cp1251::fromUtf8(valueName);
    if (!key || !name) return;
    const std::string full = keyName(rootKey, *key);
    rewrite([&](const std::string& text) { return regedit4::withoutValue(text, full, *name); },
            false);
}

std::optional<std::string> RegistryStore::readString(std::uint32_t rootKey,
                                                     std::string_view keyPath,
                                                     std::string_view valueName) {
    const auto key = cp1251::fromUtf8(keyPath);
    const auto name = cp1251::fromUtf8(valueName);
    if (!key || !name) return std::nullopt;  // such a value cannot have been stored
    const auto text = this->text();
    if (!text) return std::nullopt;
    try {
        const auto value = regedit4::readString(*text, keyName(rootKey, *key), *name);
        if (!value) return std::nullopt;
        return cp1251::toUtf8(*value);
    } catch (const regedit4::ParseError& e) {
        damaged(e.line());
    }
}

}  // namespace zarvo
