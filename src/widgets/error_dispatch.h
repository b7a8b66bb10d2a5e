#pragma once

#include <QString>
#include <exception>
#include <new>
#include <utility>

#include "system/error.h"

namespace zarvo {

class IUiServices;

// The one place an error that no handler catches arrives. It shows the
// standard error report and returns: the handler that raised the error is
// abandoned, what it already did stays done, and the program keeps running.
void reportUncaughtError(IUiServices& ui, const Error& error);

// The report's text for an error.
QString errorReportText(const Error& error);

// A drive another program has open is reported as error 70, which is what
// Windows programs report for a file that another one holds.
Error inUseError(const DriveInUse& inUse);

// Runs one user-event handler, sending an uncaught error to the report.
template <typename Handler>
void runHandler(IUiServices& ui, Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
    } catch (const Error& error) {
        reportUncaughtError(ui, error);
    } catch (const DriveInUse& inUse) {
        reportUncaughtError(ui, inUseError(inUse));
    } catch (const std::bad_alloc&) {
        reportUncaughtError(ui, Error(err::OutOfMemory));
    }
}

}  // namespace zarvo
