#pragma once
// The real program set up over the modem emulator, for the end-to-end tests:
// a private world with the program folders, the emulator's link as the line
// device, a recordings folder, the system journal on and a tray to sit in.
// ProgramOnEmulatorTest<> is the fixture; give it ::testing::TestWithParam<T>
// for a parameterised one.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QString>

#include "tests/support/test_environment.h"
#include "tests/telephony/modemsim_process.h"

namespace orvane::testing {

class ProgramOnEmulator {
  public:
    // Whether the set-up makes the Recordings folder and stores it as the
    // recordings folder; a test with folders of its own stores them itself.
    enum class RecordingsFolder { kMade, kNone };

    // The name the emulator gives its modem among the line devices.
    static const QString kSimName;

    explicit ProgramOnEmulator(RecordingsFolder recordings = RecordingsFolder::kMade)
        : recordings_(recordings) {}

    // Stores `value` under `name` in the program's settings subkey.
    static void Store(const QString& subkey, const char* name, const QString& value);
    // The system journal as written so far; empty when there is none.
    static QString Journal();
    // Runs the event loop until `done` holds or `limitMs` passed.
    template <typename Predicate>
    static bool PumpUntil(Predicate done, int limitMs = 30000) {
        const QDeadlineTimer deadline(limitMs);
        while (!done() && !deadline.hasExpired()) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return done();
    }

  protected:
    void SetUpProgram();
    void TearDownProgram();

    TestEnvironment env_;
    QString link_;
    QString folder_;  // empty with RecordingsFolder::kNone
    ModemSimProcess sim_;

  private:
    RecordingsFolder recordings_;
};

template <typename GTestBase = ::testing::Test>
class ProgramOnEmulatorTest : public GTestBase, public ProgramOnEmulator {
  protected:
    using ProgramOnEmulator::ProgramOnEmulator;
    void SetUp() override { SetUpProgram(); }
    void TearDown() override { TearDownProgram(); }
};

}  // namespace orvane::testing
