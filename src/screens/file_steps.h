#pragma once

// Helpers the screen pages' numbered steps share.

#include <QString>

namespace zarvo {

class ISystem;

// Visual Basic's Trim: removes leading and trailing spaces only. Tabs and
// line breaks are part of a name and stay.
QString trimSpaces(const QString& text);

// Throws the error that copying `source` to `destination` would raise, and
// touches neither, so that a step which deletes a file before it copies can
// refuse while everything is still in place. A source that is the very file
// `deletedFirst` counts as missing: it would be gone by the time of the copy.
void requireCopyable(ISystem& system, const QString& source, const QString& destination,
                     const QString& deletedFirst);

}  // namespace zarvo
