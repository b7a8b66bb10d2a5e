#pragma once

// An image is written by one program at a time. Two programs changing one
// FAT at once damage the file system, and with it a whole installation.
//
// For the whole session Zarvo holds the image as QEMU's image locking
// expects (open file description locks on the bytes QEMU uses for its
// permissions), so that QEMU and everything built on its block layer refuse
// to open the image for writing. Emulators that take no lock are caught by
// looking at the files the visible processes have open, before every write.

#include <sys/types.h>

#include <optional>
#include <string>

#include "system/posix_fd.h"

namespace zarvo::image {

// A process that has a file open.
struct Holder {
    long pid = 0;
    std::string program;  // its command's name, "86Box", "qemu-system-i386"
};

// The first process but this one and those it started (mtools at work, an
// export of the image) that has `path` open, as far as this user can see
// processes; a block device counts by its device number, any other file by
// its inode.
std::optional<Holder> otherHolder(const std::string& path);

class ImageHold {
public:
    // Opens the image and, unless the export that serves it takes them
    // itself (`lockAsQemu` false), QEMU's locks on it. Throws ImageError when
    // it cannot be opened and DriveInUse, naming it, when another program
    // holds it.
    explicit ImageHold(const std::string& path, bool lockAsQemu = true);

    // Throws DriveInUse when another program has the image open or, where
    // the locks are this hold's, holds a lock on it.
    void checkAlone() const;

private:
    std::string path_;
    posix::Fd fd_;  // close-on-exec: no program started from here keeps the locks
    bool locks_;
};

}  // namespace zarvo::image
