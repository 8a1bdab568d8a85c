// Retention rules through the whole program on the emulated line: rules
// stored from outside wait with a notice; the Retention page previews what
// they remove as the user edits; Yes moves exactly the calls previewed to
// the trash in one run with one journal line; a call shorter than the
// length rule is discarded when it ends.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QSpinBox>

#include "app/main_window.h"
#include "app/program.h"
#include "calls/list/calls_list_model.h"
#include "calls/retention/retention_rules.h"
#include "calls/store/call_record.h"
#include "calls/store/call_store.h"
#include "core/clock.h"
#include "core/product.h"
#include "core/stored_moment.h"
#include "settings/names/retention.h"
#include "settings/store/registry_routines.h"
#include "settings/store/registry_types.h"
#include "tests/support/program_on_emulator.h"
#include "tests/support/qt_printers.h"
#include "translation/show_message.h"
#include "translation/string_table.h"
#include "windows/settings/settings_dialog.h"

namespace orvane {
namespace {

const QString kRan = QStringLiteral("moved to the trash by the retention rules");

class RetentionEndToEnd : public testing::ProgramOnEmulatorTest<> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramOnEmulatorTest::SetUp());
        RegistryRoutines(kHkeyLocalMachine, product::kRootKey, kTabRetention).CreateKey();
        ResetStringTableForTesting();
        LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"));
        ResetMessageSeam();
    }
    void TearDown() override {
        ResetMessageSeam();
        ProgramOnEmulatorTest::TearDown();
    }

    // A call stored `daysAgo` days ago with a file of `bytes` bytes.
    void AddCall(const char* name, int daysAgo, qint64 bytes, bool marked = false) {
        const QDateTime moment = QDateTime::currentDateTime().addDays(-daysAgo);
        CallRecord record;
        record.Set(CallField::CallKind, QStringLiteral("3"));
        record.Set(CallField::CallerName, QString::fromLatin1(name));
        record.Set(CallField::CallerNumber, QStringLiteral("5550100"));
        record.Set(CallField::CallDate, ShortDateText(moment.date()));
        record.Set(CallField::CallTime, LongTimeText(moment.time()));
        record.Set(CallField::ExtraText, IsoMomentText(moment));
        record.Set(CallField::Duration, QStringLiteral("0:02:00"));
        record.Set(CallField::ReadFlag, QStringLiteral("1"));
        record.Set(CallField::UserMark, marked ? QStringLiteral("1") : QStringLiteral("0"));
        ASSERT_TRUE(AppendCallRecord(record, folder_));
        QFile wave(folder_ + CallFileName(record));
        ASSERT_TRUE(wave.open(QIODevice::WriteOnly));
        wave.write(QByteArray(bytes, 'x'));
        files_[QString::fromLatin1(name)] = CallFileName(record);
    }
    QStringList Callers() const {
        QStringList names;
        for (const CallRecord& record : ReadAllCallRecords(folder_)) {
            names << record.Get(CallField::CallerName);
        }
        return names;
    }
    QStringList Waves() const {
        return QDir(folder_).entryList({QStringLiteral("*.wav")}, QDir::Files, QDir::Name);
    }
    QStringList Trashed() const {
        return QDir(env_.dataHome() + QStringLiteral("/Trash/files"))
            .entryList(QDir::Files, QDir::Name);
    }
    QStringList FilesOf(const QStringList& names) const {
        QStringList files;
        for (const QString& name : names) {
            files << files_.value(name);
        }
        files.sort();
        return files;
    }
    static int Count(const QString& text, const QString& part) {
        return static_cast<int>(text.count(part));
    }

    QHash<QString, QString> files_;
};

TEST_F(RetentionEndToEnd, RulesWaitUntilAcceptedAndThenMoveExactlyThePreviewedCalls) {
    AddCall("Old A", 40, 1000);
    AddCall("Old Marked", 50, 4000, true);
    AddCall("Old B", 35, 2000);
    AddCall("New", 1, 8000);
    // Rules stored from outside (orvane-reg): they do not run.
    Store(kTabRetention, "txtMaxAgeDays", QStringLiteral("30"));
    ASSERT_TRUE(sim_.Start(link_, QStringLiteral("voice pattern; sleep 120000")));
    Program program;
    program.Load(true);
    EXPECT_EQ(Callers(), QStringList({"Old A", "Old Marked", "Old B", "New"}));
    EXPECT_TRUE(Trashed().isEmpty());
    auto* notice = program.Window().findChild<QLabel*>(QStringLiteral("lblRetentionWaiting"));
    ASSERT_NE(notice, nullptr);
    EXPECT_FALSE(notice->isHidden());
    EXPECT_EQ(Count(Journal(), QStringLiteral("were not accepted")), 1);
    // A reload that changes nothing says nothing again.
    program.Settings().Reload();
    EXPECT_EQ(Count(Journal(), QStringLiteral("were not accepted")), 1);

    // The page shows the stored rules and their preview, and follows edits.
    program.ShowSettings(SettingsDialog::kRetention);
    SettingsDialog* dialog = program.SettingsWindow();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->CurrentPage(), SettingsDialog::kRetention);
    auto* days = dialog->findChild<QSpinBox*>(QStringLiteral("txtMaxAgeDays"));
    auto* preview = dialog->findChild<QLabel*>(QStringLiteral("lblRetentionPreview"));
    ASSERT_TRUE(days != nullptr && preview != nullptr);
    EXPECT_EQ(days->value(), 30);
    EXPECT_TRUE(preview->text().startsWith(QStringLiteral("These 2 calls, 3.0 kB")))
        << preview->text().toStdString();
    days->setValue(38);
    EXPECT_TRUE(preview->text().startsWith(QStringLiteral("This call, 1.0 kB")))
        << preview->text().toStdString();
    days->setValue(60);
    EXPECT_EQ(preview->text(), QStringLiteral("No call would go now."));
    days->setValue(30);
    const QString shown = preview->text();

    // No: nothing is stored, nothing goes, the page stays.
    SetNextMessageAnswer(kAnswerNo);
    dialog->Accept();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Callers().size(), 4);
    EXPECT_TRUE(TakeShownMessages().size() == 1);

    // Yes: exactly the calls previewed go, records and files, in one run.
    SetNextMessageAnswer(kAnswerYes);
    dialog->Accept();
    const std::vector<ShownMessage> asked = TakeShownMessages();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].text.startsWith(shown)) << asked[0].text.toStdString();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Callers(), QStringList({"Old Marked", "New"}));
    EXPECT_EQ(Waves(), FilesOf({"Old Marked", "New"}));
    EXPECT_EQ(Trashed(), FilesOf({"Old A", "Old B"}));
    EXPECT_EQ(program.CallsList().rowCount(), 2);
    EXPECT_TRUE(notice->isHidden());
    const QString journal = Journal();
    EXPECT_EQ(Count(journal, kRan), 1) << journal.toStdString();
    EXPECT_TRUE(journal.contains(QStringLiteral("2 calls, 3.0 kB, ") + kRan +
                                 QStringLiteral(": 2 older than 30 days")))
        << journal.toStdString();
    program.Window().UnLoadApp();
}

TEST_F(RetentionEndToEnd, AShortCallRecordedOnTheLineIsDiscardedWhenItEnds) {
    RetentionRules rules;
    rules.minSeconds = 60;
    Store(kTabRetention, "txtMinSeconds", QStringLiteral("60"));
    Store(kTabRetention, "AcceptedRules", RulesFingerprint(rules, folder_));
    AddCall("Long Before", 1, 1000);
    ASSERT_TRUE(sim_.Start(link_, QStringLiteral("voice pattern; wait-command VCID=1; "
                                                 "call rings=2 every=300 name=\"Short Caller\" "
                                                 "number=5550001; pickup; wait-command VRX; "
                                                 "sleep 1500; remote-hangup busy; "
                                                 "wait-hangup timeout 20000; sleep 120000")));
    Program program;
    program.Load(true);
    // The call of before is long enough; the short one goes once stored.
    ASSERT_TRUE(PumpUntil([&] { return Journal().contains(kRan); })) << Journal().toStdString();
    EXPECT_EQ(Callers(), QStringList{"Long Before"});
    EXPECT_EQ(Waves(), FilesOf({"Long Before"}));
    ASSERT_EQ(Trashed().size(), 1);
    EXPECT_TRUE(Trashed()[0].startsWith(QStringLiteral("Short Caller_5550001_")));
    EXPECT_TRUE(Journal().contains(QStringLiteral("1 shorter than 60 s")));
    EXPECT_EQ(program.CallsList().rowCount(), 1);
    program.Window().UnLoadApp();
}

}  // namespace
}  // namespace orvane
