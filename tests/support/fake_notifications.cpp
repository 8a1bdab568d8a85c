#include "tests/support/fake_notifications.h"

#include <QDBusMessage>
#include <QStandardPaths>

namespace orvane::testing {
namespace {

const QString kConnection = QStringLiteral("fake notification service");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr int kWaitMs = 10000;

}  // namespace

FakeNotifications::FakeNotifications() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        return;
    }
    daemon_.start(daemon, {QStringLiteral("--session"), QStringLiteral("--print-address"),
                           QStringLiteral("--nofork")});
    if (!daemon_.waitForStarted(kWaitMs)) {
        return;
    }
    while (!daemon_.canReadLine()) {
        if (!daemon_.waitForReadyRead(kWaitMs)) {
            return;
        }
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    QDBusConnection::connectToBus(address_, kConnection);
}

FakeNotifications::~FakeNotifications() {
    QDBusConnection::disconnectFromBus(kConnection);
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.kill();
        daemon_.waitForFinished();
    }
}

QDBusConnection FakeNotifications::ServiceBus() const {
    return QDBusConnection(kConnection);
}

bool FakeNotifications::Register() {
    QDBusConnection bus = ServiceBus();
    return bus.isConnected() && bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots) &&
           bus.registerService(kInterface);
}

bool FakeNotifications::Invoke(uint id, const QString& action) const {
    QDBusMessage signal =
        QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("ActionInvoked"));
    signal << id << action;
    return ServiceBus().send(signal);
}

uint FakeNotifications::Notify(const QString& appName, uint replacesId, const QString& icon,
                               const QString& summary, const QString& body,
                               const QStringList& actions, const QVariantMap& hints,
                               int /*timeout*/) {
    calls.append({appName, replacesId, icon, summary, body, actions, hints});
    lastId = replacesId != 0 ? replacesId : lastId + 41;
    return lastId;
}

}  // namespace orvane::testing
