#pragma once

#include <stdexcept>
#include <string>

namespace zarvo {

// Why an image cannot be used at all, found before anything is written: the
// file, what was found there, the numbers and names that say more, and for
// a disk reached through QEMU's block layer its format ("qcow2"). The
// program words it for the user (app/reports.h).
class ImageError : public std::runtime_error {
public:
    enum class Reason {
        CannotOpen,        // number: the errno
        NotAFileOrDevice,  // a folder, a pipe...
        TooSmall,
        UnknownVhd,  // number: the disk type its footer gives
        // A differencing VHD: QEMU's block layer reads one as if it had no
        // parent, and a write through it would hide the parent's sectors.
        DifferencingVhd,
        ReadOnlyFormat,  // detail: the format, which QEMU only reads ("Bochs growing disk")
        Packed,          // detail: the packer ("gzip")
        CdImage,         // an ISO 9660 CD image
        // The export of a disk in an emulator's format cannot be made:
        ExportToolMissing,      // detail: the program
        FuseUnavailable,        // number: the errno; detail: the device
        ExportFailed,           // detail: what the export's programs said
        BareVolumePartition,    // a partition asked of a bare FAT volume
        NoPartitionTable,       // neither a partition table nor a FAT boot sector
        NoPartitions,           // a partition table with none in it
        NoSuchPartition,        // number: the one asked for; detail: those there
        NoFatPartition,         // detail: the partitions there, "1:0x83, 2:0x07"
        PartitionNotFat,        // number: the partition; detail: its type, "0x83"
        PartitionPastEnd,       // number: the partition
        PartitionNotFormatted,  // number: the partition; detail: its type
        // The file system runs past the end of the disk. number: the
        // partition (0 for a bare volume); detail: "END SIZE" in bytes.
        VolumePastEnd,
        NotWritable,    // number: the errno (EROFS: a read-only file system)
        MtoolsMissing,  // detail: the mtools program not found
        NoWorkFolder,   // detail: where the private folder was to be
    };

    ImageError(Reason reason, std::string file, int number = 0, std::string detail = {},
               std::string format = {})
        : std::runtime_error("image refused: " + file),
          reason_(reason),
          file_(std::move(file)),
          number_(number),
          detail_(std::move(detail)),
          format_(std::move(format)) {}

    Reason reason() const noexcept { return reason_; }
    const std::string& file() const noexcept { return file_; }
    int number() const noexcept { return number_; }
    const std::string& detail() const noexcept { return detail_; }
    const std::string& format() const noexcept { return format_; }

private:
    Reason reason_;
    std::string file_;
    int number_;
    std::string detail_;
    std::string format_;
};

}  // namespace zarvo
