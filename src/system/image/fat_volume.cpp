#include "system/image/fat_volume.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <charconv>

#include "formats/little_endian.h"
#include "system/posix_fd.h"

namespace zarvo::image {

namespace {

using bytes::le16;
using bytes::le32;

using posix::Fd;

}  // namespace

std::vector<std::uint32_t> chainListed(std::string_view output) {
    std::vector<std::uint32_t> clusters;
    std::size_t at = 0;
    while ((at = output.find('<', at)) != std::string_view::npos) {
        const std::size_t end = output.find('>', at);
        if (end == std::string_view::npos) break;
        const std::string_view run = output.substr(at + 1, end - at - 1);
        const std::size_t dash = run.find('-');
        std::uint32_t first = 0;
        std::uint32_t last = 0;
        const std::string_view a = run.substr(0, dash);
        if (std::from_chars(a.data(), a.data() + a.size(), first).ec != std::errc()) break;
        last = first;
        if (dash != std::string_view::npos) {
            const std::string_view b = run.substr(dash + 1);
            if (std::from_chars(b.data(), b.data() + b.size(), last).ec != std::errc()) break;
        }
        for (std::uint32_t c = first; c <= last && clusters.size() < (1u << 28); ++c)
            clusters.push_back(c);
        at = end + 1;
    }
    return clusters;
}

std::optional<FatLayout> layoutOf(const unsigned char* s) {
    const auto powerOfTwo = [](std::uint32_t n) { return n != 0 && (n & (n - 1)) == 0; };
    if (!(s[0] == 0xEB || s[0] == 0xE9)) return std::nullopt;
    const std::uint32_t bytesPerSector = le16(s + 11);
    const std::uint32_t perCluster = s[13];
    const std::uint32_t reserved = le16(s + 14);
    const std::uint32_t tables = s[16];
    const std::uint32_t rootEntries = le16(s + 17);
    std::uint32_t total = le16(s + 19);
    if (total == 0) total = le32(s + 32);
    std::uint32_t tableSectors = le16(s + 22);
    if (tableSectors == 0) tableSectors = le32(s + 36);
    if (bytesPerSector < 512 || bytesPerSector > 4096 || !powerOfTwo(bytesPerSector) ||
        !powerOfTwo(perCluster) || reserved == 0 || tables == 0 || tables > 4 ||
        tableSectors == 0 || total == 0)
        return std::nullopt;
    const std::uint32_t rootSectors = (rootEntries * 32 + bytesPerSector - 1) / bytesPerSector;
    const std::uint64_t meta = reserved + std::uint64_t(tables) * tableSectors + rootSectors;
    if (meta >= total) return std::nullopt;
    const std::uint64_t clusters = (total - meta) / perCluster;
    FatLayout layout;
    layout.bits = clusters < 4085 ? 12 : clusters < 65525 ? 16 : 32;
    layout.firstTable = std::uint64_t(reserved) * bytesPerSector;
    layout.tableBytes = std::uint64_t(tableSectors) * bytesPerSector;
    layout.tables = int(tables);
    layout.clusterBytes = bytesPerSector * perCluster;
    layout.lastCluster = std::uint32_t(clusters + 1);
    layout.volumeBytes = std::uint64_t(total) * bytesPerSector;
    return layout;
}

bool endChainAtFreeEntry(const std::string& imagePath, const FatLayout& layout,
                         std::uint32_t cluster) {
    if (cluster < 2 || cluster > layout.lastCluster) return false;
    const Fd fd(::open(imagePath.c_str(), O_RDWR | O_CLOEXEC));
    if (fd.get() < 0) return false;
    // The entry's bytes within a table: 12-bit entries share bytes pairwise.
    const std::uint64_t at = layout.bits == 12   ? cluster * 3 / 2
                             : layout.bits == 16 ? cluster * 2
                                                 : cluster * 4;
    const std::size_t size = layout.bits == 32 ? 4 : 2;
    const auto place = [&](int table) {
        return layout.firstTable + table * layout.tableBytes + at;
    };
    const auto entryOf = [&](std::uint32_t word) {
        if (layout.bits == 12) return cluster % 2 ? word >> 4 : word & 0xFFF;
        return layout.bits == 16 ? word : word & 0x0FFFFFFF;
    };
    std::vector<std::uint32_t> words;
    for (int table = 0; table < layout.tables; ++table) {
        std::array<unsigned char, 4> bytes{};
        if (posix::readAt(fd.get(), place(table), bytes.data(), size) != size) return false;
        const std::uint32_t word = size == 4 ? le32(bytes.data()) : le16(bytes.data());
        if (entryOf(word) != 0) return false;  // some file's, or a bad cluster
        words.push_back(word);
    }
    for (int table = 0; table < layout.tables; ++table) {
        std::uint32_t word = words[std::size_t(table)];
        if (layout.bits == 12)
            word = cluster % 2 ? (word & 0x000F) | 0xFFF0 : (word & 0xF000) | 0x0FFF;
        else
            word = layout.bits == 16 ? 0xFFFF : (word & 0xF0000000) | 0x0FFFFFFF;
        std::array<unsigned char, 4> bytes{};
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<unsigned char>(word >> (8 * i));
        if (!posix::writeAt(fd.get(), place(table), bytes.data(), size)) return false;
    }
    return ::fsync(fd.get()) == 0;
}

}  // namespace zarvo::image
