#pragma once

// The three screen files of Windows 98, and how the program replaces one:
// in three steps the user clicks one after another, each shown by the one
// before, so that at no moment is Windows left with a screen file that is
// neither the old picture nor the new one.
//   "1" puts the program folder's copy of the screen file in its place, so
//       that there is a screen file for "2" to take away;
//   "2" copies the chosen picture to C:\ and only then removes the screen
//       file;
//   "3" moves that copy into the screen file's place.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "changes/drive_c.h"

namespace zarvo {

class Error;
class IPictures;
class ISystem;

// A picture Windows shows at a moment of its own.
struct ScreenFile {
    std::string_view folder;
    // The file's name; the program folder's copy and the kept original are
    // named the same.
    std::string_view name;

    // Where Windows reads it.
    std::string path() const;
    // The program folder's copy, read by step "1".
    std::string programCopy() const;
};

// Shown while Windows starts; the animated boot pictures go here too.
inline constexpr ScreenFile kBootScreen{kDriveRoot, "Logo.sys"};
// Shown while Windows shuts down.
inline constexpr ScreenFile kWaitScreen{kWindowsFolder, "Logow.sys"};
// Shown when the computer may be switched off.
inline constexpr ScreenFile kShutdownScreen{kWindowsFolder, "Logos.sys"};

inline constexpr std::array<const ScreenFile*, 3> kScreenFiles = {&kBootScreen, &kWaitScreen,
                                                                  &kShutdownScreen};

// The first palette entry of the band a boot picture made from a photo
// rotates, as in Windows' own: entries 236-255, which Windows animates
// while it starts, so that the user sees start-up going on. It costs the
// photo 20 of its 256 colours and the bottom rows, where Windows' own bar
// runs. The shut-down pictures stay still, as Windows' own are.
inline constexpr int kBootBandStart = 0xEC;

// The file steps "1"-"3" install for the `chosen` one: a Windows bitmap
// ("BM"), a file that cannot be read or one that is no picture, as it is;
// any other picture (a JPEG photo, a PNG, a WebP, an SVG...) made into a
// screen file in the program's Screens folder, whose path is returned. The
// chosen file stays as it is. Error 481 for a picture that is damaged or
// cut short, 7 for one too large to decode.
std::string screenFileSource(ISystem& system, IPictures& pictures, const ScreenFile& screen,
                             const std::string& chosen);

// One page's steps on one screen file. It remembers the copy its last step
// "2" staged, which is all its step "3" ever moves.
class ScreenSteps {
public:
    explicit ScreenSteps(const ScreenFile& screen) : screen_(screen) {}

    // Step "1".
    void putProgramCopy(ISystem& system) const;

    // Where step "2" puts its copy of `source`: `wanted` (C:\<name>) when
    // nothing is there, or when what is there is this page's own copy from
    // an earlier step "2", which it may replace. A file or folder of the
    // user's, and the source itself, are never replaced: the copy then goes
    // to "<wanted>.zarvo", or "<wanted>.zarvo2" up to "<wanted>.zarvo99",
    // the first that is free. The suffix keeps the whole name, cannot be
    // mistaken for a short-name alias ("SUNSET~1.BMP") and says whose file
    // it is. 58 when all are taken.
    std::string stagingPath(ISystem& system, const std::string& source,
                            const std::string& wanted) const;

    // Step "2": copies `source` to `staged` and only then removes the screen
    // file, so that Windows is never left without one because the copy
    // failed (a full disk, say). Everything that can be asked beforehand is
    // asked before anything is written, and a removal that still fails takes
    // the new copy away again: a step that throws leaves the drive as it
    // found it. The copy is noted on the drive first (leftovers.h), for the
    // next run to remove should this one end before step "3".
    void stage(ISystem& system, const std::string& source, const std::string& staged);

    // Step "3": the staged copy becomes `target`. 53 when this page has
    // staged nothing: whatever else lies in C:\ under that name is the
    // user's.
    void install(ISystem& system, const std::string& target);

private:
    const ScreenFile& screen_;
    std::optional<std::string> staged_;
};

// What a failed step "2" tells the user. On the boot and shut-down picture
// pages every error reaches the error report. The animated boot page tells
// of one error only, a missing file (53: the picture, or the boot picture
// that step "1" puts in place), as "Не нахожу файл logo.sys", since that is
// the one a user mends from the page; any other error ends its step "2"
// without a word, as that page has always done. A drive that another
// program has open is no error of the step (DriveInUse), and is reported
// on every page.
enum class Step2Page { ScreenFile, AnimatedBoot };
enum class Step2Tells { ErrorReport, FileNotFound, Nothing };
Step2Tells whatStep2Tells(Step2Page page, const Error& error);

}  // namespace zarvo
