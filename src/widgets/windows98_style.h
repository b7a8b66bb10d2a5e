#pragma once

#include <QProxyStyle>

namespace zarvo {

// Qt's Windows style, the look of Windows 98's controls. Its option-button
// circles are drawn once for each look and size and copied after that: the
// Windows style draws each as antialiased paths, which made them a tenth of
// the work of the window's first paint.
class Windows98Style : public QProxyStyle {
public:
    Windows98Style();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};

}  // namespace zarvo
