#include "formats/winhelp_writer.h"

#include <algorithm>
#include <map>
#include <optional>

#include "formats/cp1251.h"
#include "formats/winhelp_format.h"

namespace zarvo::winhelp {

using namespace format;

namespace {

// What this writer chooses where the format leaves a choice.
constexpr std::uint16_t kVersion31 = 21;  // what the Windows 3.1 help compiler writes
constexpr std::uint8_t kFileFlags = 4;
constexpr std::uint16_t kRussianCharset = 204;
// What a block holds when every byte is stored as a literal, eight to a
// flag byte.
constexpr std::size_t kLiteralRun = 8;
constexpr std::size_t kBlockText =
    (kBlockSize - kBlockHeaderSize) / (kLiteralRun + 1) * kLiteralRun;

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

}  // namespace zarvo::winhelp
