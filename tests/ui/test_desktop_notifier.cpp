#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTest>
#include <vector>

#include "app/startup.h"
#include "core/product.h"
#include "tests/support/fake_notifications.h"
#include "ui/desktop_notifier.h"

namespace orvane {
namespace {

constexpr int kWaitMs = 10000;

using testing::FakeNotifications;

class DesktopNotifierTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (fake_.Address().isEmpty()) {
            GTEST_SKIP() << "no private session bus: dbus-daemon (package dbus) is missing";
        }
    }
    void TearDown() override { QDBusConnection::disconnectFromBus(QStringLiteral("program")); }
    QDBusConnection ProgramBus() const {
        return QDBusConnection::connectToBus(fake_.Address(), QStringLiteral("program"));
    }
    static DesktopNotifier::Notice Ring(const QString& text) {
        return {QStringLiteral("Incoming call"), text, QStringLiteral("Show Orvane"), 30000};
    }

    FakeNotifications fake_;
};

TEST_F(DesktopNotifierTest, ARingShowsOneNoticeThatTheNextUpdatesAndItsActionBringsTheWindowUp) {
    ASSERT_TRUE(fake_.Register());
    DesktopNotifier notifier(ProgramBus());
    int balloons = 0;
    const auto balloon = [&balloons] { ++balloons; };
    // The ring and the caller ID come close together: the second must wait
    // for the first notice's id to replace it.
    notifier.Show(Ring(QString()), balloon);
    notifier.Show(Ring(QStringLiteral("Dana <Shop> & Co - 0123")), balloon);
    ASSERT_TRUE(QTest::qWaitFor([this] { return fake_.calls.size() == 2; }, kWaitMs));

    const testing::FakeNotifications::Call& first = fake_.calls[0];
    const testing::FakeNotifications::Call& second = fake_.calls[1];
    EXPECT_EQ(first.appName, QStringLiteral("Orvane"));
    EXPECT_EQ(first.icon, product::kDesktopId);
    EXPECT_EQ(first.replacesId, 0U);
    EXPECT_EQ(first.hints.value(QStringLiteral("desktop-entry")).toString(), product::kDesktopId);
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
        ASSERT_TRUE(fake_.Invoke(id, action));
    };
    invoke(fake_.lastId + 1, QStringLiteral("default"));
    invoke(fake_.lastId, QStringLiteral("show"));
    ASSERT_TRUE(QTest::qWaitFor([&activated] { return activated > 0; }, kWaitMs));
    invoke(fake_.lastId, QStringLiteral("default"));
    ASSERT_TRUE(QTest::qWaitFor([&activated] { return activated > 1; }, kWaitMs));
    EXPECT_EQ(activated, 2);
}

TEST_F(DesktopNotifierTest, ANoticeOffersItsChoicesAndReportsTheOneClicked) {
    ASSERT_TRUE(fake_.Register());
    DesktopNotifier notifier(ProgramBus());
    std::vector<QString> chosen;
    int activated = 0;
    QObject::connect(&notifier, &DesktopNotifier::Chosen,
                     [&chosen](const QString& key) { chosen.push_back(key); });
    QObject::connect(&notifier, &DesktopNotifier::Activated, [&activated] { ++activated; });
    DesktopNotifier::Notice notice = Ring(QStringLiteral("0123"));
    notice.choices = {QStringLiteral("keep"), QStringLiteral("Keep recording"),
                      QStringLiteral("drop"), QStringLiteral("Don't record")};
    notifier.Show(notice, [] {});
    ASSERT_TRUE(QTest::qWaitFor([this] { return fake_.calls.size() == 1; }, kWaitMs));
    EXPECT_EQ(fake_.calls[0].actions,
              (QStringList{QStringLiteral("default"), QStringLiteral("Show Orvane"),
                           QStringLiteral("show"), QStringLiteral("Show Orvane"),
                           QStringLiteral("keep"), QStringLiteral("Keep recording"),
                           QStringLiteral("drop"), QStringLiteral("Don't record")}));
    // Each offered key is reported as it is; keys not offered, and another
    // notice's, are not.
    const struct {
        uint id;
        const char* action;
        const char* reported;
    } cases[] = {
        {fake_.lastId, "keep", "keep"},
        {fake_.lastId, "drop", "drop"},
        {fake_.lastId, "other", nullptr},
        {fake_.lastId + 1, "keep", nullptr},
    };
    for (const auto& c : cases) {
        chosen.clear();
        const int before = activated;
        ASSERT_TRUE(fake_.Invoke(c.id, QString::fromLatin1(c.action)));
        // A click on the notice itself follows; the bus keeps the order, so
        // once it arrives the choice before it has arrived too.
        ASSERT_TRUE(fake_.Invoke(fake_.lastId, QStringLiteral("default")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return activated > before; }, kWaitMs));
        EXPECT_EQ(chosen, c.reported ? std::vector<QString>{QString::fromLatin1(c.reported)}
                                     : std::vector<QString>{})
            << c.action;
    }
    // A notice without choices reports none.
    notifier.Show(Ring(QStringLiteral("0123")), [] {});
    ASSERT_TRUE(QTest::qWaitFor([this] { return fake_.calls.size() == 2; }, kWaitMs));
    EXPECT_EQ(fake_.calls[1].actions.size(), 4);
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
