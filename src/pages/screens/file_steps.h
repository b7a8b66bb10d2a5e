#pragma once

// Helpers the screen pages' numbered steps share.

#include <QString>
#include <optional>

namespace zarvo {

class ISystem;

// Visual Basic's Trim: removes leading and trailing spaces only. Tabs and
// line breaks are part of a name and stay.
QString trimSpaces(const QString& text);

// Where step "2" puts its copy of `source`: `wanted` (C:\<name>) when
// nothing is there, or when what is there is the page's own copy from an
// earlier step "2" (`ownStaged`), which it may replace. A file or folder of
// the user's, and the source itself, are never replaced: the copy then goes
// to "<wanted>.zarvo", or "<wanted>.zarvo2" up to "<wanted>.zarvo99", the
// first that is free. The suffix keeps the whole name, cannot be mistaken
// for a short-name alias ("SUNSET~1.BMP") and says whose file it is. 58 when
// all are taken.
QString stagingPath(ISystem& system, const QString& source, const QString& wanted,
                    const std::optional<QString>& ownStaged);

// Step "2" proper: copies `source` to `staged` and only then removes
// `screenFile`, so that Windows is never left without the screen file
// because the copy failed (a full disk, say). Everything that can be asked
// beforehand is asked before anything is written, and a removal that still
// fails takes the new copy away again: a step that throws leaves the drive
// as it found it. The errors are those of the copy and of the removal.
// The copy is noted on the drive first, for the next run to remove should
// this one end before step "3".
void stageReplacement(ISystem& system, const QString& source, const QString& staged,
                      const QString& screenFile);

// Step "3" proper: the staged copy becomes the screen file.
void installStaged(ISystem& system, const QString& staged, const QString& screenFile);

}  // namespace zarvo
