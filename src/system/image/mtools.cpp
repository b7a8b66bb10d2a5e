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

std::string temporaryRoot() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp == '/' ? std::string(tmp) : std::string("/tmp");
}

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

Mtools::Mtools(const std::string& imagePath, std::uint64_t offset) {
    using Reason = ImageError::Reason;
    for (const char* program :
         {"mcopy", "mdel", "mren", "mmd", "mattrib", "mdir", "mtype", "mshowfat"}) {
        if (!posix::onPath(program)) throw ImageError(Reason::MtoolsMissing, imagePath, 0, program);
    }
    std::string pattern = temporaryRoot();
    pattern += "/zarvo-image-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw ImageError(Reason::NoWorkFolder, imagePath, 0, temporaryRoot());
    folder_ = pattern;
    config_ = folder_ + "/mtoolsrc";
    std::ofstream config(config_, std::ios::binary);
    // Short names are written in code page 866, as a Russian Windows 98
    // writes them; the checks for odd geometry would refuse many images that
    // emulators make.
    config << "mtools_skip_check=1\n"
           << "default_codepage=866\n"
           << "drive c: file=" << quoted(imagePath) << " offset=" << offset << "\n";
    if (!config) throw ImageError(Reason::NoWorkFolder, imagePath, 0, folder_);
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
    return posix::runAndWait(
        argv, {{"MTOOLSRC", "LC_ALL", "MTOOLS_"}, {"LC_ALL=C.UTF-8", "MTOOLSRC=" + config_}});
}

}  // namespace zarvo::image
