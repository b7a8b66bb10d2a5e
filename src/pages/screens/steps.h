#pragma once

// What the screen pages' numbered steps share in the window.

#include <QString>

#include "changes/screen_files.h"
#include "system/error.h"
#include "ui/ui_services.h"

namespace zarvo {

// Visual Basic's Trim: removes leading and trailing spaces only. Tabs and
// line breaks are part of a name and stay.
QString trimSpaces(const QString& text);

// Runs a page's step "2" and tells the user of a failure as that page's
// step "2" does (whatStep2Tells); the error report gets what it is told to.
template <typename Step>
void runStep2(Step2Page page, IUiServices& ui, Step&& step) {
    try {
        step();
    } catch (const Error& error) {
        switch (whatStep2Tells(page, error)) {
            case Step2Tells::ErrorReport:
                throw;
            case Step2Tells::FileNotFound:
                ui.messageBox(QStringLiteral("Не нахожу файл logo.sys"), mb::OkOnly);
                return;
            case Step2Tells::Nothing:
                return;
        }
    }
}

}  // namespace zarvo
