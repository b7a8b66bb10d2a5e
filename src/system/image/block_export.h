#pragma once

// A disk in a format an emulator makes today (qcow2, VDI, VMDK, VHDX, a
// dynamic VHD...) shown as a raw disk file, so that mtools changes it in
// place as it changes a raw image: qemu-nbd, QEMU's own block layer, serves
// the image (backing files and parents read only), and nbdfuse mounts what
// it serves over an empty file of this session's, through FUSE. qemu-nbd
// takes QEMU's image locks for as long as it runs, so that no QEMU starts
// on the image meanwhile.
//
// The export lives exactly as long as the session has the image open. A
// keeper process, in a session of its own so that no terminal's signal
// reaches it, waits until the last holder of the session's lifeline is
// gone: this process and every mtools run it started, which inherit the
// lifeline, however each of them ended. Only then does it unmount the file,
// let qemu-nbd close the image and remove the folder. What a killed keeper
// leaves, the next session clears (clearLeftoverExports).

#include <string>
#include <string_view>

#include "system/posix_fd.h"

namespace zarvo::image {

struct ExportRequest {
    std::string image;            // the image file, as the user named it
    std::string driver;           // QEMU's driver for its format
    std::string formatName;       // the format, as a refusal names it
    bool vhdCurrentSize = false;  // a VHD sized by its footer's current size
    // The FUSE device: another path lets tests have one that cannot be opened.
    std::string fuseDevice = "/dev/fuse";
};

class BlockExport {
public:
    // Starts the export and waits until the raw file serves the disk.
    // Throws ImageError, naming the image and its format, when a program it
    // needs is missing, FUSE cannot be used or QEMU refuses the image, and
    // DriveInUse when QEMU finds the image locked by another program.
    explicit BlockExport(const ExportRequest& request);
    // Ends the export when nothing of this session uses it any more, and
    // waits until the file is unmounted and the image closed.
    ~BlockExport();
    BlockExport(const BlockExport&) = delete;
    BlockExport& operator=(const BlockExport&) = delete;

    // The raw disk file.
    const std::string& rawPath() const { return raw_; }
    // The descriptor every program that works on the raw file must hold
    // until it ends; close-on-exec for every other program.
    int lifeline() const { return lifeline_.get(); }

private:
    std::string raw_;
    long keeper_ = 0;
    posix::Fd lifeline_;
};

// The Debian package that brings a program the export runs ("libnbd-bin"
// for nbdfuse).
std::string_view packageOf(std::string_view program);

// Ends what exports of sessions that are over left behind, when their
// keeper was killed too: a server still running, a mount whose server is
// gone, a folder.
void clearLeftoverExports();

}  // namespace zarvo::image
