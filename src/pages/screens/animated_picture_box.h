#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTimer>
#include <functional>

#include "widgets/controls.h"

class QHideEvent;
class QShowEvent;

namespace zarvo {

// The first palette entry of the band Windows 98 rotates while it shows a
// boot picture: the low byte of biClrImportant at offset 0x32 of the file.
// 0, a still picture, for anything but an 8-bit Windows bitmap.
int paletteBandStart(const QByteArray& fileStart);
// The same read from a file, a host path or a Qt resource path; 0 when the
// file cannot be read.
int readPaletteBandStart(const QString& path);

// A stretched preview box that plays a boot picture's palette animation as
// Windows 98 plays it at boot, about 14 frames a second, and only while the
// box is on screen. Still pictures stay still.
class AnimatedPictureBox : public PictureBox {
public:
    static constexpr int kFrameMilliseconds = 71;

    AnimatedPictureBox(QWidget* parent, const QString& name, const QRect& geometry);

    // Shows a picture whose palette rotates from entry `bandStart` to the
    // last entry; 0 shows it still.
    void setPicture(const QImage& picture, int bandStart);
    // A picture and its band start read only when the box is first painted.
    void setDeferredPicture(std::function<QImage()> loader, std::function<int()> bandStart);

    int bandStart() const;
    // Whether the current picture has a band to rotate.
    bool animates() const;
    bool playing() const { return timer_.isActive(); }
    // One frame: each entry of the band takes the colour of the entry after
    // it, and the last entry the old colour of the band's first.
    void advanceFrame();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void updateTimer();

    mutable int bandStart_ = 0;
    mutable std::function<int()> deferredBand_;
    QTimer timer_;
};

}  // namespace zarvo
