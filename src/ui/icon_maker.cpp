#include "ui/icon_maker.h"

namespace zarvo {

std::optional<std::string> windows98IconOf(const QString& /*hostPath*/) {
    return std::nullopt;
}

}  // namespace zarvo
