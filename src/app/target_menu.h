#pragma once

// Reaching a drive without a terminal. The window's tooltip names the drive
// it works on; a right click anywhere on it, or Ctrl+O, offers a disk image,
// a folder holding Windows, the drives opened before (those still there)
// and the emulated drive. The window itself gains no control: it keeps the
// look and the size it has always had. A choice ends this run, which lets
// the drive go, and the program starts again on the one chosen.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "app/target.h"

class QWidget;

namespace zarvo {

class IUiServices;

// Asks for a disk image (or a block device) or a folder in the host's file
// dialog. Empty when cancelled.
std::optional<std::string> askForDrive(DriveAsk ask, QWidget* parent);
// askForDrive, or what a test answers in its place.
using DriveAsker = std::function<std::optional<std::string>(DriveAsk, QWidget*)>;

// The drives opened before, latest first, those no longer there left out.
std::vector<TargetOptions> recentDrives();
// Puts a drive given by name (an image, a folder) first among them.
void rememberDrive(const TargetOptions& target);

// The command-line arguments that open `target`; none for the default drive.
QStringList argumentsFor(const TargetOptions& target);

// The tooltip's words for the drive a window works on.
QString driveDescription(const DriveSetting& drive, const Target& target);

class TargetMenu : public QObject {
public:
    // Called with the arguments to start again with, once the user chose.
    using Reopen = std::function<void(const QStringList&)>;

    // Attaches to `window`, which works on `current` (empty for the
    // default drive), described by `description`; what the user is told
    // goes through `ui`.
    TargetMenu(QWidget& window, IUiServices& ui, const TargetOptions& current,
               const QString& description, Reopen reopen, DriveAsker ask = askForDrive);

    // The menu's entries as they would show now, for a look without a click.
    QStringList entries();
    // Runs the entry of that text as a click on it would.
    void choose(const QString& entry);

private:
    struct Entry {
        QString text;
        std::function<void()> run;
        bool current = false;
    };
    std::vector<Entry> build();
    void activate(const Entry& entry);
    void showMenu(const QPoint& where);
    void askAndReopen(DriveAsk ask);

    QWidget& window_;
    IUiServices& ui_;
    TargetOptions current_;
    Reopen reopen_;
    DriveAsker ask_;
};

}  // namespace zarvo
