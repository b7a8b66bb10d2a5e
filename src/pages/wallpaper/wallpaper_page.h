#pragma once

#include <QPushButton>

#include "widgets/controls.h"
#include "widgets/page.h"

namespace zarvo {

// The Wallpaper page: sets the desktop wallpaper from a bitmap, or from a
// bitmap made of any other picture.
class WallpaperPage : public Page {
public:
    WallpaperPage(PageContext& context, QWidget* parent);

    PathField* pathField;     // Text4
    QPushButton* openButton;  // Command7
    QPushButton* setButton;   // Command6
    PictureBox* preview;      // Image5

private:
    void onOpen();
    void onSetWallpaper();
};

}  // namespace zarvo
