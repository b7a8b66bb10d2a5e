#include "wallpaper/wallpaper_page.h"

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
}

}  // namespace zarvo
