#pragma once

// Writes Windows 3.1 help files (.HLP), the format that the Windows 98 help
// viewer opens, from topics of plain text with jumps. Text is UTF-8 here and
// code page 1251 in the file.
//
// What it makes: the 16-byte header, the internal directory (a B+ tree of
// one page), |SYSTEM (version 3.1, the title, the contents topic, the
// Cyrillic character set), |FONT (Arial for the text and a bold one for the
// topic titles), |TOPIC and |CONTEXT (the hashes of the context names,
// leading to the topics). The topic blocks are marked LZ77-compressed but
// hold every byte as a literal: positions in a compressed |TOPIC count 16 KB
// a block, which every description and viewer agree on, where those of an
// uncompressed one are read in two different ways. Each topic starts a block
// and no record crosses into the next one.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "formats/winhelp_format.h"

namespace zarvo::winhelp {

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

}  // namespace zarvo::winhelp
