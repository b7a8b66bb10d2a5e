#include "widgets/windows98_style.h"

#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QStyleFactory>
#include <QStyleOption>

namespace zarvo {

Windows98Style::Windows98Style() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows"))) {}

void Windows98Style::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                   QPainter* painter, const QWidget* widget) const {
    if (element != PE_IndicatorRadioButton || option->rect.isEmpty()) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    const State look = option->state & (State_On | State_Sunken | State_Enabled);
    // By colour, not by palette: every control with a face colour of its
    // own holds a palette of its own.
    QString key = QStringLiteral("zarvo-option-%1-%2x%3-%4")
                      .arg(int(look))
                      .arg(option->rect.width())
                      .arg(option->rect.height())
                      .arg(ratio);
    for (QPalette::ColorRole role :
         {QPalette::Light, QPalette::Midlight, QPalette::Dark, QPalette::Shadow, QPalette::Base,
          QPalette::Button, QPalette::Window, QPalette::Text, QPalette::WindowText})
        key += QLatin1Char('-') + QString::number(option->palette.color(role).rgba(), 16);
    QPixmap circle;
    if (!QPixmapCache::find(key, &circle)) {
        circle = QPixmap(option->rect.size() * ratio);
        circle.setDevicePixelRatio(ratio);
        circle.fill(Qt::transparent);
        QStyleOption at = *option;
        at.rect = QRect(QPoint(0, 0), option->rect.size());
        QPainter drawing(&circle);
        QProxyStyle::drawPrimitive(element, &at, &drawing, widget);
        drawing.end();
        QPixmapCache::insert(key, circle);
    }
    painter->drawPixmap(option->rect.topLeft(), circle);
}

}  // namespace zarvo
