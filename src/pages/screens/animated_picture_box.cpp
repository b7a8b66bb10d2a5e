#include "pages/screens/animated_picture_box.h"

#include <QFile>
#include <QList>
#include <QtEndian>
#include <algorithm>

namespace zarvo {

namespace {

constexpr qsizetype kInfoHeaderAt = 14;
constexpr qsizetype kBitCountAt = 28;
constexpr qsizetype kClrImportantAt = 0x32;
constexpr quint32 kWindowsInfoHeaderSize = 40;

}  // namespace

int paletteBandStart(const QByteArray& fileStart) {
    if (fileStart.size() <= kClrImportantAt || !fileStart.startsWith("BM")) return 0;
    // An OS/2 header is shorter and has no biClrImportant; an 8-bit GIF or
    // icon has a palette too, but Windows animates only its boot bitmaps.
    if (qFromLittleEndian<quint32>(fileStart.constData() + kInfoHeaderAt) < kWindowsInfoHeaderSize)
        return 0;
    if (qFromLittleEndian<quint16>(fileStart.constData() + kBitCountAt) != 8) return 0;
    return static_cast<unsigned char>(fileStart.at(kClrImportantAt));
}

int readPaletteBandStart(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    return paletteBandStart(file.read(kClrImportantAt + 1));
}

AnimatedPictureBox::AnimatedPictureBox(QWidget* parent, const QString& name, const QRect& geometry)
    : PictureBox(parent, name, geometry, true) {
    timer_.setInterval(kFrameMilliseconds);
    connect(&timer_, &QTimer::timeout, this, &AnimatedPictureBox::advanceFrame);
}

void AnimatedPictureBox::setPicture(const QImage& picture, int bandStart) {
    deferredBand_ = nullptr;
    bandStart_ = bandStart;
    PictureBox::setPicture(picture);
    updateTimer();
}

void AnimatedPictureBox::setDeferredPicture(std::function<QImage()> loader,
                                            std::function<int()> bandStart) {
    bandStart_ = 0;
    deferredBand_ = std::move(bandStart);
    PictureBox::setDeferredPicture(std::move(loader));
    updateTimer();
}

int AnimatedPictureBox::bandStart() const {
    if (deferredBand_) {
        bandStart_ = deferredBand_();
        deferredBand_ = nullptr;
    }
    return bandStart_;
}

bool AnimatedPictureBox::animates() const {
    if (bandStart() <= 0) return false;
    const QImage shown = picture();
    // A band of one entry has nothing to rotate.
    return shown.format() == QImage::Format_Indexed8 && bandStart_ < shown.colorCount() - 1;
}

void AnimatedPictureBox::advanceFrame() {
    if (!animates()) return;
    QImage frame = picture();
    QList<QRgb> colors = frame.colorTable();
    std::rotate(colors.begin() + bandStart_, colors.begin() + bandStart_ + 1, colors.end());
    frame.setColorTable(colors);
    PictureBox::setPicture(frame);
}

void AnimatedPictureBox::showEvent(QShowEvent* event) {
    PictureBox::showEvent(event);
    updateTimer();
}

void AnimatedPictureBox::hideEvent(QHideEvent* event) {
    PictureBox::hideEvent(event);
    timer_.stop();
}

void AnimatedPictureBox::updateTimer() {
    // A deferred picture is decoded here only when the box is on screen,
    // where it is about to be painted anyway.
    if (isVisible() && animates()) {
        timer_.start();
    } else {
        timer_.stop();
    }
}

}  // namespace zarvo
