#include "ui/screen_fit.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace orvane {
namespace {

class ScreenFitter final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            const Qt::WindowType type = widget->windowType();
            if (widget->isWindow() && (type == Qt::Window || type == Qt::Dialog)) {
                FitWindowToScreen(widget);
            }
        }
        return false;
    }
};

}  // namespace

QRect FitInside(const QRect& wanted, const QRect& available) {
    if (available.isEmpty()) {
        return wanted;
    }
    QRect fitted(wanted.topLeft(), wanted.size().boundedTo(available.size()));
    fitted.moveLeft(
        std::clamp(fitted.left(), available.left(), available.right() - fitted.width() + 1));
    fitted.moveTop(
        std::clamp(fitted.top(), available.top(), available.bottom() - fitted.height() + 1));
    return fitted;
}

void FitWindowToScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr || (window->windowState() &
                              (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))) {
        return;
    }
    const QRect frame = window->frameGeometry();
    const QRect fitted = FitInside(frame, screen->availableGeometry());
    if (fitted == frame) {
        return;
    }
    // The frame stays the window manager's; only the client area is ours.
    const QSize frameMargins = frame.size() - window->size();
    window->resize(fitted.size() - frameMargins);
    window->move(fitted.topLeft());
}

void FitEveryWindowToItsScreen() {
    static QPointer<ScreenFitter> fitter;
    if (fitter.isNull() && qApp != nullptr) {
        fitter = new ScreenFitter(qApp);
        qApp->installEventFilter(fitter);
    }
}

}  // namespace orvane
