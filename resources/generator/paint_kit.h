#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QRgb>
#include <utility>
#include <vector>

namespace zarvo::resgen {

// Deterministic pseudo-random value in [0, 1) for integer coordinates, so
// every build produces the same bytes.
double hash01(int x, int y, int seed);

// Smooth value noise in [0, 1] and its fractal sum over `octaves`.
double valueNoise(double x, double y, int seed);
double fractalNoise(double x, double y, int seed, int octaves = 5);

// `count` colours running through `stops` and back to the first, so a
// rotating palette band has no seam.
std::vector<QRgb> cyclicGradient(int count, const std::vector<QColor>& stops);

using GradientStops = std::vector<std::pair<double, QColor>>;
void fillVerticalGradient(QPainter& painter, const QRectF& area, const GradientStops& stops);
// An ellipse filled with a radial gradient from its centre (stop 0) to a
// circle of radius `reach` (stop 1), with no outline.
void drawGlow(QPainter& painter, const QPointF& centre, double rx, double ry, double reach,
              const GradientStops& stops);

// Scattered stars of a few sizes and tints.
void drawStars(QPainter& painter, const QRectF& area, int count, int seed, double brightness = 1.0);

// Soft clouds painted straight into `image` over `area`; `cover` (0..1)
// sets how much sky they hide.
void drawClouds(QImage& image, const QRectF& area, const QColor& colour, int seed, double scale,
                double cover);

QFont screenFont(int pixelSize, bool bold = true);

// Text with a one-pixel drop shadow, as Windows' own screens have it.
void drawShadowedText(QPainter& painter, const QRectF& area, int flags, const QString& text,
                      const QColor& colour, const QColor& shadow);

}  // namespace zarvo::resgen
