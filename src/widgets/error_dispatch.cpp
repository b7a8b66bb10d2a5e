#include "widgets/error_dispatch.h"

#include <QString>

#include "ui/ui_services.h"

namespace zarvo {

QString errorReportText(const Error& error) {
    return QStringLiteral("Ошибка выполнения '%1':\n\n%2")
        .arg(error.number())
        .arg(QString::fromStdString(error.description()));
}

Error inUseError(const DriveInUse& inUse) {
    const QString drive = QString::fromStdString(inUse.drive());
    const QString text =
        inUse.program().empty()
            ? QStringLiteral(
                  "Образ %1 занят другой программой (эмулятором?). Закройте её и "
                  "повторите попытку.")
                  .arg(drive)
            : QStringLiteral(
                  "Образ %1 открыт в программе %2 (pid %3). Закройте её и повторите "
                  "попытку.")
                  .arg(drive, QString::fromStdString(inUse.program()))
                  .arg(inUse.pid());
    return Error(err::PermissionDenied, text.toStdString());
}

void reportUncaughtError(IUiServices& ui, const Error& error) {
    ui.messageBox(errorReportText(error), mb::Critical);
}

}  // namespace zarvo
