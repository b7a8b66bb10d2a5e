#pragma once

// The mtools programs, run on one FAT volume inside an image file. Each run
// is started with an argument vector (never a shell) under a private
// configuration that names the volume as drive "c:", so that nothing in the
// user's own mtools setup changes what happens to the image.

#include <cstdint>
#include <string>
#include <vector>

#include "system/posix_process.h"

namespace zarvo::image {

class Mtools {
public:
    // Throws ImageError, naming `imagePath`, when a program of mtools is not
    // installed.
    static void requireInstalled(const std::string& imagePath);

    // Removes the private folders of sessions that have ended, as a kill
    // leaves them.
    static void clearLeftovers();

    // Works on the volume at `offset` of `volumeFile`. Every run holds
    // `lifeline` (when it is one) until it ends. Throws ImageError when the
    // private folder cannot be made.
    Mtools(const std::string& volumeFile, std::uint64_t offset, int lifeline = -1);
    ~Mtools();
    Mtools(const Mtools&) = delete;
    Mtools& operator=(const Mtools&) = delete;

    // Runs `program` (mcopy, mdir, ...) with `args`; standard input is empty.
    posix::Ran run(const std::string& program, const std::vector<std::string>& args) const;

    // "c:/a/b" for the components a, b of a path on the volume.
    static std::string drivePath(const std::vector<std::string>& parts);

    // A private folder of this run, removed with the object.
    const std::string& workFolder() const { return folder_; }

private:
    std::string folder_;
    std::string config_;
    int lifeline_;
};

}  // namespace zarvo::image
