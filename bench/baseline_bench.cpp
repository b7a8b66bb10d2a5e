#include <QApplication>

#include "plugin_path.h"

int main(int argc, char** argv) {
    zarvo::bench::usePluginFolderFromEnvironment();
    QApplication app(argc, argv);
    return 0;
}
