#pragma once

#include <array>
#include <string_view>

namespace zarvo {

// The animated boot pictures that ship in the pictures folder
// C:\Program Files\Zarvo\Zarvo\, in the order of the Animated boot page's
// list. The last one is the list's initial text.
inline constexpr std::array<std::string_view, 14> kBootPictureNames = {
    "AURORA.BMP", "CLOUDS.BMP",  "FIRE.BMP",    "GALAXY.BMP",   "OCEAN.BMP",
    "PLASMA.BMP", "RAINBOW.BMP", "SPIRAL.BMP",  "STARS.BMP",    "SUNRISE.BMP",
    "TUNNEL.BMP", "WAVES.BMP",   "WINDOWS.BMP", "BABYLON5.BMP",
};

}  // namespace zarvo
