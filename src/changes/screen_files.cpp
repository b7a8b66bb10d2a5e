#include "changes/screen_files.h"

#include <optional>
#include <utility>

#include "changes/copies.h"
#include "changes/leftovers.h"
#include "changes/pictures.h"
#include "changes/program_folder.h"
#include "system/error.h"
#include "system/system.h"
#include "system/windows_path.h"

namespace zarvo {

std::string ScreenFile::path() const {
    std::string out(folder);
    if (out.back() != '\\') out += '\\';
    out.append(name);
    return out;
}

std::string ScreenFile::programCopy() const {
    return programfolder::path(name);
}

void ScreenSteps::putProgramCopy(ISystem& system) const {
    const auto batch = system.batch();
    system.copyFile(screen_.programCopy(), screen_.path());
}

std::string ScreenSteps::stagingPath(ISystem& system, const std::string& source,
                                     const std::string& wanted) const {
    const auto batch = system.batch();
    const auto usable = [&](const std::string& path) {
        if (winpath::sameName(path, source)) return false;
        return !system.fileExists(path) || (staged_ && winpath::sameName(path, *staged_));
    };
    if (usable(wanted)) return wanted;
    for (int n = 1; n < 100; ++n) {
        const std::string other = wanted + ".zarvo" + (n == 1 ? std::string() : std::to_string(n));
        if (usable(other)) return other;
    }
    throw Error(err::FileAlreadyExists);
}

void ScreenSteps::stage(ISystem& system, const std::string& source, const std::string& staged) {
    const auto batch = system.batch();
    const std::string screen = screen_.path();
    // The screen file as the source counts as missing, as it did when the
    // screen file went first: installing a screen file over itself is no
    // choice a user makes on purpose.
    system.checkCopyable(source, staged, screen);
    // What deleteFile would refuse, asked before the copy is made.
    unsigned bits = 0;
    try {
        bits = system.attributes(screen);
    } catch (const Error& error) {
        if (error.number() == err::PathNotFound) throw Error(err::FileNotFound);
        throw;
    }
    if (bits & attr::Directory) throw Error(err::PermissionDenied);
    if (bits & attr::ReadOnly) throw Error(err::PathFileAccessError);

    noteStagedCopy(system, staged, system.readFile(source));
    // A failed copy leaves its destination as it was.
    const bool fresh = !system.fileExists(staged);
    try {
        system.copyFile(source, staged);
        system.deleteFile(screen);
    } catch (const Error&) {
        // Only a copy this step created is taken back; one that replaced the
        // page's own earlier copy stays, still a copy of the page's.
        if (fresh) {
            try {
                if (system.fileExists(staged)) system.deleteFile(staged);
                forgetStagedCopy(system, staged);
            } catch (const Error&) {
            }
        }
        throw;
    }
    staged_ = staged;
}

void ScreenSteps::install(ISystem& system, const std::string& target) {
    if (!staged_) throw Error(err::FileNotFound);
    const auto batch = system.batch();
    system.renameFile(*staged_, target);
    const std::string installed = *std::exchange(staged_, std::nullopt);
    try {
        forgetStagedCopy(system, installed);
    } catch (const Error&) {
        // Installed all the same; the next run finds no copy to remove.
    }
}

std::string screenFileSource(ISystem& system, IPictures& pictures, const ScreenFile& screen,
                             const std::string& chosen) {
    const auto batch = system.batch();
    std::string bytes;
    try {
        bytes = system.readFile(chosen);
    } catch (const Error&) {
        // The steps tell of what cannot be read, as they always have.
        return chosen;
    }
    if (bytes.starts_with("BM")) return chosen;
    const std::optional<std::string> made =
        pictures.screenFile(system.hostPath(chosen), &screen == &kBootScreen ? kBootBandStart : 0);
    if (!made) return chosen;
    return placeCopy(system, programfolder::screenFolder(),
                     withExtension(fileNameOf(chosen), ".sys"), *made);
}

Step2Tells whatStep2Tells(Step2Page page, const Error& error) {
    if (page == Step2Page::ScreenFile) return Step2Tells::ErrorReport;
    return error.number() == err::FileNotFound ? Step2Tells::FileNotFound : Step2Tells::Nothing;
}

}  // namespace zarvo
