#pragma once

// STAGED.INI in the program folder: the copies of pictures that step "2"
// staged in C:\ and step "3" has not installed yet, one line a copy after a
// comment that says so:
//   Copy=<run>|<size>|<FNV-1a hash, 16 hex digits>|<path>
// Reading it and writing it happen here alone; what the notes mean is
// leftovers.h's business.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zarvo {

class ISystem;

namespace stagedini {

// One staged copy: the run that made it, its size and hash, and where it is.
struct Note {
    std::string session;
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
    std::string path;
};

// The hash a note keeps of a copy's bytes.
std::uint64_t hashOf(std::string_view bytes);

// The notes on the drive, none when there is no file; a line that does not
// read is dropped, as it can name no copy. Throws what reading throws.
std::vector<Note> read(ISystem& system);
// Writes the notes in place of the file's; no notes, no file.
void write(ISystem& system, const std::vector<Note>& notes);

}  // namespace stagedini
}  // namespace zarvo
