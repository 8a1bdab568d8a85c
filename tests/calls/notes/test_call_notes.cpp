// A call's note: the typing and saving limits, the note written into the
// record and its row, and the general notes file on disk.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "calls/list/calls_list_model.h"
#include "calls/notes/call_notes.h"
#include "calls/notes/general_notes.h"
#include "calls/store/call_store.h"
#include "journal/journal_writer.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"

namespace orvane {
namespace {

const QString kAleph = QStringLiteral("\u05d0");  // two bytes of UTF-8

QString Times(const QString& piece, int count) {
    return piece.repeated(count);
}

TEST(CallNotes, TypingStopsAtTheCharacterAndByteLimits) {
    const QString a = QStringLiteral("a");
    const struct {
        QString note, replaced, inserted;
        NoteTyping verdict;
    } cases[] = {
        {Times(a, 255), {}, a, NoteTyping::kTaken},
        {Times(a, 256), {}, a, NoteTyping::kNoteFull},
        {Times(a, 256), a, a, NoteTyping::kNoteFull},  // typing over a selection
        {Times(a, 256), {}, {}, NoteTyping::kTaken},   // backspace, delete
        {Times(a, 255), {}, QStringLiteral("\r\n"), NoteTyping::kNoteFull},
        {Times(a, 250), {}, Times(a, 7), NoteTyping::kNoteFull},  // a paste
        {Times(a, 250), Times(a, 5), Times(a, 11), NoteTyping::kTaken},
        {Times(kAleph, 127), {}, a + a, NoteTyping::kTaken},  // 256 bytes
        {Times(kAleph, 127), {}, kAleph + a, NoteTyping::kBytesFull},
        {Times(kAleph, 128), kAleph, a, NoteTyping::kTaken},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckNoteTyping(c.note, c.replaced, c.inserted), c.verdict)
            << NoteLength(c.note) << " + " << c.inserted.toStdString();
    }
}

class SaveCallNoteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        folder_ = dir_.path() + QLatin1Char('/');
        Fill();
    }
    // Two calls noted "old", listed.
    void Fill() {
        QFile::remove(CallIndexFile(folder_));
        for (const char* name : {"Ann", "Bob"}) {
            CallRecord record;
            record.Set(CallField::CallKind, QStringLiteral("3"));
            record.Set(CallField::CallerName, QString::fromLatin1(name));
            record.Set(CallField::Notes, QStringLiteral("old"));
            ASSERT_TRUE(AppendCallRecord(record, folder_));
        }
        list_.CreateCallsList(folder_);
        ASSERT_EQ(list_.rowCount(), 2);
    }
    QByteArray RawNotes(qint32 number) {
        CallRecord record;
        EXPECT_TRUE(ReadCallRecord(record, folder_, number));
        const CallFieldLayout at = LayoutOf(CallField::Notes);
        return QByteArray(record.Bytes().data() + at.offset, at.width);
    }

    QTemporaryDir dir_;
    QString folder_;
    CallsListModel list_{FileCallStore()};
};

TEST_F(SaveCallNoteTest, SavesWithinTheLimitsIntoRecordAndRow) {
    const QString old = QStringLiteral("old");
    const struct {
        QString note;
        NoteSave result;
        QString shown;  // the row's note and the stored field afterwards
        int extraHeight;
    } cases[] = {
        {Times(QStringLiteral("n"), 155), NoteSave::kSaved, Times(QStringLiteral("n"), 155), 2},
        {Times(QStringLiteral("n"), 156), NoteSave::kTooLong, old, 2},
        {QStringLiteral("one\r\ntwo"), NoteSave::kSaved, QStringLiteral("one\r\ntwo"), 18},
        {Times(kAleph, 128), NoteSave::kSaved, Times(kAleph, 128), 2},  // 256 bytes
        // 153 characters in 156 UTF-16 units
        {Times(QStringLiteral("n"), 150) + Times(QStringLiteral("\U0001F600"), 3), NoteSave::kSaved,
         Times(QStringLiteral("n"), 150) + Times(QStringLiteral("\U0001F600"), 3), 2},
        {Times(kAleph, 129), NoteSave::kTooLong, old, 2},  // would be cut
        {QStringLiteral("   "), NoteSave::kSaved, QString(), 0},
        {QString(), NoteSave::kSaved, QString(), 0},  // 256 spaces, no longer NULs
    };
    for (const auto& c : cases) {
        Fill();
        EXPECT_EQ(SaveCallNote(list_, 1, c.note), c.result) << c.note.toStdString();
        EXPECT_EQ(list_.CellText(1, calls_column::kBody), c.shown);
        EXPECT_EQ(
            list_.data(list_.index(1, calls_column::kBody), CallsListModel::kNoteExtraHeightRole),
            c.extraHeight);
        EXPECT_EQ(RawNotes(2), c.shown.toUtf8().leftJustified(256, ' '));
        EXPECT_EQ(RawNotes(1), old.toUtf8().leftJustified(256, ' '));  // the other call
        // A rebuild reads back what the row shows.
        list_.CreateCallsList(folder_);
        EXPECT_EQ(list_.CellText(1, calls_column::kBody), c.shown);
    }
}

TEST_F(SaveCallNoteTest, AStoreFailureOrNoRowLeavesTheRow) {
    EXPECT_EQ(SaveCallNote(list_, 2, QStringLiteral("x")), NoteSave::kNoRow);
    EXPECT_EQ(SaveCallNote(list_, -1, QStringLiteral("x")), NoteSave::kNoRow);
    testing::TestEnvironment environment;
    environment.makeProgramFolders();
    SetJournalSwitches(true, false);
    ASSERT_TRUE(QFile::remove(CallIndexFile(folder_)));  // the index went away
    EXPECT_EQ(SaveCallNote(list_, 0, QStringLiteral("x")), NoteSave::kStoreFailed);
    SetJournalSwitches(false, false);
    EXPECT_EQ(list_.CellText(0, calls_column::kBody), QStringLiteral("old"));
    EXPECT_FALSE(QFile::exists(CallIndexFile(folder_)));
    const QStringList journal = ProgramJournal().ReadLogFile(ProgramJournal().systemFileName());
    ASSERT_EQ(journal.size(), 1);
    EXPECT_TRUE(journal.front().contains(QStringLiteral("SaveCallNote")))
        << journal.front().toStdString();
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

TEST(GeneralNotes, LoadJoinsLinesAndDropsTheLastBreak) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Notes"));
    const struct {
        QByteArray file;
        QString text;
    } cases[] = {
        {"", QString()},
        {"\r\n", QString()},
        {"a", QStringLiteral("a")},
        {"a\r\n", QStringLiteral("a")},
        {"a\r\n\r\nb\r\n", QStringLiteral("a\r\n\r\nb")},
        {"a\nb", QStringLiteral("a\r\nb")},
        {"\xd7\x90\xff", QStringLiteral("\u05d0\ufffd")},
    };
    for (const auto& c : cases) {
        WriteBytes(path, c.file);
        EXPECT_EQ(LoadGeneralNotes(path), std::optional<QString>(c.text)) << c.file.toStdString();
    }
    // A folder in the file's place cannot be read.
    EXPECT_EQ(LoadGeneralNotes(dir.path()), std::nullopt);
}

TEST(GeneralNotes, AFailedSaveKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Notes"));
    WriteBytes(path, "kept\r\n");
    QString error;
    bool saved = true;
    {
        testing::FileSizeLimit full(16);
        saved = SaveGeneralNotes(path, QString(100, QLatin1Char('x')), &error);
    }
    EXPECT_FALSE(saved);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadBytes(path), QByteArray("kept\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Notes")});
}

}  // namespace
}  // namespace orvane
