#include "ui/layouts/twips.h"

#include <QWidget>

#include <cmath>

namespace ui {

TwipScale TwipScale::of(const QWidget& widget) {
    return TwipScale(widget.logicalDpiX(), widget.logicalDpiY());
}

int TwipScale::pixelsAcross(int twips) const {
    return static_cast<int>(std::lround(twips * m_dpiX / kTwipsPerInch));
}

int TwipScale::pixelsDown(int twips) const {
    return static_cast<int>(std::lround(twips * m_dpiY / kTwipsPerInch));
}

QRect TwipScale::pixels(const TwipRect& rect) const {
    return QRect(pixelsAcross(rect.left), pixelsDown(rect.top), pixelsAcross(rect.width),
                 pixelsDown(rect.height));
}

}  // namespace ui
