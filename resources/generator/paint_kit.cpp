#include "paint_kit.h"

#include <QLinearGradient>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zarvo::resgen {

double hash01(int x, int y, int seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xffffff) / double(0x1000000);
}

double valueNoise(double x, double y, int seed) {
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const int ix = static_cast<int>(fx);
    const int iy = static_cast<int>(fy);
    auto smooth = [](double t) { return t * t * (3 - 2 * t); };
    const double tx = smooth(x - fx);
    const double ty = smooth(y - fy);
    const double top = std::lerp(hash01(ix, iy, seed), hash01(ix + 1, iy, seed), tx);
    const double bottom = std::lerp(hash01(ix, iy + 1, seed), hash01(ix + 1, iy + 1, seed), tx);
    return std::lerp(top, bottom, ty);
}

double fractalNoise(double x, double y, int seed, int octaves) {
    double sum = 0;
    double weight = 0.5;
    double total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += weight * valueNoise(x, y, seed + i * 101);
        total += weight;
        x *= 2.03;
        y *= 2.03;
        weight *= 0.5;
    }
    return sum / total;
}

std::vector<QRgb> cyclicGradient(int count, const std::vector<QColor>& stops) {
    std::vector<QRgb> colours;
    const int n = static_cast<int>(stops.size());
    for (int i = 0; i < count; ++i) {
        const double t = double(i) * n / count;
        const int a = static_cast<int>(t) % n;
        const int b = (a + 1) % n;
        const double f = t - std::floor(t);
        auto mix = [f](int p, int q) { return static_cast<int>(std::lround(p + (q - p) * f)); };
        colours.push_back(qRgb(mix(stops[a].red(), stops[b].red()),
                               mix(stops[a].green(), stops[b].green()),
                               mix(stops[a].blue(), stops[b].blue())));
    }
    return colours;
}

void fillVerticalGradient(QPainter& painter, const QRectF& area, const GradientStops& stops) {
    QLinearGradient gradient(area.topLeft(), area.bottomLeft());
    for (const auto& [at, colour] : stops) gradient.setColorAt(at, colour);
    painter.fillRect(area, gradient);
}

void drawGlow(QPainter& painter, const QPointF& centre, double rx, double ry, double reach,
              const GradientStops& stops) {
    QRadialGradient gradient(centre, reach);
    for (const auto& [at, colour] : stops) gradient.setColorAt(at, colour);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(centre, rx, ry);
}

void drawStars(QPainter& painter, const QRectF& area, int count, int seed, double brightness) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < count; ++i) {
        const double x = area.left() + hash01(i, 1, seed) * area.width();
        const double y = area.top() + hash01(i, 2, seed) * area.height();
        const double size = 0.8 + std::pow(hash01(i, 3, seed), 4) * 2.6;
        const double tint = hash01(i, 4, seed);
        const int level = static_cast<int>((120 + 135 * hash01(i, 5, seed)) * brightness);
        QColor colour(std::min(255, level + (tint > 0.7 ? 0 : 10)), std::min(255, level),
                      std::min(255, level + (tint < 0.3 ? 0 : 25)));
        painter.setBrush(colour);
        painter.drawEllipse(QPointF(x, y), size, size);
    }
    painter.restore();
}

void drawClouds(QImage& image, const QRectF& area, const QColor& colour, int seed, double scale,
                double cover) {
    const QRect box = area.toAlignedRect().intersected(image.rect());
    for (int y = box.top(); y <= box.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        // Clouds thin out towards the edges of the area.
        const double v = (y - area.top()) / area.height();
        const double edge = std::clamp(std::min(v, 1 - v) * 5, 0.0, 1.0);
        for (int x = box.left(); x <= box.right(); ++x) {
            const double n = fractalNoise(x / (scale * 2.0), y / scale, seed);
            const double alpha = std::clamp((n - (1 - cover)) * 3.0, 0.0, 0.95) * edge;
            if (alpha <= 0) continue;
            // Lit from above: the tops are brighter than the bellies.
            const double shade = 0.82 + 0.18 * std::clamp(n * 1.4 - 0.2, 0.0, 1.0);
            const QRgb under = row[x];
            auto blend = [&](int top, int bottom) {
                return static_cast<int>(std::lround(bottom + (top * shade - bottom) * alpha));
            };
            row[x] = qRgb(blend(colour.red(), qRed(under)), blend(colour.green(), qGreen(under)),
                          blend(colour.blue(), qBlue(under)));
        }
    }
}

QFont screenFont(int pixelSize, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void drawShadowedText(QPainter& painter, const QRectF& area, int flags, const QString& text,
                      const QColor& colour, const QColor& shadow) {
    painter.save();
    painter.setPen(shadow);
    painter.drawText(area.translated(2, 2), flags, text);
    painter.setPen(colour);
    painter.drawText(area, flags, text);
    painter.restore();
}

}  // namespace zarvo::resgen
