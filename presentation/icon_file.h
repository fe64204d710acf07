// Reads the program's artwork from .ico files: one image per size, 32 bits per pixel.
// The files come from art/ through art/render.sh; a damaged file gives no image, never
// a read outside the bytes.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "presentation/tray_bitmap.h"

namespace corvella {

// The side lengths of the images a .ico file lists (256 for a listed 0); empty when the
// file is not an icon file.
std::vector<int> IconFileSizes(std::string_view file);

// Of the sizes every one of `files` holds: `size` itself, else the nearest larger one (the
// shell shrinks a picture more cleanly than it enlarges one), else the largest; 0 when the
// files have no size in common.
int NearestCommonIconSize(const std::vector<std::string_view>& files, int size);

// The square image of `size` pixels, when the file holds one as a 32-bit bitmap. Without
// any alpha in it the file's transparency mask decides what is transparent.
std::optional<TrayBitmap> IconFileImage(std::string_view file, int size);

}  // namespace corvella
