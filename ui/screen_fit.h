#pragma once
// Windows that fit the screen: a stored or default size larger than the
// screen's free area (a scaled desktop, a smaller monitor) is shrunk, and a
// window hanging over an edge is moved in, so every window opens whole.

#include <QRect>

class QWidget;

namespace orvane {

// `wanted` shrunk to at most `available`'s size and moved inside it; an
// empty `available` (no screen known) leaves it as it is.
QRect FitInside(const QRect& wanted, const QRect& available);

// Fits a top-level window (frame included) into the free area of its
// screen; installed once on the application, it does so for every window
// the moment it is first shown.
void FitWindowToScreen(QWidget* window);
void FitEveryWindowToItsScreen();

}  // namespace orvane
