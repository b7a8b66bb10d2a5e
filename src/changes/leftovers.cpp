#include "changes/leftovers.h"

#include <algorithm>
#include <vector>

#include "changes/program_folder.h"
#include "changes/staged_ini.h"
#include "system/error.h"
#include "system/system.h"
#include "system/windows_path.h"

namespace zarvo {

namespace {

using stagedini::Note;

// Whether the file at the note's place is still the copy noted there.
bool stillTheCopy(ISystem& system, const Note& note) {
    if (!system.fileExists(note.path)) return false;
    if (system.attributes(note.path) & (attr::ReadOnly | attr::Directory)) return false;
    const std::string bytes = system.readFile(note.path);
    return bytes.size() == note.size && stagedini::hashOf(bytes) == note.hash;
}

}  // namespace

void noteStagedCopy(ISystem& system, const std::string& path, std::string_view bytes) {
    std::vector<Note> notes = stagedini::read(system);
    Note note{system.sessionId(), bytes.size(), stagedini::hashOf(bytes), path};
    // The same picture staged again at the same place needs no second note;
    // a different one does, as the earlier copy stays should this one fail.
    if (std::any_of(notes.begin(), notes.end(), [&](const Note& n) {
            return n.session == note.session && n.size == note.size && n.hash == note.hash &&
                   winpath::sameName(n.path, note.path);
        }))
        return;
    notes.push_back(std::move(note));
    stagedini::write(system, notes);
}

void forgetStagedCopy(ISystem& system, const std::string& path) {
    std::vector<Note> notes = stagedini::read(system);
    const std::string session = system.sessionId();
    const auto before = notes.size();
    std::erase_if(notes, [&](const Note& note) {
        return note.session == session && winpath::sameName(note.path, path);
    });
    if (notes.size() != before) stagedini::write(system, notes);
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
        notes = stagedini::read(system);
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
        stagedini::write(system, kept);
    } catch (const Error&) {
    }
}

}  // namespace zarvo
