#include "pages/wallpaper/wallpaper_page.h"

#include "changes/wallpaper.h"
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
    // Any picture can be a wallpaper here: a bitmap, first and the default,
    // or one to be made into a bitmap. What was chosen stays the other
    // pages' too.
    showOpenAdding(dialog, kPicturesFilter);
    if (auto picture = loadPreview(dialog.fileName(), preview->size()))
        preview->setPicture(*picture);
    // Kept even when the preview failed: "Выполнить" looks at the file again.
    pathField->setText(dialog.fileName());
}

void WallpaperPage::onSetWallpaper() {
    const QString path = pathField->text();
    // An empty path removes the wallpaper, which is a success too.
    if (setWallpaperFrom(system(), ui(), toStd(path)))
        ui().messageBox(QStringLiteral("Фон установлен"), mb::OkOnly);
    else
        ui().messageBox(QStringLiteral("Не удалось установить фон"), mb::Exclamation);
}

}  // namespace zarvo
