#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

#include "paint_kit.h"
#include "screens.h"

namespace zarvo::resgen {
namespace {

constexpr double kWidth = ScreenCanvas::kShownWidth;
constexpr double kHeight = ScreenCanvas::kHeight;
const QRectF kScreen(0, 0, kWidth, kHeight);

void drawCentredLines(QPainter& p, double top, int pixelSize, const QStringList& lines,
                      const QColor& colour, const QColor& shadow) {
    p.setFont(screenFont(pixelSize));
    const double step = pixelSize * 1.45;
    for (int i = 0; i < lines.size(); ++i)
        drawShadowedText(p, QRectF(0, top + i * step, kWidth, step), Qt::AlignCenter, lines[i],
                         colour, shadow);
}

// The sky of Windows' own screens: deep blue fading to light, with clouds.
void paintCloudySky(ScreenCanvas& canvas, int seed) {
    QPainter p(&canvas.shown());
    fillVerticalGradient(
        p, kScreen,
        {{0, QColor(20, 60, 170)}, {0.6, QColor(90, 150, 228)}, {1, QColor(170, 206, 246)}});
    p.end();
    drawClouds(canvas.shown(), kScreen, Qt::white, seed, 65, 0.55);
}

void drawWindowsTitle(QPainter& p, double top, const QColor& colour) {
    QFont title = screenFont(64);
    title.setItalic(true);
    p.setFont(title);
    drawShadowedText(p, QRectF(0, top + 24, kWidth, 80), Qt::AlignCenter,
                     QStringLiteral("Windows 98"), colour, QColor(0, 0, 60, 160));
}

}  // namespace

void drawEmblem(QPainter& p, const QPointF& centre, double height) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(centre);
    p.scale(height / 100, height / 100);
    const QRectF frame(-62, -50, 124, 100);
    QLinearGradient gold(frame.topLeft(), frame.bottomRight());
    gold.setColorAt(0, QColor(255, 226, 130));
    gold.setColorAt(0.5, QColor(200, 140, 40));
    gold.setColorAt(1, QColor(120, 70, 20));
    p.setPen(QPen(QColor(60, 30, 10), 2));
    p.setBrush(gold);
    p.drawRoundedRect(frame, 6, 6);
    const QRectF view = frame.adjusted(12, 12, -12, -12);
    QLinearGradient sky(view.topLeft(), view.bottomLeft());
    sky.setColorAt(0, QColor(40, 110, 220));
    sky.setColorAt(1, QColor(170, 215, 255));
    p.setPen(Qt::NoPen);
    p.fillRect(view, sky);
    p.setClipRect(view);
    p.setBrush(QColor(255, 220, 80));
    p.drawEllipse(QPointF(view.right() - 22, view.top() + 18), 11, 11);
    QPainterPath hills;
    hills.moveTo(view.left(), view.bottom());
    hills.cubicTo(view.left() + 20, view.top() + 30, view.left() + 45, view.top() + 34,
                  view.left() + 60, view.bottom() - 22);
    hills.cubicTo(view.left() + 72, view.top() + 38, view.right() - 10, view.top() + 44,
                  view.right(), view.bottom() - 16);
    hills.lineTo(view.right(), view.bottom());
    hills.closeSubpath();
    p.setBrush(QColor(60, 150, 60));
    p.drawPath(hills);
    p.setClipping(false);
    // The painter's palette overlapping the frame's corner.
    QPainterPath palette;
    palette.addEllipse(QPointF(52, 42), 36, 24);
    QPainterPath thumb;
    thumb.addEllipse(QPointF(30, 48), 5, 4);
    p.setPen(QPen(QColor(90, 50, 20), 2));
    p.setBrush(QColor(222, 184, 135));
    p.drawPath(palette.subtracted(thumb));
    p.setPen(Qt::NoPen);
    const QColor paints[] = {Qt::red, QColor(255, 200, 0), QColor(0, 170, 0), QColor(0, 90, 255),
                             QColor(170, 0, 200)};
    for (int i = 0; i < 5; ++i) {
        p.setBrush(paints[i]);
        p.drawEllipse(QPointF(40 + i * 10, 32 + (i % 2) * 5), 5, 4);
    }
    p.restore();
}

ScreenCanvas programBootScreen() {
    ScreenCanvas canvas(0xEC);
    QPainter p(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    fillVerticalGradient(
        p, kScreen,
        {{0, QColor(14, 8, 48)}, {0.55, QColor(58, 22, 108)}, {1, QColor(12, 40, 110)}});
    drawStars(p, QRectF(0, 0, kWidth, 200), 120, 201, 0.7);
    drawEmblem(p, QPointF(320, 130), 130);
    p.setFont(screenFont(68));
    drawShadowedText(p, QRectF(0, 214, kWidth, 80), Qt::AlignCenter, QStringLiteral("Zarvo"),
                     QColor(255, 255, 255), QColor(20, 0, 50));
    p.setFont(screenFont(20, false));
    drawShadowedText(p, QRectF(0, 292, kWidth, 30), Qt::AlignCenter,
                     QStringLiteral("Настройка Windows 98"), QColor(200, 200, 255),
                     QColor(20, 0, 50));
    p.end();
    canvas.setBandColours(cyclicGradient(
        canvas.bandLength(), {QColor(70, 30, 170), QColor(190, 70, 210), QColor(255, 200, 250),
                              QColor(80, 190, 255), QColor(40, 60, 180)}));
    addFlowingBar(canvas, 382, 18, 320);
    return canvas;
}

ScreenCanvas programWaitScreen() {
    ScreenCanvas canvas;
    QPainter p(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    fillVerticalGradient(p, kScreen, {{0, QColor(10, 54, 86)}, {1, QColor(4, 12, 38)}});
    drawEmblem(p, QPointF(320, 120), 100);
    drawCentredLines(
        p, 210, 26,
        {QStringLiteral("Подождите, идет завершение"), QStringLiteral("работы компьютера...")},
        QColor(235, 245, 255), QColor(0, 10, 30));
    return canvas;
}

ScreenCanvas programSafeScreen() {
    ScreenCanvas canvas;
    QPainter p(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient dusk(QPointF(320, 200), 380);
    dusk.setColorAt(0, QColor(50, 16, 70));
    dusk.setColorAt(1, QColor(0, 0, 0));
    p.fillRect(kScreen, dusk);
    drawEmblem(p, QPointF(320, 110), 80);
    drawCentredLines(
        p, 200, 30,
        {QStringLiteral("Теперь питание компьютера"), QStringLiteral("можно отключить.")},
        QColor(255, 205, 90), QColor(40, 10, 0));
    return canvas;
}

ScreenCanvas systemBootScreen() {
    ScreenCanvas canvas(0xEC);
    paintCloudySky(canvas, 301);
    QPainter p(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    drawWindowsTitle(p, 130, Qt::white);
    p.end();
    canvas.setBandColours(cyclicGradient(
        canvas.bandLength(),
        {QColor(0, 30, 140), QColor(40, 110, 220), QColor(200, 230, 255), QColor(40, 110, 220)}));
    addFlowingBar(canvas, 386, 14, 400);
    return canvas;
}

ScreenCanvas systemWaitScreen() {
    ScreenCanvas canvas;
    paintCloudySky(canvas, 302);
    QPainter p(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    drawCentredLines(p, 20, 18, {QStringLiteral("Подождите, идет завершение работы компьютера...")},
                     Qt::white, QColor(0, 20, 80));
    drawWindowsTitle(p, 150, QColor(255, 255, 255, 200));
    return canvas;
}

ScreenCanvas systemSafeScreen() {
    ScreenCanvas canvas;
    QPainter p(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(kScreen, Qt::black);
    drawCentredLines(
        p, 160, 30,
        {QStringLiteral("Теперь питание компьютера"), QStringLiteral("можно отключить.")},
        QColor(255, 140, 0), Qt::black);
    return canvas;
}

ScreenCanvas wallpaperPreview() {
    ScreenCanvas canvas;
    QPainter p(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    fillVerticalGradient(
        p, kScreen,
        {{0, QColor(40, 110, 210)}, {0.55, QColor(150, 200, 245)}, {1, QColor(230, 240, 250)}});
    drawGlow(
        p, QPointF(500, 80), 60, 60, 60,
        {{0, QColor(255, 255, 230)}, {0.4, QColor(255, 240, 170)}, {1, QColor(255, 240, 170, 0)}});
    p.end();
    drawClouds(canvas.shown(), QRectF(0, 20, kWidth, 160), Qt::white, 401, 50, 0.45);
    p.begin(&canvas.shown());
    p.setRenderHint(QPainter::Antialiasing);
    const QColor greens[] = {QColor(110, 170, 90), QColor(70, 150, 60), QColor(40, 120, 40)};
    for (int layer = 0; layer < 3; ++layer) {
        QPainterPath hill;
        const double base = 240 + layer * 50;
        hill.moveTo(0, kHeight);
        for (double x = 0; x <= kWidth; x += 8)
            hill.lineTo(x, base - 40 * std::sin(x / (140 - layer * 25) + layer * 1.7) -
                               20 * std::sin(x / 53 + layer));
        hill.lineTo(kWidth, kHeight);
        hill.closeSubpath();
        QLinearGradient shade(0, base - 60, 0, kHeight);
        shade.setColorAt(0, greens[layer].lighter(115));
        shade.setColorAt(1, greens[layer].darker(130));
        p.fillPath(hill, shade);
    }
    for (int i = 0; i < 9; ++i) {
        const double x = 40 + i * 68 + hash01(i, 1, 402) * 30;
        const double y = 300 + hash01(i, 2, 402) * 60;
        p.setBrush(QColor(90, 60, 30));
        p.drawRect(QRectF(x - 2, y, 4, 14));
        p.setBrush(QColor(30, 100, 40));
        p.drawEllipse(QPointF(x, y - 6), 10, 14);
    }
    return canvas;
}

}  // namespace zarvo::resgen
