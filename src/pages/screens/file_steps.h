#pragma once

// Helpers the screen pages' numbered steps share.

#include <QString>

namespace zarvo {

// Visual Basic's Trim: removes leading and trailing spaces only. Tabs and
// line breaks are part of a name and stay.
QString trimSpaces(const QString& text);

}  // namespace zarvo
