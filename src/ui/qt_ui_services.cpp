#include "ui/qt_ui_services.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <memory>
#include <string_view>

#include "formats/ico_header.h"
#include "pictures/icon_maker.h"
#include "pictures/picture_reader.h"
#include "pictures/screen_maker.h"
#include "pictures/wallpaper_maker.h"
#include "system/error.h"
#include "system/system.h"
#include "ui/host_folders.h"
#include "ui/twips.h"

namespace zarvo {

namespace {

constexpr QSize kIconSize(32, 32);
constexpr int kFirstResourceIcon = 200;
constexpr int kLastResourceIcon = 239;
// The side of the square an SVG drawing is drawn into when no box is given.
constexpr int kDrawingSide = 512;

const QString kLastFolderKey = QStringLiteral("FileDialog/lastFolder");

// The icon entry's own bit count is often 0 in old icons and is the hotspot in
// a cursor, so the depth comes from the image's header.
int iconDepth(const QByteArray& data, const std::optional<ico::Header>& header, int index) {
    if (!header || index >= int(header->entries.size())) return 0;
    const std::string_view bytes(data.constData(), std::size_t(data.size()));
    return ico::imageBitCount(bytes, header->entries[std::size_t(index)]).value_or(0);
}

// The image Windows uses for an icon shown at full size: 32 x 32, the richest
// colours among those, else the first.
int chooseIconImage(const PictureReader& reader) {
    const QByteArray& data = reader.data();
    const auto header =
        ico::readHeader(std::string_view(data.constData(), std::size_t(data.size())));
    int chosen = 0;
    int chosenDepth = -1;
    for (int i = 0; i < reader.imageCount(); ++i) {
        const int depth = iconDepth(data, header, i);
        if (reader.size(i) == kIconSize && depth > chosenDepth) {
            chosen = i;
            chosenDepth = depth;
        }
    }
    return chosen;
}

}  // namespace

QStringList qtNameFilters(const QString& barFilter) {
    QStringList parts = barFilter.split(QLatin1Char('|'));
    if (parts.size() > 1 && parts.last().isEmpty()) parts.removeLast();
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString& label = parts.at(i);
        const bool hasPattern = i + 1 < parts.size();
        if (label.isEmpty() && !hasPattern) continue;  // what a doubled trailing bar leaves
        QString patterns = hasPattern ? parts.at(i + 1) : QString();
        patterns = patterns.replace(QLatin1Char(';'), QLatin1Char(' ')).simplified();
        if (patterns.isEmpty()) patterns = QStringLiteral("*");
        filters << QStringLiteral("%1 (%2)").arg(label, patterns);
    }
    return filters;
}

QImage readPicture(const QString& hostPath, QSize boxSize) {
    const QFileInfo info(hostPath);
    if (!info.exists()) throw Error(err::FileNotFound);
    if (info.isDir()) throw Error(err::PathFileAccessError);
    // Windows 98 goes by the content, not the name (boot screens end in .sys),
    // and shows the pixels as stored, ignoring any orientation tag.
    std::optional<PictureReader> reader;
    try {
        reader.emplace(hostPath, PictureReader::Orientation::AsStored);
    } catch (const PictureError&) {
        throw Error(err::PathFileAccessError);
    }
    static const QList<QByteArray> kPictureFormats{"bmp", "jpeg", "jpg",  "ico", "cur", "gif",
                                                   "png", "webp", "tiff", "tif", "svg", "svgz"};
    if (!kPictureFormats.contains(reader->format())) throw Error(err::InvalidPicture);
    const bool icon = reader->format() == "ico" || reader->format() == "cur";
    // A photo shown in a box is decoded at about the box's size, never
    // smaller; a drawing without a box is drawn large enough for any the
    // program has.
    PictureNeed need;
    if (boxSize.isValid() && !icon)
        need = PictureNeed{QSizeF(boxSize), true, 1.0};
    else if (reader->isDrawing())
        need = PictureNeed{QSizeF(kDrawingSide, kDrawingSide), false, 1.0};
    try {
        return reader->read(need, icon ? chooseIconImage(*reader) : 0);
    } catch (const PictureError& error) {
        // Its size is what the user is told of a picture too large.
        if (error.kind() == PictureError::Kind::TooLarge) throw;
        throw Error(err::InvalidPicture);
    }
}

std::unique_ptr<QSettings> userSettings() {
    return std::make_unique<QSettings>(QSettings::UserScope, QStringLiteral("Zarvo"),
                                       QStringLiteral("Zarvo"));
}

QtUiServices::QtUiServices(ISystem& system)
    : system_(system), lastFolder_(userSettings()->value(kLastFolderKey).toString()) {}

namespace {

QMessageBox* makeBox(const QString& text, int style, const QString& title, QWidget* parent) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (style & 0x70) {
        case mb::Critical:
            icon = QMessageBox::Critical;
            break;
        case 32:
            icon = QMessageBox::Question;
            break;
        case mb::Exclamation:
            icon = QMessageBox::Warning;
            break;
        case mb::Information:
            icon = QMessageBox::Information;
            break;
        default:
            break;
    }
    auto* box = new QMessageBox(icon, title.isEmpty() ? kApplicationTitle : title, text,
                                QMessageBox::Ok, parent);
    // Windows shows the text as it is; a '<' must not turn it into markup.
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(QMessageBox::Ok);
    return box;
}

}  // namespace

void QtUiServices::messageBox(const QString& text, int style, const QString& title) {
    const std::unique_ptr<QMessageBox> box(
        makeBox(text, style, title, QApplication::activeWindow()));
    box->exec();
}

void QtUiServices::noticeBox(const QString& text, int style, const QString& title,
                             QWidget* parent) {
    QMessageBox* box = makeBox(text, style, title, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Closing the window ends the program even while the box is shown.
    box->setAttribute(Qt::WA_QuitOnClose, false);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

namespace {

// A folder a dialog may start in: one that is there, and none of the
// temporary folders through which an image shows its files.
bool usableStart(const QString& folder) {
    return !folder.isEmpty() && QFileInfo(folder).isDir() && !isTemporaryHostPath(folder);
}

// Qt writes the folders a dialog visited (its history, the folder it was
// last in, the sidebar) into its own settings when the dialog goes, and
// offers them to every later dialog of any program. An image's temporary
// folders are gone by then, so none of them is left there.
void forgetTemporaryFolders(QFileDialog& fileDialog, const QString& safeFolder) {
    if (isTemporaryHostPath(fileDialog.directory().absolutePath()))
        fileDialog.setDirectory(safeFolder);
    QStringList history = fileDialog.history();
    history.removeIf(isTemporaryHostPath);
    fileDialog.setHistory(history);
    QList<QUrl> sidebar = fileDialog.sidebarUrls();
    sidebar.removeIf([](const QUrl& url) {
        return url.isLocalFile() && isTemporaryHostPath(url.toLocalFile());
    });
    fileDialog.setSidebarUrls(sidebar);
}

}  // namespace

QString QtUiServices::startFolder(const CommonDialog& dialog) {
    // The folder of this dialog's own last choice, where the next picture of
    // the same kind is likely to be; then wherever the last choice of any
    // dialog came from, this run or an earlier one.
    if (!dialog.fileName().isEmpty()) {
        try {
            const QFileInfo last(
                QString::fromStdString(system_.hostPath(dialog.fileName().toStdString())));
            if (usableStart(last.absolutePath())) return last.absolutePath();
        } catch (const Error&) {
            // A last file on a drive that is gone.
        }
    }
    if (usableStart(lastFolder_)) return lastFolder_;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (usableStart(pictures)) return pictures;
    return QDir::homePath();
}

void QtUiServices::rememberFolder(const QString& folder) {
    if (isTemporaryHostPath(folder)) return;
    lastFolder_ = folder;
    userSettings()->setValue(kLastFolderKey, folder);
}

void QtUiServices::prepareOpenDialog(QFileDialog& fileDialog, const CommonDialog& dialog) {
    fileDialog.setWindowTitle(QStringLiteral("Открыть"));
    // Qt's own dialog matches patterns case-insensitively, as Windows does;
    // the desktop's native one may not.
    fileDialog.setOption(QFileDialog::DontUseNativeDialog);
    fileDialog.setOption(QFileDialog::HideNameFilterDetails);
    fileDialog.setAcceptMode(QFileDialog::AcceptOpen);
    fileDialog.setFileMode(QFileDialog::ExistingFile);
    const QStringList filters = qtNameFilters(dialog.filter());
    if (!filters.isEmpty()) {
        fileDialog.setNameFilters(filters);
        fileDialog.selectNameFilter(filters.first());
    }
    const QString start = startFolder(dialog);
    fileDialog.setDirectory(start);
    // What an earlier run left in Qt's settings is not offered either.
    forgetTemporaryFolders(fileDialog, start);
}

bool QtUiServices::showOpen(CommonDialog& dialog, QWidget* parent) {
    QFileDialog fileDialog(parent);
    prepareOpenDialog(fileDialog, dialog);
    const bool accepted = fileDialog.exec() == QDialog::Accepted;
    const QStringList chosen = accepted ? fileDialog.selectedFiles() : QStringList();
    forgetTemporaryFolders(fileDialog, startFolder(dialog));
    if (chosen.isEmpty()) return false;
    rememberFolder(QFileInfo(chosen.first()).absolutePath());
    const QString path = QString::fromStdString(system_.windowsPath(chosen.first().toStdString()));
    dialog.setChoice(path, path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1));
    return true;
}

QImage QtUiServices::loadPicture(const QString& windowsPath, QSize boxSize) {
    if (windowsPath.isEmpty()) return QImage();
    return readPicture(QString::fromStdString(system_.hostPath(windowsPath.toStdString())),
                       boxSize);
}

QImage QtUiServices::resourceIcon(int id) {
    if (id < kFirstResourceIcon || id > kLastResourceIcon) throw Error(err::InvalidProcedureCall);
    const QImage image = readPicture(QStringLiteral(":/icons/%1.ico").arg(id));
    if (image.size() == kIconSize) return image;
    return image.scaled(kIconSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

std::optional<std::string> QtUiServices::windowsBitmap(const std::string& hostPath, int maxWidth,
                                                       int maxHeight, std::uint32_t background) {
    return windowsBitmapOf(QFile::decodeName(QByteArray::fromStdString(hostPath)),
                           QSize(maxWidth, maxHeight), QColor(QRgb(background)));
}

std::optional<std::string> QtUiServices::windows98Icon(const std::string& hostPath) {
    return windows98IconOf(QFile::decodeName(QByteArray::fromStdString(hostPath)));
}

std::optional<std::string> QtUiServices::screenFile(const std::string& hostPath, int bandStart) {
    ScreenOptions options;
    options.bandStart = bandStart;
    try {
        return screenFileFrom(QFile::decodeName(QByteArray::fromStdString(hostPath)), options);
    } catch (const PictureError& error) {
        switch (error.kind()) {
            case PictureError::Kind::NotPicture:
                return std::nullopt;
            case PictureError::Kind::TooLarge:
                throw Error(err::OutOfMemory);
            default:
                throw Error(err::InvalidPicture);
        }
    }
}

QSizeF QtUiServices::screenSizeTwips() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return QSizeF();
    return QSizeF(screen->geometry().size()) * kTwipsPerPixel;
}

}  // namespace zarvo
