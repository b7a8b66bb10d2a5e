#pragma once

// Windows 3.1 help files (.HLP), the format that the Windows 98 help viewer
// opens: a writer that makes one from topics of plain text with jumps, and a
// reader that gives back what a viewer shows. Text is UTF-8 here and code
// page 1251 in the file.
//
// What the writer makes: the 16-byte header, the internal directory (a B+
// tree of one page), |SYSTEM (version 3.1, the title, the contents topic,
// the Cyrillic character set), |FONT (Arial for the text and a bold one for
// the topic titles), |TOPIC and |CONTEXT (the hashes of the context names,
// leading to the topics). The topic blocks are marked LZ77-compressed but
// hold every byte as a literal: positions in a compressed |TOPIC count 16 KB
// a block, which every description and viewer agree on, where those of an
// uncompressed one are read in two different ways. Each topic starts a block
// and no record crosses into the next one.
//
// What the reader takes: any version 3.1 or later file without phrase
// compression, its topic blocks compressed or not, with plain paragraphs,
// jumps and popups; pictures, macros and jumps into other files are passed
// over. Anything else is refused with a FormatError whose message, in
// Russian, says what is wrong.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zarvo::winhelp {

// ---- What the writer takes ----

// A run of text in a paragraph; a jump when `target` names a topic's context.
struct Span {
    std::string text;
    std::string target;
};

struct Paragraph {
    std::vector<Span> spans;
};

struct Topic {
    // The context name that jumps use: letters, digits, '_' and '.'.
    std::string id;
    std::string title;
    std::vector<Paragraph> paragraphs;
};

struct Source {
    std::string title;
    // The first topic is the contents, the one the viewer opens on.
    std::vector<Topic> topics;
    // When the file was made, in seconds since 1970; the viewer keeps it to
    // tell its notes on one build of a file from those on another.
    std::uint32_t generated = 0;
};

// The bytes of the help file. std::invalid_argument names what the source
// does wrong: a context name that is missing, repeated or not allowed, a jump
// to no topic, text with a character that code page 1251 lacks.
std::string write(const Source& source);

// One topic of help source text (UTF-8): its first line is the title, then
// come paragraphs separated by blank lines, whose lines are joined by a
// blank. "[[id|text]]" is a jump showing `text` that leads to topic `id`.
Topic parseTopic(std::string id, std::string_view text);

// The hash by which a 3.1 help file knows a context name.
std::uint32_t contextHash(std::string_view name);

// ---- What the reader gives ----

struct Shown {
    std::string text;  // "\n" where the paragraph breaks a line, "\t" for a tab
    bool jump = false;
    // The topic a jump leads to, -1 when the file has no topic of its context.
    int topic = -1;
    bool bold = false;
    int halfPoints = 20;  // the font's size in half-points
};

struct ShownParagraph {
    std::vector<Shown> runs;
};

struct ShownTopic {
    std::string title;
    std::vector<ShownParagraph> paragraphs;
    std::uint32_t offset = 0;  // the topic's TOPICOFFSET
};

struct Document {
    std::string title;
    std::vector<ShownTopic> topics;
    int contents = 0;
};

// A file that cannot be read: what() is the Russian message for the user.
class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Document read(std::string_view bytes);

}  // namespace zarvo::winhelp
