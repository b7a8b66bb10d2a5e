#include "wallpaper/wallpaper_page.h"

#include "app/form1.h"
#include "platform/error.h"
#include "platform/system.h"
#include "platform/ui_services.h"

namespace zarvo {

WallpaperPage::WallpaperPage(Form1& form)
    : Page(form, QStringLiteral("Frame4"), QStringLiteral("Фон")) {
    Text4 = makeField(this, QStringLiteral("Text4"), twips(120, 360, 1095, 375), QString());
    Command7 = makeButton(this, QStringLiteral("Command7"), QStringLiteral("Открыть"),
                          twips(120, 840, 1335, 315));
    Command6 = makeButton(this, QStringLiteral("Command6"), QStringLiteral("Выполнить"),
                          twips(120, 1320, 1335, 315));
    Image5 = new PictureBox(this, QStringLiteral("Image5"), twips(1800, 360, 2175, 2535), true);
    Image5->setDeferredPicture(
        [] { return builtInPicture(QStringLiteral(":/previews/wallpaper.bmp")); });

    onClick(Command7, [this] { onOpen(); });
    onClick(Command6, [this] { onSetWallpaper(); });
}

void WallpaperPage::onOpen() {
    // The dialog is shared with the screen-file pages: after a cancel its
    // remembered name, possibly chosen on another page, is what is used.
    CommonDialog& dialog = *form().CommonDialog2;
    ui().showOpen(dialog, this);
    if (auto picture = loadPreview(dialog.fileName())) Image5->setPicture(*picture);
    // Kept even when the preview failed: "Выполнить" may still hand it on.
    Text4->setText(dialog.fileName());
}

void WallpaperPage::onSetWallpaper() {
    // An empty path removes the wallpaper, which is a success too.
    if (system().setDesktopWallpaper(toStd(Text4->text())))
        ui().messageBox(QStringLiteral("Фон установлен"), mb::OkOnly);
    else
        ui().messageBox(QStringLiteral("Не удалось установить фон"), mb::Exclamation);
}

}  // namespace zarvo
