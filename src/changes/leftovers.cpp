#include "changes/leftovers.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "changes/program_folder.h"
#include "formats/text.h"
#include "system/error.h"
#include "system/system.h"
#include "system/windows_path.h"

namespace zarvo {

namespace {

const std::string kHeader =
    "; Copies of pictures Zarvo staged in C:\\ and has not installed yet. A\r\n"
    "; run of Zarvo that ends first leaves its copies for the next to remove.\r\n";
constexpr std::string_view kKey = "Copy=";

// One staged copy: the run that made it, its size and its FNV-1a hash, and
// where it is.
struct Note {
    std::string session;
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
    std::string path;
};

std::uint64_t fnv1a(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

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

// The notes on the drive; a line that does not read is dropped, as it can
// name no copy.
std::vector<Note> readNotes(ISystem& system) {
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

void writeNotes(ISystem& system, const std::vector<Note>& notes) {
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

// Whether the file at the note's place is still the copy noted there.
bool stillTheCopy(ISystem& system, const Note& note) {
    if (!system.fileExists(note.path)) return false;
    if (system.attributes(note.path) & (attr::ReadOnly | attr::Directory)) return false;
    const std::string bytes = system.readFile(note.path);
    return bytes.size() == note.size && fnv1a(bytes) == note.hash;
}

}  // namespace

void noteStagedCopy(ISystem& system, const std::string& path, std::string_view bytes) {
    std::vector<Note> notes = readNotes(system);
    Note note{system.sessionId(), bytes.size(), fnv1a(bytes), path};
    // The same picture staged again at the same place needs no second note;
    // a different one does, as the earlier copy stays should this one fail.
    if (std::any_of(notes.begin(), notes.end(), [&](const Note& n) {
            return n.session == note.session && n.size == note.size && n.hash == note.hash &&
                   winpath::sameName(n.path, note.path);
        }))
        return;
    notes.push_back(std::move(note));
    writeNotes(system, notes);
}

void forgetStagedCopy(ISystem& system, const std::string& path) {
    std::vector<Note> notes = readNotes(system);
    const std::string session = system.sessionId();
    const auto before = notes.size();
    std::erase_if(notes, [&](const Note& note) {
        return note.session == session && winpath::sameName(note.path, path);
    });
    if (notes.size() != before) writeNotes(system, notes);
}

void clearLeftovers(ISystem& system) {
    const auto batch = system.batch();
    try {
        system.recoverInterruptedWrites(programfolder::writtenFolders());
    } catch (const Error&) {
        // What could not be cleared up now is tried again next time.
    }
    std::vector<Note> notes;
    try {
        notes = readNotes(system);
    } catch (const Error&) {
        return;  // unreadable: nothing is known to be the program's
    }
    const std::string self = system.sessionId();
    std::vector<Note> kept;
    for (const Note& note : notes) {
        if (note.session == self || system.sessionRunning(note.session)) {
            kept.push_back(note);
            continue;
        }
        // Several notes may name one place: step "2" clicked again.
        try {
            if (stillTheCopy(system, note)) system.deleteFile(note.path);
        } catch (const Error&) {
            kept.push_back(note);  // to be tried again next time
        }
    }
    if (kept.size() == notes.size()) return;
    try {
        writeNotes(system, kept);
    } catch (const Error&) {
    }
}

}  // namespace zarvo
