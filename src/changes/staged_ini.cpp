#include "changes/staged_ini.h"

#include <charconv>
#include <cstdio>
#include <optional>

#include "changes/program_folder.h"
#include "formats/text.h"
#include "system/error.h"
#include "system/system.h"

namespace zarvo::stagedini {

namespace {

const std::string kHeader =
    "; Copies of pictures Zarvo staged in C:\\ and has not installed yet. A\r\n"
    "; run of Zarvo that ends first leaves its copies for the next to remove.\r\n";
constexpr std::string_view kKey = "Copy=";

std::string lineOf(const Note& note) {
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(note.hash));
    return std::string(kKey) + note.session + "|" + std::to_string(note.size) + "|" + hash + "|" +
           note.path + "\r\n";
}

std::optional<Note> noteOf(std::string_view line) {
    if (!line.starts_with(kKey)) return std::nullopt;
    line.remove_prefix(kKey.size());
    std::string_view fields[3];
    for (auto& field : fields) {
        const std::size_t bar = line.find('|');
        if (bar == std::string_view::npos) return std::nullopt;
        field = line.substr(0, bar);
        line.remove_prefix(bar + 1);
    }
    Note note;
    note.session = std::string(fields[0]);
    const auto number = [](std::string_view text, std::uint64_t& value, int base) {
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
        return ec == std::errc() && end == text.data() + text.size() && !text.empty();
    };
    if (!number(fields[1], note.size, 10) || !number(fields[2], note.hash, 16) || line.empty())
        return std::nullopt;
    note.path = std::string(line);
    return note;
}

}  // namespace

std::uint64_t hashOf(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::vector<Note> read(ISystem& system) {
    std::vector<Note> notes;
    std::string text;
    try {
        text = system.readFile(programfolder::stagedCopiesFile());
    } catch (const Error& error) {
        if (error.number() == err::FileNotFound || error.number() == err::PathNotFound)
            return notes;
        throw;
    }
    for (const auto& line : text::splitLines(text))
        if (auto note = noteOf(line.content)) notes.push_back(std::move(*note));
    return notes;
}

void write(ISystem& system, const std::vector<Note>& notes) {
    if (notes.empty()) {
        if (system.fileExists(programfolder::stagedCopiesFile()))
            system.deleteFile(programfolder::stagedCopiesFile());
        return;
    }
    std::string text = kHeader;
    for (const Note& note : notes) text += lineOf(note);
    system.createDirectory(std::string(programfolder::kFolder));
    system.replaceFile(programfolder::stagedCopiesFile(), text);
}

}  // namespace zarvo::stagedini
