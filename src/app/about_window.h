#pragma once

#include <QCursor>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "widgets/controls.h"

namespace zarvo {

class ISystem;
class IUiServices;

// A label that answers a click as a Windows label does: the left button
// released over it.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    ClickLabel(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// The About window: names the program and links to its author. It has no
// owner, so it outlives the main window when that is closed first.
class Form3 : public QWidget {
    Q_OBJECT
public:
    // What a click on the web label opens; the label shows a caption of its own.
    static inline const QString kWebAddress = QStringLiteral("http://www.zarvo.example/");

    Form3(ISystem& system, IUiServices& ui);

    QGroupBox* frame;          // Frame1
    PictureBox* programIcon;   // Picture1
    QLabel* titleLabel;        // Label3
    QFrame* upperRule;         // Line1
    ClickLabel* webLabel;      // Label1
    QFrame* lowerRule;         // Line2
    ClickLabel* mailLabel;     // Label2
    QPushButton* closeButton;  // Command1

signals:
    // The window is going away; whoever keeps a reference to it drops it now,
    // before the deferred delete, so that the next "О программе" builds anew.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void centreOnScreen();
    void load();
    void setLinkPointer(QLabel* label);
    QCursor loadCursor();
    void onWebPage();
    void onMail();
    void onClose();

    ISystem& system_;
    IUiServices& ui_;
};

}  // namespace zarvo
