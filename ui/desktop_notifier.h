#pragma once
// Incoming-call notices through the desktop's notification service
// (org.freedesktop.Notifications on the session bus). One notice at a time:
// a later one replaces it. Where no service answers, the caller's fallback
// (the tray balloon) shows the notice instead.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QDBusPendingCallWatcher;

namespace orvane {

class DesktopNotifier : public QObject {
    Q_OBJECT
  public:
    struct Notice {
        QString title;
        QString text;
        QString showLabel;  // the visible action that brings the window up
        int timeoutMs = -1;
        // Further actions as key, label pairs: an answer offered on the
        // notice itself, reported by Chosen.
        QStringList choices = {};
    };

    // The session bus; a bus that is not connected sends every notice to
    // the fallback.
    explicit DesktopNotifier(QObject* parent = nullptr);
    DesktopNotifier(const QDBusConnection& bus, QObject* parent = nullptr);
    ~DesktopNotifier() override;

    // Shows the notice, or updates the one shown; runs `fallback` when the
    // service does not answer.
    void Show(const Notice& notice, std::function<void()> fallback);

  Q_SIGNALS:
    // The user clicked the notice or its show action.
    void Activated();
    // The user clicked one of the notice's choices: its key.
    void Chosen(const QString& key);

  private Q_SLOTS:
    void OnActionInvoked(uint id, const QString& action);
    void OnClosed(uint id, uint reason);

  private:
    struct Pending {
        Notice notice;
        std::function<void()> fallback;
    };
    void Send(Pending pending);
    void Answered(QDBusPendingCallWatcher* watcher, const std::function<void()>& fallback,
                  const QStringList& choiceKeys);

    QDBusConnection bus_;
    uint id_ = 0;
    // The choices' keys of the notice the service holds (id_).
    QStringList choiceKeys_;
    bool waiting_ = false;
    // A notice that came while the last one was on its way: it must know
    // the id the service gives that one, to replace it.
    std::optional<Pending> next_;
};

}  // namespace orvane
