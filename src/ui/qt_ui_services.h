#pragma once

// The real user-interface services: Qt message boxes and file dialog, and
// pictures read the way Windows 98 loads them.

#include <QSize>
#include <QStringList>
#include <memory>

#include "ui/ui_services.h"

class QFileDialog;
class QSettings;

namespace zarvo {

class ISystem;

// Qt name filters for a "Label|pattern|Label|pattern|" filter: one
// "Label (patterns)" entry per pair, so that a dialog hiding the details shows
// the label exactly as given. Patterns separated by ';' are kept together; a
// label without a pattern lists every file.
QStringList qtNameFilters(const QString& barFilter);

// Reads a picture file (a host path or a Qt resource path): bitmap, JPEG,
// icon, cursor, GIF, PNG, WebP, TIFF or SVG. Throws 53 for a missing file, 75
// for a folder or an unreadable file, 481 for anything that is not a
// complete picture, and PictureError (TooLarge) with its size for a picture
// too large to decode. An icon gives its 32 x 32 image, an animated GIF its
// first frame. A valid boxSize lets a photo decode at about that size, never
// smaller than the box.
QImage readPicture(const QString& hostPath, QSize boxSize = QSize());

// Where the program remembers things between runs, apart from the state Qt
// keeps for its file dialog under its own name.
std::unique_ptr<QSettings> userSettings();

class QtUiServices : public IUiServices {
public:
    explicit QtUiServices(ISystem& system);

    void messageBox(const QString& text, int style, const QString& title = QString()) override;
    void noticeBox(const QString& text, int style, const QString& title, QWidget* parent) override;
    bool showOpen(CommonDialog& dialog, QWidget* parent) override;
    QImage loadPicture(const QString& windowsPath, QSize boxSize = QSize()) override;
    QImage resourceIcon(int id) override;
    QSizeF screenSizeTwips() override;
    std::optional<std::string> windowsBitmap(const std::string& hostPath, int maxWidth,
                                             int maxHeight, std::uint32_t background) override;
    std::optional<std::string> windows98Icon(const std::string& hostPath) override;
    std::optional<std::string> screenFile(const std::string& hostPath, int bandStart) override;

    // Sets up an open-file dialog for `dialog` as showOpen shows it; public so
    // that tests can look at a real dialog without running it modally. It
    // starts in the folder of the dialog's last choice, else in the folder
    // the last file of any dialog was chosen from, else in the user's
    // pictures folder, else at home; never in a temporary folder, and with
    // no file name typed.
    void prepareOpenDialog(QFileDialog& fileDialog, const CommonDialog& dialog);

protected:
    ISystem& system() { return system_; }

private:
    QString startFolder(const CommonDialog& dialog);
    // Kept for this run and, in the user's settings, for the next ones.
    void rememberFolder(const QString& folder);

    ISystem& system_;
    // The host folder the last file was chosen from; "" for none.
    QString lastFolder_;
};

}  // namespace zarvo
