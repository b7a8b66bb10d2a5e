#include "pages/wallpaper/wallpaper_page.h"

#include <QImageReader>

#include "changes/wallpaper.h"
#include "system/error.h"
#include "system/system.h"
#include "ui/ui_services.h"

namespace zarvo {

WallpaperPage::WallpaperPage(PageContext& context, QWidget* parent)
    : Page(context, parent, QStringLiteral("Frame4"), QStringLiteral("Фон")) {
    pathField = addPathField(QStringLiteral("Text4"), twips(120, 360, 1095, 375), QString());
    openButton = makeButton(this, QStringLiteral("Command7"), QStringLiteral("Открыть"),
                            twips(120, 840, 1335, 315));
    setButton = makeButton(this, QStringLiteral("Command6"), QStringLiteral("Выполнить"),
                           twips(120, 1320, 1335, 315));
    preview = new PictureBox(this, QStringLiteral("Image5"), twips(1800, 360, 2175, 2535), true);
    preview->setDeferredPicture(
        [] { return builtInPicture(QStringLiteral(":/previews/wallpaper.bmp")); });

    onClick(openButton, [this] { onOpen(); });
    onClick(setButton, [this] { onSetWallpaper(); });
}

void WallpaperPage::onOpen() {
    // The dialog is shared with the screen-file pages: after a cancel its
    // remembered name, possibly chosen on another page, is what is used.
    CommonDialog& dialog = context().pictureDialog;
    ui().showOpen(dialog, this);
    if (auto picture = loadPreview(dialog.fileName())) preview->setPicture(*picture);
    // Kept even when the preview failed: "Выполнить" looks at the file again.
    pathField->setText(dialog.fileName());
}

bool WallpaperPage::isWallpaperBitmap(const QString& path) {
    try {
        // What the picture loader refuses (not a picture, a truncated
        // bitmap, a missing file) Windows could not show either.
        if (ui().loadPicture(path).isNull()) return false;
        // Windows 98 draws only bitmaps as wallpaper: a JPEG, GIF or icon
        // that reads well here would leave the desktop blank there, so it is
        // refused rather than reported as set. Judged by the content, not by
        // the name.
        QImageReader reader(QString::fromStdString(system().hostPath(toStd(path))));
        reader.setDecideFormatFromContent(true);
        return reader.format() == "bmp";
    } catch (const Error&) {
        return false;
    }
}

void WallpaperPage::onSetWallpaper() {
    const QString path = pathField->text();
    // An empty path removes the wallpaper, which is a success too.
    if ((path.isEmpty() || isWallpaperBitmap(path)) && setWallpaper(system(), toStd(path)))
        ui().messageBox(QStringLiteral("Фон установлен"), mb::OkOnly);
    else
        ui().messageBox(QStringLiteral("Не удалось установить фон"), mb::Exclamation);
}

}  // namespace zarvo
