// Small routines every window shares: centring a window on the screen, telling whether a file
// exists, painting a window's background controls in the button-face colour, and skinning the
// database selection window. None of them traps failures; a failure goes to the trapped
// procedure that called it.
#pragma once

#include <QColor>
#include <QPointF>
#include <QSizeF>
#include <QString>

class QWidget;

namespace app {

// The top-left corner that centres a window of the given outer size on a screen of the given
// size, in the screen's units and unrounded: an odd difference gives a half, and a window larger
// than the screen gets a negative position.
QPointF centredPosition(const QSizeF& screen, const QSizeF& window);

// Places the window (its outer frame) in the middle of its screen. Qt positions windows on whole
// pixels, so a half-pixel position is moved up and left to the pixel before it.
//
// A window not yet on screen has no frame, so it is centred on its inner size. When a window
// manager then frames it, the window is centred once more, on that inner size with the frame's
// borders and title bar around it. Without a window manager the frame stays the window itself
// and the window stays where it was put.
void CenterForm(QWidget& window);

// True when the file system can tell the last-modified time of the path (a file, or a folder),
// following symbolic links. Every failure - empty text, a missing file or folder, a broken link,
// a path the system cannot take - gives false. Never throws.
bool FileExists(const QString& path) noexcept;

// The button-face colour: the colour of dialog backgrounds and push buttons in the user's colour
// scheme (the application palette's button colour).
QColor buttonFaceColor();

// Gives the window and each of its option buttons, check boxes, frames and labels the
// button-face colour as background. Text boxes, lists, push buttons, progress bars and images keep
// their own colours.
void ApplyFaceColor(QWidget& window);

// Skins the database selection window when the skin file "x/o.cjs" lies beside the program as a
// plain file: the window and its background controls take the button-face colour, as
// ApplyFaceColor gives them. The skin file itself is in the format of a skinning control that
// this platform does not have, so it is not read; without the file nothing changes.
void ApplySkin(QWidget& selectionWindow);

}  // namespace app
