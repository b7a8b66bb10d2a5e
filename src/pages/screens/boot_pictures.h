#pragma once

// The animated boot pictures, kBootPictureNames, are listed once, in
// resources/boot_pictures.txt: the build makes a picture for each and turns
// the list into this header.
#include "resource_names/boot_pictures.h"
