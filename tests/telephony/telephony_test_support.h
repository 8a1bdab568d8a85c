#pragma once
// What the telephony tests share: a private program folder, the English
// texts, the program's journal on a fixed clock, and a telephony control
// over a scripted backend.

#include <gtest/gtest.h>

#include <QStringList>
#include <memory>

#include "core/clock.h"
#include "journal/journal_writer.h"
#include "telephony/tapi.h"
#include "tests/support/qt_printers.h"
#include "tests/support/scripted_line_backend.h"
#include "tests/support/test_environment.h"
#include "translation/string_table.h"

namespace orvane::testing {

// A journal file's physical lines; the time `clock` shows is cut off the
// front of each entry, so an event reads "Tapi1_Ring->Ring 2(0)".
inline QStringList JournalEntries(const QString& file, const Clock& clock) {
    const QString time = LongTimeText(clock.now().time()) + QStringLiteral(" : ");
    QStringList lines = ProgramJournal().ReadLogFile(file);
    for (QString& line : lines) {
        if (line.startsWith(time)) {
            line.remove(0, time.size());
        }
    }
    return lines;
}

class TelephonyTest : public ::testing::Test {
  protected:
    TelephonyTest() {
        env_.makeProgramFolders();
        ResetStringTableForTesting();
        LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"));
        ProgramJournal().setClock(clock_);
        SetJournalSwitches(true, true);
        tapi_ = CreateScriptedTapi(backend_);
        tapi_->LineInitialize();
    }
    ~TelephonyTest() override {
        tapi_.reset();
        ProgramJournal().setClock(SystemTime());
        SetJournalSwitches(false, false);
        ResetStringTableForTesting();
    }

    QStringList SysJournal() const {
        return JournalEntries(ProgramJournal().systemFileName(), clock_);
    }
    QStringList CallsJournal() const {
        return JournalEntries(ProgramJournal().callsFileName(), clock_);
    }

    TestEnvironment env_;
    FixedClock clock_{QDateTime(QDate(2026, 12, 7), QTime(16, 34, 54))};
    ScriptedLineBackend* backend_ = nullptr;
    std::unique_ptr<Tapi> tapi_;
};

}  // namespace orvane::testing
