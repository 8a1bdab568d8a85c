#include "app/window_placement.h"

#include <cmath>

#include "ui/screen_fit.h"

namespace orvane {
namespace {

qint64 NumberOf(const QVariant& value) {
    bool ok = false;
    const qint64 number = value.toString().trimmed().toLongLong(&ok);
    return ok ? number : 0;
}

Placement DefaultPlacement(const ScreenMetrics& screen) {
    const qint64 screenWidth = PixelsToTwips(screen.geometry.width(), screen.dpiX);
    const qint64 screenHeight = PixelsToTwips(screen.geometry.height(), screen.dpiY);
    const QRect geometry(
        screen.geometry.left() + TwipsToPixels((screenWidth - kDefaultWidthTwips) / 2, screen.dpiX),
        screen.geometry.top() +
            TwipsToPixels((screenHeight - kDefaultHeightTwips) / 2, screen.dpiY),
        TwipsToPixels(kDefaultWidthTwips, screen.dpiX),
        TwipsToPixels(kDefaultHeightTwips, screen.dpiY));
    return {geometry, StoredWindowState::Normal};
}

}  // namespace

int TwipsToPixels(qint64 twips, double dpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / kTwipsPerInch));
}

qint64 PixelsToTwips(int pixels, double dpi) {
    return std::llround(static_cast<double>(pixels) * kTwipsPerInch / dpi);
}

namespace {

Placement Unfitted(const StoredPlacement& stored, const ScreenMetrics& screen) {
    if (stored.width.toString().isEmpty()) {
        return DefaultPlacement(screen);
    }
    Placement placement;
    placement.geometry = QRect(TwipsToPixels(NumberOf(stored.left), screen.dpiX),
                               TwipsToPixels(NumberOf(stored.top), screen.dpiY),
                               TwipsToPixels(NumberOf(stored.width), screen.dpiX),
                               TwipsToPixels(NumberOf(stored.height), screen.dpiY));
    placement.state = NumberOf(stored.state) == static_cast<int>(StoredWindowState::Maximized)
                          ? StoredWindowState::Maximized
                          : StoredWindowState::Normal;
    if (placement.geometry.width() <= 0 || placement.geometry.height() <= 0 ||
        !placement.geometry.intersects(screen.geometry)) {
        const StoredWindowState state = placement.state;
        placement = DefaultPlacement(screen);
        placement.state = state;
    }
    return placement;
}

}  // namespace

Placement PlacementFromStored(const StoredPlacement& stored, const ScreenMetrics& screen,
                              const QRect& freeArea) {
    Placement placement = Unfitted(stored, screen);
    placement.geometry =
        FitInside(placement.geometry, freeArea.isEmpty() ? screen.geometry : freeArea);
    return placement;
}

StoredPlacement StoredFromWindow(const QRect& normalGeometry, Qt::WindowStates states,
                                 const ScreenMetrics& screen) {
    StoredPlacement stored;
    StoredWindowState state = StoredWindowState::Normal;
    if (states & Qt::WindowMinimized) {
        state = StoredWindowState::Minimized;
    } else if (states & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        state = StoredWindowState::Maximized;
    }
    stored.state = QString::number(static_cast<int>(state));
    if (state == StoredWindowState::Normal) {
        stored.left = QString::number(PixelsToTwips(normalGeometry.left(), screen.dpiX));
        stored.top = QString::number(PixelsToTwips(normalGeometry.top(), screen.dpiY));
        stored.width = QString::number(PixelsToTwips(normalGeometry.width(), screen.dpiX));
        stored.height = QString::number(PixelsToTwips(normalGeometry.height(), screen.dpiY));
    }
    return stored;
}

}  // namespace orvane
