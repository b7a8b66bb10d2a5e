#pragma once

#include <QString>
#include <QWidget>
#include <vector>

#include "formats/winhelp_reader.h"

class QPushButton;
class QTextBrowser;
class QUrl;

namespace zarvo {

class IUiServices;

// The program's own viewer of Windows help files, for hosts where nothing
// else opens them: one modeless window for the whole program, opening on
// the file's contents topic, with working jumps, "Назад" and "Содержание".
class HelpWindow : public QWidget {
public:
    // Shows the help file at `hostPath` with a ShowWindow command: the help
    // window, made when there is none, shows the file's contents topic and
    // comes forward, maximised for SW_SHOWMAXIMIZED. A file that cannot be
    // read is reported in a message box and leaves an open window as it was.
    static void open(IUiServices& ui, const QString& hostPath, int show);
    // The help window; null while none is open.
    static HelpWindow* instance();

    const winhelp::Document& document() const { return document_; }
    int currentTopic() const { return current_; }

    // Shows a topic; "Назад" returns to the one shown before.
    void showTopic(int topic);
    void showContents();
    void back();

private:
    HelpWindow();
    void setDocument(winhelp::Document document);
    void render();
    void followLink(const QUrl& link);

    winhelp::Document document_;
    int current_ = -1;
    std::vector<int> history_;
    QPushButton* contentsButton_;
    QPushButton* backButton_;
    QTextBrowser* view_;
};

}  // namespace zarvo
