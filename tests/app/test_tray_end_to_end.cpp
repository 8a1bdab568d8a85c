// The tray icon on the emulated line: open, ringing, recording and open
// again as a call comes, is recorded and ends, and closed with the line.
#include <gtest/gtest.h>

#include <QAction>
#include <QStringList>

#include "app/main_window.h"
#include "app/program.h"
#include "tests/support/program_on_emulator.h"
#include "tests/support/qt_printers.h"
#include "ui/tray_icon.h"

namespace orvane {
namespace {

using State = TrayIcon::LineState;

// Whether the user stops the recording with the recorder's Stop before
// the caller hangs up.
class TrayEndToEnd : public testing::ProgramOnEmulatorTest<::testing::TestWithParam<bool>> {};

TEST_P(TrayEndToEnd, TheTrayIconFollowsTheLineAndTheCall) {
    const bool stopByHand = GetParam();
    ASSERT_TRUE(sim_.Start(link_, QStringLiteral("voice pattern; wait-command VCID=1; "
                                                 "call rings=2 every=400 name=Ann number=5551234; "
                                                 "pickup; wait-command VRX; sleep 4000; "
                                                 "remote-hangup busy; wait-hangup timeout 20000; "
                                                 "sleep 120000")));
    Program program;
    program.Load(true);
    TrayIcon* tray = program.Window().Tray();
    ASSERT_NE(tray, nullptr);
    // Every icon the tray shows, in order, whatever the pace of the events.
    const auto name = [](State state) {
        return TrayIcon::IconPath(state).section(QLatin1Char('/'), -1);
    };
    QStringList seen{name(tray->State())};
    QObject::connect(tray, &TrayIcon::StateChanged, tray,
                     [&seen, name](State state) { seen << name(state); });
    // The line opens as the program loads.
    const QStringList call{"line_open.svg", "line_ringing.svg", "line_recording.svg",
                           "line_open.svg"};
    if (stopByHand) {
        ASSERT_TRUE(PumpUntil([&] { return seen.last() == call[2]; }));
        program.Window().findChild<QAction*>(QStringLiteral("Stop"))->trigger();
        // At once, while the call goes on.
        EXPECT_EQ(seen.last(), call[3]);
        EXPECT_FALSE(Journal().contains(QStringLiteral("End Of Call")));
    }
    EXPECT_TRUE(PumpUntil([&] { return Journal().contains(QStringLiteral("End Of Call")); }))
        << Journal().toStdString();
    EXPECT_EQ(seen, call);
    program.Window().MenuClick("stCloseLine");
    EXPECT_TRUE(PumpUntil([&] { return seen.last() == QLatin1String("line_closed.svg"); }));
    EXPECT_EQ(seen.size(), call.size() + 1);
    program.Window().UnLoadApp();
}

INSTANTIATE_TEST_SUITE_P(ByTheCallOrByHand, TrayEndToEnd, ::testing::Bool());

}  // namespace
}  // namespace orvane
