#include "pages/screens/file_steps.h"

#include "system/error.h"
#include "system/leftovers.h"
#include "system/system.h"

namespace zarvo {

namespace {

// Windows paths name a file whatever the case of their letters.
bool samePath(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

QString trimSpaces(const QString& text) {
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && text.at(first) == QLatin1Char(' ')) ++first;
    while (end > first && text.at(end - 1) == QLatin1Char(' ')) --end;
    return text.mid(first, end - first);
}

QString stagingPath(ISystem& system, const QString& source, const QString& wanted,
                    const std::optional<QString>& ownStaged) {
    const auto usable = [&](const QString& path) {
        if (samePath(path, source)) return false;
        return !system.fileExists(path.toStdString()) || (ownStaged && samePath(path, *ownStaged));
    };
    if (usable(wanted)) return wanted;
    for (int n = 1; n < 100; ++n) {
        const QString other =
            wanted + QStringLiteral(".zarvo") + (n == 1 ? QString() : QString::number(n));
        if (usable(other)) return other;
    }
    throw Error(err::FileAlreadyExists);
}

void stageReplacement(ISystem& system, const QString& source, const QString& staged,
                      const QString& screenFile) {
    const std::string from = source.toStdString();
    const std::string to = staged.toStdString();
    const std::string screen = screenFile.toStdString();
    // The screen file as the source counts as missing, as it did when the
    // screen file went first: installing a screen file over itself is no
    // choice a user makes on purpose.
    system.checkCopyable(from, to, screen);
    // What deleteFile would refuse, asked before the copy is made.
    if (!system.fileExists(screen)) throw Error(err::FileNotFound);
    const unsigned bits = system.attributes(screen);
    if (bits & attr::Directory) throw Error(err::PermissionDenied);
    if (bits & attr::ReadOnly) throw Error(err::PathFileAccessError);

    // Noted before it is made, so that should this run end before step "3"
    // installs the copy, the next run knows it for the program's own.
    noteStagedCopy(system, to, system.readFile(from));
    // A failed copy leaves its destination as it was.
    const bool fresh = !system.fileExists(to);
    try {
        system.copyFile(from, to);
        system.deleteFile(screen);
    } catch (const Error&) {
        // Only a copy this step created is taken back; one that replaced the
        // page's own earlier copy stays, still a copy of the page's.
        if (fresh) {
            try {
                if (system.fileExists(to)) system.deleteFile(to);
                forgetStagedCopy(system, to);
            } catch (const Error&) {
            }
        }
        throw;
    }
}

void installStaged(ISystem& system, const QString& staged, const QString& screenFile) {
    const std::string copy = staged.toStdString();
    system.renameFile(copy, screenFile.toStdString());
    try {
        forgetStagedCopy(system, copy);
    } catch (const Error&) {
        // Installed all the same; the next run finds no copy to remove.
    }
}

}  // namespace zarvo
