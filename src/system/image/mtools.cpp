#include "system/image/mtools.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "system/host_drives.h"
#include "system/image/image_error.h"
#include "system/posix_process.h"

namespace zarvo::image {

namespace {

constexpr std::string_view kFolderPrefix = "zarvo-image-";
constexpr const char* kSessionFile = "session";

// mtools writes a double quote in a file name of its configuration as \".
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

}  // namespace

void Mtools::requireInstalled(const std::string& imagePath) {
    for (const char* program :
         {"mcopy", "mdel", "mren", "mmd", "mattrib", "mdir", "mtype", "mshowfat"}) {
        if (!posix::onPath(program))
            throw ImageError(ImageError::Reason::MtoolsMissing, imagePath, 0, program);
    }
}

void Mtools::clearLeftovers() {
    for (const std::string& folder : posix::ownFolders(kFolderPrefix)) {
        std::error_code ec;
        if (posix::leftByEndedRun(folder, {kSessionFile})) std::filesystem::remove_all(folder, ec);
    }
}

Mtools::Mtools(const std::string& volumeFile, std::uint64_t offset, int lifeline)
    : lifeline_(lifeline) {
    using Reason = ImageError::Reason;
    std::string pattern = posix::temporaryRoot() + "/" + std::string(kFolderPrefix) + "XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw ImageError(Reason::NoWorkFolder, volumeFile, 0, posix::temporaryRoot());
    folder_ = pattern;
    std::ofstream(folder_ + "/" + kSessionFile) << posix::sessionId() << '\n';
    config_ = folder_ + "/mtoolsrc";
    std::ofstream config(config_, std::ios::binary);
    // Short names are written in code page 866, as a Russian Windows 98
    // writes them; the checks for odd geometry would refuse many images that
    // emulators make.
    config << "mtools_skip_check=1\n"
           << "default_codepage=866\n"
           << "drive c: file=" << quoted(volumeFile) << " offset=" << offset << "\n";
    if (!config) throw ImageError(Reason::NoWorkFolder, volumeFile, 0, folder_);
}

Mtools::~Mtools() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

std::string Mtools::drivePath(const std::vector<std::string>& parts) {
    return "c:" + hostdrives::hostPath(parts);
}

posix::Ran Mtools::run(const std::string& program, const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    // Long names come out in UTF-8 whatever the user's locale.
    std::vector<int> inherited;
    if (lifeline_ >= 0) inherited.push_back(lifeline_);
    return posix::runAndWait(
        argv, {{"MTOOLSRC", "LC_ALL", "MTOOLS_"}, {"LC_ALL=C.UTF-8", "MTOOLSRC=" + config_}}, 0,
        inherited);
}

}  // namespace zarvo::image
