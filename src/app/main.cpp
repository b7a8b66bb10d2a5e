#include <QApplication>
#include <cstdio>

#include "app/startup.h"

int main(int argc, char** argv) {
    if (!zarvo::displayAvailable()) {
        std::fprintf(stderr,
                     "zarvo: no display (DISPLAY is not set); run it under Xvfb: "
                     "xvfb-run -a %s\n",
                     argc > 0 ? argv[0] : "zarvo");
        return 1;
    }
    QApplication app(argc, argv);
    zarvo::Program program = zarvo::startProgram();
    return app.exec();
}
