#include "system/image/disk_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
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
    explicit File(const std::string& path)
        : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
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
        throw ImageError(reason, path_, number, std::move(detail));
    }

private:
    std::string path_;
    posix::Fd fd_;
    std::uint64_t size_ = 0;
};

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

Volume locateVolume(const std::string& path, int partition) {
    const File file(path);
    if (file.size() < kSector) file.fail(Reason::TooSmall);
    const auto head = file.read(0, kSector);
    if (std::memcmp(head.data(), "QFI\xFB", 4) == 0) {
        file.fail(Reason::Qcow2);
    }
    // An expanding VHD starts with a copy of its footer.
    if (std::memcmp(head.data(), "conectix", 8) == 0)
        file.fail(Reason::ExpandingVhd, int(be32(head.data() + 60)));
    std::uint64_t diskSize = file.size();
    const auto tail = file.read(file.size() - kSector, kSector);
    if (std::memcmp(tail.data(), "conectix", 8) == 0) {
        const std::uint32_t type = be32(tail.data() + 60);
        if (type != 2) {
            file.fail(type == 3 || type == 4 ? Reason::ExpandingVhd : Reason::UnknownVhd,
                      int(type));
        }
        diskSize -= kSector;
    }

    if (const auto bare = layoutOf(head.data())) {
        if (partition > 1) file.fail(Reason::BareVolumePartition);
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
