// The whole program places calls from its dialer on the emulated line: a
// record call is recorded and stored as kind 4, a standard call is not, a
// call back dials the row's number, and busy and missing dial tone are
// reported on both status bars and in the journal. The dialer follows each
// call: its status, its buttons and the main status bar at every stage.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

#include "app/calls_list/calls_list_view.h"
#include "app/main_window.h"
#include "app/program.h"
#include "calls/list/calls_list_model.h"
#include "calls/store/call_store.h"
#include "journal/journal_writer.h"
#include "settings/names/devices.h"
#include "settings/names/general.h"
#include "settings/names/log.h"
#include "telephony/tapi.h"
#include "tests/support/program_on_emulator.h"
#include "tests/support/test_environment.h"
#include "tests/telephony/modemsim_process.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/tray_icon.h"
#include "windows/dialer/dialer_window.h"

namespace orvane {
namespace {

class DialerEndToEnd : public testing::ProgramOnEmulatorTest<> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramOnEmulatorTest::SetUp());
        QFile english(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"));
        ASSERT_TRUE(english.open(QIODevice::ReadOnly));
        env_.writeFile(QStringLiteral("program/Trans/English"), english.readAll());
        // As the start-up loads it: the texts on screen are the language's.
        ASSERT_EQ(LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English")), 0);
        log_ = env_.root() + QStringLiteral("/modemsim.log");
        Store(kTabGeneral, "cmbRecordFormatRec", QStringLiteral("0"));
    }
    void TearDown() override {
        ProgramOnEmulatorTest::TearDown();
        ResetMessageSeam();
        ResetStringTableForTesting();
    }

    int Count(const QString& text) const { return static_cast<int>(Journal().count(text)); }
    // The shared PumpUntil that, while tracing_, also follows the screen.
    template <typename Predicate>
    bool PumpUntil(Predicate done, int limitMs = 30000) {
        const QDeadlineTimer deadline(limitMs);
        while (!done() && !deadline.hasExpired()) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            if (tracing_) {
                Trace();
            }
        }
        return done();
    }
    // What the user sees, each as a list of the values it took in turn.
    struct Seen {
        QStringList dialer, main, buttons;
    };
    static void Add(QStringList& list, const QString& value) {
        if (list.isEmpty() || list.last() != value) {
            list.append(value);
        }
    }
    // "CRH": Call, Call and record and Hang up enabled; "-" for a disabled one.
    QString Buttons() const {
        QString buttons;
        for (const auto& [name, letter] :
             {std::pair{"cndSend", u'C'}, std::pair{"cmdRecCall", u'R'},
              std::pair{"cmdEnd", u'H'}}) {
            buttons += program_.Dialer()->findChild<QPushButton*>(QLatin1String(name))->isEnabled()
                           ? QChar(letter)
                           : QChar(u'-');
        }
        return buttons;
    }
    void Trace() {
        Add(seen_.dialer, DialerStatus());
        Add(seen_.main, MainStatus());
        Add(seen_.buttons, Buttons());
    }
    QPushButton* Button(const char* name) const {
        return program_.Dialer()->findChild<QPushButton*>(QLatin1String(name));
    }
    bool StartOnLine(const QString& scenario) {
        if (!sim_.Start(link_, QStringLiteral("voice pattern; ") + scenario,
                        {QStringLiteral("--log"), log_})) {
            return false;
        }
        program_.Load(true);
        return PumpUntil([&] { return program_.Tapi1()->LineOpened(); });
    }
    // Opens the dialer as the menus do and presses one of its call buttons.
    void Dial(const QString& number, const char* button) {
        program_.ShowDialer(QString());
        program_.Dialer()
            ->findChild<QComboBox*>(QStringLiteral("cmbCallNumber"))
            ->setEditText(number);
        program_.Dialer()->findChild<QPushButton*>(QLatin1String(button))->click();
    }
    QString DialerStatus() const {
        return program_.Dialer()->findChild<QStatusBar*>()->findChild<QLabel*>()->text();
    }
    QString MainStatus() const {
        return program_.Window().findChild<QLabel*>(QStringLiteral("statusPanel3"))->text();
    }
    QString SimLog() const {
        QFile file(log_);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QString log_;
    Program program_;
    bool tracing_ = false;
    Seen seen_;
};

TEST_F(DialerEndToEnd, ARecordCallIsStoredAsKindFourAndCallingBackDialsItsNumber) {
    ASSERT_TRUE(StartOnLine(QStringLiteral(
        "dial-answer answered after 200; wait-command ATD5551234; wait-command VRX; sleep 2500; "
        "remote-hangup busy; wait-hangup timeout 20000; dial-answer busy after 200; "
        "wait-command ATD5551234; sleep 60000")))
        << Journal().toStdString();
    SetNextMessageAnswer(kAnswerNo);
    Dial(QStringLiteral("555-1234"), "cmdRecCall");
    ASSERT_TRUE(PumpUntil([&] { return Count(QStringLiteral("End Of Call")) == 1; }))
        << Journal().toStdString();
    EXPECT_TRUE(TakeShownMessages().empty()) << "no question about a call the user placed";
    EXPECT_FALSE(program_.Dialer()->IsLoaded()) << "recording closes the dialer";

    const std::vector<CallRecord> records = ReadAllCallRecords(folder_);
    ASSERT_EQ(records.size(), 1u) << Journal().toStdString();
    EXPECT_EQ(records[0].Get(CallField::CallKind), QStringLiteral("4"));
    EXPECT_EQ(records[0].Get(CallField::CallerName), QStringLiteral("UNKNOWN"));
    EXPECT_EQ(records[0].Get(CallField::CallerNumber), QStringLiteral("5551234"));
    const QStringList waves = QDir(folder_).entryList({QStringLiteral("*.wav")}, QDir::Files);
    ASSERT_EQ(waves, QStringList{CallFileName(records[0])});
    EXPECT_TRUE(waves[0].startsWith(QStringLiteral("UNKNOWN_5551234_")));
    EXPECT_GT(QFile(folder_ + waves[0]).size(), 44 + 8000);

    // Call back from the row: the dialer opens with its number, which is dialled.
    CallsListPanel* calls = program_.Window().CallsList();
    ASSERT_EQ(program_.CallsList().rowCount(), 1);
    calls->View()->setCurrentIndex(program_.CallsList().index(0, 0));
    calls->ButtonClicked(CallsListPanel::kCallBack);
    ASSERT_TRUE(program_.Dialer()->IsLoaded());
    EXPECT_EQ(program_.Dialer()->NumberText(), QStringLiteral("5551234"));
    program_.Dialer()->findChild<QPushButton*>(QStringLiteral("cndSend"))->click();
    ASSERT_TRUE(PumpUntil([&] { return Count(QStringLiteral("End Of Call")) == 2; }))
        << Journal().toStdString();
    EXPECT_EQ(SimLog().count(QStringLiteral("client ATD5551234")), 2) << SimLog().toStdString();
    EXPECT_EQ(MainStatus(), Text(ids::kDialBusy));
    EXPECT_EQ(DialerStatus(), Text(ids::kDialBusy));
    EXPECT_TRUE(Journal().contains(QStringLiteral("The called line is busy.")));
    EXPECT_FALSE(program_.CurrentCallState().standardCall);
    program_.Window().UnLoadApp();
}

TEST_F(DialerEndToEnd, AStandardCallIsNotRecordedAndAMissingDialToneIsReported) {
    ASSERT_TRUE(StartOnLine(QStringLiteral(
        "dial-answer answered after 200; wait-command ATD; wait-command VRX; sleep 1500; "
        "remote-hangup busy; wait-hangup timeout 20000; dial-answer no-dialtone after 200; "
        "wait-command ATD; sleep 60000")))
        << Journal().toStdString();
    SetNextMessageAnswer(kAnswerOk);
    SetNextMessageAnswer(kAnswerOk);
    Dial(QStringLiteral("0123"), "cndSend");
    ASSERT_TRUE(PumpUntil([&] { return Count(QStringLiteral("End Of Call")) == 1; }))
        << Journal().toStdString();
    EXPECT_TRUE(Journal().contains(QStringLiteral("Connected")));
    EXPECT_TRUE(ReadAllCallRecords(folder_).empty());
    EXPECT_TRUE(QDir(folder_).entryList({QStringLiteral("*.wav")}, QDir::Files).isEmpty());

    Dial(QStringLiteral("0123"), "cmdRecCall");
    ASSERT_TRUE(PumpUntil([&] { return Count(QStringLiteral("End Of Call")) == 2; }))
        << Journal().toStdString();
    EXPECT_EQ(MainStatus(), Text(ids::kDialNoDialTone));
    EXPECT_EQ(DialerStatus(), Text(ids::kDialNoDialTone));
    EXPECT_TRUE(Journal().contains(QStringLiteral("There is no dial tone on the line.")));
    EXPECT_TRUE(ReadAllCallRecords(folder_).empty());
    program_.Window().UnLoadApp();
}

TEST_F(DialerEndToEnd, TypingAtTheFirstOpeningAfterAStartReplacesTheLastNumber) {
    env_.writeFile(QStringLiteral("data/orvane/DialCalls"), "555-0123\r\n");
    ASSERT_TRUE(StartOnLine(QStringLiteral("dial-answer busy after 200; sleep 60000")))
        << Journal().toStdString();
    program_.ShowDialer(QString());
    auto* number = program_.Dialer()->findChild<QComboBox*>(QStringLiteral("cmbCallNumber"));
    EXPECT_EQ(number->currentText(), QStringLiteral("555-0123")) << "offered for Enter";
    // The keys go where the window sends them.
    QWidget* typing = program_.Dialer()->focusWidget();
    ASSERT_NE(typing, nullptr);
    for (const QChar c : QStringLiteral("0163 296 0999")) {
        const int key = c == u' ' ? int(Qt::Key_Space) : Qt::Key_0 + c.digitValue();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(typing, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(typing, &release);
    }
    Button("cndSend")->click();
    ASSERT_TRUE(PumpUntil([&] { return SimLog().contains(QStringLiteral("client ATD")); }));
    EXPECT_TRUE(SimLog().contains(QStringLiteral("client ATD01632960999\n")))
        << SimLog().toStdString();
    program_.Window().UnLoadApp();
}

// One outgoing standard call and how it ends.
struct FollowCase {
    const char* label;
    const char* scenario;
    enum { kFarEnd, kUserWhileDialling, kUserWhenConnected } ender;
    // Each list as it is seen in turn; 0 stands for "Dialling 0123".
    std::vector<int> dialer, main;
};

class DialerFollowsTheCall : public DialerEndToEnd,
                             public ::testing::WithParamInterface<FollowCase> {};

TEST_P(DialerFollowsTheCall, OneMessageEachStageButtonsAsTheCallStandsMainStatusBarToo) {
    const FollowCase& c = GetParam();
    ASSERT_TRUE(StartOnLine(QString::fromLatin1(c.scenario))) << Journal().toStdString();
    ASSERT_TRUE(PumpUntil([&] { return MainStatus() == Text(ids::kStatusLineOpen); }));
    // Any message box is answered and recorded, never shown.
    for (int i = 0; i < 3; ++i) {
        SetNextMessageAnswer(kAnswerNo);
    }
    const QString dialling = Text(ids::kStatusDialling) + QStringLiteral(" 0123");
    const auto texts = [&](const std::vector<int>& list) {
        QStringList out;
        for (const int id : list) {
            out << (id == 0 ? dialling : Text(id));
        }
        return out;
    };
    program_.ShowDialer(QString());
    tracing_ = true;
    Trace();
    Dial(QStringLiteral("0123"), "cndSend");
    ASSERT_TRUE(PumpUntil([&] { return DialerStatus() == dialling; }));
    EXPECT_EQ(Buttons(), QStringLiteral("--H")) << "Hang up while dialling";
    EXPECT_EQ(MainStatus(), dialling);
    if (c.ender == FollowCase::kUserWhileDialling) {
        Button("cmdEnd")->click();
    } else if (c.ender == FollowCase::kUserWhenConnected) {
        ASSERT_TRUE(
            PumpUntil([&] { return DialerStatus() == Text(ids::kMsgStandardCallConnected); }));
        EXPECT_EQ(Buttons(), QStringLiteral("--H"));
        EXPECT_EQ(MainStatus(), Text(ids::kStatusConnected));
        Button("cmdEnd")->click();
    }
    ASSERT_TRUE(PumpUntil([&] { return Count(QStringLiteral("End Of Call")) == 1; }))
        << Journal().toStdString();
    tracing_ = false;

    const auto join = [](const QStringList& list) { return list.join(QStringLiteral(" | ")); };
    EXPECT_EQ(join(seen_.dialer), join(texts(c.dialer)));
    EXPECT_EQ(join(seen_.main), join(texts(c.main)));
    EXPECT_EQ(join(seen_.buttons), QStringLiteral("CRH | --H | CRH"));
    EXPECT_TRUE(TakeShownMessages().empty());
    EXPECT_TRUE(program_.Dialer()->IsLoaded());
    EXPECT_FALSE(program_.CurrentCallState().standardCall);
    const QString log = SimLog();
    const qsizetype dial = log.indexOf(QStringLiteral("client ATD0123"));
    ASSERT_GE(dial, 0) << log.toStdString();
    if (c.ender != FollowCase::kFarEnd) {
        // While dialling, the emulator holds what is typed until its dial
        // ends (a real modem stops the dial at the first character).
        EXPECT_GT(log.indexOf(QStringLiteral("ATH"), dial), dial) << log.toStdString();
    }
    if (c.ender == FollowCase::kUserWhileDialling) {
        EXPECT_EQ(log.indexOf(QStringLiteral("VRX"), dial), -1) << "hung up before it connected";
    }
    program_.Window().UnLoadApp();
}

INSTANTIATE_TEST_SUITE_P(
    Endings, DialerFollowsTheCall,
    ::testing::Values(
        FollowCase{"farEndHangsUp",
                   "dial-answer answered after 1500; wait-command ATD; wait-command VRX; "
                   "sleep 1500; remote-hangup busy; wait-hangup timeout 20000; sleep 60000",
                   FollowCase::kFarEnd,
                   {ids::kStatusNoCall, 0, ids::kMsgStandardCallConnected, ids::kStatusNoCall},
                   {ids::kStatusLineOpen, 0, ids::kStatusConnected, ids::kStatusLineOpen}},
        FollowCase{"busy",
                   "dial-answer busy after 1500; sleep 60000",
                   FollowCase::kFarEnd,
                   {ids::kStatusNoCall, 0, ids::kDialBusy},
                   {ids::kStatusLineOpen, 0, ids::kDialBusy}},
        FollowCase{"userWhileDialling",
                   "dial-answer answered after 60000; sleep 60000",
                   FollowCase::kUserWhileDialling,
                   {ids::kStatusNoCall, 0, ids::kStatusNoCall},
                   {ids::kStatusLineOpen, 0, ids::kStatusLineOpen}},
        FollowCase{"userWhenConnected",
                   "dial-answer answered after 1500; sleep 60000",
                   FollowCase::kUserWhenConnected,
                   {ids::kStatusNoCall, 0, ids::kMsgStandardCallConnected, ids::kStatusNoCall},
                   {ids::kStatusLineOpen, 0, ids::kStatusConnected, ids::kStatusLineOpen}}),
    [](const ::testing::TestParamInfo<FollowCase>& param) { return param.param.label; });

}  // namespace
}  // namespace orvane
