#pragma once

#include <stdexcept>
#include <string>

namespace zarvo {

// Why an image cannot be used at all, found before anything is written: the
// file, what was found there, and the numbers and names that say more. The
// program words it for the user (app/reports.h).
class ImageError : public std::runtime_error {
public:
    enum class Reason {
        CannotOpen,        // number: the errno
        NotAFileOrDevice,  // a folder, a pipe...
        TooSmall,
        Qcow2,
        // A dynamic (number 3) or differencing (number 4) VHD; number 0 when
        // only its header copy at the start was seen.
        ExpandingVhd,
        UnknownVhd,             // number: the disk type its footer gives
        BareVolumePartition,    // a partition asked of a bare FAT volume
        NoPartitionTable,       // neither a partition table nor a FAT boot sector
        NoPartitions,           // a partition table with none in it
        NoSuchPartition,        // number: the one asked for; detail: those there
        NoFatPartition,         // detail: the partitions there, "1:0x83, 2:0x07"
        PartitionNotFat,        // number: the partition; detail: its type, "0x83"
        PartitionPastEnd,       // number: the partition
        PartitionNotFormatted,  // number: the partition; detail: its type
        NotWritable,            // number: the errno (EROFS: a read-only file system)
        MtoolsMissing,          // detail: the mtools program not found
        NoWorkFolder,           // detail: where the private folder was to be
    };

    ImageError(Reason reason, std::string file, int number = 0, std::string detail = {})
        : std::runtime_error("image refused: " + file),
          reason_(reason),
          file_(std::move(file)),
          number_(number),
          detail_(std::move(detail)) {}

    Reason reason() const noexcept { return reason_; }
    const std::string& file() const noexcept { return file_; }
    int number() const noexcept { return number_; }
    const std::string& detail() const noexcept { return detail_; }

private:
    Reason reason_;
    std::string file_;
    int number_;
    std::string detail_;
};

}  // namespace zarvo
