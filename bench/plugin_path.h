#pragma once

// Both start-up benches can be pointed at a plugin folder of their own, so
// that a start with only Qt's base image plugins can be measured on a
// machine that has the others installed.

#include <QCoreApplication>
#include <QString>
#include <cstdlib>

namespace zarvo::bench {

// Call before the application object exists.
inline void usePluginFolderFromEnvironment() {
    if (const char* folder = std::getenv("ZARVO_BENCH_PLUGINS"); folder && *folder)
        QCoreApplication::setLibraryPaths({QString::fromLocal8Bit(folder)});
}

}  // namespace zarvo::bench
