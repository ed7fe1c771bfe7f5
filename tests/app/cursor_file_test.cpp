#include "app/cursor_file.h"

#include "support/fixtures.h"

#include <QBuffer>
#include <QFile>

#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace app {
namespace {

void append16(QByteArray& out, uint32_t value) {
    out.append(static_cast<char>(value & 0xff));
    out.append(static_cast<char>((value >> 8) & 0xff));
}

void append32(QByteArray& out, uint32_t value) {
    append16(out, value & 0xffff);
    append16(out, value >> 16);
}

using PixelAt = std::function<uint32_t(int x, int y)>;  // palette index or QRgb
using MaskedAt = std::function<bool(int x, int y)>;     // true: transparent

// A bitmap as cursor files hold it: header, palette, colour rows and mask rows, bottom-up.
QByteArray bitmapImage(int width, int height, int bits, const std::vector<QRgb>& palette,
                       const PixelAt& pixel, const MaskedAt& masked) {
    QByteArray out;
    append32(out, 40);
    append32(out, static_cast<uint32_t>(width));
    append32(out, static_cast<uint32_t>(height * 2));
    append16(out, 1);
    append16(out, static_cast<uint32_t>(bits));
    for (int field = 0; field < 4; ++field) {
        append32(out, 0);  // compression, image size, resolution
    }
    append32(out, static_cast<uint32_t>(palette.size()));
    append32(out, 0);
    for (const QRgb colour : palette) {
        for (const int channel : {qBlue(colour), qGreen(colour), qRed(colour), 0}) {
            out.append(static_cast<char>(channel));
        }
    }
    const int colourStride = (width * bits + 31) / 32 * 4;
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(colourStride, 0);
        for (int x = 0; x < width; ++x) {
            const uint32_t value = pixel(x, y);
            if (bits == 32) {
                row[x * 4] = static_cast<char>(qBlue(value));
                row[x * 4 + 1] = static_cast<char>(qGreen(value));
                row[x * 4 + 2] = static_cast<char>(qRed(value));
                row[x * 4 + 3] = static_cast<char>(qAlpha(value));
            } else if (bits == 24) {
                row[x * 3] = static_cast<char>(qBlue(value));
                row[x * 3 + 1] = static_cast<char>(qGreen(value));
                row[x * 3 + 2] = static_cast<char>(qRed(value));
            } else {
                const int bit = x * bits;
                row[bit / 8] = static_cast<char>(row[bit / 8] | (value << (8 - bits - bit % 8)));
            }
        }
        out += row;
    }
    const int maskStride = (width + 31) / 32 * 4;
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(maskStride, 0);
        for (int x = 0; x < width; ++x) {
            if (masked(x, y)) {
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
            }
        }
        out += row;
    }
    return out;
}

struct Image {
    int width;  // as the directory gives it
    int height;
    QPoint hotSpot;
    QByteArray data;
};

QByteArray cursorFile(const std::vector<Image>& images, uint16_t type = 2) {
    QByteArray out;
    append16(out, 0);
    append16(out, type);
    append16(out, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (const auto& image : images) {
        out.append(static_cast<char>(image.width & 0xff));
        out.append(static_cast<char>(image.height & 0xff));
        out.append(static_cast<char>(0));
        out.append(static_cast<char>(0));
        append16(out, static_cast<uint32_t>(image.hotSpot.x()));
        append16(out, static_cast<uint32_t>(image.hotSpot.y()));
        append32(out, static_cast<uint32_t>(image.data.size()));
        append32(out, offset);
        offset += static_cast<uint32_t>(image.data.size());
    }
    for (const auto& image : images) {
        out += image.data;
    }
    return out;
}

const QRgb kClear = qRgba(0, 0, 0, 0);

// 3 by 2, every pixel different; the middle of the top row is transparent by its mask.
QByteArray smallCursor(int bits) {
    const std::vector<QRgb> colours = {qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(0, 0, 255),
                                       qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(255, 0, 255)};
    const bool indexed = bits <= 8;
    return cursorFile({{3, 2, QPoint(2, 1),
                        bitmapImage(
                            3, 2, bits, indexed ? colours : std::vector<QRgb>{},
                            [&](int x, int y) {
                                const auto index = static_cast<uint32_t>(y * 3 + x);
                                return indexed ? index : colours[index];
                            },
                            [](int x, int y) { return x == 1 && y == 0; })}});
}

TEST(CursorFile, decodesPalettedAndTrueColourBitmapsWithTheirMaskAndHotSpot) {
    for (const int bits : {4, 8, 24}) {
        const CursorImage cursor = decodeCursorFile(smallCursor(bits));
        ASSERT_EQ(cursor.image.size(), QSize(3, 2)) << bits;
        EXPECT_EQ(cursor.hotSpot, QPoint(2, 1)) << bits;
        EXPECT_EQ(cursor.image.pixel(0, 0), qRgb(255, 0, 0)) << bits;
        EXPECT_EQ(cursor.image.pixel(1, 0), kClear) << bits;
        EXPECT_EQ(cursor.image.pixel(2, 0), qRgb(0, 0, 255)) << bits;
        EXPECT_EQ(cursor.image.pixel(0, 1), qRgb(255, 255, 0)) << bits;
        EXPECT_EQ(cursor.image.pixel(2, 1), qRgb(255, 0, 255)) << bits;
    }
}

TEST(CursorFile, decodesAOneBitImageWiderThanOneMaskWord) {
    const int width = 33;
    const QByteArray file = cursorFile(
        {{width, 3, QPoint(32, 2),
          bitmapImage(
              width, 3, 1, {qRgb(0, 0, 0), qRgb(255, 255, 255)},
              [](int x, int y) { return (x + y) % 2u; }, [](int x, int) { return x == 32; })}});
    const CursorImage cursor = decodeCursorFile(file);
    ASSERT_EQ(cursor.image.size(), QSize(width, 3));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < width - 1; ++x) {
            EXPECT_EQ(cursor.image.pixel(x, y), (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0))
                << x << "," << y;
        }
        EXPECT_EQ(cursor.image.pixel(width - 1, y), kClear);
    }
    EXPECT_EQ(cursor.hotSpot, QPoint(32, 2));
}

TEST(CursorFile, takesAlphaFromThirtyTwoBitImagesAndTheMaskWhenAlphaIsEmpty) {
    const QRgb halfRed = qRgba(255, 0, 0, 128);
    const QByteArray withAlpha =
        cursorFile({{2, 1, QPoint(0, 0),
                     bitmapImage(
                         2, 1, 32, {}, [&](int x, int) { return x == 0 ? halfRed : kClear; },
                         [](int, int) { return true; })}});
    const CursorImage alpha = decodeCursorFile(withAlpha);
    EXPECT_EQ(alpha.image.pixel(0, 0), halfRed);
    EXPECT_EQ(alpha.image.pixel(1, 0), kClear);

    const QByteArray withoutAlpha =
        cursorFile({{2, 1, QPoint(1, 0),
                     bitmapImage(
                         2, 1, 32, {}, [](int, int) { return qRgba(0, 0, 255, 0); },
                         [](int x, int) { return x == 1; })}});
    const CursorImage masked = decodeCursorFile(withoutAlpha);
    EXPECT_EQ(masked.image.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(masked.image.pixel(1, 0), kClear);
}

QByteArray pngOf(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

TEST(CursorFile, decodesAPngImageAndPicksTheLargestImage) {
    QImage large(32, 32, QImage::Format_ARGB32);
    large.fill(qRgba(10, 20, 30, 255));
    large.setPixel(31, 0, kClear);
    const QByteArray file = cursorFile({{16, 16, QPoint(1, 1), smallCursor(8)},
                                        {32, 32, QPoint(31, 0), pngOf(large)},
                                        {24, 24, QPoint(2, 2), smallCursor(24)}});
    const CursorImage cursor = decodeCursorFile(file);
    EXPECT_EQ(cursor.image.size(), QSize(32, 32));
    EXPECT_EQ(cursor.hotSpot, QPoint(31, 0));
    EXPECT_EQ(cursor.image.pixel(0, 0), qRgba(10, 20, 30, 255));
    EXPECT_EQ(cursor.image.pixel(31, 0), kClear);
}

TEST(CursorFile, rejectsFilesThatAreNotCursorsOrDescribeImpossibleImages) {
    auto bitmapWith = [](size_t offset, uint32_t value) {
        QByteArray file = smallCursor(4);
        const size_t at = 6 + 16 + offset;
        for (int index = 0; index < 4; ++index) {
            file[static_cast<qsizetype>(at) + index] = static_cast<char>(value >> (8 * index));
        }
        return file;
    };
    QImage huge(300, 2, QImage::Format_ARGB32);
    huge.fill(Qt::red);
    QImage small(4, 4, QImage::Format_ARGB32);
    small.fill(Qt::red);
    const QByteArray cases[] = {
        QByteArray(),
        cursorFile({{3, 2, QPoint(0, 0), smallCursor(4).mid(22)}}, 1),  // an icon
        cursorFile({}),                                                 // no image
        bitmapWith(4, 0),                                               // width 0
        bitmapWith(4, 257),                                             // width past 256
        bitmapWith(8, 0xfffffffe),                                      // negative height
        bitmapWith(14, 16),                                             // 16 bits per pixel
        bitmapWith(16, 3),                                              // compressed
        bitmapWith(32, 17),                                             // palette too large
        bitmapWith(0, 0x7fffffff),                                      // header past the end
        cursorFile({{3, 2, QPoint(3, 0), smallCursor(4).mid(22)}}),     // hot spot outside
        cursorFile({{3, 2, QPoint(0, 0), pngOf(huge)}}),                // PNG too large
        cursorFile({{3, 2, QPoint(0, 0), pngOf(small).left(40)}}),      // PNG cut short
    };
    for (size_t index = 0; index < std::size(cases); ++index) {
        EXPECT_THROW(decodeCursorFile(cases[index]), CursorFileError) << "case " << index;
    }

    // Two palette colours, but a 4-bit pixel names colour 5.
    const QByteArray missingColour =
        cursorFile({{1, 1, QPoint(0, 0),
                     bitmapImage(
                         1, 1, 4, {qRgb(0, 0, 0), qRgb(1, 1, 1)}, [](int, int) { return 5u; },
                         [](int, int) { return false; })}});
    EXPECT_THROW(decodeCursorFile(missingColour), CursorFileError);
}

TEST(CursorFile, aDamagedFileGivesAnErrorNeverAReadOutsideIt) {
    for (const QByteArray& good : {smallCursor(8), smallCursor(32)}) {
        for (qsizetype length = 0; length < good.size(); ++length) {
            EXPECT_THROW(decodeCursorFile(good.left(length)), CursorFileError) << length;
        }
        for (qsizetype at = 0; at < good.size(); ++at) {
            for (const char value : {'\x00', '\x7f', '\xff'}) {
                QByteArray damaged = good;
                damaged[at] = value;
                try {
                    decodeCursorFile(damaged);
                } catch (const CursorFileError&) {
                }
            }
        }
    }
}

TEST(CursorFile, loadsAFileIntoAPointerWithItsHotSpot) {
    support::TempDir folder;
    const QString path = QString::fromStdString((folder / "HAND-M.CUR").string());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(smallCursor(24));
    file.close();

    const QCursor cursor = loadCursorFile(path);
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.hotSpot(), QPoint(2, 1));
    EXPECT_EQ(cursor.pixmap().size(), QSize(3, 2));

    try {
        loadCursorFile(path + QStringLiteral(".missing"));
        FAIL() << "a missing file must not load";
    } catch (const CursorFileError& error) {
        EXPECT_NE(std::string(error.what()).find("HAND-M.CUR.missing"), std::string::npos);
    }
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(smallCursor(24).left(30));
    file.close();
    try {
        loadCursorFile(path);
        FAIL() << "a damaged file must not load";
    } catch (const CursorFileError& error) {
        EXPECT_NE(std::string(error.what()).find("is damaged"), std::string::npos);
    }
}

}  // namespace
}  // namespace app
