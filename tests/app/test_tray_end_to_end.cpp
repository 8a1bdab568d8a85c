// The tray icon on the emulated line: closed, open, ringing, recording and
// open again as a call comes, is recorded and ends, and closed with the line.
#include <gtest/gtest.h>

#include <QAction>
#include <QStringList>

#include "app/main_window.h"
#include "app/program.h"
#include "tests/support/program_on_emulator.h"
#include "ui/tray_icon.h"

namespace orvane {
namespace {

using State = TrayIcon::LineState;

class TrayEndToEnd : public testing::ProgramOnEmulatorTest<> {};

TEST_F(TrayEndToEnd, TheTrayIconFollowsTheLineAndTheCall) {
    ASSERT_TRUE(sim_.Start(link_, QStringLiteral("voice pattern; wait-command VCID=1; "
                                                 "call rings=2 every=400 name=Ann number=5551234; "
                                                 "pickup; wait-command VRX; sleep 1500; "
                                                 "remote-hangup busy; wait-hangup timeout 20000; "
                                                 "sleep 120000")));
    Program program;
    program.Load(true);
    TrayIcon* tray = program.Window().Tray();
    ASSERT_NE(tray, nullptr);
    const struct {
        State state;
        const char* icon;
    } steps[] = {
        {State::Open, ":/icons/line_open.svg"},
        {State::Ringing, ":/icons/line_ringing.svg"},
        {State::Recording, ":/icons/line_recording.svg"},
        {State::Open, ":/icons/line_open.svg"},
    };
    for (const auto& step : steps) {
        EXPECT_TRUE(PumpUntil([&] { return tray->State() == step.state; }))
            << step.icon << "\n"
            << Journal().toStdString();
        EXPECT_EQ(TrayIcon::IconPath(tray->State()), QString::fromLatin1(step.icon));
        if (step.state == State::Recording) {
            ASSERT_TRUE(
                PumpUntil([] { return Journal().contains(QStringLiteral("End Of Call")); }));
        }
    }
    program.Window().MenuClick("stCloseLine");
    EXPECT_TRUE(PumpUntil([&] { return tray->State() == State::Closed; }));
    program.Window().UnLoadApp();
}

}  // namespace
}  // namespace orvane
