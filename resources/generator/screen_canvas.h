#pragma once

#include <QImage>
#include <QPainterPath>
#include <QRgb>
#include <functional>
#include <vector>

namespace zarvo::resgen {

// A 320 x 400 boot-screen picture. Windows shows it twice as wide, so the
// still part is painted on a 640 x 400 canvas in the proportions the user
// sees and squeezed when stored. Pixels can instead join the palette band
// that Windows 98 rotates while it boots.
class ScreenCanvas {
public:
    static constexpr int kStoredWidth = 320;
    static constexpr int kShownWidth = 640;
    static constexpr int kHeight = 400;

    using Field = std::function<double(double x, double y)>;

    // bandStart 0 makes a still picture with all 256 entries for the still part.
    explicit ScreenCanvas(int bandStart = 0);

    QImage& shown() { return shown_; }
    int bandStart() const { return bandStart_; }
    int bandLength() const { return bandStart_ == 0 ? 0 : 256 - bandStart_; }

    // The band's colours at the first frame, bandLength() of them.
    void setBandColours(std::vector<QRgb> colours);

    // Pixels inside `shape` (shown coordinates) join the band. `position`, in
    // band entries, orders them: as the band rotates the pattern flows towards
    // growing position. Where `density` (0..1) is below 1 only that share of
    // the pixels join, scattered, and the rest keep the still picture.
    void addBand(const QPainterPath& shape, const Field& position, const Field& density = {});

    // Returns pixels inside `shape` to the still picture.
    void removeBand(const QPainterPath& shape);

    // Format_Indexed8, 320 x 400, 256 colours: still colours first, band last.
    QImage toIndexed() const;

private:
    QImage coverage(const QPainterPath& shape) const;

    int bandStart_;
    QImage shown_;
    std::vector<QRgb> bandColours_;
    std::vector<int> bandOffset_;  // per stored pixel, -1 for the still part
};

}  // namespace zarvo::resgen
