#pragma once

#include <QLineEdit>
#include <QPushButton>

#include "app/controls.h"
#include "app/page.h"

namespace zarvo {

// The Wallpaper page: sets the desktop wallpaper from a bitmap file.
class WallpaperPage : public Page {
public:
    explicit WallpaperPage(Form1& form);

    QLineEdit* Text4;
    QPushButton* Command7;
    QPushButton* Command6;
    PictureBox* Image5;

private:
    void onOpen();
    void onSetWallpaper();
};

}  // namespace zarvo
