#include "ui/layouts/application_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace ui {
namespace {

// The design is drawn on a 256-unit square and scaled to each image.
constexpr double kDesignSize = 256.0;

const QColor kTileTop(0x2A, 0x8C, 0xA8);
const QColor kTileBottom(0x12, 0x45, 0x59);
const QColor kSheet(0xFF, 0xFF, 0xFF);
const QColor kSheetHeader(0xF2, 0xA5, 0x41);
const QColor kSheetRule(0xB8, 0xC9, 0xD4);
const QColor kArrow(0xFF, 0xE0, 0x8A);

void paintTile(QPainter& painter, bool roundedCorners) {
    QLinearGradient gradient(0, 0, 0, kDesignSize);
    gradient.setColorAt(0, kTileTop);
    gradient.setColorAt(1, kTileBottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    if (roundedCorners) {
        painter.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);
    } else {
        painter.drawRect(QRectF(0, 0, kDesignSize, kDesignSize));
    }
}

// A table: a white sheet with a coloured header row and ruled lines.
void paintSheet(QPainter& painter, const QRectF& sheet) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(kSheet);
    painter.drawRoundedRect(sheet, 8, 8);
    painter.setBrush(kSheetHeader);
    painter.drawRoundedRect(QRectF(sheet.left(), sheet.top(), sheet.width(), 30), 8, 8);
    painter.drawRect(QRectF(sheet.left(), sheet.top() + 16, sheet.width(), 14));
    painter.setPen(QPen(kSheetRule, 6, Qt::SolidLine, Qt::FlatCap));
    for (double y = sheet.top() + 50; y < sheet.bottom() - 8; y += 22) {
        painter.drawLine(QPointF(sheet.left() + 10, y), QPointF(sheet.right() - 10, y));
    }
    painter.drawLine(QPointF(sheet.center().x(), sheet.top() + 38),
                     QPointF(sheet.center().x(), sheet.bottom() - 10));
}

// The arrow arches from above the left sheet to above the right one and points down into it.
void paintArrow(QPainter& painter) {
    QPainterPath arch;
    arch.moveTo(74, 94);
    arch.cubicTo(84, 30, 172, 30, 182, 78);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kArrow, 18, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(arch);

    QPainterPath head;
    head.moveTo(158, 70);
    head.lineTo(206, 70);
    head.lineTo(182, 104);
    head.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(kArrow);
    painter.drawPath(head);
}

QImage paintImage(int size, QImage::Format format) {
    const bool transparent = format == QImage::Format_ARGB32;
    QImage image(size, size, format);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / kDesignSize, size / kDesignSize);
    paintTile(painter, transparent);
    paintSheet(painter, QRectF(30, 112, 92, 112));
    paintSheet(painter, QRectF(134, 112, 92, 112));
    paintArrow(painter);
    return image;
}

}  // namespace

std::vector<QImage> applicationIconImages() {
    return {applicationIconImage(256), applicationIconImage(128), applicationIconImage(48),
            paintImage(32, QImage::Format_RGB888)};
}

QImage applicationIconImage(int size) { return paintImage(size, QImage::Format_ARGB32); }

QIcon applicationIcon() {
    QIcon icon;
    for (const QImage& image : applicationIconImages()) {
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

}  // namespace ui
