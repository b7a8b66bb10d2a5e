#pragma once

// Scaling a picture to an exact size with a Lanczos-3 filter, one axis at a
// time: sharper than Qt's smooth scaling, which averages boxes of pixels on
// the way down and interpolates linearly on the way up.

#include <QImage>
#include <QRectF>
#include <QSize>

namespace zarvo {

enum class Alpha { OverBlack, Keep };

// The part `area` of `picture`, in its pixels and possibly fractional,
// scaled to `size`, which may shrink one axis and enlarge the other. The
// result is opaque RGB32, transparent parts as over black; or, with
// Alpha::Keep and a picture that has transparency, ARGB32_Premultiplied with
// that transparency filtered like the colour. Pixels outside `area` play no
// part, so that a crop resamples as if cut out first.
QImage resampled(const QImage& picture, const QRectF& area, QSize size,
                 Alpha alpha = Alpha::OverBlack);

}  // namespace zarvo
