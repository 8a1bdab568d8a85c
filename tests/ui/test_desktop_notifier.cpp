#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QVariantMap>

#include "app/startup.h"
#include "core/product.h"
#include "ui/desktop_notifier.h"

// A notification service of our own on a private session bus: records what
// it is asked to show and can invoke actions like a desktop would.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    struct Call {
        QString appName;
        uint replacesId;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };
    QList<Call> calls;
    uint lastId = 0;

  public Q_SLOTS:
    uint Notify(const QString& appName, uint replacesId, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int /*timeout*/) {
        calls.append({appName, replacesId, icon, summary, body, actions, hints});
        lastId = replacesId != 0 ? replacesId : lastId + 41;
        return lastId;
    }
};

namespace orvane {
namespace {

constexpr int kWaitMs = 10000;

class DesktopNotifierTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) {
            GTEST_SKIP() << "dbus-daemon is not installed (package dbus)";
        }
        daemon_.start(daemon, {QStringLiteral("--session"), QStringLiteral("--print-address"),
                               QStringLiteral("--nofork")});
        ASSERT_TRUE(daemon_.waitForStarted(kWaitMs));
        while (!daemon_.canReadLine()) {
            ASSERT_TRUE(daemon_.waitForReadyRead(kWaitMs));
        }
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        service_ = QDBusConnection::connectToBus(address_, QStringLiteral("service"));
        ASSERT_TRUE(service_.isConnected());
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
        QDBusConnection::disconnectFromBus(QStringLiteral("program"));
        daemon_.kill();
        daemon_.waitForFinished();
    }
    QDBusConnection ProgramBus() const {
        return QDBusConnection::connectToBus(address_, QStringLiteral("program"));
    }
    void RegisterService() {
        ASSERT_TRUE(service_.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                            &fake_, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service_.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }
    static DesktopNotifier::Notice Ring(const QString& text) {
        return {QStringLiteral("Incoming call"), text, QStringLiteral("Show Orvane"), 30000};
    }

    QProcess daemon_;
    QString address_;
    QDBusConnection service_{QString()};
    FakeNotifications fake_;
};

TEST_F(DesktopNotifierTest, ARingShowsOneNoticeThatTheNextUpdatesAndItsActionBringsTheWindowUp) {
    RegisterService();
    DesktopNotifier notifier(ProgramBus());
    int balloons = 0;
    const auto balloon = [&balloons] { ++balloons; };
    // The ring and the caller ID come close together: the second must wait
    // for the first notice's id to replace it.
    notifier.Show(Ring(QString()), balloon);
    notifier.Show(Ring(QStringLiteral("Dana <Shop> & Co - 0123")), balloon);
    ASSERT_TRUE(QTest::qWaitFor([this] { return fake_.calls.size() == 2; }, kWaitMs));

    const FakeNotifications::Call& first = fake_.calls[0];
    const FakeNotifications::Call& second = fake_.calls[1];
    EXPECT_EQ(first.appName, QStringLiteral("Orvane"));
    EXPECT_EQ(first.icon, product::kDesktopId);
    EXPECT_EQ(first.replacesId, 0U);
    EXPECT_EQ(first.hints.value(QStringLiteral("desktop-entry")).toString(),
              product::kDesktopId);
    EXPECT_EQ(first.actions, (QStringList{QStringLiteral("default"), QStringLiteral("Show Orvane"),
                                          QStringLiteral("show"), QStringLiteral("Show Orvane")}));
    EXPECT_EQ(second.replacesId, fake_.lastId);
    EXPECT_EQ(second.summary, QStringLiteral("Incoming call"));
    EXPECT_EQ(second.body, QStringLiteral("Dana &lt;Shop&gt; &amp; Co - 0123"));
    EXPECT_EQ(balloons, 0);

    // Only our notice's actions count; a click on it brings the window up.
    int activated = 0;
    QObject::connect(&notifier, &DesktopNotifier::Activated, [&activated] { ++activated; });
    const auto invoke = [this](uint id, const QString& action) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
        signal << id << action;
        ASSERT_TRUE(service_.send(signal));
    };
    invoke(fake_.lastId + 1, QStringLiteral("default"));
    invoke(fake_.lastId, QStringLiteral("show"));
    ASSERT_TRUE(QTest::qWaitFor([&activated] { return activated > 0; }, kWaitMs));
    invoke(fake_.lastId, QStringLiteral("default"));
    ASSERT_TRUE(QTest::qWaitFor([&activated] { return activated > 1; }, kWaitMs));
    EXPECT_EQ(activated, 2);
}

TEST_F(DesktopNotifierTest, WithoutAServiceOrABusTheTrayBalloonShowsTheNotice) {
    for (const bool bus : {true, false}) {
        DesktopNotifier notifier(bus ? ProgramBus() : QDBusConnection(QStringLiteral("none")));
        int balloons = 0;
        notifier.Show(Ring(QStringLiteral("0123")), [&balloons] { ++balloons; });
        EXPECT_TRUE(QTest::qWaitFor([&balloons] { return balloons == 1; }, kWaitMs)) << bus;
    }
    EXPECT_TRUE(fake_.calls.isEmpty());
}

// The window, its notices and the menu entry the package installs share one
// name, so docks and notification servers put them together.
TEST(DesktopIdentity, TheProgramNamesTheMenuEntryItsPackageInstalls) {
    SetApplicationIdentity();
    const QString entry = QStringLiteral(ORVANE_SOURCE_DIR "/dist/desktop/") +
                          QGuiApplication::desktopFileName() + QStringLiteral(".desktop");
    EXPECT_TRUE(QFileInfo::exists(entry)) << entry.toStdString();
}

}  // namespace
}  // namespace orvane

#include "test_desktop_notifier.moc"
