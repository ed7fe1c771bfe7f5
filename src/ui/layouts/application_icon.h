// The application icon, shown in the title bars of both windows: two table sheets on a blue-green
// tile with an arrow carrying a table from the left one to the right one. It is painted by the
// program in four images - 32 by 32 pixels at 24 bits per pixel (no transparency, so the tile
// fills the square), and 256, 128 and 48 pixels square at 32 bits per pixel, with rounded,
// transparent corners.
#pragma once

#include <QIcon>
#include <QImage>

#include <vector>

namespace ui {

// The four images, largest first.
std::vector<QImage> applicationIconImages();

// The design at any size, 32 bits per pixel with transparent corners (as the three large images
// of the four); the desktop's icon theme takes it in its usual sizes.
QImage applicationIconImage(int size);

QIcon applicationIcon();

}  // namespace ui
