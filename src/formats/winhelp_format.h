#pragma once

// The numbers of the Windows 3.1 help file format (.HLP) that its reader
// and its writer share: the file and B+ tree headers, the internal files'
// records, the topic blocks and the formatting commands of a paragraph.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zarvo::winhelp {

namespace format {

inline constexpr std::uint32_t kFileMagic = 0x00035F3F;
inline constexpr std::uint16_t kTreeMagic = 0x293B;
inline constexpr std::uint16_t kSystemMagic = 0x036C;
inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;

inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::size_t kFileHeaderSize = 9;
inline constexpr std::size_t kTreeHeaderSize = 38;
inline constexpr std::size_t kLeafHeaderSize = 8;
inline constexpr std::size_t kIndexHeaderSize = 6;

// |SYSTEM records.
inline constexpr std::uint16_t kTitleRecord = 1;
inline constexpr std::uint16_t kContentsRecord = 3;
inline constexpr std::uint16_t kCharsetRecord = 11;

// |TOPIC is made of blocks of 4 KB (2 KB with flag 8): a 12-byte header and
// the records, LZ77-compressed when the flags say so. A TOPICPOS is 12 plus
// the block number times 16 KB plus the place in the block's records once
// expanded; a TOPICOFFSET is the block number times 32 K plus the
// characters of the block's text before the place.
inline constexpr std::uint16_t kLz77Blocks = 4;
inline constexpr std::uint16_t kSmallBlocks = 8;
inline constexpr std::size_t kBlockSize = 4096;
inline constexpr std::size_t kSmallBlockSize = 2048;
inline constexpr std::size_t kBlockHeaderSize = 12;
inline constexpr std::uint32_t kPositionsPerBlock = 0x4000;
inline constexpr std::uint32_t kOffsetsPerBlock = 0x8000;

inline constexpr std::size_t kLinkHeaderSize = 21;
inline constexpr std::size_t kTopicHeaderSize = 28;
inline constexpr std::uint8_t kTopicHeaderRecord = 0x02;
inline constexpr std::uint8_t kDisplayRecord30 = 0x01;
inline constexpr std::uint8_t kDisplayRecord = 0x20;
inline constexpr std::uint8_t kTableRecord = 0x23;

// Character formatting commands of a display record.
inline constexpr std::uint8_t kFieldCommand = 0x20;
inline constexpr std::uint8_t kTypeCommand = 0x21;
inline constexpr std::uint8_t kFontCommand = 0x80;
inline constexpr std::uint8_t kLineBreak = 0x81;
inline constexpr std::uint8_t kParagraphEnd = 0x82;
inline constexpr std::uint8_t kTab = 0x83;
inline constexpr std::uint8_t kPictureCentred = 0x86;
inline constexpr std::uint8_t kPictureRight = 0x88;
inline constexpr std::uint8_t kHotspotEnd = 0x89;
inline constexpr std::uint8_t kNonBreakingSpace = 0x8B;
inline constexpr std::uint8_t kNonBreakingHyphen = 0x8C;
inline constexpr std::uint8_t kMacro = 0xC8;
inline constexpr std::uint8_t kMacroPlain = 0xCC;
inline constexpr std::uint8_t kJump = 0xE3;
inline constexpr std::uint8_t kEndOfFormatting = 0xFF;

// Paragraph settings that follow.
inline constexpr std::uint16_t kSpacingAboveFollows = 0x0002;

}  // namespace format

namespace detail {

// What each byte of a context name adds to its hash, as the help compiler
// counts it: digits, letters of either case, '_' and '.' get small values.
constexpr std::array<std::int8_t, 256> makeHashTable() {
    std::array<std::int8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        int value = 0;
        if (c == 0)
            value = 0;
        else if (c < 0x30)
            value = c + 0xD0;
        else if (c == 0x30)
            value = 0x0A;
        else if (c <= 0x5A)
            value = c - 0x30;
        else if (c <= 0x5E)
            value = c - 0x50;
        else if (c == 0x5F)
            value = 0x0D;
        else if (c <= 0x7F)
            value = c - 0x50;
        else
            value = c - 0x30;
        table[c] = static_cast<std::int8_t>(static_cast<std::uint8_t>(value));
    }
    table[0x21] = 0x0B;
    table[0x2E] = 0x0C;
    table[0xB4] = 0x0B;
    return table;
}

inline constexpr std::array<std::int8_t, 256> kHashTable = makeHashTable();

}  // namespace detail

// The hash by which a 3.1 help file knows a context name.
inline std::uint32_t contextHash(std::string_view name) {
    std::uint32_t hash = 0;
    for (char c : name)
        hash = hash * 43u + static_cast<std::uint32_t>(static_cast<std::int32_t>(
                                detail::kHashTable[static_cast<unsigned char>(c)]));
    return hash;
}

}  // namespace zarvo::winhelp
