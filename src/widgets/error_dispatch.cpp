#include "widgets/error_dispatch.h"

#include <QString>

#include "ui/ui_services.h"

namespace zarvo {

QString errorReportText(const Error& error) {
    return QStringLiteral("Ошибка выполнения '%1':\n\n%2")
        .arg(error.number())
        .arg(QString::fromStdString(error.description()));
}

void reportUncaughtError(IUiServices& ui, const Error& error) {
    ui.messageBox(errorReportText(error), mb::Critical);
}

}  // namespace zarvo
