#pragma once

// Reads Windows 3.1 help files (.HLP) into what a viewer shows. Text is
// UTF-8 here and code page 1251 in the file.
//
// What it takes: any version 3.1 or later file without phrase compression,
// its topic blocks compressed or not, with plain paragraphs, jumps and
// popups; pictures, macros and jumps into other files are passed over.
// Anything else is refused with a FormatError whose message, in Russian,
// says what is wrong.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zarvo::winhelp {

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
