#pragma once

// Small building blocks shared by the main window and its pages: placement in
// twips, the program's fonts and colours, hidden path fields and picture boxes.

#include <QColor>
#include <QComboBox>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>

#include "ui/twips.h"

namespace zarvo {

// "MS Sans Serif" with Cyrillic-capable fallbacks.
QFont msSansSerif(qreal pointSize, bool bold = false, bool italic = false);

// The colours the window draws with.
namespace colors {
const QColor kGreen(0x00, 0xFF, 0x00);
const QColor kYellow(0xFF, 0xFF, 0x00);
const QColor kRed(0xFF, 0x00, 0x00);
const QColor kBlue(0x00, 0x00, 0xFF);
}  // namespace colors

// The system's three-dimensional light colour, the background of the window,
// its frames and its uncoloured buttons.
QColor threeDLight();

// Gives a widget a solid background of its own colour.
void setFaceColor(QWidget* widget, const QColor& color);

// A push button of the graphical style: bold 8.25 pt, its own face colour.
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption,
                        const QRect& geometry, const QColor& face = QColor());

// A drop-down combo box with an editable text line and an unsorted list, as
// Windows 98 draws one: typing never completes or chooses an entry, and the
// text line shows its text from the start.
QComboBox* makeComboBox(QWidget* parent, const QString& name, const QRect& geometry,
                        const QStringList& items, int currentIndex);

// A path field: a text box of the page that nobody sees, which keeps a path
// or a name between the steps of a page. Nothing draws it and nobody types
// in it, so it is a bare widget that holds its text rather than a line edit,
// whose making was a tenth of the window's start.
class PathField : public QWidget {
    Q_OBJECT

public:
    PathField(QWidget* parent, const QString& name, const QRect& geometry, const QString& text);

    QString text() const { return text_; }
    void setText(const QString& text) { text_ = text; }

private:
    QString text_;
};

// An image box. A stretched box shows its picture scaled to the box; an
// unstretched one shows it at its own size. A picture may be given as a
// resource path that is decoded only when the box is first painted, so that
// pages that start hidden cost nothing until they are shown.
class PictureBox : public QWidget {
public:
    PictureBox(QWidget* parent, const QString& name, const QRect& geometry, bool stretch);

    void setPicture(const QImage& picture);
    // `boxView`, when given, is the same picture already scaled to the box,
    // which the box paints without decoding the picture itself: reading a
    // small bitmap costs a fraction of decoding a large JPEG.
    void setDeferredPicture(std::function<QImage()> loader,
                            std::function<QImage()> boxView = nullptr);
    // The picture the box shows (decoding a deferred one); null when empty.
    QImage picture() const;
    bool stretch() const { return stretch_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // The pixmap painted for the current picture; subclasses that change the
    // colours of the picture over time call this after each change.
    void refreshPixmap();

private:
    void resolveDeferred() const;

    bool stretch_;
    mutable std::function<QImage()> deferred_;
    std::function<QImage()> boxView_;
    mutable QImage picture_;
    QPixmap pixmap_;
    bool pixmapValid_ = false;
};

}  // namespace zarvo

namespace zarvo {

// Decodes one of the program's built-in pictures. With a box size, a JPEG is
// decoded at about the size it is shown instead of in full.
QImage builtInPicture(const QString& resourcePath, const QSize& shownSize = QSize());
// One of the program's built-in icons, every image of it.
QIcon builtInIcon(const QString& resourcePath);

}  // namespace zarvo
