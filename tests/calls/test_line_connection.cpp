// Opening and closing the line: which device is chosen, what is stored,
// what the switch and status panel show, and what is journaled.
#include <gtest/gtest.h>

#include "calls/call_state.h"
#include "calls/call_views.h"
#include "calls/line_connection.h"
#include "core/product.h"
#include "settings/pages/devices_settings.h"
#include "settings/store/registry_routines.h"
#include "tests/telephony/telephony_test_support.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

using testing::ScriptedLineBackend;

class FakeLineView final : public LineView {
  public:
    void SetLineSwitch(bool open) override { switches.push_back(open); }
    void SetLineStatus(const QString& text) override { statuses << text; }
    void ShowLineProblem(const QString& text) override { problems << text; }
    std::vector<bool> switches;
    QStringList statuses;
    QStringList problems;
};

const QString kIndent(26, QLatin1Char(' '));

class LineConnectionTest : public testing::TelephonyTest {
  protected:
    LineConnectionTest() { devicesKey_.CreateKey(); }

    void StoreLine(const QString& name) {
        ASSERT_TRUE(devicesKey_.SetRegistryValue(QStringLiteral("cmbModemDev"), name, kRegSz));
    }
    QVariant StoredLine() const {
        return devicesKey_.GetRegistryValue(QStringLiteral("cmbModemDev"));
    }

    RegistryRoutines devicesKey_{kHkeyLocalMachine, product::kRootKey,
                                 QStringLiteral("Properties\\TabDevices")};
    DevicesSettings settings_;
    CallState state_;
    FakeLineView view_;
    LineConnection line_{*tapi_, settings_, state_, view_};
};

TEST_F(LineConnectionTest, OpensTheStoredDeviceJournalsItsDetailsAndShowsTheLineOpen) {
    LineDetails modem = ScriptedLineBackend::Device(QStringLiteral("USB Modem"));
    modem.tapiCapability = false;
    modem.monitorDigits = false;
    backend_->devices = {ScriptedLineBackend::Device(QStringLiteral("Other")), modem};
    StoreLine(QStringLiteral("USB Modem"));
    state_.recordSeconds = 42;
    state_.standardCall = true;
    state_.recordCall = true;

    line_.OpenLine();

    EXPECT_EQ(backend_->TakeRequests(), QStringList{QStringLiteral("Open 1")});
    EXPECT_EQ(SysJournal(),
              (QStringList{"->Device Details -", kIndent + "Line Index: 1",
                           kIndent + "Device Name: USB Modem", kIndent + "Tapi Capability: No",
                           kIndent + "Voice Capability: Yes", kIndent + "Monitor Digits: No(0)",
                           "OpenLine:Tapi1.LineOpen->" + LineErrorText(0) + "(0)"}));
    EXPECT_EQ(view_.switches, std::vector<bool>{true});
    ASSERT_FALSE(Text(ids::kStatusLineOpen).isEmpty());
    EXPECT_EQ(view_.statuses, QStringList{Text(ids::kStatusLineOpen)});
    EXPECT_EQ(state_.recordSeconds, 0);
    EXPECT_FALSE(state_.standardCall);
    EXPECT_FALSE(state_.recordCall);
    EXPECT_EQ(StoredLine().toString(), QStringLiteral("USB Modem"));
}

TEST_F(LineConnectionTest, WithDuplicateNamesEachMatchIsJournaledAndTheLastOneWins) {
    const LineDetails twin = ScriptedLineBackend::Device(QStringLiteral("Twin"));
    backend_->devices = {twin, ScriptedLineBackend::Device(QStringLiteral("Other")), twin};
    StoreLine(QStringLiteral("Twin"));
    line_.OpenLine();
    EXPECT_EQ(backend_->TakeRequests(), QStringList{QStringLiteral("Open 2")});
    const QStringList journal = SysJournal();
    EXPECT_EQ(journal.count(QStringLiteral("->Device Details -")), 2);
    EXPECT_EQ(journal.indexOf(kIndent + "Line Index: 0"), 1);
    EXPECT_EQ(journal.indexOf(kIndent + "Line Index: 2"), 7);
}

// A chosen modem that is unplugged now stays the choice; only a first
// choice is stored, and only once its line opened.
TEST_F(LineConnectionTest, AnEmptyOrUnknownStoredNameSelectsLineZeroAndOnlyAFirstChoiceIsStored) {
    backend_->devices = {ScriptedLineBackend::Device(QStringLiteral("First")),
                         ScriptedLineBackend::Device(QStringLiteral("Second"))};
    const struct {
        QString stored;
        qint32 openResult;
        QString storedAfter;
    } cases[] = {
        {QString(), line_error::kNone, QStringLiteral("First")},
        {QStringLiteral("Unplugged Modem"), line_error::kNone, QStringLiteral("Unplugged Modem")},
        {QString(), line_error::kNoAnswer, QString()},
    };
    for (const auto& c : cases) {
        StoreLine(c.stored);
        backend_->openResult = c.openResult;
        line_.OpenLine();
        EXPECT_EQ(backend_->TakeRequests(), QStringList{QStringLiteral("Open 0")});
        EXPECT_EQ(StoredLine().toString(), c.storedAfter) << c.stored.toStdString();
        EXPECT_FALSE(SysJournal().contains(QStringLiteral("->Device Details -")));
        line_.CloseLine();
        backend_->TakeRequests();
    }
}

// A modem now listed by its by-id name is still the choice stored under the
// name it had before, whatever its position in the list.
TEST_F(LineConnectionTest, AChoiceStoredUnderAFormerNameOpensThatDevice) {
    LineDetails moved = ScriptedLineBackend::Device(QStringLiteral("USB Modem (usb-Modem_1-if00)"));
    moved.formerNames = {QStringLiteral("USB Modem (ttyACM0)"), QStringLiteral("/dev/ttyACM0")};
    backend_->devices = {ScriptedLineBackend::Device(QStringLiteral("First")), moved};
    for (const QString& stored : moved.formerNames) {
        StoreLine(stored);
        line_.OpenLine();
        EXPECT_EQ(backend_->TakeRequests(), QStringList{QStringLiteral("Open 1")})
            << stored.toStdString();
        EXPECT_EQ(StoredLine().toString(), stored);
        line_.CloseLine();
        backend_->TakeRequests();
    }
}

// A built-in serial port may hold a console or a UPS: it is opened (and so
// asked what it is) only when the user picked it.
TEST_F(LineConnectionTest, ABuiltInPortIsOpenedOnlyAsTheUsersChoice) {
    LineDetails builtIn = ScriptedLineBackend::Device(QStringLiteral("Serial port (ttyS0)"), false);
    builtIn.askedOnlyWhenPicked = true;
    const LineDetails usb = ScriptedLineBackend::Device(QStringLiteral("USB Modem (ttyACM0)"));
    const struct {
        std::vector<LineDetails> devices;
        QString stored;
        QStringList requests;
    } cases[] = {
        {{builtIn, usb}, QString(), {QStringLiteral("Open 1")}},
        {{builtIn, usb}, QStringLiteral("Serial port (ttyS0)"), {QStringLiteral("Open 0")}},
        {{builtIn}, QStringLiteral("Gone (ttyACM1)"), {}},
    };
    for (const auto& c : cases) {
        backend_->devices = c.devices;
        StoreLine(c.stored);
        view_.problems.clear();
        line_.OpenLine();
        EXPECT_EQ(backend_->TakeRequests().filter(QStringLiteral("Open")), c.requests);
        EXPECT_EQ(view_.problems.value(0).isEmpty(), !c.requests.isEmpty());
        line_.CloseLine();
        backend_->TakeRequests();
    }
    EXPECT_EQ(view_.problems.value(0), Text(ids::kLineNoModem));
    EXPECT_EQ(StoredLine().toString(), QStringLiteral("Gone (ttyACM1)"));
}

TEST_F(LineConnectionTest, ALostLineIsReopenedOnceItsDeviceIsListedAgainUnlessTheUserClosesIt) {
    const LineDetails modem = ScriptedLineBackend::Device(QStringLiteral("USB Modem"));
    backend_->devices = {modem};
    StoreLine(QStringLiteral("USB Modem"));
    line_.OpenLine();
    backend_->TakeRequests();

    backend_->RaiseLineLost(line_error::kDeviceLost);
    line_.LineLost();
    EXPECT_TRUE(line_.IsLookingForLostLine());
    backend_->devices.clear();  // unplugged
    line_.RetryLostLine();
    EXPECT_TRUE(backend_->TakeRequests().filter(QStringLiteral("Open")).isEmpty());
    EXPECT_TRUE(line_.IsLookingForLostLine());

    backend_->devices = {ScriptedLineBackend::Device(QStringLiteral("Other")), modem};
    line_.RetryLostLine();
    EXPECT_EQ(backend_->TakeRequests().filter(QStringLiteral("Open")),
              QStringList{QStringLiteral("Open 1")});
    EXPECT_TRUE(tapi_->LineOpened());
    EXPECT_FALSE(line_.IsLookingForLostLine());
    EXPECT_TRUE(SysJournal().contains("LineConnection.Reopen->Line device back: USB Modem(0)"));

    // Lost again, then closed by the user: the line stays closed.
    backend_->RaiseLineLost(line_error::kDeviceLost);
    line_.LineLost();
    line_.CloseLine();
    EXPECT_FALSE(line_.IsLookingForLostLine());
}

// The journal may be off: the user is told why the line is closed.
TEST_F(LineConnectionTest, AFailedOpenNamesItsCauseInTheUsersLanguageAndAnOpenLineClearsIt) {
    backend_->devices = {ScriptedLineBackend::Device(QStringLiteral("Modem"))};
    const struct {
        qint32 code;
        int id;
    } cases[] = {
        {line_error::kNoSuchPort, ids::kLineNoSuchPort},
        {line_error::kPortInUse, ids::kLinePortInUse},
        {line_error::kPermissionDenied, ids::kLineNoPermission},
        {line_error::kNoAnswer, ids::kLineNoAnswer},
        {line_error::kNoModem, ids::kLineNoModem},
    };
    for (const auto& c : cases) {
        backend_->openResult = c.code;
        line_.OpenLine();
        ASSERT_FALSE(view_.problems.isEmpty());
        EXPECT_EQ(view_.problems.last(), Text(c.id)) << c.code;
        EXPECT_FALSE(Text(c.id).isEmpty()) << c.code;
    }
    EXPECT_TRUE(Text(ids::kLineNoPermission).contains(QStringLiteral("dialout")));
    backend_->openResult = line_error::kPortInUse;
    backend_->portHolder = QStringLiteral("minicom (PID 4242)");
    line_.OpenLine();
    EXPECT_EQ(view_.problems.last(),
              ReplaceMarker(Text(ids::kLinePortHeldBy), QStringLiteral("minicom (PID 4242)")));
    EXPECT_TRUE(view_.problems.last().contains(QStringLiteral("minicom (PID 4242)")));
    EXPECT_TRUE(SysJournal().last().contains(QStringLiteral("minicom (PID 4242)")));
    backend_->portHolder.clear();
    backend_->openResult = line_error::kCommandRefused;
    line_.OpenLine();
    EXPECT_TRUE(view_.problems.last().endsWith(LineErrorText(line_error::kCommandRefused)));
    EXPECT_NE(view_.problems.last(), LineErrorText(line_error::kCommandRefused));

    backend_->openResult = line_error::kNone;
    line_.OpenLine();
    EXPECT_EQ(view_.problems.last(), QString());
}

TEST_F(LineConnectionTest, AFailedOpenIsJournaledAndChangesNothingElse) {
    backend_->devices = {ScriptedLineBackend::Device(QStringLiteral("Modem"))};
    backend_->openResult = line_error::kPortInUse;
    state_.standardCall = true;
    line_.OpenLine();
    EXPECT_EQ(SysJournal().last(),
              "OpenLine:Tapi1.OpenLine->" + LineErrorText(line_error::kPortInUse) + "(5)");
    EXPECT_TRUE(view_.switches.empty());
    EXPECT_TRUE(view_.statuses.isEmpty());
    EXPECT_TRUE(state_.standardCall);
    EXPECT_FALSE(tapi_->LineOpened());
}

TEST_F(LineConnectionTest, WithoutAnyDeviceTheOpenFailsAndTheStoredChoiceSurvives) {
    StoreLine(QStringLiteral("USB Modem"));
    line_.OpenLine();
    EXPECT_EQ(SysJournal(), QStringList{"OpenLine:Tapi1.OpenLine->" +
                                        LineErrorText(line_error::kBadDeviceIndex) + "(2)"});
    EXPECT_EQ(StoredLine().toString(), QStringLiteral("USB Modem"));
    EXPECT_TRUE(view_.switches.empty());
}

TEST_F(LineConnectionTest, CloseLineJournalsBothResultsWhateverTheyAreAndShowsTheLineClosed) {
    backend_->devices = {ScriptedLineBackend::Device(QStringLiteral("Modem"))};
    line_.OpenLine();
    backend_->closeResult = line_error::kNoAnswer;
    state_.incomingCall = true;
    state_.recordSeconds = 17;
    line_.CloseLine();
    EXPECT_EQ(SysJournal().mid(SysJournal().size() - 2),
              (QStringList{"CloseLine:Tapi1.LineClose->" + LineErrorText(8) + "(8)",
                           "CloseLine:Tapi1.LineShutdown->" + LineErrorText(0) + "(0)"}));
    EXPECT_EQ(view_.switches, (std::vector<bool>{true, false}));
    EXPECT_EQ(view_.statuses.last(), Text(ids::kStatusLineClosed));
    // A call in progress is left to its own events.
    EXPECT_TRUE(state_.incomingCall);
    EXPECT_EQ(state_.recordSeconds, 17);

    // Closing a closed line is journaled too, with the control's refusal.
    backend_->closeResult = 0;
    line_.CloseLine();
    line_.CloseLine();
    EXPECT_EQ(SysJournal()[SysJournal().size() - 2],
              "CloseLine:Tapi1.LineClose->" + LineErrorText(line_error::kNotOpen) + "(4)");
}

TEST_F(LineConnectionTest, TheSwitchClosesAnOpenLineAndOpensAClosedOne) {
    backend_->devices = {ScriptedLineBackend::Device(QStringLiteral("Modem"))};
    line_.LineSwitchClicked();
    EXPECT_TRUE(tapi_->LineOpened());
    line_.LineSwitchClicked();
    EXPECT_FALSE(tapi_->LineOpened());
    // After the shutdown the line opens again without a new initialisation.
    line_.LineSwitchClicked();
    EXPECT_TRUE(tapi_->LineOpened());
    EXPECT_EQ(backend_->TakeRequests(), (QStringList{"Open 0", "Close", "Open 0"}));
    EXPECT_EQ(view_.switches, (std::vector<bool>{true, false, true}));
}

TEST_F(LineConnectionTest, WithTheSystemJournalOffNothingIsWritten) {
    SetJournalSwitches(false, true);
    backend_->devices = {ScriptedLineBackend::Device(QStringLiteral("Modem"))};
    StoreLine(QStringLiteral("Modem"));
    line_.OpenLine();
    line_.CloseLine();
    backend_->openResult = line_error::kPortFailed;
    line_.OpenLine();
    EXPECT_FALSE(QFile::exists(ProgramJournal().folder() + ProgramJournal().systemFileName()));
    EXPECT_EQ(view_.switches, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace orvane
