#pragma once

// Small steps that every implementation of ISystem takes the same way: what
// ShellExecute opens as a link, which files it hands to the help viewer, and
// how a restart that is only asked for answers.

#include <functional>
#include <string>
#include <string_view>

namespace zarvo {

// "http:", "https:" and "mailto:" in any case: what is opened as it is,
// never as a path.
bool isLink(std::string_view file);

// A Windows 3.1 help file (what the Windows 98 help viewer opens) starts
// with the magic number 0x00035F3F, little-endian. The host file must be a
// regular file: anything else may block on opening.
bool isWindowsHelpFile(const std::string& hostPath);

// ExitWindowsEx where the restart is only asked for: 1 when it goes ahead,
// 0 when it is refused or the request fails.
int exitWindowsThrough(const std::function<bool()>& restart);

}  // namespace zarvo
