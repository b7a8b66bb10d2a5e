#include "support/scripted_ui.h"

#include <gtest/gtest.h>

namespace zarvo::test {

ScriptedUi::ScriptedUi(ISystem& system) : QtUiServices(system) {}

ScriptedUi::~ScriptedUi() {
    if (!answers_.empty()) {
        ADD_FAILURE() << answers_.size() << " open-file answer(s) left: a dialog did not open";
    }
}

void ScriptedUi::messageBox(const QString& text, int style, const QString& title) {
    messages_.push_back({text, style, title.isEmpty() ? kApplicationTitle : title});
}

void ScriptedUi::noticeBox(const QString& text, int style, const QString& title, QWidget* parent) {
    messages_.push_back({text, style, title.isEmpty() ? kApplicationTitle : title, false, parent});
}

bool ScriptedUi::showOpen(CommonDialog& dialog, QWidget* /*parent*/) {
    openRequests_.push_back({dialog.objectName(), dialog.filter()});
    if (answers_.empty()) {
        ADD_FAILURE() << "open-file dialog \"" << dialog.objectName().toStdString()
                      << "\" shown with no answer queued";
        return false;
    }
    const std::optional<QString> answer = answers_.front();
    answers_.pop_front();
    if (!answer) return false;
    dialog.setChoice(*answer, answer->mid(answer->lastIndexOf(QLatin1Char('\\')) + 1));
    return true;
}

QSizeF ScriptedUi::screenSizeTwips() {
    return screenTwips_;
}

void ScriptedUi::answerOpen(const QString& windowsPath) {
    answers_.push_back(windowsPath);
}

void ScriptedUi::answerCancel() {
    answers_.push_back(std::nullopt);
}

}  // namespace zarvo::test
