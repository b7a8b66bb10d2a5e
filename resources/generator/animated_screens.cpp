#include <QPainter>
#include <QRadialGradient>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <stdexcept>
#include <string>

#include "paint_kit.h"
#include "screens.h"

namespace zarvo::resgen {
namespace {

// Writes a run of colours into a band at `offset`. Checked element access:
// GCC 12 cannot see that the band is longer than the run and warns on a copy.
template <std::size_t N>
void placeColours(std::vector<QRgb>& band, std::size_t offset, const QRgb (&run)[N]) {
    for (std::size_t i = 0; i < N; ++i) band.at(offset + i) = run[i];
}

constexpr double kPi = std::numbers::pi;
constexpr double kWidth = ScreenCanvas::kShownWidth;
constexpr double kHeight = ScreenCanvas::kHeight;

QPainterPath rectPath(double x, double y, double w, double h) {
    QPainterPath path;
    path.addRect(x, y, w, h);
    return path;
}

QPainterPath fullScreen() {
    return rectPath(0, 0, kWidth, kHeight);
}

// Angle in [0, 2π) of (dx, dy); a band position of angle/2π × length × n
// wraps seamlessly for any whole n.
double turn(double dx, double dy) {
    const double angle = std::atan2(dy, dx);
    return (angle < 0 ? angle + 2 * kPi : angle) / (2 * kPi);
}

double smoothstep(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

std::vector<QColor> repeated(const std::vector<QColor>& stops, int times) {
    std::vector<QColor> out;
    for (int i = 0; i < times; ++i) out.insert(out.end(), stops.begin(), stops.end());
    return out;
}

// A silhouette whose top edge follows fractal noise.
QPainterPath ridge(double base, double amplitude, double scale, int seed) {
    QPainterPath path;
    path.moveTo(0, kHeight);
    for (double x = 0; x <= kWidth; x += 4)
        path.lineTo(
            x, base - amplitude *
                          std::pow(std::clamp((fractalNoise(x / scale, 0.5, seed, 4) - 0.3) / 0.4,
                                              0.0, 1.0),
                                   1.4));
    path.lineTo(kWidth, kHeight);
    path.closeSubpath();
    return path;
}

QPainterPath rollingHills(double base, double amplitude, double period, double phase) {
    QPainterPath path;
    path.moveTo(0, kHeight);
    for (double x = 0; x <= kWidth; x += 4)
        path.lineTo(x, base - amplitude * (std::sin(x / period + phase) +
                                           0.4 * std::sin(x / (period * 0.37) + phase * 3)));
    path.lineTo(kWidth, kHeight);
    path.closeSubpath();
    return path;
}

// Star cells get one random band position each, so a star twinkles as a
// whole and its neighbours at other times.
double twinkle(double x, double y, int length, int seed) {
    return hash01(static_cast<int>(x / 8), static_cast<int>(y / 4), seed) * length;
}

QPainterPath starShapes(const QRectF& area, int count, int seed) {
    QPainterPath path;
    for (int i = 0; i < count; ++i) {
        const double x = area.left() + hash01(i, 11, seed) * area.width();
        const double y = area.top() + hash01(i, 12, seed) * area.height();
        const double r = 1.0 + hash01(i, 13, seed) * 1.5;
        // Snapped to the star cells so each star sits in one cell.
        const QPointF centre(std::floor(x / 8) * 8 + 4, std::floor(y / 4) * 4 + 2);
        path.addEllipse(centre, r + 0.6, r);
    }
    return path;
}

ScreenCanvas aurora() {
    ScreenCanvas canvas(0x80);
    QPainter p(&canvas.shown());
    fillVerticalGradient(
        p, {0, 0, kWidth, kHeight},
        {{0, QColor(2, 4, 16)}, {0.55, QColor(10, 30, 58)}, {0.78, QColor(20, 72, 84)}});
    drawStars(p, {0, 0, kWidth, 280}, 320, 11);
    const QPainterPath far = ridge(285, 70, 110, 3);
    const QPainterPath near = ridge(330, 35, 60, 4);
    p.fillPath(far, QColor(22, 38, 58));
    p.fillPath(near, QColor(7, 13, 22));
    fillVerticalGradient(p, {0, 345, kWidth, kHeight - 345},
                         {{0, QColor(20, 70, 70)}, {1, QColor(3, 8, 15)}});
    p.setPen(QColor(70, 160, 120, 90));
    for (int i = 0; i < 14; ++i) {
        const double y = 352 + i * 3.5;
        const double x = 80 + hash01(i, 1, 5) * 420;
        p.drawLine(QPointF(x, y), QPointF(x + 40 + hash01(i, 2, 5) * 120, y));
    }
    p.end();

    canvas.setBandColours(cyclicGradient(
        canvas.bandLength(),
        {QColor(20, 90, 60), QColor(90, 255, 150), QColor(30, 140, 85), QColor(60, 210, 170),
         QColor(160, 255, 200), QColor(40, 130, 90), QColor(170, 90, 210), QColor(70, 200, 120)}));
    auto bottom = [](double x) {
        return 175 + 45 * std::sin(x / 110 + 0.5) + 18 * std::sin(x / 37);
    };
    canvas.addBand(
        rectPath(0, 10, kWidth, 300),
        [](double x, double y) { return x / 2.5 + 14 * std::sin(y / 45 + x / 80); },
        [&](double x, double y) {
            const double below = y - bottom(x);
            if (below > 0) return 0.9 * std::exp(-below * below / 60);
            const double height = 120 + 40 * std::sin(x / 70);
            const double strength = 0.55 + 0.45 * std::sin(x / 60 + 1);
            return std::min(0.9, strength * std::exp(-(-below) / height * 2.2));
        });
    canvas.removeBand(far);
    return canvas;
}

ScreenCanvas clouds() {
    ScreenCanvas canvas(0xC0);
    QPainter p(&canvas.shown());
    fillVerticalGradient(
        p, {0, 0, kWidth, kHeight},
        {{0, QColor(38, 86, 186)}, {0.6, QColor(112, 164, 232)}, {1, QColor(200, 224, 250)}});
    p.end();
    drawClouds(canvas.shown(), {0, 230, kWidth, 190}, QColor(255, 255, 255), 21, 55, 0.62);
    drawClouds(canvas.shown(), {0, 0, kWidth, 90}, QColor(235, 240, 255), 22, 40, 0.35);

    canvas.setBandColours(cyclicGradient(
        canvas.bandLength(), {QColor(120, 170, 235), QColor(170, 200, 245), QColor(245, 248, 255),
                              QColor(255, 255, 255), QColor(200, 220, 250), QColor(120, 170, 235),
                              QColor(100, 155, 228), QColor(110, 162, 232)}));
    canvas.addBand(
        rectPath(0, 60, kWidth, 200),
        [](double x, double y) { return x / 3 + 30 * fractalNoise(x / 160, y / 25, 23); },
        [](double x, double y) {
            const double edge = std::min(y - 60, 260 - y) / 40;
            return std::clamp(edge, 0.0, 1.0) *
                   smoothstep(0.42, 0.62, fractalNoise(x / 240, y / 40, 24));
        });
    return canvas;
}

ScreenCanvas fire() {
    ScreenCanvas canvas(0x60);
    QPainter p(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRectF(0, 0, kWidth, kHeight), Qt::black);
    QRadialGradient glow(QPointF(320, 360), 330);
    glow.setColorAt(0, QColor(120, 30, 0));
    glow.setColorAt(0.5, QColor(45, 8, 0));
    glow.setColorAt(1, QColor(0, 0, 0));
    p.fillRect(QRectF(0, 0, kWidth, kHeight), glow);
    QPainterPath logs;
    for (int i = 0; i < 3; ++i) {
        QTransform t;
        t.translate(320, 366);
        t.rotate(-14 + i * 14);
        QPainterPath log;
        log.addRoundedRect(-140, -12, 280, 24, 10, 10);
        logs += t.map(log);
        p.setTransform(t);
        QLinearGradient bark(0, -12, 0, 12);
        bark.setColorAt(0, QColor(120, 66, 30));
        bark.setColorAt(1, QColor(40, 18, 6));
        p.setPen(QPen(QColor(26, 10, 2), 2));
        p.setBrush(bark);
        p.drawPath(log);
        p.setBrush(QColor(190, 140, 80));
        p.drawEllipse(QPointF(134, 0), 7, 11);
        p.resetTransform();
    }
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 60; ++i) {
        p.setBrush(QColor(255, 120 + static_cast<int>(hash01(i, 1, 9) * 100), 20));
        p.drawEllipse(QPointF(170 + hash01(i, 2, 9) * 300, 345 + hash01(i, 3, 9) * 30), 2.4, 1.3);
    }
    p.end();

    canvas.setBandColours(cyclicGradient(
        canvas.bandLength(),
        {QColor(50, 0, 0), QColor(170, 24, 0), QColor(240, 95, 0), QColor(255, 175, 25),
         QColor(255, 240, 130), QColor(255, 170, 20), QColor(225, 75, 0), QColor(125, 12, 0)}));
    canvas.addBand(
        rectPath(60, 30, 520, 335),
        [](double x, double y) { return -y / 1.2 + 40 * fractalNoise(x / 50, y / 60, 31); },
        [](double x, double y) {
            const double rise = std::clamp((360 - y) / 320, 0.0, 1.0);
            const double half = 190 * std::pow(1 - rise, 1.1) + 12;
            const double across = 1 - std::abs(x - 320) / half;
            if (across <= 0) return 0.0;
            const double tongues =
                fractalNoise(x / 32, y / 80 + 3, 32) + (1 - rise) * 0.6 - rise * 0.15;
            return std::sqrt(across) * smoothstep(0.5, 0.78, tongues);
        });
    canvas.removeBand(logs);
    return canvas;
}

ScreenCanvas galaxy() {
    ScreenCanvas canvas(0x40);
    QPainter p(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    fillVerticalGradient(p, {0, 0, kWidth, kHeight}, {{0, QColor(0, 0, 6)}, {1, QColor(8, 4, 28)}});
    drawStars(p, {0, 0, kWidth, kHeight}, 520, 41);
    drawGlow(
        p, QPointF(320, 200), 60, 28, 60,
        {{0, QColor(255, 250, 225)}, {0.35, QColor(250, 220, 170)}, {1, QColor(60, 40, 90, 0)}});
    p.end();

    canvas.setBandColours(cyclicGradient(
        canvas.bandLength(),
        {QColor(12, 6, 36), QColor(50, 30, 120), QColor(150, 130, 240), QColor(240, 235, 255),
         QColor(130, 110, 220), QColor(30, 16, 80), QColor(10, 5, 30), QColor(70, 30, 110),
         QColor(220, 120, 220), QColor(255, 225, 245), QColor(150, 70, 180), QColor(25, 10, 60)}));
    QPainterPath disc;
    disc.addEllipse(QPointF(320, 200), 310, 150);
    auto polar = [](double x, double y) {
        const double dx = x - 320;
        const double dy = (y - 200) / 0.46;
        return std::pair{std::hypot(dx, dy), turn(dx, dy)};
    };
    const int length = canvas.bandLength();
    canvas.addBand(
        disc,
        [=](double x, double y) {
            const auto [r, t] = polar(x, y);
            return t * length + std::log(std::max(r, 8.0) / 20) * length * 0.45;
        },
        [=](double x, double y) {
            const auto [r, t] = polar(x, y);
            return std::min(1.0, 1.5 * std::exp(-r / 170)) * smoothstep(22, 55, r);
        });
    return canvas;
}

ScreenCanvas ocean() {
    ScreenCanvas canvas(0xA0);
    constexpr double kHorizon = 225;
    QPainter p(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    fillVerticalGradient(p, {0, 0, kWidth, kHorizon},
                         {{0, QColor(16, 32, 84)},
                          {0.55, QColor(120, 90, 150)},
                          {0.85, QColor(245, 150, 100)},
                          {1, QColor(255, 200, 130)}});
    drawGlow(
        p, QPointF(430, kHorizon), 70, 70, 70,
        {{0, QColor(255, 250, 210)}, {0.45, QColor(255, 220, 140)}, {1, QColor(255, 170, 110, 0)}});
    p.setBrush(QColor(255, 236, 180));
    p.drawEllipse(QPointF(430, kHorizon), 30, 30);
    QPainterPath island;
    island.moveTo(40, kHorizon);
    island.cubicTo(70, kHorizon - 20, 90, kHorizon - 44, 120, kHorizon - 42);
    island.cubicTo(150, kHorizon - 40, 170, kHorizon - 12, 230, kHorizon);
    p.setBrush(QColor(40, 30, 60));
    p.drawPath(island);
    fillVerticalGradient(p, {0, kHorizon, kWidth, kHeight - kHorizon},
                         {{0, QColor(70, 60, 110)}, {1, QColor(10, 30, 70)}});
    for (int i = 0; i < 90; ++i) {
        const double y = kHorizon + 3 + std::pow(hash01(i, 1, 51), 1.6) * (kHeight - kHorizon);
        const double spread = 12 + (y - kHorizon) * 0.55;
        const double x = 430 + (hash01(i, 2, 51) - 0.5) * 2 * spread;
        p.setBrush(QColor(255, 210 + static_cast<int>(hash01(i, 3, 51) * 40), 150));
        p.drawRect(QRectF(x, y, 6 + hash01(i, 4, 51) * 18, 1.5));
    }
    p.end();

    canvas.setBandColours(
        cyclicGradient(canvas.bandLength(),
                       repeated({QColor(10, 40, 90), QColor(22, 70, 130), QColor(45, 110, 170),
                                 QColor(130, 190, 225), QColor(35, 95, 150), QColor(14, 52, 105)},
                                3)));

    canvas.addBand(
        rectPath(0, kHorizon + 1, kWidth, kHeight - kHorizon),
        [](double x, double y) {
            const double depth = 900 / (y - kHorizon + 6);
            return -depth * 8 + 2.5 * std::sin(x * (y - kHorizon) / 1800 + depth * 0.7);
        },
        [](double x, double y) {
            // The sun's glitter path stays still and shows through.
            const double spread = 10 + (y - kHorizon) * 0.5;
            const double off = (x - 430) / spread;
            return 1 - 0.75 * std::exp(-off * off);
        });
    return canvas;
}

ScreenCanvas plasma() {
    ScreenCanvas canvas(0x10);
    canvas.setBandColours(cyclicGradient(
        canvas.bandLength(), {QColor(255, 0, 120), QColor(255, 130, 0), QColor(255, 240, 60),
                              QColor(0, 200, 110), QColor(0, 130, 255), QColor(120, 0, 230)}));
    const int length = canvas.bandLength();
    canvas.addBand(fullScreen(), [=](double x, double y) {
        const double v = std::sin(x / 43) + std::sin(y / 29) + std::sin((x + y) / 61) +
                         std::sin(std::hypot(x - 320, y - 200) / 31);
        return v * length / 4;
    });
    return canvas;
}

ScreenCanvas rainbow() {
    ScreenCanvas canvas(0xB0);
    QPainter p(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    fillVerticalGradient(
        p, {0, 0, kWidth, kHeight},
        {{0, QColor(70, 84, 110)}, {0.45, QColor(130, 160, 200)}, {1, QColor(220, 235, 245)}});
    p.end();
    drawClouds(canvas.shown(), {0, 0, kWidth, 120}, QColor(90, 96, 112), 61, 45, 0.55);
    const QPainterPath hills = rollingHills(330, 30, 120, 0.4);
    const QPainterPath meadow = rollingHills(372, 14, 60, 2.0);
    p.begin(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient green(0, 260, 0, 400);
    green.setColorAt(0, QColor(90, 150, 60));
    green.setColorAt(1, QColor(30, 90, 30));
    p.fillPath(hills, green);
    p.fillPath(meadow, QColor(50, 120, 40));
    p.end();

    canvas.setBandColours(cyclicGradient(
        canvas.bandLength(),
        {QColor(230, 30, 30), QColor(255, 140, 0), QColor(255, 235, 40), QColor(40, 190, 60),
         QColor(40, 110, 240), QColor(90, 40, 170), QColor(170, 60, 190)}));
    const QPointF centre(320, 430);
    QPainterPath arc;
    arc.addEllipse(centre, 340, 340);
    QPainterPath inner;
    inner.addEllipse(centre, 280, 280);
    const int length = canvas.bandLength();
    canvas.addBand(
        arc.subtracted(inner),
        [=](double x, double y) { return (std::hypot(x - 320, y - 430) - 280) / 60 * length; },
        [](double, double y) { return 0.92 * smoothstep(400, 200, y); });
    canvas.removeBand(hills);
    return canvas;
}

ScreenCanvas spiral() {
    ScreenCanvas canvas(0x20);
    canvas.setBandColours(cyclicGradient(
        canvas.bandLength(), repeated({QColor(5, 0, 40), QColor(60, 0, 140), QColor(240, 240, 255),
                                       QColor(255, 70, 170), QColor(40, 0, 90)},
                                      3)));
    const int length = canvas.bandLength();
    canvas.addBand(fullScreen(), [=](double x, double y) {
        const double dx = x - 320;
        const double dy = y - 200;
        return turn(dx, dy) * length + std::hypot(dx, dy) * 1.1;
    });
    QPainterPath eye;
    eye.addEllipse(QPointF(320, 200), 14, 14);
    canvas.removeBand(eye);
    QPainter p(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 3));
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(320, 200), 12, 12);
    return canvas;
}

ScreenCanvas stars() {
    ScreenCanvas canvas(0xE0);
    QPainter p(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    fillVerticalGradient(p, {0, 0, kWidth, kHeight},
                         {{0, QColor(0, 0, 8)}, {1, QColor(6, 12, 44)}});
    QTransform band;
    band.translate(320, 200);
    band.rotate(-28);
    p.save();
    p.setTransform(band);
    QRadialGradient glow(QPointF(0.5, 0.5), 0.5);
    glow.setColorAt(0, QColor(70, 70, 120, 150));
    glow.setColorAt(1, QColor(20, 20, 60, 0));
    glow.setCoordinateMode(QGradient::ObjectMode);
    p.setPen(Qt::NoPen);
    p.setBrush(QBrush(glow));
    p.drawEllipse(QPointF(0, 0), 420, 70);
    p.restore();
    drawStars(p, {0, 0, kWidth, kHeight}, 650, 81, 0.8);
    QPainterPath moon;
    moon.addEllipse(QPointF(540, 70), 40, 28);
    QPainterPath bite;
    bite.addEllipse(QPointF(522, 62), 36, 26);
    p.fillPath(moon.subtracted(bite), QColor(250, 240, 200));
    p.end();

    std::vector<QRgb> colours(canvas.bandLength(), qRgb(34, 42, 84));
    const QRgb peak[] = {qRgb(80, 90, 150), qRgb(160, 170, 230), qRgb(255, 255, 255),
                         qRgb(170, 180, 240), qRgb(90, 100, 160)};
    placeColours(colours, 4, peak);
    canvas.setBandColours(colours);
    const int length = canvas.bandLength();
    canvas.addBand(starShapes({0, 0, kWidth, kHeight}, 330, 82),
                   [=](double x, double y) { return twinkle(x, y, length, 83); });
    QPainterPath milkyWay;
    milkyWay.addEllipse(QPointF(0, 0), 400, 60);
    const QTransform inverse = band.inverted();
    canvas.addBand(
        band.map(milkyWay),
        [=](double x, double y) {
            return hash01(static_cast<int>(x), static_cast<int>(y), 84) * length;
        },
        [=](double x, double y) {
            const QPointF local = inverse.map(QPointF(x, y));
            const double across = local.y() / 60;
            return 0.3 * std::exp(-across * across * 3) * fractalNoise(x / 30, y / 20, 85);
        });
    return canvas;
}

ScreenCanvas sunrise() {
    ScreenCanvas canvas(0xD0);
    constexpr double kHorizon = 260;
    const QPointF sun(320, kHorizon);
    QPainter p(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    fillVerticalGradient(p, {0, 0, kWidth, kHorizon},
                         {{0, QColor(36, 24, 84)},
                          {0.5, QColor(170, 70, 110)},
                          {0.85, QColor(250, 140, 80)},
                          {1, QColor(255, 200, 100)}});
    fillVerticalGradient(p, {0, kHorizon, kWidth, kHeight - kHorizon},
                         {{0, QColor(120, 60, 80)}, {1, QColor(24, 16, 44)}});
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 236, 170));
    p.drawChord(QRectF(sun.x() - 60, sun.y() - 60, 120, 120), 0, 180 * 16);
    for (int i = 0; i < 22; ++i) {
        const double y = kHorizon + 6 + i * i * 0.3;
        const double half = 100 - i * 3.5 + hash01(i, 1, 91) * 20;
        p.setBrush(QColor(255, 200 + i * 2, 130, 220 - i * 8));
        p.drawRect(QRectF(sun.x() - half, y, half * 2, 2));
    }
    p.end();
    drawClouds(canvas.shown(), {0, 40, kWidth, 120}, QColor(200, 110, 140), 92, 40, 0.35);

    canvas.setBandColours(
        cyclicGradient(canvas.bandLength(), repeated({QColor(255, 235, 160), QColor(255, 200, 110),
                                                      QColor(245, 150, 90), QColor(255, 200, 110)},
                                                     2)));
    const int length = canvas.bandLength();
    QPainterPath disc;
    disc.addEllipse(sun, 62, 62);
    canvas.addBand(
        rectPath(0, 0, kWidth, kHorizon).subtracted(disc),
        [=](double x, double y) { return turn(x - sun.x(), y - sun.y()) * length * 6; },
        [=](double x, double y) {
            return std::clamp(1.7 - std::hypot(x - sun.x(), y - sun.y()) / 130, 0.0, 1.0);
        });
    return canvas;
}

ScreenCanvas tunnel() {
    ScreenCanvas canvas(0x30);
    canvas.setBandColours(
        cyclicGradient(canvas.bandLength(),
                       repeated({QColor(10, 0, 40), QColor(40, 60, 200), QColor(120, 220, 255),
                                 QColor(250, 250, 255), QColor(150, 60, 220), QColor(30, 0, 80)},
                                4)));
    const int length = canvas.bandLength();
    canvas.addBand(
        fullScreen(),
        [=](double x, double y) {
            const double dx = x - 320;
            const double dy = (y - 200) * 1.15;
            // Alternate wall segments are half a ring apart: a chequered wall.
            const int segment = static_cast<int>(turn(dx, dy) * 16);
            return -26000 / std::max(std::hypot(dx, dy), 1.0) + (segment % 2) * length / 8.0;
        },
        [](double x, double y) {
            return smoothstep(18, 80, std::hypot(x - 320, (y - 200) * 1.15));
        });
    return canvas;
}

ScreenCanvas waves() {
    ScreenCanvas canvas(0x90);
    QPainter p(&canvas.shown());
    fillVerticalGradient(p, {0, 0, kWidth, kHeight},
                         {{0, QColor(4, 14, 40)}, {1, QColor(0, 70, 90)}});
    p.end();
    canvas.setBandColours(
        cyclicGradient(canvas.bandLength(),
                       repeated({QColor(0, 70, 130), QColor(0, 170, 215), QColor(180, 255, 255),
                                 QColor(0, 170, 215), QColor(0, 70, 130), QColor(0, 36, 86)},
                                2)));
    for (int i = 0; i < 5; ++i) {
        auto centre = [i](double x) { return 110 + i * 45 + 32 * std::sin(x / 95 + i * 0.9); };
        auto half = [i](double x) { return 15 + 8 * std::sin(x / 140 + i); };
        QPainterPath ribbon;
        ribbon.moveTo(0, centre(0) - half(0));
        for (double x = 4; x <= kWidth; x += 4) ribbon.lineTo(x, centre(x) - half(x));
        for (double x = kWidth; x >= 0; x -= 4) ribbon.lineTo(x, centre(x) + half(x));
        ribbon.closeSubpath();
        canvas.addBand(
            ribbon, [i](double x, double y) { return x / 3 - i * 17 + (y - 200) / 8; },
            [=](double x, double y) {
                const double off = (y - centre(x)) / half(x);
                return 1 - 0.8 * std::pow(std::abs(off), 3);
            });
    }
    return canvas;
}

// Classic grey windows with title bars that take part in the band.
ScreenCanvas windows() {
    ScreenCanvas canvas(0xEC);
    QPainter p(&canvas.shown());
    fillVerticalGradient(p, {0, 0, kWidth, kHeight},
                         {{0, QColor(28, 76, 186)}, {1, QColor(120, 170, 236)}});
    p.end();
    drawClouds(canvas.shown(), {0, 0, kWidth, kHeight}, Qt::white, 101, 70, 0.5);
    p.begin(&canvas.shown());
    QPainterPath titleBars;
    for (int i = 0; i < 3; ++i) {
        const QRectF frame(120 + i * 60, 70 + i * 50, 300, 170);
        p.fillRect(frame, QColor(192, 192, 192));
        p.setPen(QColor(255, 255, 255));
        p.drawLine(frame.topLeft(), frame.topRight());
        p.drawLine(frame.topLeft(), frame.bottomLeft());
        p.setPen(QColor(64, 64, 64));
        p.drawLine(frame.bottomLeft(), frame.bottomRight());
        p.drawLine(frame.topRight(), frame.bottomRight());
        const QRectF title(frame.left() + 4, frame.top() + 4, frame.width() - 8, 18);
        titleBars.addRect(title);
        const QRectF client(frame.left() + 6, frame.top() + 28, frame.width() - 12,
                            frame.height() - 34);
        p.fillRect(client, Qt::white);
        for (int k = 0; k < 6; ++k) {
            const QRectF tile(client.left() + 14 + (k % 3) * 90, client.top() + 12 + (k / 3) * 64,
                              36, 30);
            p.fillRect(tile, QColor::fromHsv((i * 100 + k * 45) % 360, 120, 220));
            p.fillRect(tile.adjusted(4, 34, 0, 10), QColor(150, 150, 150));
        }
        for (int k = 0; k < 3; ++k)
            p.fillRect(QRectF(title.right() - 18 - k * 20, title.top() + 2, 16, 14),
                       QColor(192, 192, 192));
    }
    p.end();
    canvas.setBandColours(cyclicGradient(
        canvas.bandLength(), {QColor(0, 0, 128), QColor(16, 70, 176), QColor(16, 132, 208),
                              QColor(140, 200, 245), QColor(16, 132, 208), QColor(16, 70, 176)}));
    for (int i = 0; i < 3; ++i) {
        const QRectF title(124 + i * 60, 74 + i * 50, 292, 18);
        QPainterPath bar;
        bar.addRect(title.adjusted(0, 0, -66, 0));
        canvas.addBand(bar, [](double x, double) { return x / 12; });
    }
    addFlowingBar(canvas, 384, 16, 240);
    return canvas;
}

ScreenCanvas babylon5() {
    ScreenCanvas canvas(0xC8);
    QPainter p(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    fillVerticalGradient(p, {0, 0, kWidth, kHeight}, {{0, QColor(0, 0, 4)}, {1, QColor(4, 4, 18)}});
    drawStars(p, {0, 0, kWidth, kHeight}, 600, 121, 0.85);
    QRadialGradient planet(QPointF(30, 520), 260, QPointF(120, 420));
    planet.setColorAt(0, QColor(190, 120, 70));
    planet.setColorAt(0.7, QColor(110, 60, 36));
    planet.setColorAt(1, QColor(30, 14, 10));
    p.setPen(QPen(QColor(120, 160, 220, 120), 3));
    p.setBrush(planet);
    p.drawEllipse(QPointF(30, 520), 260, 260);
    drawGlow(p, QPointF(600, 30), 120, 120, 120,
             {{0, QColor(255, 250, 230, 230)},
              {0.2, QColor(255, 220, 160, 90)},
              {1, QColor(255, 200, 120, 0)}});

    QTransform station;
    station.translate(330, 185);
    station.rotate(-9);
    p.setTransform(station);
    auto metal = [](double half) {
        QLinearGradient g(0, -half, 0, half);
        g.setColorAt(0, QColor(70, 74, 84));
        g.setColorAt(0.3, QColor(205, 208, 216));
        g.setColorAt(0.65, QColor(120, 124, 134));
        g.setColorAt(1, QColor(36, 38, 46));
        return g;
    };
    // Spine and rear: solar panels across the axis and the reactor.
    p.fillRect(QRectF(150, -11, 110, 22), metal(11));
    for (double u : {178.0, 214.0}) {
        p.fillRect(QRectF(u, -128, 22, 256), QColor(26, 36, 82));
        p.setPen(QPen(QColor(90, 110, 170), 1));
        for (double v = -128; v <= 128; v += 16) p.drawLine(QPointF(u, v), QPointF(u + 22, v));
        p.drawLine(QPointF(u + 11, -128), QPointF(u + 11, 128));
        p.setPen(Qt::NoPen);
        p.fillRect(QRectF(u + 8, -16, 6, 32), metal(16));
    }
    QRadialGradient reactor(QPointF(262, -6), 26);
    reactor.setColorAt(0, QColor(220, 222, 230));
    reactor.setColorAt(1, QColor(60, 62, 72));
    p.setBrush(reactor);
    p.drawEllipse(QPointF(268, 0), 22, 22);
    // The long rotating drum, in ring sections.
    p.fillRect(QRectF(-170, -34, 320, 68), metal(34));
    p.setPen(QPen(QColor(40, 42, 50), 1.5));
    for (double u = -150; u < 150; u += 20) p.drawLine(QPointF(u, -33), QPointF(u, 33));
    p.setPen(Qt::NoPen);
    // The blocky front section with its docking bay.
    QPolygonF front({QPointF(-170, -46), QPointF(-205, -40), QPointF(-232, -24), QPointF(-232, 24),
                     QPointF(-205, 40), QPointF(-170, 46)});
    p.setBrush(metal(46));
    p.drawPolygon(front);
    p.fillRect(QRectF(-236, -10, 14, 20), QColor(10, 10, 14));
    p.setBrush(QColor(255, 200, 90));
    p.drawEllipse(QPointF(-229, 0), 2.5, 2.5);
    p.fillRect(QRectF(-182, -52, 8, 104), metal(52));
    p.end();

    std::vector<QRgb> colours(canvas.bandLength(), qRgb(64, 70, 88));
    const QRgb peak[] = {qRgb(110, 112, 120), qRgb(190, 185, 160), qRgb(255, 245, 200),
                         qRgb(255, 255, 255), qRgb(255, 230, 170), qRgb(160, 150, 120)};
    placeColours(colours, 10, peak);
    placeColours(colours, 38, peak);
    canvas.setBandColours(colours);
    const int length = canvas.bandLength();

    QPainterPath drum;
    drum.addRect(-170, -32, 320, 64);
    const QTransform inverse = station.inverted();
    canvas.addBand(
        station.map(drum),
        [=](double x, double y) {
            const QPointF local = inverse.map(QPointF(x, y));
            const double around = std::asin(std::clamp(local.y() / 34, -1.0, 1.0)) / kPi;
            return around * length + std::floor((local.x() + 170) / 20) * 5;
        },
        [=](double x, double y) {
            const QPointF local = inverse.map(QPointF(x, y));
            const double inRing = std::fmod(local.x() + 170, 20);
            return inRing > 5 && inRing < 15 ? 0.75 : 0.0;
        });
    QPainterPath hull;
    hull.addRect(-240, -60, 530, 120);
    QPainterPath panels;
    panels.addRect(170, -135, 80, 270);
    const QPainterPath blocked = station.map(hull.united(panels));
    QPainterPath planetShape;
    planetShape.addEllipse(QPointF(30, 520), 262, 262);
    canvas.addBand(
        starShapes({0, 0, kWidth, kHeight}, 600, 122).subtracted(blocked).subtracted(planetShape),
        [=](double x, double y) { return twinkle(x, y, length, 123); });
    return canvas;
}

}  // namespace

ScreenCanvas animatedBootPicture(std::string_view name) {
    static const std::map<std::string, std::function<ScreenCanvas()>, std::less<>> pictures = {
        {"AURORA.BMP", aurora},   {"CLOUDS.BMP", clouds},     {"FIRE.BMP", fire},
        {"GALAXY.BMP", galaxy},   {"OCEAN.BMP", ocean},       {"PLASMA.BMP", plasma},
        {"RAINBOW.BMP", rainbow}, {"SPIRAL.BMP", spiral},     {"STARS.BMP", stars},
        {"SUNRISE.BMP", sunrise}, {"TUNNEL.BMP", tunnel},     {"WAVES.BMP", waves},
        {"WINDOWS.BMP", windows}, {"BABYLON5.BMP", babylon5},
    };
    const auto found = pictures.find(name);
    if (found == pictures.end())
        throw std::invalid_argument("no artwork for boot picture " + std::string(name));
    return found->second();
}

void addFlowingBar(ScreenCanvas& canvas, double top, double height, double pixelsPerCycle) {
    const int length = canvas.bandLength();
    canvas.addBand(rectPath(0, top, kWidth, height),
                   [=](double x, double) { return x * length / pixelsPerCycle; });
}

}  // namespace zarvo::resgen
