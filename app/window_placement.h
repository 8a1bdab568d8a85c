#pragma once
// The main window's stored position, size and state. Stored in twips
// (1/1440 inch) so a placement means the same on screens of another pixel
// density; converted with the screen's logical DPI.

#include <QRect>
#include <QVariant>
#include <Qt>

namespace orvane {

// The values as they stand in the settings root key.
struct StoredPlacement {
    QVariant left, top, width, height, state;
};

// "lState": 0 normal, 1 minimised, 2 maximised.
enum class StoredWindowState : int { Normal = 0, Minimized = 1, Maximized = 2 };

struct Placement {
    QRect geometry;  // pixels: frame position, client size
    StoredWindowState state = StoredWindowState::Normal;
};

struct ScreenMetrics {
    QRect geometry;      // pixels, of the screen the window goes to
    double dpiX = 96.0;  // logical DPI
    double dpiY = 96.0;
};

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDefaultWidthTwips = 10500;
inline constexpr int kDefaultHeightTwips = 7275;

int TwipsToPixels(qint64 twips, double dpi);
qint64 PixelsToTwips(int pixels, double dpi);

// Where the window opens. An empty "lWidth" gives the default size centred
// on the screen; a stored minimised state opens normal. A stored rectangle
// that no longer touches the screen (a monitor was removed) or has no size
// is centred at the default size, so the window is never out of reach.
// The result always fits the screen's free area: a placement larger than
// it (a scaled desktop, a smaller monitor) is shrunk and moved inside.
// `freeArea` is the screen's area without panels; empty: the whole screen.
Placement PlacementFromStored(const StoredPlacement& stored, const ScreenMetrics& screen,
                              const QRect& freeArea = QRect());

// What shutdown writes: position and size only in normal state, the state
// always, so a maximised window keeps its last normal placement.
StoredPlacement StoredFromWindow(const QRect& normalGeometry, Qt::WindowStates states,
                                 const ScreenMetrics& screen);

}  // namespace orvane
