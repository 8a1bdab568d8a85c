// The main window's line switch over the real voice-modem backend and the
// emulator: closing frees the port for other programs, an unplugged modem
// is journaled, and the switch opens the line again once it is back.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QSerialPort>
#include <QToolBar>

#include "app/main_window.h"
#include "app/program.h"
#include "journal/journal_writer.h"
#include "settings/global_options.h"
#include "telephony/tapi.h"
#include "tests/support/program_on_emulator.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"
#include "tests/telephony/modemsim_process.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/tray_icon.h"

namespace orvane {
namespace {

// No recordings folder: no call is recorded here.
class LineSwitchOnModemTest : public testing::ProgramOnEmulatorTest<> {
  protected:
    LineSwitchOnModemTest() : ProgramOnEmulatorTest(RecordingsFolder::kNone) {}

    // The system journal's entries, one a line.
    static QStringList Journal() {
        return ProgramOnEmulator::Journal().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }
    qsizetype Count(const QString& text) const { return Journal().filter(text).size(); }

    template <typename Predicate>
    static bool PumpUntil(Predicate done, int limitMs = 20000) {
        return ProgramOnEmulator::PumpUntil(done, limitMs);
    }
};

TEST_F(LineSwitchOnModemTest, TheSwitchFreesThePortAndReopensTheLineAfterTheModemCameBack) {
    ASSERT_TRUE(sim_.Start(link_, QStringLiteral("wait-client; sleep 120000")));
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    auto* toolbar = window.findChild<QToolBar*>(QStringLiteral("cToolbar1"));
    ASSERT_NE(toolbar, nullptr);
    QAction* lineSwitch = toolbar->actions().value(0);
    ASSERT_NE(lineSwitch, nullptr);
    // The modem is set up in the background: the window is there first.
    auto* lineStatus = window.findChild<QLabel*>(QStringLiteral("statusPanel3"));
    ASSERT_NE(lineStatus, nullptr);
    EXPECT_FALSE(program.Tapi1()->LineOpened());
    EXPECT_EQ(lineStatus->text(), Text(ids::kStatusLineOpening));
    EXPECT_TRUE(lineSwitch->isChecked());
    ASSERT_TRUE(PumpUntil([&] { return program.Tapi1()->LineOpened(); }))
        << Journal().join(u'\n').toStdString();
    EXPECT_EQ(lineStatus->text(), Text(ids::kStatusLineOpen));
    EXPECT_TRUE(lineSwitch->isChecked());
    EXPECT_EQ(Count(QStringLiteral("OpenLine:Tapi1.LineOpen->")), 1);

    // Switched off, the line lets another program have the modem.
    lineSwitch->trigger();
    EXPECT_FALSE(program.Tapi1()->LineOpened());
    EXPECT_FALSE(lineSwitch->isChecked());
    EXPECT_EQ(Count(QStringLiteral("CloseLine:Tapi1.LineClose->") + LineErrorText(0) +
                    QStringLiteral("(0)")),
              1);
    EXPECT_EQ(Count(QStringLiteral("CloseLine:Tapi1.LineShutdown->") + LineErrorText(0) +
                    QStringLiteral("(0)")),
              1);
    {
        QSerialPort other;
        other.setPortName(link_);
        EXPECT_TRUE(other.open(QIODevice::ReadWrite)) << other.errorString().toStdString();
    }

    lineSwitch->trigger();
    ASSERT_TRUE(PumpUntil([&] { return program.Tapi1()->LineOpened(); }));
    EXPECT_EQ(Count(QStringLiteral("OpenLine:Tapi1.LineOpen->")), 2);

    // The modem goes away: journaled, the switch shows the line closed, the
    // window goes on.
    sim_.Stop();
    ASSERT_TRUE(PumpUntil([&] { return Count(QStringLiteral("Tapi1_LineLost->")) == 1; }))
        << Journal().join(u'\n').toStdString();
    EXPECT_FALSE(lineSwitch->isChecked());
    EXPECT_FALSE(program.Tapi1()->LineOpened());

    // Back again: the switch opens the line.
    testing::ModemSimProcess again;
    ASSERT_TRUE(again.Start(link_, QStringLiteral("wait-client; sleep 120000")));
    lineSwitch->trigger();
    EXPECT_TRUE(PumpUntil([&] { return program.Tapi1()->LineOpened(); }))
        << Journal().join(u'\n').toStdString();
    EXPECT_TRUE(lineSwitch->isChecked());
    EXPECT_EQ(Count(QStringLiteral("OpenLine:Tapi1.LineOpen->")), 3);
    window.UnLoadApp();
}

}  // namespace
}  // namespace orvane
