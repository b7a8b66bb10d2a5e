#include "ui/wallpaper_maker.h"

namespace zarvo {

std::optional<std::string> windowsBitmapOf(const QString& /*hostPath*/, QSize /*most*/,
                                           const QColor& /*background*/) {
    return std::nullopt;
}

}  // namespace zarvo
