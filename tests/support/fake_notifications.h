#pragma once
// A private session bus (dbus-daemon started for the test) with a fake
// org.freedesktop.Notifications service on a connection of its own: it
// records what it is asked to show and invokes actions as a desktop would.

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

namespace orvane::testing {

class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    struct Call {
        QString appName;
        uint replacesId = 0;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };

    FakeNotifications();
    ~FakeNotifications() override;

    // Empty when the bus could not be started (no dbus-daemon installed).
    QString Address() const { return address_; }
    QDBusConnection ServiceBus() const;
    // Takes the service name on the bus.
    bool Register();
    // The desktop reports a click on an action of notice `id`.
    bool Invoke(uint id, const QString& action) const;

    QList<Call> calls;
    uint lastId = 0;

  public Q_SLOTS:
    uint Notify(const QString& appName, uint replacesId, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int timeout);

  private:
    QProcess daemon_;
    QString address_;
};

}  // namespace orvane::testing
