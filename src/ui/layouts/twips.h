// Designed positions and sizes are in twips, 1/1440 inch. A window turns them into pixels at its
// screen's logical resolution: 15 twips to the pixel at 96 dots per inch.
#pragma once

#include <QRect>

class QWidget;

namespace ui {

inline constexpr double kTwipsPerInch = 1440.0;

// A rectangle in twips: left and top from the container's top-left corner (a frame's own corner
// for a control inside a frame), then width and height.
struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class TwipScale {
public:
    // Dots per inch across and down.
    TwipScale(double dpiX, double dpiY) : m_dpiX(dpiX), m_dpiY(dpiY) {}
    // The logical resolution of the screen the widget is on.
    static TwipScale of(const QWidget& widget);

    // Each value is converted on its own and rounded to the nearest pixel.
    int pixelsAcross(int twips) const;
    int pixelsDown(int twips) const;
    QRect pixels(const TwipRect& rect) const;

private:
    double m_dpiX;
    double m_dpiY;
};

}  // namespace ui
