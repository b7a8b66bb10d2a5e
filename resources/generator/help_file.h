#pragma once

#include <QByteArray>
#include <QStringList>

namespace zarvo::resgen {

// ZARVO.HLP, the program's Windows help file, from the help texts: one UTF-8
// text per topic, named by its context name, written as winhelp::parseTopic
// reads it; "contents.txt" is the topic the viewer opens on.
QByteArray helpFile(const QStringList& sourceFiles);

}  // namespace zarvo::resgen
