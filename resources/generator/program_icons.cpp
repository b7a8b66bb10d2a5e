#include <QPainter>
#include <QPainterPath>
#include <array>
#include <cmath>
#include <numbers>
#include <string_view>

#include "icons.h"
#include "pictures/colour_quantizer.h"

namespace zarvo::resgen {
namespace {

// Windows' 16 colours, for artwork that must map onto them exactly.
namespace vga {
const QColor black(0, 0, 0), maroon(128, 0, 0), green(0, 128, 0), olive(128, 128, 0),
    navy(0, 0, 128), purple(128, 0, 128), teal(0, 128, 128), gray(128, 128, 128),
    silver(192, 192, 192), red(255, 0, 0), lime(0, 255, 0), yellow(255, 255, 0), blue(0, 0, 255),
    fuchsia(255, 0, 255), aqua(0, 255, 255), white(255, 255, 255);
}

// Draws `art` in a 32-unit square at `size` px without smoothing, so every
// pixel keeps one of the 16 colours.
template <typename Art>
QImage drawn16(int size, Art art) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(size / 32.0, size / 32.0);
    art(p);
    return image;
}

void outlined(QPainter& p, const QColor& fill) {
    p.setPen(QPen(vga::black, 1));
    p.setBrush(fill);
}

void emblemArt(QPainter& p) {
    outlined(p, vga::olive);
    p.drawRect(1, 3, 24, 20);
    p.setPen(Qt::NoPen);
    p.fillRect(3, 5, 21, 17, vga::yellow);
    p.fillRect(5, 7, 17, 13, vga::blue);
    p.fillRect(5, 7, 17, 5, vga::navy);
    p.setBrush(vga::yellow);
    p.drawEllipse(16, 9, 4, 4);
    QPainterPath hill;
    hill.moveTo(5, 20);
    hill.lineTo(11, 13);
    hill.lineTo(16, 18);
    hill.lineTo(19, 15);
    hill.lineTo(22, 18);
    hill.lineTo(22, 20);
    hill.closeSubpath();
    p.setBrush(vga::green);
    p.drawPath(hill);
    outlined(p, vga::silver);
    p.drawEllipse(14, 18, 17, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(vga::white);
    p.drawEllipse(17, 20, 11, 7);
    const QColor paints[] = {vga::red, vga::blue, vga::lime, vga::fuchsia};
    for (int i = 0; i < 4; ++i) p.fillRect(17 + i * 3, 21 + (i % 2) * 3, 2, 2, paints[i]);
}

void restartArt(QPainter& p) {
    const QRectF ring(5, 5, 22, 22);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(vga::black, 7, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(ring, 120 * 16, 300 * 16);
    p.setPen(QPen(vga::lime, 4, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(ring, 121 * 16, 298 * 16);
    p.setPen(QPen(vga::green, 1));
    p.drawArc(QRectF(7, 7, 18, 18), 125 * 16, 290 * 16);
    // The arrow head at the arc's end, pointing on round the turn.
    const double end = 60 * std::numbers::pi / 180;
    const QPointF tip(16 + 11 * std::cos(end), 16 - 11 * std::sin(end));
    const QPointF along(-std::sin(end), -std::cos(end));
    const QPointF across(along.y(), -along.x());
    outlined(p, vga::lime);
    p.drawPolygon(QPolygonF({tip + along * 6, tip + across * 6, tip - across * 6}));
    // The power switch's bar through the gap at the top.
    outlined(p, vga::green);
    p.drawRect(14, 1, 4, 13);
}

void helpArt(QPainter& p) {
    outlined(p, vga::white);
    p.drawRect(8, 4, 20, 25);
    outlined(p, vga::navy);
    p.drawRect(5, 2, 20, 25);
    p.setPen(Qt::NoPen);
    p.fillRect(6, 3, 2, 24, vga::blue);
    p.setPen(vga::gray);
    for (int y = 8; y < 28; y += 3) p.drawLine(26, y, 27, y + 1);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(22);
    font.setStyleStrategy(QFont::NoAntialias);
    QPainterPath mark;
    mark.addText(0, 0, font, QStringLiteral("?"));
    const QRectF box = mark.boundingRect();
    mark.translate(QPointF(15.5, 14.5) - box.center());
    p.setPen(QPen(vga::black, 1.5));
    p.setBrush(vga::yellow);
    p.drawPath(mark);
}

// '#' black, 'o' white, anything else see-through; the fingertip is the hotspot.
constexpr std::array<std::string_view, 22> kHand = {
    ".....##",           "....#oo#",          "....#oo#",          "....#oo#",
    "....#oo#",          "....#oo###",        "....#oo#oo###",     "....#oo#oo#oo#",
    "....#oo#oo#oo###",  "....#oo#oo#oo#oo#", ".##.#oo#oo#oo#oo#", "#oo##oo#oo#oo#oo#",
    "#ooo#ooooooooooo#", ".#oooooooooooooo#", "..#ooooooooooooo#", "..#ooooooooooooo#",
    "...#oooooooooooo#", "...#oooooooooooo#", "....#oooooooooo#",  ".....#oooooooo#",
    ".....#oooooooo#",   ".....##########",
};

}  // namespace

QByteArray pictureIconFile(const IconArt& firstSlot) {
    // The Icon page opens on the list's first entry, so its preview starts as
    // that entry's picture, in the 16 colours every Windows display shows.
    const QImage large48 =
        firstSlot.large.scaled(48, 48, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return encodeIcon(
        {toIconImage4(firstSlot.large), toIconImage4(firstSlot.small), toIconImage4(large48)});
}

QByteArray programIconFile() {
    return encodeIcon({toIconImage4(drawn16(32, emblemArt)), toIconImage4(drawn16(16, emblemArt))});
}

QByteArray restartIconFile() {
    return encodeIcon({toIconImage4(drawn16(32, restartArt))});
}

QByteArray helpIconFile() {
    return encodeIcon({toIconImage4(drawn16(32, helpArt))});
}

QByteArray handCursorFile() {
    IconImage image;
    image.width = 32;
    image.height = 32;
    image.bitsPerPixel = 1;
    image.palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const char c =
                y < static_cast<int>(kHand.size()) && x < static_cast<int>(kHand[y].size())
                    ? kHand[y][x]
                    : '.';
            image.pixels.push_back(c == 'o' ? 1 : 0);
            image.transparent.push_back(c != '#' && c != 'o');
        }
    }
    return encodeCursor(image, kHandHotspot);
}

QByteArray closeButtonGif() {
    QImage art(36, 37, QImage::Format_RGB32);
    art.fill(QColor(192, 192, 192));
    QPainter p(&art);
    // A raised Windows 98 button: light top-left edges, dark bottom-right.
    p.setPen(Qt::white);
    p.drawLine(0, 0, 34, 0);
    p.drawLine(0, 0, 0, 35);
    p.setPen(QColor(128, 128, 128));
    p.drawLine(1, 35, 34, 35);
    p.drawLine(34, 1, 34, 35);
    p.setPen(Qt::black);
    p.drawLine(0, 36, 35, 36);
    p.drawLine(35, 0, 35, 36);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath tick;
    tick.moveTo(8, 19);
    tick.lineTo(15, 26);
    tick.lineTo(28, 10);
    p.setPen(QPen(QColor(0, 70, 0), 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
    p.setPen(QPen(QColor(40, 190, 40), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
    p.end();

    std::vector<QRgb> colours;
    for (int y = 0; y < art.height(); ++y)
        for (int x = 0; x < art.width(); ++x) colours.push_back(art.pixel(x, y));
    PaletteMatcher matcher(choosePalette(colours, 256));
    QImage indexed(art.size(), QImage::Format_Indexed8);
    indexed.setColorTable(QList<QRgb>(matcher.palette().begin(), matcher.palette().end()));
    for (int y = 0; y < art.height(); ++y)
        for (int x = 0; x < art.width(); ++x)
            indexed.setPixel(x, y, static_cast<uint>(matcher.nearest(art.pixel(x, y))));
    return encodeGif(indexed);
}

}  // namespace zarvo::resgen
