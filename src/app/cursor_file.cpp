#include "app/cursor_file.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPixmap>

#include <cstdint>
#include <string>

namespace app {
namespace {

constexpr size_t kDirectorySize = 6;
constexpr size_t kEntrySize = 16;
constexpr uint16_t kCursorType = 2;
constexpr uint32_t kBitmapHeaderSize = 40;
constexpr int kLargestSide = 256;
// Far more than the largest cursor a directory can describe sensibly.
constexpr qint64 kLargestFile = 8 * 1024 * 1024;
constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";

[[noreturn]] void damaged(const std::string& detail) { throw CursorFileError(detail); }

// Little-endian reads over a range of bytes; every read is checked against the range.
class Reader {
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}

    size_t size() const { return static_cast<size_t>(m_bytes.size()); }
    QByteArrayView bytes() const { return m_bytes; }

    uint8_t u8(size_t offset) const {
        check(offset, 1);
        return static_cast<uint8_t>(m_bytes[static_cast<qsizetype>(offset)]);
    }
    uint16_t u16(size_t offset) const {
        return static_cast<uint16_t>(u8(offset) | (u8(offset + 1) << 8));
    }
    uint32_t u32(size_t offset) const {
        return static_cast<uint32_t>(u16(offset)) | (static_cast<uint32_t>(u16(offset + 2)) << 16);
    }
    int32_t i32(size_t offset) const { return static_cast<int32_t>(u32(offset)); }

    Reader slice(size_t offset, size_t length) const {
        check(offset, length);
        return Reader(
            m_bytes.sliced(static_cast<qsizetype>(offset), static_cast<qsizetype>(length)));
    }

private:
    void check(size_t offset, size_t width) const {
        if (offset > size() || width > size() - offset) {
            damaged("a structure reaches past the end of the file");
        }
    }

    QByteArrayView m_bytes;
};

struct Entry {
    int width;
    int height;
    QPoint hotSpot;
    uint32_t dataSize;
    uint32_t dataOffset;
};

int sideFromDirectory(uint8_t value) { return value == 0 ? kLargestSide : value; }

Entry readEntry(const Reader& file, size_t index) {
    const size_t at = kDirectorySize + index * kEntrySize;
    return Entry{sideFromDirectory(file.u8(at)), sideFromDirectory(file.u8(at + 1)),
                 QPoint(file.u16(at + 4), file.u16(at + 6)), file.u32(at + 8), file.u32(at + 12)};
}

Entry largestEntry(const Reader& file) {
    if (file.u16(0) != 0 || file.u16(2) != kCursorType) {
        damaged("it is not a cursor file");
    }
    const size_t count = file.u16(4);
    if (count == 0) {
        damaged("it holds no image");
    }
    Entry best = readEntry(file, 0);
    for (size_t index = 1; index < count; ++index) {
        const Entry entry = readEntry(file, index);
        if (entry.width * entry.height > best.width * best.height) {
            best = entry;
        }
    }
    return best;
}

QImage decodePng(const Reader& data) {
    QByteArray copy = data.bytes().toByteArray();
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kLargestSide || size.height() > kLargestSide) {
        damaged("its PNG image has no valid size of at most 256 pixels");
    }
    QImage image = reader.read();
    if (image.isNull()) {
        damaged("its PNG image cannot be decoded");
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

size_t rowStride(int width, int bitsPerPixel) {
    return ((static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel) + 31) / 32) * 4;
}

bool bitAt(const Reader& row, int x) {
    return ((row.u8(static_cast<size_t>(x) / 8) >> (7 - x % 8)) & 1) != 0;
}

QImage decodeBitmap(const Reader& data) {
    const uint32_t headerSize = data.u32(0);
    if (headerSize < kBitmapHeaderSize || headerSize > data.size()) {
        damaged("its image header has a wrong size");
    }
    const int32_t width = data.i32(4);
    const int32_t doubleHeight = data.i32(8);
    const int bitsPerPixel = data.u16(14);
    if (width < 1 || width > kLargestSide || doubleHeight < 2 || doubleHeight > 2 * kLargestSide) {
        damaged("its image size is out of range");
    }
    if (data.u32(16) != 0) {
        damaged("its image is compressed");
    }
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24 &&
        bitsPerPixel != 32) {
        damaged("its image has " + std::to_string(bitsPerPixel) + " bits per pixel");
    }
    const int height = doubleHeight / 2;

    QList<QRgb> palette;
    size_t offset = headerSize;
    if (bitsPerPixel <= 8) {
        const uint32_t largest = 1u << bitsPerPixel;
        const uint32_t coloursUsed = data.u32(32);
        const uint32_t colours = coloursUsed == 0 ? largest : coloursUsed;
        if (colours > largest) {
            damaged("its palette is larger than its pixels can address");
        }
        for (uint32_t index = 0; index < colours; ++index, offset += 4) {
            palette.append(qRgb(data.u8(offset + 2), data.u8(offset + 1), data.u8(offset)));
        }
    }
    const size_t colourStride = rowStride(width, bitsPerPixel);
    const size_t maskStride = rowStride(width, 1);
    const Reader colourRows = data.slice(offset, colourStride * static_cast<size_t>(height));
    const Reader maskRows = data.slice(offset + colourStride * static_cast<size_t>(height),
                                       maskStride * static_cast<size_t>(height));

    bool hasAlpha = false;
    if (bitsPerPixel == 32) {
        for (size_t at = 3; at < colourRows.size(); at += 4) {
            hasAlpha = hasAlpha || colourRows.u8(at) != 0;
        }
    }

    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        const size_t fileRow = static_cast<size_t>(height - 1 - y);
        const Reader colours = colourRows.slice(fileRow * colourStride, colourStride);
        const Reader mask = maskRows.slice(fileRow * maskStride, maskStride);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const size_t column = static_cast<size_t>(x);
            QRgb colour = 0;
            if (bitsPerPixel == 32) {
                colour = qRgba(colours.u8(column * 4 + 2), colours.u8(column * 4 + 1),
                               colours.u8(column * 4), colours.u8(column * 4 + 3));
            } else if (bitsPerPixel == 24) {
                colour = qRgb(colours.u8(column * 3 + 2), colours.u8(column * 3 + 1),
                              colours.u8(column * 3));
            } else {
                const int perByte = 8 / bitsPerPixel;
                const int shift = 8 - bitsPerPixel * (x % perByte + 1);
                const int index = (colours.u8(column / static_cast<size_t>(perByte)) >> shift) &
                                  ((1 << bitsPerPixel) - 1);
                if (index >= palette.size()) {
                    damaged("a pixel names a colour its palette does not have");
                }
                colour = palette[index];
            }
            if (!hasAlpha) {
                colour = bitAt(mask, x) ? qRgba(0, 0, 0, 0) : (colour | 0xff000000u);
            }
            line[x] = colour;
        }
    }
    return image;
}

}  // namespace

CursorImage decodeCursorFile(QByteArrayView bytes) {
    const Reader file(bytes);
    const Entry entry = largestEntry(file);
    const Reader data = file.slice(entry.dataOffset, entry.dataSize);
    const bool isPng =
        data.size() >= 8 && data.bytes().first(8) == QByteArrayView(kPngSignature, 8);
    CursorImage cursor{isPng ? decodePng(data) : decodeBitmap(data), entry.hotSpot};
    if (!cursor.image.rect().contains(cursor.hotSpot)) {
        damaged("its hot spot lies outside its image");
    }
    return cursor;
}

QCursor loadCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw CursorFileError("The pointer file " + path.toStdString() + " cannot be read.");
    }
    if (file.size() > kLargestFile) {
        throw CursorFileError("The pointer file " + path.toStdString() + " is too large.");
    }
    const QByteArray bytes = file.readAll();
    try {
        const CursorImage cursor = decodeCursorFile(bytes);
        return QCursor(QPixmap::fromImage(cursor.image), cursor.hotSpot.x(), cursor.hotSpot.y());
    } catch (const CursorFileError& failure) {
        throw CursorFileError("The pointer file " + path.toStdString() +
                              " is damaged: " + failure.what() + ".");
    }
}

}  // namespace app
