#include <QLinearGradient>
#include <QPainter>
#include <QtEndian>
#include <utility>

#include "icons.h"

namespace zarvo::resgen {
namespace {

const QColor kFace(192, 192, 192);

QImage shownIcon(const std::map<int, IconArt>& icons, int id) {
    // As Windows 98 would show it: from the palette image, not the artwork.
    return fromIconImage(toIconImage8(icons.at(id).large));
}

void raisedFrame(QPainter& p, const QRect& r) {
    p.fillRect(r, kFace);
    p.setPen(Qt::white);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(QColor(64, 64, 64));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

void iconWithLabel(QPainter& p, const QImage& icon, QPoint at, const QString& label,
                   const QColor& text) {
    p.drawImage(at.x() + 22, at.y(), icon);
    p.setPen(text);
    p.drawText(QRect(at.x(), at.y() + 36, 76, 32),
               Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, label);
}

}  // namespace

QImage desktopPreview(const std::map<int, IconArt>& icons) {
    QImage image(1024, 768, QImage::Format_RGB32);
    image.fill(QColor(0, 128, 128));
    QPainter p(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    p.setFont(font);

    const std::pair<int, const char*> desktop[] = {
        {201, "Мои документы"},  {211, "Сетевое окружение"}, {224, "Избранное"},
        {227, "Windows Update"}, {232, "Readme.txt"},        {233, "Setup.exe"}};
    for (int i = 0; i < 6; ++i)
        iconWithLabel(p, shownIcon(icons, desktop[i].first), QPoint(12, 14 + i * 80),
                      QString::fromUtf8(desktop[i].second), Qt::white);

    const QRect window(250, 80, 620, 430);
    raisedFrame(p, window);
    const QRect title(window.left() + 3, window.top() + 3, window.width() - 6, 20);
    QLinearGradient caption(title.topLeft(), title.topRight());
    caption.setColorAt(0, QColor(0, 0, 128));
    caption.setColorAt(1, QColor(16, 132, 208));
    p.fillRect(title, caption);
    QFont bold = font;
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(Qt::white);
    p.drawText(title.adjusted(6, 0, 0, 0), Qt::AlignVCenter, QStringLiteral("Мой компьютер"));
    for (int k = 0; k < 3; ++k)
        raisedFrame(p,
                    QRect(title.right() - 18 - k * 18 - (k > 0 ? 2 : 0), title.top() + 3, 16, 14));
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRect(window.left() + 10, title.bottom() + 4, 400, 18), Qt::AlignVCenter,
               QStringLiteral("Файл   Правка   Вид   Переход   Избранное   ?"));
    const QRect client(window.left() + 4, title.bottom() + 26, window.width() - 8,
                       window.height() - 76);
    p.fillRect(client, Qt::white);
    const std::pair<int, const char*> drives[] = {
        {204, "Диск 3,5 (A:)"}, {206, "(C:)"},         {209, "(D:)"},
        {207, "Сетевой (E:)"},  {208, "Сетевой (F:)"}, {228, "Панель управления"},
        {229, "Принтеры"},      {226, "Поиск"}};
    for (int i = 0; i < 8; ++i)
        iconWithLabel(p, shownIcon(icons, drives[i].first),
                      QPoint(client.left() + 20 + (i % 5) * 110, client.top() + 24 + (i / 5) * 100),
                      QString::fromUtf8(drives[i].second), Qt::black);
    p.drawText(QRect(window.left() + 8, window.bottom() - 22, 300, 18), Qt::AlignVCenter,
               QStringLiteral("Объектов: 8"));

    const QRect taskbar(0, 740, 1024, 28);
    raisedFrame(p, taskbar);
    raisedFrame(p, QRect(3, 743, 64, 22));
    p.setFont(bold);
    p.setPen(Qt::black);
    p.drawText(QRect(3, 743, 64, 22), Qt::AlignCenter, QStringLiteral("Пуск"));
    p.setFont(font);
    p.fillRect(QRect(74, 743, 160, 22), QColor(224, 224, 224));
    p.drawText(QRect(80, 743, 150, 22), Qt::AlignVCenter, QStringLiteral("Мой компьютер"));
    p.setPen(QColor(128, 128, 128));
    p.drawRect(QRect(960, 743, 60, 21));
    p.setPen(Qt::black);
    p.drawText(QRect(960, 743, 60, 22), Qt::AlignCenter, QStringLiteral("12:00"));
    return image;
}

QByteArray shellIconCache(const std::map<int, IconArt>& icons) {
    // A count, then for each cached icon its slot and a 16 x 16 DIB: the
    // shape of an icon cache, nothing the program parses.
    QByteArray out;
    auto putU32 = [&out](quint32 value) {
        char bytes[4];
        qToLittleEndian(value, bytes);
        out.append(bytes, 4);
    };
    const int cached[] = {201, 202, 206, 232};
    putU32(0x00000004);
    putU32(std::size(cached));
    for (int id : cached) {
        const QByteArray icon = encodeIcon({toIconImage8(icons.at(id).small)});
        const QByteArray dib = icon.mid(6 + 16);
        putU32(static_cast<quint32>(id));
        putU32(static_cast<quint32>(dib.size()));
        out += dib;
    }
    return out;
}

}  // namespace zarvo::resgen
