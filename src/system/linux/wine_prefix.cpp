#include "system/linux/wine_prefix.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <utility>

#include "formats/regedit4.h"
#include "system/linux/host_file.h"
#include "system/posix_process.h"

namespace zarvo {

namespace {

namespace fs = std::filesystem;

// A prefix made by an older Wine is updated first, which takes a while.
constexpr int kImportSeconds = 300;

int runWine(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    return posix::runAndWait(argv, {{}, environment}, kImportSeconds).status;
}

}  // namespace

WinePrefix::WinePrefix(ISystem& system, std::string prefix, std::string storePath)
    : ForwardingSystem(system), prefix_(std::move(prefix)), storePath_(std::move(storePath)) {}

WinePrefix::~WinePrefix() = default;

std::string WinePrefix::importText() {
    if (changed_.empty()) return {};
    const std::unique_ptr<IRegistryWriter> registry = system_.createRegistryWriter();
    regedit4::Writer file;
    for (const auto& [root, key, name] : changed_) {
        // The store took only roots it knows.
        const std::string fullKey = regedit4::keyName(root, key).value_or(key);
        if (const std::optional<std::string> data = registry->readString(root, key, name))
            file.setString(fullKey, name, *data);
        else
            file.deleteValue(fullKey, name);
    }
    // Windows 2000's format in UTF-16: every value comes across, whatever
    // code page the prefix runs in.
    return file.regedit5();
}

WineImport WinePrefix::importChanges() {
    WineImport result;
    result.store = storePath_;
    result.prefix = prefix_;
    const std::string text = importText();
    if (text.empty()) return result;
    if (!runner && !posix::onPath("wine")) {
        result.outcome = WineImport::Outcome::NoWine;
        return result;
    }
    std::string file = prefix_ + "/zarvo-import-XXXXXX.reg";
    posix::Fd fd(::mkstemps(file.data(), 4));
    const bool made = fd.get() >= 0;
    bool written = made && posix::writeAt(fd.get(), 0, text.data(), text.size());
    // A write the disk could not keep shows at close.
    if (made) written = ::close(fd.release()) == 0 && written;
    if (!written) {
        if (made) ::unlink(file.c_str());
        result.outcome = WineImport::Outcome::NoImportFile;
        return result;
    }
    const std::vector<std::string> argv = {"wine", "reg", "import", file};
    const std::vector<std::string> environment = {"WINEPREFIX=" + prefix_, "WINEDEBUG=-all",
                                                  "WINEDLLOVERRIDES=mscoree,mshtml="};
    result.status = runner ? runner(argv, environment) : runWine(argv, environment);
    ::unlink(file.c_str());
    if (result.status != 0) {
        result.outcome = WineImport::Outcome::Failed;
        return result;
    }
    changed_.clear();
    result.outcome = WineImport::Outcome::Imported;
    return result;
}

std::unique_ptr<IRegistryWriter> WinePrefix::createRegistryWriter() {
    return std::make_unique<WatchingRegistryWriter>(
        system_.createRegistryWriter(), nullptr,
        [this](IRegistryWriter&, std::uint32_t root, std::string_view key, std::string_view name) {
            changed_.emplace(root, regedit4::canonicalKeyPath(key), std::string(name));
        });
}

std::string winePrefixOf(const std::string& driveRoot) {
    fs::path root = fs::path(driveRoot).lexically_normal();
    if (!root.has_filename()) root = root.parent_path();
    if (root.filename() != "drive_c") return {};
    const fs::path prefix = root.parent_path();
    if (!hostfile::isRegularFile((prefix / "system.reg").string()) ||
        !hostfile::isRegularFile((prefix / "user.reg").string()))
        return {};
    return prefix.string();
}

}  // namespace zarvo
