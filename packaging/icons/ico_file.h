// Windows icon files (.ico) from rendered icon images, for the Windows installer, which needs the
// program's icon as a file while it is built on a machine that is not Windows.
#pragma once

#include <cstdint>
#include <vector>

#include "icon_art.h"

// Encodes the images, each square and 1 to 255 pixels wide, as one icon file: every image as a
// 32-bit device-independent bitmap with its alpha channel and the 1-bit mask that older readers
// use. Returns no bytes when an image has a size the format cannot hold or no pixels.
std::vector<std::uint8_t> EncodeIcoFile(const std::vector<IconImage>& images);
