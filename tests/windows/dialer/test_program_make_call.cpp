// Program::MakeCall on a scripted line: what reaches the line and what the
// current call becomes.
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/program.h"
#include "core/product.h"
#include "settings/names/devices.h"
#include "settings/names/general.h"
#include "settings/store/registry_routines.h"
#include "telephony/line_backend.h"
#include "telephony/tapi.h"
#include "tests/support/scripted_line_backend.h"
#include "tests/support/test_environment.h"
#include "ui/tray_icon.h"

namespace orvane {
namespace {

TEST(ProgramMakeCall, DialsOnAFreeLineAndLeavesAnIncomingCallsCallerAlone) {
    testing::TestEnvironment env;
    env.makeProgramFolders();
    for (const QString& subkey : {QString(), kTabDevices, kTabGeneral}) {
        RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey).CreateKey();
    }
    env.setVariable("SONVEL_NO_ALSA", QStringLiteral("1"));
    TrayIcon::OverrideAvailability(true);
    testing::ScriptedLineBackend* backend = nullptr;
    Program::SetTapiFactory(
        [&](QObject* parent) { return testing::CreateScriptedTapi(backend, parent); });
    {
        Program program;
        program.Load(true);
        ASSERT_NE(backend, nullptr);
        CallState& state = program.CurrentCallState();

        // Closed line: refused by the control, nothing dialled.
        EXPECT_EQ(program.MakeCall(QStringLiteral("5551234")), line_error::kNotOpen);
        backend->devices = {testing::ScriptedLineBackend::Device(QStringLiteral("Modem"))};
        ASSERT_EQ(backend->Open(0), 0);
        backend->TakeRequests();

        EXPECT_EQ(program.MakeCall(QStringLiteral("5551234")), 0);
        EXPECT_EQ(backend->TakeRequests(), QStringList{QStringLiteral("MakeCall 5551234")});
        EXPECT_EQ(state.call.CallerName, QStringLiteral("UNKNOWN"));
        EXPECT_EQ(state.call.CallerNumber, QStringLiteral("5551234"));

        state.incomingCall = true;
        state.call.CallerName = QStringLiteral("Alice");
        EXPECT_EQ(program.MakeCall(QStringLiteral("777")), line_error::kCallInProgress);
        EXPECT_TRUE(backend->TakeRequests().isEmpty());
        EXPECT_EQ(state.call.CallerName, QStringLiteral("Alice"));
        EXPECT_EQ(state.call.CallerNumber, QStringLiteral("5551234"));
        state.incomingCall = false;
        program.Window().UnLoadApp();
    }
    Program::SetTapiFactory({});
    TrayIcon::OverrideAvailability(std::nullopt);
}

}  // namespace
}  // namespace orvane
