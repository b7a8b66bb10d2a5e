#pragma once

// Windows 98 icons made from any picture Qt reads.

#include <QString>
#include <optional>
#include <string>

namespace zarvo {

// The icon file's bytes (see IPictures::windows98Icon); nullopt when the
// file is no picture.
std::optional<std::string> windows98IconOf(const QString& hostPath);

}  // namespace zarvo
