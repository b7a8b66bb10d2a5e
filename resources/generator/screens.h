#pragma once

#include <string_view>

#include "screen_canvas.h"

namespace zarvo::resgen {

// One of the animated boot pictures of the pictures folder, by file name.
ScreenCanvas animatedBootPicture(std::string_view name);

// The program's own boot, wait and safe-to-turn-off screens.
ScreenCanvas programBootScreen();
ScreenCanvas programWaitScreen();
ScreenCanvas programSafeScreen();

// Stand-ins for the screens a fresh Windows 98 shows.
ScreenCanvas systemBootScreen();
ScreenCanvas systemWaitScreen();
ScreenCanvas systemSafeScreen();

// The wallpaper page's first preview.
ScreenCanvas wallpaperPreview();

// Shared by several screens: a bar along the bottom whose band colours flow
// to the right, like the one under Windows 98's boot picture.
void addFlowingBar(ScreenCanvas& canvas, double top, double height, double pixelsPerCycle);

// The program's emblem: a framed landscape with a painter's palette.
void drawEmblem(QPainter& painter, const QPointF& centre, double height);

}  // namespace zarvo::resgen
