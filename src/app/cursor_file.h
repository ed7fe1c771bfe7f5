// Windows cursor files (.CUR), the format of the hand pointer beside the program. Everything read
// from the file is checked before use: a damaged file gives a CursorFileError, never a read
// outside the file. Integers are little-endian.
//
// Directory, at the start of the file:
//   offset  size  meaning
//      0      2   reserved, 0
//      2      2   resource type: 2 for a cursor (1 is an icon)
//      4      2   number of images n, at least 1
//      6   16*n   one entry per image:
//                   +0  1  width in pixels (0 means 256)
//                   +1  1  height in pixels (0 means 256)
//                   +2  1  palette size (0 for 8 bits per pixel or more)
//                   +3  1  reserved
//                   +4  2  hot spot x, from the left
//                   +6  2  hot spot y, from the top
//                   +8  4  size of the image data in bytes
//                  +12  4  offset of the image data from the start of the file
//
// Image data: a complete PNG file, or a bitmap without its file header:
//   offset  size  meaning
//      0      4   header size: 40, or more for later header versions
//      4      4   width in pixels (signed)
//      8      4   height in pixels (signed) of the colour rows and the mask rows together, that
//                 is twice the image's height
//     12      2   planes, 1
//     14      2   bits per pixel: 1, 4, 8, 24 or 32
//     16      4   compression: 0, none
//     32      4   palette size (0: 2^bits for 8 bits or fewer)
//   then, from the end of the header: the palette (8 bits or fewer; 4 bytes per colour: blue,
//   green, red, 0), the colour rows (32 bits: blue, green, red, alpha; 24 bits: blue, green,
//   red; fewer: palette indexes, the leftmost pixel in the highest bits), then the mask rows,
//   1 bit per pixel, 1 meaning transparent. Rows run from the bottom up and each is padded to a
//   multiple of 4 bytes. A 32-bit image whose alpha is 0 everywhere is transparent where its mask
//   says so. Where the mask is set over a non-black colour, Windows inverts the screen; an image
//   cannot do that, so such pixels are transparent too.
#pragma once

#include <QByteArrayView>
#include <QCursor>
#include <QImage>
#include <QPoint>
#include <QString>

#include <stdexcept>

namespace app {

class CursorFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CursorImage {
    QImage image;    // ARGB32
    QPoint hotSpot;  // the pixel that points, from the top-left corner
};

// Decodes the largest image of a cursor file (the first of equal size).
CursorImage decodeCursorFile(QByteArrayView bytes);

// Reads and decodes a cursor file into a pointer.
QCursor loadCursorFile(const QString& path);

}  // namespace app
