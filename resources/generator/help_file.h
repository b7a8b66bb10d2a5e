#pragma once

#include <QByteArray>
#include <QString>

namespace zarvo::resgen {

// ZARVO.HLP, the program's Windows help file, from the help source folder:
// one UTF-8 text per topic, named by its context name, written as
// winhelp::parseTopic reads it; "contents.txt" is the topic the viewer opens
// on.
QByteArray helpFile(const QString& sourceFolder);

}  // namespace zarvo::resgen
