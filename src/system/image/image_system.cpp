#include "system/image/image_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "system/error.h"
#include "system/host_drives.h"
#include "system/image/block_export.h"
#include "system/image/disk_image.h"
#include "system/image/fat_names.h"
#include "system/image/fat_volume.h"
#include "system/image/image_hold.h"
#include "system/image/interrupted_writes.h"
#include "system/image/mdir_listing.h"
#include "system/image/mtools.h"
#include "system/posix_process.h"
#include "system/registry_store.h"
#include "system/shared_steps.h"
#include "system/windows_path.h"

namespace zarvo {

namespace {

constexpr unsigned kSettable = attr::ReadOnly | attr::Hidden | attr::System | attr::Archive;
const std::string kRegistryFile(kDriveRegistryFile);

using image::Mtools;

// A failed mtools run as an error number: a full disk is 61, anything else
// an I/O error on the device.
[[noreturn]] void failed(const posix::Ran& result) {
    const std::string& text = result.err;
    if (text.find("full") != std::string::npos || text.find("No free") != std::string::npos ||
        text.find("space") != std::string::npos) {
        throw Error(err::DiskFull);
    }
    std::string description = errorDescription(err::DeviceIoError);
    if (!text.empty()) {
        description += ": ";
        description += text.substr(0, text.find('\n'));
    }
    throw Error(err::DeviceIoError, description);
}

void mustSucceed(const posix::Ran& result) {
    if (result.status != 0) failed(result);
}

std::vector<std::string> plus(std::vector<std::string> parts, std::string name) {
    parts.push_back(std::move(name));
    return parts;
}

std::optional<std::string> readHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The registry's file, C:\ZARVO.REG inside the image. No lock is needed:
// the image is this session's alone.
class ImageStoreFile : public StoreFile {
public:
    explicit ImageStoreFile(ISystem& system) : system_(system) {}

    std::string name() const override { return kRegistryFile; }
    std::optional<std::string> read() override {
        if (!system_.fileExists(kRegistryFile)) return std::nullopt;
        return system_.readFile(kRegistryFile);
    }
    void rewrite(const std::function<std::optional<std::string>(const std::optional<std::string>&)>&
                     change) override {
        const auto batch = system_.batch();
        if (const auto after = change(read())) system_.replaceFile(kRegistryFile, *after);
    }

private:
    ISystem& system_;
};

}  // namespace

std::unique_ptr<ISystem> openImageSystem(const ImageOptions& options) {
    const std::string& path = options.imagePath;
    // An export a killed session left would hold the image as if it were
    // another program's.
    image::clearLeftoverExports();
    Mtools::clearLeftovers();
    const image::DiskFormat format = image::recogniseDisk(path);
    // An image an emulator runs is not to be touched, and none is to start
    // on it while this session lasts: the hold's locks, or the export's.
    auto hold = std::make_unique<image::ImageHold>(path, !format.exported());
    if (::access(path.c_str(), W_OK) != 0)
        throw ImageError(ImageError::Reason::NotWritable, path, errno);
    image::Mtools::requireInstalled(path);
    if (!format.exported()) {
        const image::Volume volume =
            image::locateVolume(path, format.diskBytes, options.partition, path);
        return std::make_unique<ImageSystem>(options, volume, std::move(hold), nullptr);
    }
    image::ExportRequest request;
    request.image = path;
    request.driver = format.driver;
    request.formatName = format.name;
    request.vhdCurrentSize = format.vhdCurrentSize;
    request.fuseDevice = options.fuseDevice;
    auto exported = std::make_unique<image::BlockExport>(request);
    struct stat st {};
    const std::uint64_t size =
        ::stat(exported->rawPath().c_str(), &st) == 0 ? std::uint64_t(st.st_size) : 0;
    const image::Volume volume =
        image::locateVolume(exported->rawPath(), size, options.partition, path);
    return std::make_unique<ImageSystem>(options, volume, std::move(hold), std::move(exported));
}

// The span of one operation of the interface, however many others it calls:
// what it learnt of the folders holds for it alone, since the volume is not
// ours between two, and it makes sure once, before its first change, that no
// other program has the image open.
class ImageSystem::Operation {
public:
    explicit Operation(ImageSystem& system) : system_(system) {
        if (system_.depth_++ == 0) {
            system_.forgetFolders();
            system_.checked_ = false;
        }
    }
    ~Operation() {
        if (--system_.depth_ == 0) system_.forgetFolders();
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

private:
    ImageSystem& system_;
};

// A batch is an operation that spans the calls made within it.
class ImageSystem::Batch : public ISystem::Batch {
public:
    explicit Batch(ImageSystem& system) : operation_(system) {}

private:
    Operation operation_;
};

std::unique_ptr<ISystem::Batch> ImageSystem::batch() {
    return std::make_unique<Batch>(*this);
}

ImageSystem::ImageSystem(ImageOptions options, const image::Volume& volume,
                         std::unique_ptr<image::ImageHold> hold,
                         std::unique_ptr<image::BlockExport> exported)
    : options_(std::move(options)),
      hold_(std::move(hold)),
      export_(std::move(exported)),
      volumeFile_(export_ ? export_->rawPath() : options_.imagePath),
      mtools_(
          std::make_unique<Mtools>(volumeFile_, volume.offset, export_ ? export_->lifeline() : -1)),
      layout_(volume.layout) {
    cache_ = mtools_->workFolder();
    cache_ += "/drive_c";
    std::filesystem::create_directories(cache_);
    if (!options_.restart) options_.restart = [] { return true; };
}

ImageSystem::~ImageSystem() = default;

void ImageSystem::beforeWriting() {
    if (!checked_) {
        hold_->checkAlone();
        checked_ = true;
    }
}

posix::Ran ImageSystem::change(const std::string& program, const std::vector<std::string>& args) {
    beforeWriting();
    // What changes is the folders the program names, and nothing else:
    // what is known of the others stays.
    for (const std::string& arg : args) {
        if (!arg.starts_with("c:")) continue;
        const std::size_t slash = arg.find_last_of('/');
        const std::string parent = slash <= 2 ? std::string("c:/") : arg.substr(0, slash);
        for (const std::string& folder : {parent, arg}) {
            listings_.erase(folder);
            marks_.erase(folder);
        }
    }
    return mtools_->run(program, args);
}

std::vector<ImageSystem::Entry> ImageSystem::list(const std::vector<std::string>& folder) const {
    const std::string path = Mtools::drivePath(folder);
    if (const auto known = listings_.find(path); known != listings_.end()) return known->second;
    auto entries = listUncached(path);
    listings_.emplace(path, entries);
    return entries;
}

std::vector<ImageSystem::Entry> ImageSystem::listUncached(const std::string& path) const {
    const auto names = mtools_->run("mdir", {"-a", "-b", path});
    if (names.status != 0) return {};
    return image::bareListing(names.out);
}

unsigned ImageSystem::attributesOf(const std::vector<std::string>& folder,
                                   const std::string& name) const {
    const std::string path = Mtools::drivePath(folder);
    auto known = marks_.find(path);
    if (known == marks_.end()) {
        // One mattrib for the whole folder, and only when a file's marks
        // are asked: finding the way to it needs none.
        std::map<std::string, unsigned> marks;
        std::string pattern = path;
        if (pattern.back() != '/') pattern += '/';
        pattern += '*';
        const auto listed = mtools_->run("mattrib", {pattern});
        for (const auto line : image::linesOf(listed.out)) {
            const std::size_t at = line.find(":/");
            if (at == std::string_view::npos || at < 1) continue;
            const std::string_view flags = line.substr(0, at - 1);
            unsigned bits = 0;
            if (flags.find('A') != std::string_view::npos) bits |= attr::Archive;
            if (flags.find('R') != std::string_view::npos) bits |= attr::ReadOnly;
            if (flags.find('H') != std::string_view::npos) bits |= attr::Hidden;
            if (flags.find('S') != std::string_view::npos) bits |= attr::System;
            marks[image::lastName(line)] = bits;
        }
        known = marks_.emplace(path, std::move(marks)).first;
    }
    const auto bits = known->second.find(name);
    return bits == known->second.end() ? 0 : bits->second;
}

void ImageSystem::forgetFolders() const {
    listings_.clear();
    marks_.clear();
}

std::optional<std::string> ImageSystem::longNameOf(const std::vector<std::string>& folder,
                                                   const std::string& foldedShortName) const {
    const auto listing = mtools_->run("mdir", {"-a", Mtools::drivePath(folder)});
    if (listing.status != 0) return std::nullopt;
    for (const auto& file : image::longListing(listing.out)) {
        if (winpath::foldedName(file.shortName) != foldedShortName) continue;
        return file.longName.empty() ? file.shortName : file.longName;
    }
    return std::nullopt;
}

ImageSystem::Found ImageSystem::find(const std::vector<std::string>& parts) const {
    Found found;
    found.folderExists = true;
    if (parts.empty()) {
        found.entry = Entry{"", true, 0};
        return found;
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string wanted = winpath::foldedName(parts[i]);
        std::optional<Entry> match;
        for (auto& entry : list(found.parts)) {
            if (winpath::foldedName(entry.name) == wanted) {
                match = std::move(entry);
                break;
            }
        }
        if (!match && parts[i].find('~') != std::string::npos) {
            // A short name such as PROGRA~1, as Windows programs often store.
            if (auto name = longNameOf(found.parts, wanted)) {
                for (auto& entry : list(found.parts)) {
                    if (entry.name == *name) match = std::move(entry);
                }
            }
        }
        const bool last = i + 1 == parts.size();
        if (!match) {
            found.parts.insert(found.parts.end(), parts.begin() + static_cast<long>(i),
                               parts.end());
            found.folderExists = last;
            return found;
        }
        if (last) match->attributes = attributesOf(found.parts, match->name);
        found.parts.push_back(match->name);
        if (last) {
            found.entry = std::move(match);
        } else if (!match->folder) {
            found.parts.insert(found.parts.end(), parts.begin() + static_cast<long>(i) + 1,
                               parts.end());
            found.folderExists = false;
            return found;
        }
    }
    return found;
}

ImageSystem::Found ImageSystem::existing(const std::string& path, int emptyError) const {
    if (path.empty()) throw Error(emptyError);
    const winpath::Parsed parsed = hostdrives::parseOnHost(path);
    if (parsed.drive != 'C') throw Error(err::PathFileAccessError);
    Found found = find(parsed.parts);
    if (!found.entry) throw Error(found.folderExists ? err::FileNotFound : err::PathNotFound);
    return found;
}

ImageSystem::Found ImageSystem::writable(const std::string& path, int emptyError) const {
    if (path.empty()) throw Error(emptyError);
    const winpath::Parsed parsed = hostdrives::parseOnHost(path);
    // Only the image is written; drive Z: is the host's, and a drive is no file.
    if (parsed.drive != 'C' || parsed.parts.empty()) throw Error(err::PathFileAccessError);
    Found found = find(parsed.parts);
    if (!found.folderExists) throw Error(err::PathNotFound);
    return found;
}

std::string ImageSystem::hostFileFor(std::string_view bytes, const char* name) {
    std::string path = mtools_->workFolder();
    path += '/';
    path += name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw Error(err::DeviceIoError);
    return path;
}

unsigned ImageSystem::freeTemporaryNumber(const std::vector<Entry>& entries,
                                          const std::string& finalName) {
    return image::freeNumber(entries, finalName,
                             [this] { return static_cast<unsigned>(::getpid()) + counter_++; });
}

std::string ImageSystem::writeRecord(const std::vector<std::string>& folder, unsigned number,
                                     const std::string& finalName) {
    const std::string path = Mtools::drivePath(plus(folder, image::recordName(number)));
    mustSucceed(change("mcopy", {"-o", hostFileFor(image::recordText(finalName), "record"), path}));
    return path;
}

void ImageSystem::setBits(const std::string& drivePath, unsigned attributes) {
    mustSucceed(change("mattrib", {attributes & attr::ReadOnly ? "+r" : "-r",
                                   attributes & attr::Hidden ? "+h" : "-h",
                                   attributes & attr::System ? "+s" : "-s",
                                   attributes & attr::Archive ? "+a" : "-a", drivePath}));
}

void ImageSystem::writeThroughTemporary(const Found& target, const std::string& hostSource,
                                        const std::string& volumeSource, unsigned attributes,
                                        bool keepTime) {
    const std::vector<std::string> folder(target.parts.begin(), target.parts.end() - 1);
    const std::string& finalName = target.parts.back();
    const unsigned number = freeTemporaryNumber(list(folder), finalName);
    const std::string temporaryPath =
        Mtools::drivePath(plus(folder, image::temporaryName(finalName, number)));
    const std::string targetPath = Mtools::drivePath(target.parts);
    // While mren swaps the names, the temporary file is the only copy of
    // the file it replaces: a kill then must not lose it, so what it
    // becomes is written down first. A new file needs no such note: its
    // temporary file is always removed.
    const std::string recordPath = target.entry ? writeRecord(folder, number, finalName) : "";
    try {
        std::vector<std::string> copy = {"-o"};
        if (keepTime) copy.push_back("-m");
        copy.push_back(hostSource.empty() ? volumeSource : hostSource);
        copy.push_back(temporaryPath);
        mustSucceed(change("mcopy", copy));
        // mcopy marks a new file for archiving, and nothing else.
        if (attributes != attr::Archive) setBits(temporaryPath, attributes);
        if (failNextWrite_) {
            failNextWrite_ = false;
            throw Error(err::DeviceIoError);
        }
        mustSucceed(change("mren", {"-D", "o", temporaryPath, targetPath}));
    } catch (...) {
        std::vector<std::string> doomed = {temporaryPath};
        if (!recordPath.empty()) doomed.push_back(recordPath);
        change("mdel", doomed);
        throw;
    }
    // Should this fail, the next session removes the record.
    if (!recordPath.empty()) change("mdel", {recordPath});
}

void ImageSystem::copyFile(const std::string& source, const std::string& destination) {
    const Operation operation(*this);
    checkCopyable(source, destination, "");
    const winpath::Parsed from = hostdrives::parseOnHost(source);
    const Found to = writable(destination, err::PathFileAccessError);
    if (from.drive == 'Z') {
        writeThroughTemporary(to, hostdrives::hostPath(from.parts), "", attr::Archive);
    } else {
        const Found found = existing(source, err::FileNotFound);
        const unsigned carried = found.entry->attributes & (attr::Hidden | attr::System);
        writeThroughTemporary(to, "", Mtools::drivePath(found.parts), carried | attr::Archive);
    }
}

void ImageSystem::checkCopyable(const std::string& source, const std::string& destination,
                                const std::string& deletedFirst) {
    const Operation operation(*this);
    if (source.empty()) throw Error(err::FileNotFound);
    const winpath::Parsed from = hostdrives::parseOnHost(source);
    std::optional<Found> sourceFound;
    if (from.drive == 'Z') {
        const std::string host = hostdrives::hostPath(from.parts);
        struct stat st {};
        if (::stat(host.c_str(), &st) != 0) {
            struct stat folder {};
            const std::string parent = host.substr(0, host.find_last_of('/') + 1);
            throw Error(::stat(parent.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode)
                            ? err::FileNotFound
                            : err::PathNotFound);
        }
        if (!S_ISREG(st.st_mode) || ::access(host.c_str(), R_OK) != 0) {
            throw Error(err::PathFileAccessError);
        }
    } else {
        sourceFound = existing(source, err::FileNotFound);
        if (sourceFound->entry->folder) throw Error(err::PathFileAccessError);
    }
    if (sourceFound && !deletedFirst.empty()) {
        try {
            const winpath::Parsed doomed = hostdrives::parseOnHost(deletedFirst);
            if (doomed.drive == 'C') {
                const Found found = find(doomed.parts);
                if (found.entry && found.parts == sourceFound->parts)
                    throw Error(err::FileNotFound);
            }
        } catch (const Error& e) {
            if (e.number() == err::FileNotFound) throw;
        }
    }
    replaceable(destination);
}

void ImageSystem::renameFile(const std::string& oldPath, const std::string& newPath) {
    const Operation operation(*this);
    if (!oldPath.empty() && hostdrives::parseOnHost(oldPath).drive == 'Z') {
        if (!fileExists(oldPath)) throw Error(err::FileNotFound);
        throw Error(!newPath.empty() && hostdrives::parseOnHost(newPath).drive == 'C'
                        ? err::RenameAcrossDrives
                        : err::PathFileAccessError);
    }
    const Found from = existing(oldPath, err::FileNotFound);
    if (!newPath.empty() && hostdrives::parseOnHost(newPath).drive != 'C') {
        throw Error(err::RenameAcrossDrives);
    }
    Found to = writable(newPath, err::PathFileAccessError);
    if (to.entry) {
        if (to.parts != from.parts) throw Error(err::FileAlreadyExists);
        // The same file under another spelling: a change of case, which
        // Windows allows.
        to.parts.back() = hostdrives::parseOnHost(newPath).parts.back();
        if (to.parts.back() != from.parts.back()) changeCase(from, to);
        return;
    }
    // Into another folder mren writes the name where any new one goes, and
    // within the folder where the entry's own slots allow.
    const bool sameFolder = from.parts.size() == to.parts.size() &&
                            std::equal(from.parts.begin(), from.parts.end() - 1, to.parts.begin());
    if (!sameFolder || image::renamesInPlace(from.parts.back(), to.parts.back())) {
        mustSucceed(change("mren", {Mtools::drivePath(from.parts), Mtools::drivePath(to.parts)}));
        return;
    }
    rewriteUnder(from, to);
}

void ImageSystem::changeCase(const Found& from, const Found& to) {
    const std::string& wanted = to.parts.back();
    if (!image::renamesInPlace(from.parts.back(), wanted)) {
        rewriteUnder(from, to);
        return;
    }
    // mtools takes the new spelling for a clash with the file itself, so it
    // goes round through a temporary name, which takes as many slots as the
    // new spelling: neither rename needs more than its entry has.
    // Between the two steps the file has only the temporary name, so that
    // name's record says what it becomes.
    const std::vector<std::string> folder(from.parts.begin(), from.parts.end() - 1);
    const unsigned number = freeTemporaryNumber(list(folder), wanted);
    const std::string temporary =
        Mtools::drivePath(plus(folder, image::temporaryName(wanted, number)));
    const std::string record = writeRecord(folder, number, wanted);
    const auto moved = change("mren", {Mtools::drivePath(from.parts), temporary});
    if (moved.status != 0) {
        change("mdel", {record});
        failed(moved);
    }
    // Should the second step fail, the record stays for the next session to
    // finish the rename.
    mustSucceed(change("mren", {temporary, Mtools::drivePath(to.parts)}));
    change("mdel", {record});
}

void ImageSystem::rewriteUnder(const Found& from, const Found& to) {
    // A folder cannot be written anew.
    if (from.entry->folder) throw Error(err::PathFileAccessError);
    writeThroughTemporary(to, "", Mtools::drivePath(from.parts), from.entry->attributes, true);
    // A new spelling of the file replaced the old one; a new name leaves it
    // to be removed, or the copy to be taken back should that fail.
    if (to.entry) return;
    const auto removed = change("mdel", {Mtools::drivePath(from.parts)});
    if (removed.status != 0) {
        change("mdel", {Mtools::drivePath(to.parts)});
        failed(removed);
    }
}

void ImageSystem::deleteFile(const std::string& path) {
    const Operation operation(*this);
    const Found found = existing(path, err::FileNotFound);
    if (found.parts.empty() || found.entry->folder) throw Error(err::PermissionDenied);
    if (found.entry->attributes & attr::ReadOnly) throw Error(err::PathFileAccessError);
    mustSucceed(change("mdel", {Mtools::drivePath(found.parts)}));
}

void ImageSystem::setAttributes(const std::string& path, unsigned attributes) {
    const Operation operation(*this);
    const Found found = existing(path, err::FileNotFound);
    if (found.parts.empty()) throw Error(err::PathFileAccessError);
    setBits(Mtools::drivePath(found.parts), attributes & kSettable);
}

unsigned ImageSystem::attributes(const std::string& path) {
    const Operation operation(*this);
    if (!path.empty() && hostdrives::parseOnHost(path).drive == 'Z') {
        struct stat st {};
        const std::string host = hostdrives::hostPath(hostdrives::parseOnHost(path).parts);
        if (::stat(host.c_str(), &st) != 0) throw Error(err::FileNotFound);
        if (S_ISDIR(st.st_mode)) return attr::Directory;
        return attr::Archive | ((st.st_mode & 0222) == 0 ? attr::ReadOnly : 0);
    }
    const Found found = existing(path, err::FileNotFound);
    return found.entry->attributes | (found.entry->folder ? attr::Directory : 0);
}

bool ImageSystem::fileExists(const std::string& path) {
    const Operation operation(*this);
    if (path.empty()) return false;
    try {
        const winpath::Parsed parsed = hostdrives::parseOnHost(path);
        if (parsed.drive == 'Z') {
            struct stat st {};
            return ::stat(hostdrives::hostPath(parsed.parts).c_str(), &st) == 0;
        }
        return find(parsed.parts).entry.has_value();
    } catch (const Error&) {
        return false;
    }
}

void ImageSystem::createDirectory(const std::string& path) {
    const Operation operation(*this);
    if (path.empty()) throw Error(err::PathFileAccessError);
    const winpath::Parsed parsed = hostdrives::parseOnHost(path);
    if (parsed.drive != 'C') throw Error(err::PathFileAccessError);
    std::vector<std::string> current;
    for (const std::string& part : parsed.parts) {
        const std::string wanted = winpath::foldedName(part);
        std::optional<Entry> match;
        for (auto& entry : list(current)) {
            if (winpath::foldedName(entry.name) == wanted) match = std::move(entry);
        }
        if (match && !match->folder) throw Error(err::PathFileAccessError);
        current.push_back(match ? match->name : part);
        if (!match) mustSucceed(change("mmd", {Mtools::drivePath(current)}));
    }
}

void ImageSystem::writeNewFile(const std::string& path, std::string_view bytes) {
    const Operation operation(*this);
    const Found found = writable(path, err::PathFileAccessError);
    if (found.entry) throw Error(err::FileAlreadyExists);
    writeThroughTemporary(found, hostFileFor(bytes), "", attr::Archive);
}

ImageSystem::Found ImageSystem::replaceable(const std::string& path) const {
    Found found = writable(path, err::PathFileAccessError);
    if (found.entry && (found.entry->folder || (found.entry->attributes & attr::ReadOnly)))
        throw Error(err::PathFileAccessError);
    return found;
}

void ImageSystem::checkReplaceable(const std::string& path) {
    const Operation operation(*this);
    replaceable(path);
}

void ImageSystem::replaceFile(const std::string& path, std::string_view bytes) {
    const Operation operation(*this);
    const Found found = replaceable(path);
    const unsigned attributes = attr::Archive | (found.entry ? found.entry->attributes : 0);
    writeThroughTemporary(found, hostFileFor(bytes), "", attributes);
}

std::string ImageSystem::readFile(const std::string& path) {
    const Operation operation(*this);
    if (path.empty()) throw Error(err::FileNotFound);
    const winpath::Parsed parsed = hostdrives::parseOnHost(path);
    if (parsed.drive == 'Z') {
        const std::string host = hostdrives::hostPath(parsed.parts);
        struct stat st {};
        if (::stat(host.c_str(), &st) != 0) throw Error(err::FileNotFound);
        if (!S_ISREG(st.st_mode)) throw Error(err::PathFileAccessError);
        auto bytes = readHostFile(host);
        if (!bytes) throw Error(err::PathFileAccessError);
        return *bytes;
    }
    const Found found = existing(path, err::FileNotFound);
    if (found.entry->folder) throw Error(err::PathFileAccessError);
    const auto result = mtools_->run("mtype", {Mtools::drivePath(found.parts)});
    mustSucceed(result);
    return result.out;
}

std::unique_ptr<IRegistryWriter> ImageSystem::createRegistryWriter() {
    return std::make_unique<RegistryStore>(std::make_unique<ImageStoreFile>(*this));
}

void ImageSystem::shellExecute(const ShellRequest& request) {
    try {
        const std::string& file = request.file;
        if (isLink(file)) {
            posix::spawnDetached({"xdg-open", file});
            return;
        }
        if (file.empty() || !fileExists(file)) return;
        const std::string host = hostPath(file);
        if (options_.openHelp && isWindowsHelpFile(host)) {
            options_.openHelp(host, request.show);
            return;
        }
        posix::spawnDetached({"xdg-open", host});
    } catch (...) {
        // ShellExecute reports through a result nobody reads.
    }
}

bool ImageSystem::opensDocuments() {
    return posix::onPath("xdg-open");
}

int ImageSystem::exitWindowsEx(unsigned /*flags*/, unsigned /*reserved*/) {
    return exitWindowsThrough(options_.restart);
}

void ImageSystem::recoverInterruptedWrites(const std::vector<std::string>& folders) {
    // One operation: the folders share their parents' listings.
    const Operation operation(*this);
    for (const std::string& folder : folders) {
        const winpath::Parsed parsed = hostdrives::parseOnHost(folder);
        if (parsed.drive != 'C') continue;
        const Found found = find(parsed.parts);
        if (found.entry && found.entry->folder) recoverIn(found.parts);
    }
}

void ImageSystem::recoverIn(const std::vector<std::string>& folder) {
    const auto path = [&](const std::string& name) {
        return Mtools::drivePath(plus(folder, name));
    };
    const image::Recovery recovery =
        image::planRecovery(list(folder), [&](const std::string& record) {
            const auto text = mtools_->run("mtype", {path(record)});
            return text.status == 0 ? std::optional<std::string>(text.out) : std::nullopt;
        });
    std::vector<std::string> doomed;
    for (const std::string& leftover : recovery.leftovers) doomed.push_back(path(leftover));
    for (const auto& [temporary, finalName] : recovery.finish) {
        if (image::renamesInPlace(temporary, finalName)) {
            mustSucceed(change("mren", {path(temporary), path(finalName)}));
            continue;
        }
        // Left with a name of fewer slots: written anew, and the temporary
        // file removed with the leftovers.
        Found to;
        to.parts = plus(folder, finalName);
        writeThroughTemporary(to, "", path(temporary), attributesOf(folder, temporary), true);
        doomed.push_back(path(temporary));
    }
    // A leftover whose chain cannot be made sound stays: removing it could
    // take another file's clusters, or the table's own first entries.
    std::erase_if(doomed, [&](const std::string& leftover) { return !madeSafeToDelete(leftover); });
    if (!doomed.empty()) mustSucceed(change("mdel", doomed));
}

bool ImageSystem::madeSafeToDelete(const std::string& leftover) {
    const auto shown = mtools_->run("mshowfat", {leftover});
    const auto size = sizeOf(leftover);
    if (shown.status != 0 || !size) return false;
    const std::vector<std::uint32_t> chain = image::chainListed(shown.out);
    if (chain.empty()) return true;  // no cluster at all
    std::size_t sound = 0;
    while (sound < chain.size() && chain[sound] >= 2 && chain[sound] <= layout_.lastCluster)
        ++sound;
    const std::uint64_t needed = (*size + layout_.clusterBytes - 1) / layout_.clusterBytes;
    if (sound == chain.size()) return sound == needed;  // any other length is no chain of its own
    if (sound == 0) return chain.front() == 0;          // an entry that owns no cluster
    // The table was not written after the entry: the chain runs into a free
    // entry, where it is ended, so that mdel frees what the file took.
    if (sound > needed) return false;
    // The table itself is written, not a folder: what is known of the
    // folders stays true.
    beforeWriting();
    return image::endChainAtFreeEntry(volumeFile_, layout_, chain[sound - 1]);
}

std::optional<std::uint64_t> ImageSystem::sizeOf(const std::string& drivePath) const {
    const auto listing = mtools_->run("mdir", {"-a", drivePath});
    if (listing.status != 0) return std::nullopt;
    for (const auto& file : image::longListing(listing.out))
        if (file.size) return file.size;
    return std::nullopt;
}

std::string ImageSystem::sessionId() {
    return posix::sessionId();
}

bool ImageSystem::sessionRunning(const std::string& id) {
    return posix::sessionRunning(id);
}

std::string ImageSystem::hostPath(const std::string& windowsPath) {
    const Operation operation(*this);
    const winpath::Parsed parsed = hostdrives::parseOnHost(windowsPath);
    if (parsed.drive == 'Z') return hostdrives::hostPath(parsed.parts);
    const Found found = find(parsed.parts);
    std::string host = cache_;
    for (const auto& part : found.parts) {
        host += '/';
        host += part;
    }
    std::error_code ec;
    if (found.entry && found.entry->folder) {
        std::filesystem::create_directories(host, ec);
    } else if (found.entry) {
        std::filesystem::create_directories(std::filesystem::path(host).parent_path(), ec);
        std::filesystem::remove(host, ec);
        mtools_->run("mcopy", {"-n", "-o", Mtools::drivePath(found.parts), host});
    } else {
        std::filesystem::remove(host, ec);
    }
    return host;
}

std::string ImageSystem::windowsPath(const std::string& hostPath) {
    return hostdrives::windowsPath(hostdrives::absolute(hostPath), cache_);
}

}  // namespace zarvo
