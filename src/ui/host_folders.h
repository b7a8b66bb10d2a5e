#pragma once

// Host folders as the window offers them to the user. A disk image shows
// its files to Qt through folders the program makes in the system's
// temporary folder and removes again, so no dialog may start in one, nor
// remember one for another run.

#include <QString>

namespace zarvo {

// Whether `hostPath` is the system's temporary folder ($TMPDIR, else /tmp)
// or lies in it, links followed where the path exists.
bool isTemporaryHostPath(const QString& hostPath);

}  // namespace zarvo
