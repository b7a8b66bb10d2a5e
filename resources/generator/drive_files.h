#pragma once

#include <QByteArray>

namespace zarvo::resgen {

// WIN.INI of a fresh Russian Windows 98, without wallpaper; cp1251, CRLF.
QByteArray winIni();

// MSDOS.SYS with the boot picture on, padded past 1,024 bytes as Windows 98
// keeps it so that old programs reading a fixed size find the whole file.
QByteArray msdosSys();

}  // namespace zarvo::resgen
