#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/cp1251.h"
#include "formats/winhelp_reader.h"
#include "formats/winhelp_writer.h"

namespace zarvo::winhelp {
namespace {

// ---- Reading the bytes by hand, as the format description lays them out ----

std::uint32_t le16(const std::string& b, std::size_t at) {
    return std::uint8_t(b.at(at)) | std::uint8_t(b.at(at + 1)) << 8;
}
std::uint32_t le32(const std::string& b, std::size_t at) {
    return le16(b, at) | le16(b, at + 2) << 16;
}
void put32(std::string& b, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = char(value >> (8 * i));
}

// The context hash worked out from the help compiler's table for the
// characters a context name may hold.
std::uint32_t expectedHash(const std::string& name) {
    std::uint32_t hash = 0;
    for (char c : name) {
        std::uint32_t value = 0;
        if (c >= 'a' && c <= 'z') value = 0x11 + (c - 'a');
        if (c >= 'A' && c <= 'Z') value = 0x11 + (c - 'A');
        if (c >= '1' && c <= '9') value = c - '0';
        if (c == '0') value = 0x0A;
        if (c == '_') value = 0x0D;
        if (c == '.') value = 0x0C;
        hash = hash * 43 + value;
    }
    return hash;
}

struct Layout {
    std::uint32_t directory = 0;
    std::vector<std::pair<std::string, std::uint32_t>> files;  // name, FILEHEADER offset
    std::uint32_t file(const std::string& name) const {
        for (const auto& [n, offset] : files)
            if (n == name) return offset;
        ADD_FAILURE() << "no " << name;
        return 0;
    }
};

Layout layoutOf(const std::string& bytes) {
    Layout layout;
    layout.directory = le32(bytes, 4);
    const std::size_t leaf = layout.directory + 9 + 38;
    const std::size_t count = le16(bytes, leaf + 2);
    std::size_t at = leaf + 8;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = bytes.c_str() + at;
        at += name.size() + 1;
        layout.files.emplace_back(name, le32(bytes, at));
        at += 4;
    }
    return layout;
}

// The records of topic block `n`, whose data the writer stores as LZ77
// literals: a zero flag byte before each run of eight bytes.
std::string blockRecords(const std::string& bytes, std::uint32_t topicFile, std::size_t n) {
    const std::size_t used = le32(bytes, topicFile + 4);
    const std::size_t start = topicFile + 9 + n * 4096 + 12;
    const std::size_t end = std::min(topicFile + 9 + (n + 1) * 4096, topicFile + 9 + used);
    std::string records;
    for (std::size_t at = start; at < end; at += 9) {
        EXPECT_EQ(bytes.at(at), '\0') << "flag byte at " << at;
        records += bytes.substr(at + 1, std::min<std::size_t>(8, end - at - 1));
    }
    return records;
}

Source sampleSource() {
    Source source;
    source.title = "Zarvo";
    source.topics.push_back(parseTopic("contents",
                                       "Справка: Zarvo\n\n"
                                       "Страницы: [[icon_page|Icon]] и\n[[wallpaper_page|Фон]].\n\n"
                                       "Ещё [[about|О программе]] — «окно».\n"));
    source.topics.push_back(parseTopic("icon_page",
                                       "Страница Icon\n\nЗначки Windows.\r\n\r\n"
                                       "Назад к [[contents|содержанию]], вперед к "
                                       "[[wallpaper_page|фону]]."));
    std::string longText = "Фон\n";
    for (int i = 0; i < 150; ++i)
        longText += "\n\nАбзац " + std::to_string(i) + ": обои рабочего стола Windows 98.";
    longText += "\n\n[[contents|Содержание]]";
    source.topics.push_back(parseTopic("wallpaper_page", longText));
    source.topics.push_back(parseTopic("about", "О программе\n\nZarvo's - Картинки"));
    return source;
}

std::string textOf(const ShownParagraph& paragraph) {
    std::string text;
    for (const Shown& run : paragraph.runs) text += run.text;
    return text;
}

// ---- Writer and reader ----

TEST(WinHelpText, SourceTextBecomesTitleParagraphsAndJumps) {
    const Topic topic = parseTopic("icon_page",
                                   "  Страница Icon \n\n\nПервая строка\nвторая строка.\n\n"
                                   "См. [[contents|содержание]] и [[about|окно]]\n");
    EXPECT_EQ(topic.id, "icon_page");
    EXPECT_EQ(topic.title, "Страница Icon");
    ASSERT_EQ(topic.paragraphs.size(), 2u);
    ASSERT_EQ(topic.paragraphs[0].spans.size(), 1u);
    EXPECT_EQ(topic.paragraphs[0].spans[0].text, "Первая строка вторая строка.");
    const std::vector<Span>& spans = topic.paragraphs[1].spans;
    ASSERT_EQ(spans.size(), 4u);
    EXPECT_EQ(spans[0].text, "См. ");
    EXPECT_EQ(spans[1].text, "содержание");
    EXPECT_EQ(spans[1].target, "contents");
    EXPECT_EQ(spans[3].target, "about");

    EXPECT_THROW(parseTopic("x", "Title\n\n[[contents|open"), std::invalid_argument);
    EXPECT_THROW(parseTopic("x", "Title\n\n[[contents]]"), std::invalid_argument);
    EXPECT_THROW(parseTopic("x", "\n  \n"), std::invalid_argument);
}

TEST(WinHelpText, EveryTopicTextAndJumpSurvivesTheRoundTrip) {
    const Source source = sampleSource();
    const Document document = read(write(source));

    EXPECT_EQ(document.title, "Zarvo");
    EXPECT_EQ(document.contents, 0);
    ASSERT_EQ(document.topics.size(), source.topics.size());
    auto indexOf = [&](const std::string& id) {
        for (std::size_t i = 0; i < source.topics.size(); ++i)
            if (source.topics[i].id == id) return int(i);
        return -1;
    };
    for (std::size_t t = 0; t < source.topics.size(); ++t) {
        const Topic& written = source.topics[t];
        const ShownTopic& shown = document.topics[t];
        EXPECT_EQ(shown.title, written.title);
        // The title is the topic's first paragraph, in the bold title font.
        ASSERT_EQ(shown.paragraphs.size(), written.paragraphs.size() + 1) << written.id;
        EXPECT_EQ(textOf(shown.paragraphs[0]), written.title);
        EXPECT_TRUE(shown.paragraphs[0].runs.at(0).bold);
        EXPECT_EQ(shown.paragraphs[0].runs.at(0).halfPoints, 24);
        for (std::size_t p = 0; p < written.paragraphs.size(); ++p) {
            const std::vector<Span>& spans = written.paragraphs[p].spans;
            const std::vector<Shown>& runs = shown.paragraphs[p + 1].runs;
            ASSERT_EQ(runs.size(), spans.size()) << written.id << " " << p;
            for (std::size_t r = 0; r < spans.size(); ++r) {
                EXPECT_EQ(runs[r].text, spans[r].text);
                EXPECT_FALSE(runs[r].bold);
                EXPECT_EQ(runs[r].jump, !spans[r].target.empty());
                if (runs[r].jump) {
                    EXPECT_EQ(runs[r].topic, indexOf(spans[r].target));
                }
            }
        }
    }
}

TEST(WinHelpText, WriterRefusesWhatAHelpFileCannotHold) {
    auto withTopic = [](Topic topic) {
        Source source = sampleSource();
        source.topics.push_back(std::move(topic));
        return source;
    };
    EXPECT_THROW(write(withTopic(parseTopic("bad-id", "T"))), std::invalid_argument);
    EXPECT_THROW(write(withTopic(parseTopic("about", "Again"))), std::invalid_argument);
    EXPECT_THROW(write(withTopic(parseTopic("x", "T\n\n[[nowhere|jump]]"))), std::invalid_argument);
    EXPECT_THROW(write(withTopic(parseTopic("x", "T\n\nЕвро: €, но не 中"))),
                 std::invalid_argument);
    EXPECT_THROW(write(Source{}), std::invalid_argument);
}

// ---- The file's structure, field by field ----

TEST(WinHelpFile, HeaderAndInternalDirectoryFollowTheFormat) {
    const std::string bytes = write(sampleSource());
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x3F\x5F\x03\x00", 4));
    EXPECT_EQ(le32(bytes, 8), 0xFFFFFFFFu) << "no free list";
    EXPECT_EQ(le32(bytes, 12), bytes.size());

    const Layout layout = layoutOf(bytes);
    const std::size_t dir = layout.directory;
    EXPECT_EQ(le32(bytes, dir), le32(bytes, dir + 4) + 9) << "reserved = used + header";
    EXPECT_EQ(dir + 9 + le32(bytes, dir + 4), bytes.size());
    EXPECT_EQ(bytes.at(dir + 8), 4);
    const std::size_t tree = dir + 9;
    EXPECT_EQ(le16(bytes, tree), 0x293Bu);
    EXPECT_EQ(le16(bytes, tree + 2), 0x0402u);
    EXPECT_EQ(le16(bytes, tree + 4), 1024u);
    EXPECT_EQ(bytes.substr(tree + 6, 16), std::string("z4\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 16));
    EXPECT_EQ(le16(bytes, tree + 26), 0u) << "root page";
    EXPECT_EQ(le16(bytes, tree + 28), 0xFFFFu);
    EXPECT_EQ(le16(bytes, tree + 30), 1u) << "pages";
    EXPECT_EQ(le16(bytes, tree + 32), 1u) << "levels";
    EXPECT_EQ(le32(bytes, tree + 34), 4u) << "entries";
    const std::size_t leaf = tree + 38;
    EXPECT_EQ(le16(bytes, leaf + 4), 0xFFFFu);
    EXPECT_EQ(le16(bytes, leaf + 6), 0xFFFFu);
    std::size_t entryBytes = 0;
    for (const auto& [name, offset] : layout.files) entryBytes += name.size() + 1 + 4;
    EXPECT_EQ(le16(bytes, leaf), 1024 - 8 - entryBytes) << "free bytes of the page";

    std::vector<std::string> names;
    for (const auto& [name, offset] : layout.files) {
        names.push_back(name);
        ASSERT_LT(offset + 9, bytes.size()) << name;
        EXPECT_EQ(le32(bytes, offset), le32(bytes, offset + 4) + 9) << name;
        EXPECT_LE(offset + 9 + le32(bytes, offset + 4), dir) << name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"|CONTEXT", "|FONT", "|SYSTEM", "|TOPIC"}));

    const std::size_t system = layout.file("|SYSTEM") + 9;
    EXPECT_EQ(le16(bytes, system), 0x036Cu);
    EXPECT_EQ(le16(bytes, system + 2), 21u) << "Windows 3.1";
    EXPECT_EQ(le16(bytes, system + 4), 1u);
    EXPECT_EQ(le16(bytes, system + 10), 4u) << "LZ77 topic blocks of 4 KB";
    EXPECT_EQ(le16(bytes, system + 12), 1u);
    EXPECT_EQ(le16(bytes, system + 14), 6u);
    EXPECT_EQ(bytes.substr(system + 16, 6), std::string("Zarvo\0", 6));
    EXPECT_EQ(le16(bytes, system + 22), 3u);
    EXPECT_EQ(le32(bytes, system + 26), 0u) << "the contents is the first topic";
    EXPECT_EQ(le16(bytes, system + 30), 11u);
    EXPECT_EQ(le16(bytes, system + 34), 204u) << "Cyrillic character set";
}

TEST(WinHelpFile, TopicBlocksAndContextHashesLeadToEachTopic) {
    const Source source = sampleSource();
    const std::string bytes = write(source);
    const Layout layout = layoutOf(bytes);
    const std::uint32_t topicFile = layout.file("|TOPIC");
    const std::size_t blocks = (le32(bytes, topicFile + 4) + 4095) / 4096;

    // Each topic starts a block; the long one takes more than one.
    std::vector<std::size_t> firstBlock;
    for (std::size_t n = 0; n < blocks; ++n) {
        const std::size_t header = topicFile + 9 + n * 4096;
        const std::uint32_t first = le32(bytes, header + 4);
        EXPECT_EQ(first, n * 0x4000 + 12) << "first record of block " << n;
        const std::uint32_t last = le32(bytes, header);
        if (n == 0) {
            EXPECT_EQ(last, 0xFFFFFFFFu);
        } else {
            EXPECT_EQ((last - 12) / 0x4000, n - 1) << "last record of the block before";
        }
        const std::string records = blockRecords(bytes, topicFile, n);
        if (records.at(20) == 2) firstBlock.push_back(n);
    }
    ASSERT_EQ(firstBlock.size(), source.topics.size());
    EXPECT_EQ(firstBlock, (std::vector<std::size_t>{0, 1, 2, firstBlock[3]}));
    EXPECT_GT(firstBlock[3], 3u);

    for (std::size_t t = 0; t < source.topics.size(); ++t) {
        const std::string records = blockRecords(bytes, topicFile, firstBlock[t]);
        // TOPICLINK: sizes, neighbours, then the TOPICHEADER and the title.
        EXPECT_EQ(le32(records, 16), 21u + 28u) << "DataLen1";
        EXPECT_EQ(le32(records, 4), le32(records, 0) - 49) << "DataLen2";
        EXPECT_EQ(le32(records, 12), firstBlock[t] * 0x4000 + 12 + le32(records, 0))
            << "the next record follows in the block";
        EXPECT_EQ(le32(records, 21 + 12), t) << "topic number";
        EXPECT_EQ(le32(records, 21 + 16), 0xFFFFFFFFu) << "no non-scrolling region";
        EXPECT_EQ(le32(records, 21 + 20), le32(records, 12)) << "scrolling text starts next";
        const std::uint32_t nextTopic = le32(records, 21 + 24);
        if (t + 1 < source.topics.size()) {
            EXPECT_EQ(nextTopic, firstBlock[t + 1] * 0x4000 + 12);
        } else {
            EXPECT_EQ(nextTopic, 0xFFFFFFFFu);
        }
        const std::string ansiTitle = *cp1251::fromUtf8(source.topics[t].title);
        EXPECT_EQ(records.substr(49, ansiTitle.size() + 1), ansiTitle + '\0');
    }

    // |CONTEXT: one leaf of (hash, TOPICOFFSET) pairs in signed hash order.
    const std::size_t tree = layout.file("|CONTEXT") + 9;
    EXPECT_EQ(le16(bytes, tree), 0x293Bu);
    EXPECT_EQ(le16(bytes, tree + 2), 0x0002u);
    EXPECT_EQ(le16(bytes, tree + 4), 2048u);
    EXPECT_EQ(bytes.substr(tree + 6, 3), std::string("L4\0", 3));
    EXPECT_EQ(le32(bytes, tree + 34), source.topics.size());
    std::vector<std::pair<std::int32_t, std::uint32_t>> expected;
    for (std::size_t t = 0; t < source.topics.size(); ++t)
        expected.emplace_back(std::int32_t(expectedHash(source.topics[t].id)),
                              std::uint32_t(firstBlock[t] * 0x8000));
    std::sort(expected.begin(), expected.end());
    const std::size_t leaf = tree + 38;
    ASSERT_EQ(le16(bytes, leaf + 2), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(std::int32_t(le32(bytes, leaf + 8 + 8 * i)), expected[i].first);
        EXPECT_EQ(le32(bytes, leaf + 12 + 8 * i), expected[i].second);
    }
    EXPECT_EQ(contextHash("A"), 17u);
    EXPECT_EQ(contextHash("ab"), 17u * 43 + 18);
    EXPECT_EQ(contextHash("icon_page"), expectedHash("icon_page"));
}

// ---- Damaged files ----

std::string errorOf(const std::string& bytes) {
    try {
        read(bytes);
    } catch (const FormatError& error) {
        return error.what();
    }
    return "(read)";
}

TEST(WinHelpFile, DamagedFilesAreRefusedWithTheirReason) {
    const std::string good = write(sampleSource());
    const Layout layout = layoutOf(good);
    // Byte k of the first record, behind the block header and the flag bytes.
    auto recordByte = [&](std::size_t k) {
        return layout.file("|TOPIC") + 9 + 12 + (k / 8) * 9 + 1 + k % 8;
    };

    EXPECT_EQ(errorOf(good.substr(0, 10)), "Файл справки обрезан: в нем нет даже заголовка.");
    EXPECT_EQ(errorOf(good.substr(0, good.size() / 2)),
              "Файл справки обрезан: в нем " + std::to_string(good.size() / 2) + " байт из " +
                  std::to_string(good.size()) + ".");

    std::string magic = good;
    magic[1] = 'x';
    EXPECT_EQ(errorOf(magic), "Это не файл справки Windows: в его начале нет метки 3F 5F 03 00.");

    std::string directory = good;
    put32(directory, 4, std::uint32_t(good.size() + 100));
    EXPECT_EQ(errorOf(directory),
              "Файл справки поврежден: внутренний каталог лежит за концом файла.");

    std::string tree = good;
    tree[layout.directory + 9] = 0;
    EXPECT_EQ(errorOf(tree), "Файл справки поврежден: испорчен внутренний каталог.");

    std::string internal = good;
    put32(internal, layout.file("|TOPIC") + 4, 0x7FFFFFF0);
    EXPECT_EQ(errorOf(internal),
              "Файл справки поврежден: внутренний файл |TOPIC выходит за конец файла.");

    // The first record's next-record position, past the last block.
    std::string link = good;
    put32(link, recordByte(12), 0x00FF000C);
    EXPECT_EQ(errorOf(link),
              "Файл справки поврежден: ссылка между записями |TOPIC ведет за его конец.");
    std::string loop = good;
    put32(loop, recordByte(12), 12);
    EXPECT_EQ(errorOf(loop),
              "Файл справки поврежден: записи |TOPIC ссылаются друг на друга по кругу.");

    std::string old = good;
    old[layout.file("|SYSTEM") + 9 + 2] = 15;
    EXPECT_EQ(errorOf(old), "Этот файл справки сделан для Windows 3.0; он не поддерживается.");
}

TEST(WinHelpFile, AnyDamageIsReadOrRefusedWithAMessage) {
    const std::string good = write(sampleSource());
    for (std::size_t at = 16; at < good.size(); at += 29) {
        std::string bad = good;
        bad[at] = char(bad[at] ^ 0xA5);
        try {
            read(bad);
        } catch (const FormatError&) {
        }
    }
    for (std::size_t size = 0; size < good.size(); size += 97) {
        std::string cut = good.substr(0, size);
        if (size >= 16) put32(cut, 12, std::uint32_t(size));  // cut, yet claimed whole
        EXPECT_THROW(read(cut), FormatError) << size;
    }
}

}  // namespace
}  // namespace zarvo::winhelp
