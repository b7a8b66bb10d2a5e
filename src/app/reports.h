#pragma once

// What the command line says of what the layers below report as data:
// one English line each, as a terminal program speaks.

#include <QString>
#include <QStringList>

class QTextStream;

namespace zarvo {

class DriveInUse;
class ImageError;
struct RestoreReport;
struct WineImport;
namespace ico {
struct Judgement;
}
namespace screen {
struct Check;
}

// "win98.img: 86Box (pid 4242) has it open; close it and try again"
QString inUseLine(const DriveInUse& inUse);

// Why an image is refused, naming the file: "disk.vhd: a dynamic VHD;
// convert it to a fixed VHD first".
QString imageRefusalLine(const ImageError& error);

// What --check says of an icon or a cursor after its name: "fine, an icon
// Windows 98 shows at 16 × 16 and 32 × 32", or "will not show as an icon: "
// and every reason, "; " between them.
QString iconCheckText(const ico::Judgement& judgement);

// What --check says of any other file, as a screen file: "fine, a still
// picture", or "will not show at boot: " and every reason, "; " between.
QString screenCheckText(const screen::Check& check);

// What --restore prints: a line for each item it changed, a line for each
// item it could not restore (and for a damaged manifest), and when nothing
// changed, why. `drive` names the drive in the last case. `valuesInFile`:
// the drive is a real Windows, whose values wait in C:\ZARVO.REG until
// Windows opens it, so that a value is only taken out of that file, and
// what Windows already took is undone by UNDO.REG.
struct RestoreLines {
    QStringList done;
    QStringList failed;
};
RestoreLines restoreLines(const RestoreReport& report, const QString& drive,
                          bool valuesInFile = false);

// Tells `err` what went wrong with handing the values to a Wine prefix;
// false when they did not reach it.
bool reportWineImport(const WineImport& import, QTextStream& err);

}  // namespace zarvo
