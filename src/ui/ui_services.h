#pragma once

// The user-interface services the pages call: message boxes, the open-file
// dialog, picture loading, the program's own icons and the screen size. Tests
// replace the real implementation with a scripted one.

#include <QImage>
#include <QObject>
#include <QSizeF>
#include <QString>

#include "changes/pictures.h"

class QWidget;

namespace zarvo {

// Message box styles.
namespace mb {
constexpr int OkOnly = 0;
constexpr int Critical = 16;
constexpr int Exclamation = 48;
constexpr int Information = 64;
}  // namespace mb

// The title a message box gets when the caller gives none.
inline const QString kApplicationTitle = QStringLiteral("Zarvo");

// A common dialog object: not drawn, it keeps the filter it was defined with
// and the file name and title of its last completed choice.
class CommonDialog : public QObject {
public:
    CommonDialog(const QString& objectName, const QString& filter, QObject* parent = nullptr)
        : QObject(parent), filter_(filter) {
        setObjectName(objectName);
    }

    // "Label|pattern|Label|pattern|" as the window defines it, or as a page
    // sets it before showing the dialog.
    const QString& filter() const { return filter_; }
    void setFilter(const QString& filter) { filter_ = filter; }
    // Windows path of the last file chosen, "" until a choice is made.
    const QString& fileName() const { return fileName_; }
    // That file's name without its folder.
    const QString& fileTitle() const { return fileTitle_; }

    void setChoice(const QString& fileName, const QString& fileTitle) {
        fileName_ = fileName;
        fileTitle_ = fileTitle;
    }

private:
    QString filter_;
    QString fileName_;
    QString fileTitle_;
};

// The pictures it makes for Windows 98 (IPictures) are the ui's too.
class IUiServices : public IPictures {
public:
    // Modal; a null title shows the application title. The answer is not read.
    virtual void messageBox(const QString& text, int style, const QString& title = QString()) = 0;
    // The same box without blocking: `parent` goes on working while it is
    // shown, and takes it along when it closes.
    virtual void noticeBox(const QString& text, int style, const QString& title,
                           QWidget* parent) = 0;
    // Modal open-file dialog. On a choice the dialog's file name (a Windows
    // path) and title are replaced and true is returned; a cancel returns
    // false and leaves both as they were.
    virtual bool showOpen(CommonDialog& dialog, QWidget* parent) = 0;
    // Loads a picture from a Windows path: bitmap, JPEG, icon, cursor, GIF and
    // the pictures of today. "" gives a null image; 53 missing file, 481 not
    // a picture; PictureError (TooLarge) names the size of one too large to
    // decode. A valid `box` is the size it is shown at, which a photo is
    // decoded at about, never smaller.
    virtual QImage loadPicture(const QString& windowsPath, QSize box = QSize()) = 0;
    // The program's own icon resource 200-239, its 32 x 32 image.
    virtual QImage resourceIcon(int id) = 0;
    // Screen width and height in twips.
    virtual QSizeF screenSizeTwips() = 0;
};

}  // namespace zarvo
