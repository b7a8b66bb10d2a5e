#include "system/image/disk_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/little_endian.h"
#include "system/image/fat_volume.h"
#include "system/image/image_error.h"
#include "system/posix_fd.h"

namespace zarvo::image {

namespace {

using bytes::be32;
using bytes::le32;

constexpr std::uint64_t kSector = 512;
using Reason = ImageError::Reason;

class File {
public:
    // `shownName` names the image in a refusal.
    File(const std::string& path, const std::string& shownName)
        : name_(shownName), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (fd_.get() < 0) fail(Reason::CannotOpen, errno);
        struct stat st {};
        if (::fstat(fd_.get(), &st) != 0) fail(Reason::CannotOpen, errno);
        if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) fail(Reason::NotAFileOrDevice);
        const off_t end = ::lseek(fd_.get(), 0, SEEK_END);
        size_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
    }

    std::uint64_t size() const { return size_; }

    // `count` bytes at `offset`, zeros past the end.
    std::vector<unsigned char> read(std::uint64_t offset, std::size_t count) const {
        std::vector<unsigned char> bytes(count, 0);
        posix::readAt(fd_.get(), offset, bytes.data(), count);
        return bytes;
    }

    [[noreturn]] void fail(Reason reason, int number = 0, std::string detail = {}) const {
        throw ImageError(reason, name_, number, std::move(detail));
    }

private:
    std::string name_;
    posix::Fd fd_;
    std::uint64_t size_ = 0;
};

bool startsWith(const std::vector<unsigned char>& bytes, std::string_view magic,
                std::size_t at = 0) {
    return bytes.size() >= at + magic.size() &&
           std::memcmp(bytes.data() + at, magic.data(), magic.size()) == 0;
}

// The formats of QEMU's block layer that emulators make, by the magic at
// their start: the name a refusal gives and QEMU's driver.
struct Magic {
    std::string_view bytes;
    const char* name;
    const char* driver;
};
constexpr Magic kQemuFormats[] = {
    {"QFI\xFB", "qcow2", "qcow2"},  // qcow (version 1) is told apart below
    {{"QED\0", 4}, "QED", "qed"},
    {"KDMV", "VMDK", "vmdk"},                   // a sparse extent
    {"COWD", "VMDK", "vmdk"},                   // VMware 3's sparse extent
    {"# Disk DescriptorFile", "VMDK", "vmdk"},  // a descriptor naming its extents
    {"vhdxfile", "VHDX", "vhdx"},
    {"WithoutFreeSpace", "Parallels", "parallels"},
    {"WithouFreSpacExt", "Parallels", "parallels"},
};
constexpr std::uint32_t kVdiSignature = 0xBEDA107F;  // at 0x40, after the text line

// Packed files people download an image as, by their magic.
constexpr std::pair<std::string_view, const char*> kPackers[] = {
    {"\x1F\x8B", "gzip"},
    {{"\xFD"
      "7zXZ\0",
      6},
     "xz"},
    {"BZh", "bzip2"},
    {"PK\x03\x04", "zip"},
    {"7z\xBC\xAF\x27\x1C", "7-Zip"},
    {"\x28\xB5\x2F\xFD", "zstd"},
};

// Virtual PC and old QEMU size a VHD by its CHS geometry, as QEMU then does
// too; everyone else (86Box's MiniVHD, DOSBox-X, Hyper-V...) by the current
// size its footer gives.
bool sizedByGeometry(const unsigned char* footer) {
    const std::string_view creator(reinterpret_cast<const char*>(footer + 28), 4);
    return creator == "vpc " || creator == "vs  " || creator == "qemu";
}

bool isFatPartitionType(unsigned type) {
    return type == 0x01 || type == 0x04 || type == 0x06 || type == 0x0B || type == 0x0C ||
           type == 0x0E;
}

bool isExtendedType(unsigned type) {
    return type == 0x05 || type == 0x0F || type == 0x85;
}

struct Partition {
    int number = 0;
    unsigned type = 0;
    std::uint64_t start = 0;  // bytes
};

std::string hexType(unsigned type) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", type);
    return text;
}

// The partitions of an MBR disk, logical ones numbered from 5 as Linux does.
std::vector<Partition> partitionsOf(const File& file, std::uint64_t diskStart,
                                    const std::vector<unsigned char>& mbr) {
    std::vector<Partition> found;
    std::uint64_t extended = 0;
    for (int i = 0; i < 4; ++i) {
        const unsigned char* e = mbr.data() + 446 + 16 * i;
        const unsigned type = e[4];
        if (type == 0) continue;
        const std::uint64_t start = diskStart + le32(e + 8) * kSector;
        if (isExtendedType(type) && extended == 0) extended = start;
        found.push_back({i + 1, type, start});
    }
    // The chain of extended boot records, each with one logical partition.
    std::uint64_t ebr = extended;
    for (int number = 5; ebr != 0 && number < 64; ++number) {
        const auto sector = file.read(ebr, kSector);
        if (sector[510] != 0x55 || sector[511] != 0xAA) break;
        const unsigned char* e = sector.data() + 446;
        if (e[4] != 0) found.push_back({number, e[4], ebr + le32(e + 8) * kSector});
        const unsigned char* next = e + 16;
        ebr = next[4] != 0 ? extended + le32(next + 8) * kSector : 0;
    }
    return found;
}

}  // namespace

DiskFormat recogniseDisk(const std::string& path) {
    const File file(path, path);
    if (file.size() < kSector) file.fail(Reason::TooSmall);
    const auto head = file.read(0, 4 * kSector);
    for (const Magic& magic : kQemuFormats) {
        if (!startsWith(head, magic.bytes)) continue;
        if (magic.bytes == kQemuFormats[0].bytes && be32(head.data() + 4) == 1)
            return {"qcow", "qcow", 0, false};
        return {magic.name, magic.driver, 0, false};
    }
    if (le32(head.data() + 0x40) == kVdiSignature) return {"VDI", "vdi", 0, false};
    if (startsWith(head, "Bochs Virtual HD Image"))
        file.fail(Reason::ReadOnlyFormat, 0, "Bochs growing disk");

    // A dynamic or differencing VHD starts with a copy of its footer; a
    // fixed one has it only at its end, after the disk.
    const auto tail = file.read(file.size() - kSector, kSector);
    const bool copyFirst = startsWith(head, "conectix");
    if (copyFirst || startsWith(tail, "conectix")) {
        const unsigned char* footer = copyFirst ? head.data() : tail.data();
        const std::uint32_t type = be32(footer + 60);
        if (type == 2 && !copyFirst) return {"fixed VHD", "", file.size() - kSector, false};
        if (type == 3) return {"dynamic VHD", "vpc", 0, !sizedByGeometry(footer)};
        if (type == 4) file.fail(Reason::DifferencingVhd);
        file.fail(Reason::UnknownVhd, int(type));
    }
    // What is neither a disk nor a volume, named where it can be.
    if (head[510] != 0x55 || head[511] != 0xAA) {
        for (const auto& [magic, packer] : kPackers)
            if (startsWith(head, magic)) file.fail(Reason::Packed, 0, packer);
        if (startsWith(file.read(0x8001, 5), "CD001")) file.fail(Reason::CdImage);
    }
    return {"raw", "", file.size(), false};
}

Volume locateVolume(const std::string& path, std::uint64_t diskSize, int partition,
                    const std::string& shownName) {
    const File file(path, shownName);
    if (diskSize < kSector) file.fail(Reason::TooSmall);
    const auto head = file.read(0, kSector);
    // The file system must lie within the disk: what lies past its end
    // Windows never sees, and in a fixed VHD it is the footer.
    const auto fits = [&](std::uint64_t start, const FatLayout& layout, int number) {
        if (start + layout.volumeBytes > diskSize)
            file.fail(Reason::VolumePastEnd, number,
                      std::to_string(start + layout.volumeBytes) + " " + std::to_string(diskSize));
    };

    if (const auto bare = layoutOf(head.data())) {
        if (partition > 1) file.fail(Reason::BareVolumePartition);
        fits(0, *bare, 0);
        return {0, *bare};
    }
    if (head[510] != 0x55 || head[511] != 0xAA) file.fail(Reason::NoPartitionTable);

    const auto partitions = partitionsOf(file, 0, head);
    std::string types;
    for (const auto& p : partitions) {
        if (!types.empty()) types += ", ";
        types += std::to_string(p.number);
        types += ':';
        types += hexType(p.type);
    }
    for (const auto& p : partitions) {
        if (partition != 0 && p.number != partition) continue;
        if (partition == 0 && !isFatPartitionType(p.type)) continue;
        if (!isFatPartitionType(p.type)) {
            file.fail(Reason::PartitionNotFat, partition, hexType(p.type));
        }
        if (p.start + kSector > diskSize) file.fail(Reason::PartitionPastEnd, p.number);
        const auto boot = file.read(p.start, kSector);
        auto layout = layoutOf(boot.data());
        if (!layout) file.fail(Reason::PartitionNotFormatted, p.number, hexType(p.type));
        fits(p.start, *layout, p.number);
        layout->firstTable += p.start;
        return {p.start, *layout};
    }
    if (partitions.empty()) file.fail(Reason::NoPartitions);
    if (partition != 0) {
        file.fail(Reason::NoSuchPartition, partition, types);
    }
    file.fail(Reason::NoFatPartition, 0, types);
}

}  // namespace zarvo::image
