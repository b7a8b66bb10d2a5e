#include "platform/winhelp.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

#include "platform/cp1251.h"

namespace zarvo::winhelp {

namespace {

// ---- Numbers of the format ----

constexpr std::uint32_t kFileMagic = 0x00035F3F;
constexpr std::uint16_t kTreeMagic = 0x293B;
constexpr std::uint16_t kSystemMagic = 0x036C;
constexpr std::uint16_t kVersion31 = 21;  // what the Windows 3.1 help compiler writes
constexpr std::uint8_t kFileFlags = 4;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kFileHeaderSize = 9;
constexpr std::size_t kTreeHeaderSize = 38;
constexpr std::size_t kLeafHeaderSize = 8;
constexpr std::size_t kIndexHeaderSize = 6;

// |SYSTEM records.
constexpr std::uint16_t kTitleRecord = 1;
constexpr std::uint16_t kContentsRecord = 3;
constexpr std::uint16_t kCharsetRecord = 11;
constexpr std::uint16_t kRussianCharset = 204;

// |TOPIC is made of blocks of 4 KB (2 KB with flag 8): a 12-byte header and
// the records, LZ77-compressed when the flags say so. A TOPICPOS is 12 plus
// the block number times 16 KB plus the place in the block's records once
// expanded; a TOPICOFFSET is the block number times 32 K plus the
// characters of the block's text before the place.
constexpr std::uint16_t kLz77Blocks = 4;
constexpr std::uint16_t kSmallBlocks = 8;
constexpr std::size_t kBlockSize = 4096;
constexpr std::size_t kSmallBlockSize = 2048;
constexpr std::size_t kBlockHeaderSize = 12;
constexpr std::uint32_t kPositionsPerBlock = 0x4000;
constexpr std::uint32_t kOffsetsPerBlock = 0x8000;
// What a block holds when every byte is stored as a literal, eight to a
// flag byte.
constexpr std::size_t kLiteralRun = 8;
constexpr std::size_t kBlockText =
    (kBlockSize - kBlockHeaderSize) / (kLiteralRun + 1) * kLiteralRun;

constexpr std::size_t kLinkHeaderSize = 21;
constexpr std::size_t kTopicHeaderSize = 28;
constexpr std::uint8_t kTopicHeaderRecord = 0x02;
constexpr std::uint8_t kDisplayRecord30 = 0x01;
constexpr std::uint8_t kDisplayRecord = 0x20;
constexpr std::uint8_t kTableRecord = 0x23;

// Character formatting commands of a display record.
constexpr std::uint8_t kFieldCommand = 0x20;
constexpr std::uint8_t kTypeCommand = 0x21;
constexpr std::uint8_t kFontCommand = 0x80;
constexpr std::uint8_t kLineBreak = 0x81;
constexpr std::uint8_t kParagraphEnd = 0x82;
constexpr std::uint8_t kTab = 0x83;
constexpr std::uint8_t kPictureCentred = 0x86;
constexpr std::uint8_t kPictureRight = 0x88;
constexpr std::uint8_t kHotspotEnd = 0x89;
constexpr std::uint8_t kNonBreakingSpace = 0x8B;
constexpr std::uint8_t kNonBreakingHyphen = 0x8C;
constexpr std::uint8_t kMacro = 0xC8;
constexpr std::uint8_t kMacroPlain = 0xCC;
constexpr std::uint8_t kJump = 0xE3;
constexpr std::uint8_t kEndOfFormatting = 0xFF;

// Paragraph settings that follow.
constexpr std::uint16_t kSpacingAboveFollows = 0x0002;

// The two fonts: Arial 10 pt for the text, Arial 12 pt bold for the titles.
constexpr std::size_t kFaceNameSize = 20;
constexpr std::uint8_t kSwissFamily = 3;
constexpr std::uint16_t kTextFont = 0;
constexpr std::uint16_t kTitleFont = 1;
constexpr std::int16_t kParagraphSpacing = 6;  // half-points above each paragraph

// ---- Little-endian building ----

class Bytes {
public:
    void u8(unsigned value) { bytes_.push_back(static_cast<char>(value & 0xFF)); }
    void u16(unsigned value) {
        u8(value);
        u8(value >> 8);
    }
    void u32(std::uint32_t value) {
        u16(value & 0xFFFF);
        u16(value >> 16);
    }
    void raw(std::string_view text) { bytes_.append(text); }
    void zstring(std::string_view text) {
        raw(text);
        u8(0);
    }
    void zeros(std::size_t count) { bytes_.append(count, '\0'); }
    // A compressed unsigned short: one byte below 128, else two.
    void compressedUnsigned16(unsigned value) {
        if (value < 0x80) {
            u8(value * 2);
        } else {
            u8((value & 0x7F) * 2 + 1);
            u8(value >> 7);
        }
    }
    // A compressed signed short, biased by 64 in one byte or 16384 in two.
    void compressedSigned16(int value) {
        if (value >= -64 && value < 64) {
            u8(static_cast<unsigned>(value + 64) * 2);
        } else {
            const auto biased = static_cast<unsigned>(value + 0x4000);
            u8((biased & 0x7F) * 2 + 1);
            u8(biased >> 7);
        }
    }
    // A compressed signed long in its two-byte form, biased by 16384.
    void compressedSigned32Short(int value) { u16(static_cast<unsigned>(value + 0x4000) * 2); }

    std::size_t size() const { return bytes_.size(); }
    const std::string& str() const { return bytes_; }
    std::string take() { return std::move(bytes_); }

private:
    std::string bytes_;
};

void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// ---- Context names ----

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

constexpr std::array<std::int8_t, 256> kHashTable = makeHashTable();

bool validContextName(std::string_view name) {
    if (name.empty()) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
               c == '_' || c == '.';
    });
}

// ---- Writing ----

std::string ansi(std::string_view utf8, const std::string& where) {
    std::optional<std::string> bytes = cp1251::fromUtf8(utf8);
    if (!bytes)
        throw std::invalid_argument(where + ": text has a character outside code page 1251");
    for (char c : *bytes) {
        if (static_cast<unsigned char>(c) < 0x20)
            throw std::invalid_argument(where + ": text has a control character");
    }
    return *bytes;
}

// One TOPICLINK before its place in |TOPIC is known.
struct Link {
    std::uint8_t type = 0;
    std::string data1;  // after the 21-byte link header
    std::string data2;  // the text strings
    std::uint32_t textLength = 0;
    std::size_t block = 0;
    std::size_t at = 0;  // place in the block's records

    std::size_t size() const { return kLinkHeaderSize + data1.size() + data2.size(); }
};

std::uint32_t topicPos(const Link& link) {
    return static_cast<std::uint32_t>(link.block * kPositionsPerBlock + kBlockHeaderSize + link.at);
}

// LZ77 data that expands to `text`: every byte a literal.
std::string literals(std::string_view text) {
    std::string packed;
    for (std::size_t i = 0; i < text.size(); i += kLiteralRun) {
        packed += '\0';
        packed += text.substr(i, kLiteralRun);
    }
    return packed;
}

// A display record: one paragraph in one font, its jumps as hotspots.
Link displayLink(const std::vector<std::pair<std::string, std::optional<std::uint32_t>>>& runs,
                 std::uint16_t font, bool paragraphEnd) {
    // Strings and commands alternate: each string of data2 is followed by
    // one command of data1, the last one ending the formatting.
    Bytes commands;
    std::string strings;
    std::string pending;
    auto endString = [&] {
        strings += pending;
        strings += '\0';
        pending.clear();
    };
    endString();
    commands.u8(kFontCommand);
    commands.u16(font);
    for (const auto& [text, hash] : runs) {
        if (!hash) {
            pending += text;
            continue;
        }
        endString();
        commands.u8(kJump);
        commands.u32(*hash);
        pending = text;
        endString();
        commands.u8(kHotspotEnd);
    }
    if (paragraphEnd) {
        endString();
        commands.u8(kParagraphEnd);
    }
    endString();
    commands.u8(kEndOfFormatting);

    Link link;
    link.type = kDisplayRecord;
    if (strings.size() >= 0x4000) throw std::invalid_argument("a paragraph is too long");
    const auto length = static_cast<int>(strings.size());
    Bytes data1;
    data1.compressedSigned32Short(length);  // TopicSize
    data1.compressedUnsigned16(length);     // TopicLength
    data1.u8(0x00);                         // unknown, as the compiler writes it
    data1.u8(0x80);                         // a biased zero
    data1.u16(0);                           // paragraph id
    data1.u16(paragraphEnd ? kSpacingAboveFollows : 0);
    if (paragraphEnd) data1.compressedSigned16(kParagraphSpacing);
    data1.raw(commands.str());
    link.data1 = data1.take();
    link.data2 = std::move(strings);
    link.textLength = static_cast<std::uint32_t>(length);
    return link;
}

// A B+ tree of one leaf page; `entries` are in the tree's order.
std::string oneLeafTree(std::uint16_t flags, std::uint16_t pageSize, std::string_view structure,
                        const std::vector<std::string>& entries, const std::string& name) {
    std::size_t used = 0;
    for (const std::string& entry : entries) used += entry.size();
    if (used + kLeafHeaderSize > pageSize)
        throw std::invalid_argument(name + ": too many entries for one B+ tree page");
    Bytes tree;
    tree.u16(kTreeMagic);
    tree.u16(flags);
    tree.u16(pageSize);
    std::string format(structure);
    format.resize(16, '\0');
    tree.raw(format);
    tree.u16(0);       // must be zero
    tree.u16(0);       // page splits
    tree.u16(0);       // root page
    tree.u16(0xFFFF);  // must be -1
    tree.u16(1);       // total pages
    tree.u16(1);       // levels
    tree.u32(static_cast<std::uint32_t>(entries.size()));
    tree.u16(static_cast<unsigned>(pageSize - kLeafHeaderSize - used));
    tree.u16(static_cast<unsigned>(entries.size()));
    tree.u16(0xFFFF);  // no previous leaf
    tree.u16(0xFFFF);  // no next leaf
    for (const std::string& entry : entries) tree.raw(entry);
    tree.zeros(pageSize - kLeafHeaderSize - used);
    return tree.take();
}

struct LaidOutTopics {
    std::string topicFile;
    std::vector<std::uint32_t> offsets;  // TOPICOFFSET of each topic
};

LaidOutTopics layOutTopics(const Source& source,
                           const std::map<std::string, std::uint32_t>& hashes) {
    std::vector<std::vector<Link>> topics;
    for (std::size_t t = 0; t < source.topics.size(); ++t) {
        const Topic& topic = source.topics[t];
        const std::string where = "topic " + topic.id;
        std::vector<Link> links;
        Link header;
        header.type = kTopicHeaderRecord;
        header.data1.assign(kTopicHeaderSize, '\0');  // filled in once placed
        header.data2 = ansi(topic.title, where) + '\0';
        links.push_back(std::move(header));
        links.push_back(displayLink({{ansi(topic.title, where), std::nullopt}}, kTitleFont, true));
        for (const Paragraph& paragraph : topic.paragraphs) {
            std::vector<std::pair<std::string, std::optional<std::uint32_t>>> runs;
            for (const Span& span : paragraph.spans) {
                std::optional<std::uint32_t> hash;
                if (!span.target.empty()) {
                    const auto found = hashes.find(span.target);
                    if (found == hashes.end())
                        throw std::invalid_argument(where + ": jump to unknown topic " +
                                                    span.target);
                    hash = found->second;
                }
                runs.emplace_back(ansi(span.text, where), hash);
            }
            links.push_back(displayLink(runs, kTextFont, true));
        }
        // The help compilers end |TOPIC with a record that holds nothing to
        // show; viewers that pass over the last record lose nothing then.
        if (t + 1 == source.topics.size()) links.push_back(displayLink({}, kTextFont, false));
        topics.push_back(std::move(links));
    }

    // Each topic starts a block, so that a jump's TOPICOFFSET is the start of
    // a block, and no record crosses into the next block.
    std::size_t block = 0;
    std::size_t at = 0;
    for (std::size_t t = 0; t < topics.size(); ++t) {
        if (t > 0) {
            ++block;
            at = 0;
        }
        for (Link& link : topics[t]) {
            if (link.size() > kBlockText) throw std::invalid_argument("a paragraph is too long");
            if (at + link.size() > kBlockText) {
                ++block;
                at = 0;
            }
            link.block = block;
            link.at = at;
            at += link.size();
        }
    }
    const std::size_t blocks = block + 1;

    std::vector<Link*> all;
    for (std::vector<Link>& links : topics)
        for (Link& link : links) all.push_back(&link);

    LaidOutTopics result;
    for (const std::vector<Link>& links : topics)
        result.offsets.push_back(static_cast<std::uint32_t>(links.front().block) *
                                 kOffsetsPerBlock);

    for (std::size_t t = 0; t < topics.size(); ++t) {
        Link& header = topics[t].front();
        std::size_t topicSize = 0;
        for (const Link& link : topics[t]) topicSize += link.size();
        Bytes fields;
        fields.u32(static_cast<std::uint32_t>(topicSize));
        fields.u32(kNone);  // no browse sequence backwards
        fields.u32(kNone);  // nor forwards
        fields.u32(static_cast<std::uint32_t>(t));
        fields.u32(kNone);  // no non-scrolling region
        fields.u32(topicPos(topics[t][1]));
        fields.u32(t + 1 < topics.size() ? topicPos(topics[t + 1].front()) : kNone);
        header.data1 = fields.take();
    }

    std::vector<std::string> texts(blocks);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Link& link = *all[i];
        Bytes bytes;
        bytes.u32(static_cast<std::uint32_t>(link.size()));
        bytes.u32(static_cast<std::uint32_t>(link.data2.size()));
        bytes.u32(i > 0 ? topicPos(*all[i - 1]) : kNone);
        bytes.u32(i + 1 < all.size() ? topicPos(*all[i + 1]) : kNone);
        bytes.u32(static_cast<std::uint32_t>(kLinkHeaderSize + link.data1.size()));
        bytes.u8(link.type);
        bytes.raw(link.data1);
        bytes.raw(link.data2);
        texts[link.block].resize(link.at);  // nothing lies between records
        texts[link.block] += bytes.str();
    }

    Bytes file;
    for (std::size_t b = 0; b < blocks; ++b) {
        std::uint32_t lastLink = kNone, firstLink = kNone, lastHeader = kNone;
        for (const Link* link : all) {
            if (link->block < b) {
                lastLink = topicPos(*link);
                if (link->type == kTopicHeaderRecord) lastHeader = topicPos(*link);
            } else if (link->block == b && firstLink == kNone) {
                firstLink = topicPos(*link);
            }
        }
        file.u32(lastLink);
        file.u32(firstLink);
        file.u32(lastHeader);
        const std::string packed = literals(texts[b]);
        file.raw(packed);
        // Every block but the last is whole; zeros expand to zeros that no
        // record points at.
        if (b + 1 < blocks) file.zeros(kBlockSize - kBlockHeaderSize - packed.size());
    }
    result.topicFile = file.take();
    return result;
}

std::string systemFile(const Source& source, std::uint32_t contentsOffset) {
    Bytes system;
    system.u16(kSystemMagic);
    system.u16(kVersion31);
    system.u16(1);
    system.u32(source.generated);
    // Blocks of 4 KB, LZ77-compressed: a position in |TOPIC then counts 16 KB
    // per block, as every viewer counts it for compressed files.
    system.u16(kLz77Blocks);
    const std::string title = ansi(source.title, "title");
    system.u16(kTitleRecord);
    system.u16(static_cast<unsigned>(title.size() + 1));
    system.zstring(title);
    system.u16(kContentsRecord);
    system.u16(4);
    system.u32(contentsOffset);
    // Fonts are made with the Cyrillic character set, whatever the system's.
    system.u16(kCharsetRecord);
    system.u16(2);
    system.u16(kRussianCharset);
    return system.take();
}

std::string fontFile() {
    constexpr std::string_view kFace = "Arial";
    constexpr std::size_t kDescriptorsOffset = 8 + kFaceNameSize;
    Bytes font;
    font.u16(1);  // face names
    font.u16(2);  // descriptors
    font.u16(8);
    font.u16(kDescriptorsOffset);
    std::string face(kFace);
    face.resize(kFaceNameSize, '\0');
    font.raw(face);
    auto descriptor = [&](unsigned attributes, unsigned halfPoints) {
        font.u8(attributes);
        font.u8(halfPoints);
        font.u8(kSwissFamily);
        font.u16(0);    // the face name
        font.zeros(3);  // black text
        font.u8(0xFF);  // on white
        font.u8(0xFF);
        font.u8(0xFF);
    };
    descriptor(0, 20);  // kTextFont
    descriptor(1, 24);  // kTitleFont: bold
    return font.take();
}

}  // namespace

std::uint32_t contextHash(std::string_view name) {
    std::uint32_t hash = 0;
    for (char c : name)
        hash = hash * 43u + static_cast<std::uint32_t>(static_cast<std::int32_t>(
                                kHashTable[static_cast<unsigned char>(c)]));
    return hash;
}

std::string write(const Source& source) {
    if (source.topics.empty()) throw std::invalid_argument("a help file needs a topic");
    std::map<std::string, std::uint32_t> hashes;
    std::map<std::int32_t, std::size_t> topicOfHash;
    for (std::size_t t = 0; t < source.topics.size(); ++t) {
        const std::string& id = source.topics[t].id;
        if (!validContextName(id))
            throw std::invalid_argument("topic \"" + id +
                                        "\": a context name takes letters, digits, '_' and '.'");
        const std::uint32_t hash = contextHash(id);
        if (!hashes.emplace(id, hash).second ||
            !topicOfHash.emplace(static_cast<std::int32_t>(hash), t).second)
            throw std::invalid_argument("topic " + id + ": its context name is used twice");
    }

    const LaidOutTopics topics = layOutTopics(source, hashes);

    // |CONTEXT is ordered by the hash taken as a signed number.
    std::vector<std::string> contextEntries;
    for (const auto& [hash, topic] : topicOfHash) {
        Bytes entry;
        entry.u32(static_cast<std::uint32_t>(hash));
        entry.u32(topics.offsets[topic]);
        contextEntries.push_back(entry.take());
    }

    const std::map<std::string, std::string> files = {
        {"|CONTEXT", oneLeafTree(0x0002, 0x0800, "L4", contextEntries, "|CONTEXT")},
        {"|FONT", fontFile()},
        {"|SYSTEM", systemFile(source, topics.offsets.front())},
        {"|TOPIC", topics.topicFile},
    };

    Bytes out;
    out.u32(kFileMagic);
    out.u32(0);      // the directory's place, known at the end
    out.u32(kNone);  // no free blocks
    out.u32(0);      // the file's size, known at the end
    std::vector<std::string> directoryEntries;
    for (const auto& [name, content] : files) {
        Bytes entry;
        entry.zstring(name);
        entry.u32(static_cast<std::uint32_t>(out.size()));
        directoryEntries.push_back(entry.take());
        out.u32(static_cast<std::uint32_t>(kFileHeaderSize + content.size()));
        out.u32(static_cast<std::uint32_t>(content.size()));
        out.u8(kFileFlags);
        out.raw(content);
    }
    const std::string directory =
        oneLeafTree(0x0402, 0x0400, "z4", directoryEntries, "internal directory");
    const auto directoryStart = static_cast<std::uint32_t>(out.size());
    out.u32(static_cast<std::uint32_t>(kFileHeaderSize + directory.size()));
    out.u32(static_cast<std::uint32_t>(directory.size()));
    out.u8(kFileFlags);
    out.raw(directory);

    std::string bytes = out.take();
    put32(bytes, 4, directoryStart);
    put32(bytes, 12, static_cast<std::uint32_t>(bytes.size()));
    return bytes;
}

// ---- The help source ----

Topic parseTopic(std::string id, std::string_view text) {
    Topic topic;
    topic.id = std::move(id);
    const std::string where = "help topic " + topic.id;

    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    auto trimmed = [](const std::string& line) {
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) return std::string();
        return line.substr(first, line.find_last_not_of(" \t") - first + 1);
    };

    std::size_t i = 0;
    while (i < lines.size() && trimmed(lines[i]).empty()) ++i;
    if (i == lines.size()) throw std::invalid_argument(where + ": no title");
    topic.title = trimmed(lines[i++]);

    std::vector<std::string> paragraphs;
    std::string current;
    for (; i <= lines.size(); ++i) {
        const std::string line = i < lines.size() ? trimmed(lines[i]) : std::string();
        if (line.empty()) {
            if (!current.empty()) paragraphs.push_back(std::move(current));
            current.clear();
        } else {
            if (!current.empty()) current += ' ';
            current += line;
        }
    }

    for (const std::string& body : paragraphs) {
        Paragraph paragraph;
        std::size_t at = 0;
        while (at < body.size()) {
            const std::size_t open = body.find("[[", at);
            if (open == std::string::npos) {
                paragraph.spans.push_back({body.substr(at), {}});
                break;
            }
            if (open > at) paragraph.spans.push_back({body.substr(at, open - at), {}});
            const std::size_t close = body.find("]]", open);
            if (close == std::string::npos)
                throw std::invalid_argument(where + ": \"[[\" without \"]]\"");
            const std::string jump = body.substr(open + 2, close - open - 2);
            const std::size_t bar = jump.find('|');
            if (bar == std::string::npos || bar == 0 || bar + 1 == jump.size())
                throw std::invalid_argument(where + ": a jump is written [[topic|text]], not [[" +
                                            jump + "]]");
            paragraph.spans.push_back({jump.substr(bar + 1), jump.substr(0, bar)});
            at = close + 2;
        }
        topic.paragraphs.push_back(std::move(paragraph));
    }
    return topic;
}

// ---- Reading ----

namespace {

[[noreturn]] void damaged(const std::string& what) {
    throw FormatError("Файл справки поврежден: " + what + ".");
}

// Reads little-endian values from a piece of the file; running past its end
// means the structure it holds is damaged.
class Cursor {
public:
    Cursor(std::string_view bytes, std::string what) : bytes_(bytes), what_(std::move(what)) {}

    std::size_t pos() const { return pos_; }
    std::size_t left() const { return bytes_.size() - pos_; }
    bool atEnd() const { return pos_ >= bytes_.size(); }
    void seek(std::size_t pos) {
        if (pos > bytes_.size()) fail();
        pos_ = pos;
    }

    std::uint8_t u8() { return static_cast<std::uint8_t>(take(1)[0]); }
    std::uint16_t u16() {
        const std::string_view b = take(2);
        return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[0]) |
                                          static_cast<std::uint8_t>(b[1]) << 8);
    }
    std::uint32_t u32() {
        const std::uint32_t low = u16();
        return low | static_cast<std::uint32_t>(u16()) << 16;
    }
    std::string_view take(std::size_t count) {
        if (count > left()) fail();
        const std::string_view piece = bytes_.substr(pos_, count);
        pos_ += count;
        return piece;
    }
    std::string_view zstring() {
        const std::size_t end = bytes_.find('\0', pos_);
        if (end == std::string_view::npos) fail();
        const std::string_view text = bytes_.substr(pos_, end - pos_);
        pos_ = end + 1;
        return text;
    }

    unsigned compressedUnsigned16() {
        const unsigned first = u8();
        if (!(first & 1)) return first / 2;
        return first / 2 + 128u * u8();
    }
    int compressedSigned16() {
        const unsigned first = u8();
        if (!(first & 1)) return static_cast<int>(first / 2) - 0x40;
        return static_cast<int>(first / 2 + 128u * u8()) - 0x4000;
    }
    std::int64_t compressedSigned32() {
        const unsigned first = u16();
        if (!(first & 1)) return static_cast<std::int64_t>(first / 2) - 0x4000;
        return static_cast<std::int64_t>(first / 2 + 32768u * u16()) - 0x40000000;
    }

    [[noreturn]] void fail() const { damaged(what_ + " обрывается раньше времени"); }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
    std::string what_;
};

// The content of the internal file whose FILEHEADER is at `offset`; `what`
// names it in messages.
std::string_view internalFile(std::string_view file, std::uint32_t offset,
                              const std::string& what) {
    if (offset < kHeaderSize || offset > file.size() || file.size() - offset < kFileHeaderSize)
        damaged(what + " лежит за концом файла");
    Cursor header(file.substr(offset, kFileHeaderSize), what);
    header.u32();  // reserved space
    const std::uint32_t used = header.u32();
    if (used > file.size() - offset - kFileHeaderSize) damaged(what + " выходит за конец файла");
    return file.substr(offset + kFileHeaderSize, used);
}

// Calls `entry` on each entry of the B+ tree held in `tree`, in order, with
// a cursor at the entry; `entry` reads it whole.
template <typename Entry>
void forEachLeafEntry(std::string_view tree, const std::string& what, Entry entry) {
    const std::string bad = "испорчен " + what;
    Cursor header(tree, what);
    if (header.left() < kTreeHeaderSize) damaged(bad);
    if (header.u16() != kTreeMagic) damaged(bad);
    header.u16();  // flags
    const std::size_t pageSize = header.u16();
    header.take(16);  // structure
    header.u16();     // must be zero
    header.u16();     // page splits
    const std::size_t root = header.u16();
    header.u16();  // must be -1
    const std::size_t pages = header.u16();
    const std::size_t levels = header.u16();
    const std::uint32_t total = header.u32();
    if (pageSize < kLeafHeaderSize || pages == 0 || root >= pages || levels == 0 || levels > 16 ||
        (tree.size() - kTreeHeaderSize) / pageSize < pages)
        damaged(bad);
    auto page = [&](std::size_t number) {
        if (number >= pages) damaged(bad);
        return tree.substr(kTreeHeaderSize + number * pageSize, pageSize);
    };

    std::size_t leaf = root;
    for (std::size_t level = 1; level < levels; ++level) {
        Cursor index(page(leaf), bad);
        if (index.left() < kIndexHeaderSize) damaged(bad);
        index.u16();
        index.u16();
        leaf = index.u16();
    }
    std::uint32_t seen = 0;
    for (std::size_t visited = 0; leaf != 0xFFFF; ++visited) {
        if (visited == pages) damaged(bad);
        Cursor cursor(page(leaf), what);
        cursor.u16();  // unused bytes
        const std::size_t count = cursor.u16();
        cursor.u16();  // previous page
        leaf = cursor.u16();
        for (std::size_t i = 0; i < count; ++i) entry(cursor);
        seen += static_cast<std::uint32_t>(count);
    }
    if (seen != total) damaged(bad);
}

struct Font {
    bool bold = false;
    int halfPoints = 20;
};

std::vector<Font> readFonts(std::string_view file) {
    std::vector<Font> fonts;
    Cursor cursor(file, "внутренний файл |FONT");
    const std::size_t faces = cursor.u16();
    const std::size_t count = cursor.u16();
    const std::size_t facesAt = cursor.u16();
    const std::size_t descriptorsAt = cursor.u16();
    // Later viewers' descriptors measure in twips and have another layout;
    // their text is shown in the viewer's own font.
    if (faces == 0 || facesAt >= 12) return fonts;
    cursor.seek(descriptorsAt);
    for (std::size_t i = 0; i < count; ++i) {
        Font font;
        font.bold = cursor.u8() & 1;
        font.halfPoints = cursor.u8();
        cursor.take(9);
        fonts.push_back(font);
    }
    return fonts;
}

std::string hexByte(unsigned value) {
    const char* digits = "0123456789ABCDEF";
    return std::string("0x") + digits[(value >> 4) & 0xF] + digits[value & 0xF];
}

// Reads the records of |TOPIC into the topics of a document.
class TopicReader {
public:
    // A jump's run, to be given its topic once |CONTEXT is read.
    struct Jump {
        std::size_t topic;
        std::size_t paragraph;
        std::size_t run;
        std::uint32_t hash;
    };

    TopicReader(Document& document, const std::vector<Font>& fonts)
        : document_(document), fonts_(fonts) {}

    const std::vector<Jump>& jumps() const { return jumps_; }

    void read(std::string_view topicFile, unsigned systemFlags) {
        if (topicFile.size() < kBlockHeaderSize) damaged("в |TOPIC нет ни одного блока");
        const std::size_t blockSize = (systemFlags & kSmallBlocks) ? kSmallBlockSize : kBlockSize;
        const bool compressed = systemFlags & (kLz77Blocks | kSmallBlocks);
        // The records of all blocks in one stream: a record may run on from
        // the end of one block into the next.
        std::string stream;
        std::vector<std::size_t> starts;
        for (std::size_t at = 0; at < topicFile.size(); at += blockSize) {
            if (topicFile.size() - at < kBlockHeaderSize) damaged("обрезан блок |TOPIC");
            const std::string_view data =
                topicFile.substr(at + kBlockHeaderSize, blockSize - kBlockHeaderSize);
            starts.push_back(stream.size());
            stream += compressed ? expand(data) : std::string(data);
        }
        starts.push_back(stream.size());
        Cursor first(topicFile.substr(0, kBlockHeaderSize), "заголовок блока |TOPIC");
        first.u32();
        std::uint32_t pos = first.u32();

        std::size_t block = kNone;
        std::uint32_t characters = 0;
        while (pos != kNone && pos != 0) {
            const std::size_t posBlock = (pos - kBlockHeaderSize) / kPositionsPerBlock;
            const std::size_t posOffset = (pos - kBlockHeaderSize) % kPositionsPerBlock;
            if (pos < kBlockHeaderSize || posBlock + 1 >= starts.size() ||
                posOffset >= starts[posBlock + 1] - starts[posBlock])
                damaged("ссылка между записями |TOPIC ведет за его конец");
            const std::size_t at = starts[posBlock] + posOffset;
            if (posBlock != block) {
                block = posBlock;
                characters = 0;
            }
            Cursor link(std::string_view(stream).substr(at), "запись |TOPIC");
            const std::uint32_t size = link.u32();
            const std::uint32_t length2 = link.u32();
            link.u32();  // previous record
            const std::uint32_t next = link.u32();
            const std::uint32_t length1 = link.u32();
            const std::uint8_t type = link.u8();
            if (length1 < kLinkHeaderSize || size < length1 || size > stream.size() - at)
                damaged("запись |TOPIC неверной длины");
            if (length2 > size - length1)
                throw FormatError(
                    "В этом файле справки текст сжат фразами; такое сжатие не поддерживается.");
            const std::string_view data1 =
                std::string_view(stream).substr(at + kLinkHeaderSize, length1 - kLinkHeaderSize);
            const std::string_view data2 = std::string_view(stream).substr(at + length1, length2);

            if (type == kTopicHeaderRecord) {
                ShownTopic topic;
                topic.title = cp1251::toUtf8(data2.substr(0, data2.find('\0')));
                topic.offset = static_cast<std::uint32_t>(block) * kOffsetsPerBlock + characters;
                document_.topics.push_back(std::move(topic));
                openParagraph_ = false;
            } else if (type == kDisplayRecord && !document_.topics.empty()) {
                characters += readDisplay(data1, data2);
            } else if (type == kTableRecord) {
                throw FormatError("В этом файле справки есть таблицы; они не поддерживаются.");
            } else if (type == kDisplayRecord30) {
                throw FormatError(
                    "Этот файл справки сделан для Windows 3.0; он не поддерживается.");
            }
            if (next == kNone || next == 0) break;
            if (next <= pos) damaged("записи |TOPIC ссылаются друг на друга по кругу");
            pos = next;
        }
        // A paragraph end as the last thing of a topic leaves an empty paragraph.
        for (ShownTopic& topic : document_.topics) {
            while (!topic.paragraphs.empty() && topic.paragraphs.back().runs.empty())
                topic.paragraphs.pop_back();
        }
    }

private:
    // LZ77: each flag byte tells of the next eight items, lowest bit first,
    // whether it is a literal byte or a 16-bit reference: 12 bits of
    // distance back less one, 4 bits of length less three.
    static std::string expand(std::string_view packed) {
        std::string out;
        std::size_t i = 0;
        while (i < packed.size() && out.size() < kPositionsPerBlock) {
            const unsigned flags = static_cast<std::uint8_t>(packed[i++]);
            for (unsigned bit = 0; bit < 8 && i < packed.size(); ++bit) {
                if (!(flags & (1u << bit))) {
                    out += packed[i++];
                    continue;
                }
                if (packed.size() - i < 2) damaged("обрезаны сжатые данные |TOPIC");
                const unsigned word = static_cast<std::uint8_t>(packed[i]) |
                                      static_cast<std::uint8_t>(packed[i + 1]) << 8;
                i += 2;
                const std::size_t back = (word & 0x0FFF) + 1;
                if (back > out.size()) damaged("испорчены сжатые данные |TOPIC");
                for (unsigned n = 0; n < (word >> 12) + 3; ++n) out += out[out.size() - back];
            }
        }
        if (out.size() > kPositionsPerBlock) out.resize(kPositionsPerBlock);
        return out;
    }

    std::uint32_t readDisplay(std::string_view data1, std::string_view data2) {
        Cursor format(data1, "разметка абзаца");
        Cursor text(data2, "текст абзаца");
        format.compressedSigned32();  // size of the text
        const std::uint32_t length = format.compressedUnsigned16();
        format.u8();
        format.u8();
        format.u16();  // paragraph id
        const unsigned bits = format.u16();
        if (bits & 0x0001) format.compressedSigned32();
        for (unsigned flag : {0x0002u, 0x0004u, 0x0008u, 0x0010u, 0x0020u, 0x0040u})
            if (bits & flag) format.compressedSigned16();
        if (bits & 0x0100) {
            format.u8();
            format.u16();
        }
        if (bits & 0x0200) {
            const int stops = format.compressedSigned16();
            for (int i = 0; i < stops; ++i)
                if (format.compressedUnsigned16() & 0x4000) format.compressedUnsigned16();
        }

        const std::size_t topicIndex = document_.topics.size() - 1;
        ShownTopic& topic = document_.topics.back();
        if (!openParagraph_) {
            topic.paragraphs.emplace_back();
            openParagraph_ = true;
        }
        Shown run;
        Font font;
        std::optional<std::uint32_t> hash;
        auto flush = [&] {
            if (!run.text.empty()) {
                run.bold = font.bold;
                run.halfPoints = font.halfPoints;
                std::vector<Shown>& runs = topic.paragraphs.back().runs;
                if (hash)
                    jumps_.push_back({topicIndex, topic.paragraphs.size() - 1, runs.size(), *hash});
                runs.push_back(run);
            }
            run.text.clear();
        };
        auto endJump = [&] {
            flush();
            run.jump = false;
            hash.reset();
        };
        for (;;) {
            run.text += cp1251::toUtf8(text.zstring());
            const std::uint8_t command = format.u8();
            switch (command) {
                case kEndOfFormatting:
                    flush();
                    return length;
                case kFieldCommand:
                    format.u32();
                    break;
                case kTypeCommand:
                    format.u16();
                    break;
                case kFontCommand: {
                    flush();
                    const std::size_t number = format.u16();
                    font = number < fonts_.size() ? fonts_[number] : Font();
                    break;
                }
                case kLineBreak:
                    run.text += '\n';
                    break;
                case kParagraphEnd:
                    endJump();
                    topic.paragraphs.emplace_back();
                    break;
                case kTab:
                    run.text += '\t';
                    break;
                case kHotspotEnd:
                    endJump();
                    break;
                case kNonBreakingSpace:
                    run.text += "\xC2\xA0";
                    break;
                case kNonBreakingHyphen:
                    break;
                case kMacro:
                case kMacroPlain:
                    // A macro hotspot: its text is shown as plain text.
                    flush();
                    format.take(std::max(0, static_cast<int>(format.u16()) - 3));
                    break;
                case 0xE0:
                case 0xE1:
                case 0xE2:
                case 0xE3:
                case 0xE6:
                case 0xE7:
                    flush();
                    run.jump = true;
                    // 3.0 jumps name a topic number, which a 3.1 file never uses.
                    hash = format.u32();
                    if (command < 0xE2) hash.reset();
                    break;
                case 0xEA:
                case 0xEB:
                case 0xEE:
                case 0xEF:
                    // A jump into another file: its text is shown as plain text.
                    flush();
                    format.take(format.u16());
                    break;
                default:
                    if (command >= kPictureCentred && command <= kPictureRight) {
                        const std::uint8_t kind = format.u8();
                        const std::int64_t size = format.compressedSigned32();
                        if (kind == 0x22) format.compressedUnsigned16();
                        if (size < 0) damaged("неверный размер картинки");
                        format.take(static_cast<std::size_t>(size));
                        break;
                    }
                    throw FormatError("В файле справки неизвестная команда разметки " +
                                      hexByte(command) + "; такой файл не поддерживается.");
            }
        }
    }

    Document& document_;
    const std::vector<Font>& fonts_;
    std::vector<Jump> jumps_;
    bool openParagraph_ = false;
};

// The topic holding a TOPICOFFSET: the last one that starts at or before it.
int topicAt(const Document& document, std::uint32_t offset) {
    int found = -1;
    for (std::size_t i = 0; i < document.topics.size(); ++i)
        if (document.topics[i].offset <= offset) found = static_cast<int>(i);
    return found;
}

}  // namespace

Document read(std::string_view bytes) {
    if (bytes.size() < kHeaderSize)
        throw FormatError("Файл справки обрезан: в нем нет даже заголовка.");
    Cursor header(bytes.substr(0, kHeaderSize), "заголовок");
    if (header.u32() != kFileMagic)
        throw FormatError("Это не файл справки Windows: в его начале нет метки 3F 5F 03 00.");
    const std::uint32_t directoryStart = header.u32();
    header.u32();  // free list
    const std::uint32_t declaredSize = header.u32();
    if (declaredSize > bytes.size())
        throw FormatError("Файл справки обрезан: в нем " + std::to_string(bytes.size()) +
                          " байт из " + std::to_string(declaredSize) + ".");
    if (declaredSize < kHeaderSize) damaged("в заголовке неверный размер файла");
    const std::string_view file = bytes.substr(0, declaredSize);

    std::map<std::string, std::uint32_t> directory;
    const std::string directoryName = "внутренний каталог";
    forEachLeafEntry(internalFile(file, directoryStart, directoryName), directoryName,
                     [&](Cursor& entry) {
                         const std::string name(entry.zstring());
                         directory[name] = entry.u32();
                     });
    auto required = [&](const std::string& name) {
        const auto found = directory.find(name);
        if (found == directory.end()) damaged("в нем нет внутреннего файла " + name);
        return internalFile(file, found->second, "внутренний файл " + name);
    };

    Document document;
    Cursor system(required("|SYSTEM"), "внутренний файл |SYSTEM");
    if (system.u16() != kSystemMagic) damaged("испорчен внутренний файл |SYSTEM");
    const unsigned version = system.u16();
    system.u16();
    system.u32();  // when it was made
    const unsigned flags = system.u16();
    if (version <= 16)
        throw FormatError("Этот файл справки сделан для Windows 3.0; он не поддерживается.");
    std::optional<std::uint32_t> contents;
    while (!system.atEnd()) {
        const unsigned type = system.u16();
        Cursor record(system.take(system.u16()), "запись |SYSTEM");
        if (type == kTitleRecord) document.title = cp1251::toUtf8(record.zstring());
        if (type == kContentsRecord) contents = record.u32();
    }

    std::vector<Font> fonts;
    if (directory.count("|FONT")) fonts = readFonts(required("|FONT"));

    TopicReader topics(document, fonts);
    topics.read(required("|TOPIC"), flags);
    if (document.topics.empty()) damaged("в нем нет ни одного раздела");

    std::map<std::uint32_t, std::uint32_t> contexts;
    if (directory.count("|CONTEXT")) {
        forEachLeafEntry(required("|CONTEXT"), "внутренний файл |CONTEXT", [&](Cursor& entry) {
            const std::uint32_t hash = entry.u32();
            contexts[hash] = entry.u32();
        });
    }
    for (const TopicReader::Jump& jump : topics.jumps()) {
        const auto found = contexts.find(jump.hash);
        if (found != contexts.end())
            document.topics[jump.topic].paragraphs[jump.paragraph].runs[jump.run].topic =
                topicAt(document, found->second);
    }
    if (contents) document.contents = std::max(0, topicAt(document, *contents));
    return document;
}

}  // namespace zarvo::winhelp
