#include "formats/winhelp_reader.h"

#include <algorithm>
#include <map>
#include <optional>

#include "formats/cp1251.h"
#include "formats/winhelp_format.h"

namespace zarvo::winhelp {

using namespace format;

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
