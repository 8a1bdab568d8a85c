#include "ui/tray_icon.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace orvane {

namespace {
std::optional<bool> availabilityOverride;
}  // namespace

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {}

TrayIcon::~TrayIcon() {
    Unload();
}

bool TrayIcon::IsAvailable() {
    return availabilityOverride.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void TrayIcon::OverrideAvailability(std::optional<bool> available) {
    availabilityOverride = available;
}

void TrayIcon::Load() {
    if (icon_ != nullptr) {
        return;
    }
    icon_ = new QSystemTrayIcon(this);
    icon_->setToolTip(toolTip_);
    icon_->setIcon(QIcon(IconPath(State())));
    if (menu_ != nullptr) {
        // StatusNotifier hosts show the menu themselves and never report a
        // right press, so the menu must be known to the icon.
        icon_->setContextMenu(menu_);
    }
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                switch (reason) {
                    case QSystemTrayIcon::Trigger:
                    case QSystemTrayIcon::DoubleClick:
                        ReportMouseDown(Qt::LeftButton);
                        break;
                    case QSystemTrayIcon::Context:
                        ReportMouseDown(Qt::RightButton);
                        break;
                    case QSystemTrayIcon::MiddleClick:
                        ReportMouseDown(Qt::MiddleButton);
                        break;
                    case QSystemTrayIcon::Unknown:
                        break;
                }
            });
    connect(icon_, &QSystemTrayIcon::messageClicked, this, &TrayIcon::ReportBalloonClicked);
    icon_->show();
}

void TrayIcon::Unload() {
    if (icon_ == nullptr) {
        return;
    }
    icon_->hide();
    delete icon_;
    icon_ = nullptr;
}

void TrayIcon::SetLineOpen(bool open) {
    const LineState before = State();
    lineOpen_ = open;
    ShowState(before);
}

void TrayIcon::SetCall(bool ringing, bool recording) {
    const LineState before = State();
    ringing_ = ringing;
    recording_ = recording;
    ShowState(before);
}

void TrayIcon::ShowState(LineState before) {
    if (State() != before) {
        SetIcon(QIcon(IconPath(State())));
        Q_EMIT StateChanged(State());
    }
}

TrayIcon::LineState TrayIcon::State() const {
    if (recording_) {
        return LineState::Recording;
    }
    if (ringing_) {
        return LineState::Ringing;
    }
    return lineOpen_ ? LineState::Open : LineState::Closed;
}

QString TrayIcon::IconPath(LineState state) {
    switch (state) {
        case LineState::Open:
            return QStringLiteral(":/icons/line_open.svg");
        case LineState::Ringing:
            return QStringLiteral(":/icons/line_ringing.svg");
        case LineState::Recording:
            return QStringLiteral(":/icons/line_recording.svg");
        case LineState::Closed:
            break;
    }
    return QStringLiteral(":/icons/line_closed.svg");
}

bool TrayIcon::IsLoaded() const {
    return icon_ != nullptr;
}

void TrayIcon::SetToolTip(const QString& text) {
    toolTip_ = text;
    if (icon_ != nullptr) {
        icon_->setToolTip(text);
    }
}

QString TrayIcon::ToolTip() const {
    return toolTip_;
}

void TrayIcon::SetIcon(const QIcon& icon) {
    if (icon_ != nullptr) {
        icon_->setIcon(icon);
    }
}

void TrayIcon::SetMenu(QMenu* menu) {
    menu_ = menu;
    if (icon_ != nullptr) {
        icon_->setContextMenu(menu);
    }
}

void TrayIcon::ShowBalloonTip(const QString& title, const QString& text, BalloonIcon icon,
                              int timeoutMs) {
    if (icon_ != nullptr) {
        QSystemTrayIcon::MessageIcon kind = QSystemTrayIcon::NoIcon;
        switch (icon) {
            case BalloonIcon::None:
                kind = QSystemTrayIcon::NoIcon;
                break;
            case BalloonIcon::Information:
                kind = QSystemTrayIcon::Information;
                break;
            case BalloonIcon::Warning:
                kind = QSystemTrayIcon::Warning;
                break;
            case BalloonIcon::Error:
                kind = QSystemTrayIcon::Critical;
                break;
        }
        icon_->showMessage(title, text, kind, timeoutMs);
    }
    Q_EMIT BalloonShown(title, text, timeoutMs);
}

void TrayIcon::ReportMouseDown(Qt::MouseButton button) {
    Q_EMIT SysTrayMouseDown(button);
}

void TrayIcon::ReportBalloonClicked() {
    Q_EMIT BalloonClicked();
}

}  // namespace orvane
