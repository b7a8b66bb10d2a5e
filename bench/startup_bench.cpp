#include <QApplication>
#include <QPointer>
#include <QTimer>

#include "app/main_window.h"
#include "app/startup.h"
#include "plugin_path.h"

namespace {

// Ends the event loop at the first paint of the watched window.
class FirstPaint : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }

private:
    bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    zarvo::bench::usePluginFolderFromEnvironment();
    QApplication app(argc, argv);
    FirstPaint watcher;
    zarvo::Program program = zarvo::startProgram();
    program.form->installEventFilter(&watcher);
    // Quitting closes the window, which deletes itself; delete it only if not.
    QPointer<zarvo::Form1> form = program.form;
    const int code = app.exec();
    delete form.data();
    return code;
}
