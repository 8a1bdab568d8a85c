#pragma once
// The program's icon in the desktop's notification area: tool tip, balloon
// messages and the tray menu. It reports presses and balloon clicks; what
// they do is the main window's business.

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>
#include <optional>

class QMenu;
class QSystemTrayIcon;

namespace orvane {

class TrayIcon : public QObject {
    Q_OBJECT
  public:
    enum class BalloonIcon { None, Information, Warning, Error };

    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    // Whether the desktop offers a notification area at all (GNOME without
    // an AppIndicator extension does not).
    static bool IsAvailable();
    // Tests decide whether a tray exists; std::nullopt asks the desktop.
    static void OverrideAvailability(std::optional<bool> available);

    // Shows the icon; Unload removes it from the notification area.
    void Load();
    void Unload();
    bool IsLoaded() const;

    void SetToolTip(const QString& text);
    QString ToolTip() const;
    void SetIcon(const QIcon& icon);

    // What the icon shows: the call on the line first, then whether the
    // line is open.
    enum class LineState { Closed, Open, Ringing, Recording };
    void SetLineOpen(bool open);
    void SetCall(bool ringing, bool recording);
    LineState State() const;
    static QString IconPath(LineState state);

    void SetMenu(QMenu* menu);
    QMenu* Menu() const { return menu_; }

    void ShowBalloonTip(const QString& title, const QString& text, BalloonIcon icon, int timeoutMs);

    // What the desktop told us, for callers and tests alike.
    void ReportMouseDown(Qt::MouseButton button);
    void ReportBalloonClicked();

  Q_SIGNALS:
    void SysTrayMouseDown(Qt::MouseButton button);
    void BalloonClicked();
    void BalloonShown(const QString& title, const QString& text, int timeoutMs);
    // The icon turned to another line state.
    void StateChanged(orvane::TrayIcon::LineState state);

  private:
    void ShowState(LineState before);

    QSystemTrayIcon* icon_ = nullptr;
    QMenu* menu_ = nullptr;
    QString toolTip_;
    bool lineOpen_ = false;
    bool ringing_ = false;
    bool recording_ = false;
};

}  // namespace orvane
