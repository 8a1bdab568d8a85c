// The translation editor on real translations folders, the shipped one and
// the user's: names that would leave them or clash are refused, shipped
// translations stay, a saved value changes one line and nothing else, a
// damaged file is never written.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "tests/support/folder_mode_guard.h"
#include "tests/support/qt_printers.h"
#include "tests/support/run_as_nobody.h"
#include "tests/support/test_environment.h"
#include "tests/translation/language_fixture.h"
#include "translation/bidi_text.h"
#include "translation/language_file.h"
#include "translation/selected_language.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "translation/translation_files.h"
#include "windows/translation_editor/translation_editor.h"

namespace orvane {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class TranslationEditorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env_.makeProgramFolders();
        trans_ = env_.programFolder() + QStringLiteral("/Trans");
        user_ = env_.dataHome() + QStringLiteral("/orvane/Trans");
        for (const char* name : {"English", "German", "Hebrew"}) {
            QFile::copy(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/") + name, trans_ + "/" + name);
            shipped_[name] = ReadAll(trans_ + "/" + name);
        }
        ResetStringTableForTesting();
        LoadTranslation(trans_ + "/English");
        ResetMessageSeam();
    }
    void TearDown() override { ResetMessageSeam(); }

    QString Write(const QString& name, const QByteArray& bytes) {
        QDir().mkpath(user_);
        return testing::WriteBytes(user_, name, bytes);
    }
    QStringList Messages() {
        QStringList texts;
        for (const ShownMessage& shown : TakeShownMessages()) {
            texts << shown.text;
        }
        return texts;
    }
    QString Message(int index, const QString& name = {}) {
        return ReplaceMarker(Text(ids::kTranslatorMessages).split('\n').value(index), name);
    }
    void ExpectShippedIntact() {
        for (auto it = shipped_.cbegin(); it != shipped_.cend(); ++it) {
            EXPECT_EQ(ReadAll(trans_ + "/" + it.key()), it.value()) << it.key().toStdString();
        }
    }
    // The grid row that shows `id`; 0 when none does.
    static int RowOf(TranslationEditor& editor, int id) {
        for (int row = 0; row < editor.Grid()->rowCount(); ++row) {
            const QTableWidgetItem* code = editor.Grid()->item(row, 0);
            if (code != nullptr && code->text() == QString::number(id)) {
                return row + 1;
            }
        }
        return 0;
    }

    testing::TestEnvironment env_;
    QString trans_;
    QString user_;
    QMap<QString, QByteArray> shipped_;
};

TEST_F(TranslationEditorTest, NamesOutsideTheFolderOrClashingInCaseAreRefused) {
    const struct {
        QString name;
        FileChange result;
    } cases[] = {
        {"", FileChange::kInvalidName},
        {".", FileChange::kInvalidName},
        {"..", FileChange::kInvalidName},
        {"../Escaped", FileChange::kInvalidName},
        {"a/b", FileChange::kInvalidName},
        {"/tmp/abs", FileChange::kInvalidName},
        {QStringLiteral("nul") + QChar(u'\0') + "x", FileChange::kInvalidName},
        {".hidden", FileChange::kInvalidName},
        {"line\nbreak", FileChange::kInvalidName},
        {QString(256, u'a'), FileChange::kInvalidName},
        {"english", FileChange::kNameTaken},
        {"HEBREW", FileChange::kNameTaken},
        {"Mine", FileChange::kDone},
        {"mINE", FileChange::kNameTaken},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CreateTranslation(c.name, true), c.result) << c.name.toStdString();
    }
    EXPECT_EQ(QDir(trans_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"English", "German", "Hebrew"}));
    EXPECT_EQ(QDir(user_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"Mine"});
    EXPECT_EQ(QDir(env_.programFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{});
    ExpectShippedIntact();
    // The new file: 1000 CR LF lines, user-made, right-to-left.
    QByteArray expected;
    for (int n = 1; n <= kLanguageFileLines; ++n) {
        expected += (n == 1 ? "1" : n == 10 ? "RTL" : "") + QByteArray("\r\n");
    }
    EXPECT_EQ(ReadAll(user_ + "/Mine"), expected);
}

TEST_F(TranslationEditorTest, RenameAndDeleteKeepOtherFilesAndBasicTranslations) {
    // User translations: line 1 is "1".
    auto userMade = [](const char* prefix) {
        const QByteArray lines = testing::LanguageLines(kLanguageFileLines, "LTR", prefix);
        return "1\r\n" + lines.mid(lines.indexOf('\n') + 1);
    };
    const QByteArray mine = userMade("mine ");
    const QByteArray other = userMade("other ");
    Write("Mine", mine);
    Write("Other", other);
    for (const char* target : {"other", "OTHER", "English", "..", ""}) {
        EXPECT_NE(RenameTranslation("Mine", target, false), FileChange::kDone) << target;
    }
    EXPECT_EQ(ReadAll(user_ + "/Mine"), mine);
    EXPECT_EQ(ReadAll(user_ + "/Other"), other);
    for (const char* basic : {"English", "German", "Hebrew"}) {
        EXPECT_EQ(RenameTranslation(basic, "Renamed", false), FileChange::kShipped);
        EXPECT_EQ(DeleteTranslation(basic), FileChange::kShipped);
    }
    ExpectShippedIntact();

    // Renamed: the new file is the old one with its direction changed.
    EXPECT_EQ(RenameTranslation("Mine", "Mine2", true), FileChange::kDone);
    EXPECT_FALSE(QFile::exists(user_ + "/Mine"));
    QByteArray renamed = mine;
    renamed.replace("\r\nLTR\r\n", "\r\nRTL\r\n");
    EXPECT_EQ(ReadAll(user_ + "/Mine2"), renamed);
    EXPECT_EQ(DeleteTranslation("Mine2"), FileChange::kDone);
    EXPECT_EQ(ListTranslations(), (QStringList{"Other", "English", "German", "Hebrew"}));
}

TEST_F(TranslationEditorTest, SavingAValueChangesThatLineAndKeepsEveryOtherByte) {
    // Mixed line ends, a byte order mark and lines the grid does not show.
    QByteArray bytes =
        "\xEF\xBB\xBF"
        "1\r\nreserved\n";
    for (int n = 3; n <= kLanguageFileLines; ++n) {
        const QByteArray end = n % 3 == 0 ? "\n" : n % 3 == 1 ? "\r" : "\r\n";
        bytes += (n == 10 ? QByteArray("LTR") : "ziel " + QByteArray::number(n)) +
                 (n == kLanguageFileLines ? QByteArray() : end);
    }
    Write("Mine", bytes);
    TranslationEditor editor;
    editor.Open("English");
    editor.SetCombos(QString(), "Mine");
    EXPECT_EQ(RowOf(editor, 10), 0);  // the header lines have no rows
    const int row = RowOf(editor, ids::kCancel);
    ASSERT_GT(row, 0);
    editor.Grid()->cellDoubleClicked(row - 1, 0);
    ASSERT_TRUE(editor.ValueDialog()->isVisible());
    EXPECT_EQ(editor.ValueDialog()->TargetBox()->toPlainText(), "ziel 12");
    editor.ValueDialog()->TargetBox()->setPlainText(QStringLiteral("Abbrechen\nsofort"));
    editor.ValueDialog()->accept();
    EXPECT_EQ(Messages(), QStringList{});
    bytes.replace("ziel 12\n", "Abbrechen\\nsofort\n");
    EXPECT_EQ(ReadAll(user_ + "/Mine"), bytes);
    EXPECT_EQ(editor.Grid()->item(row - 1, 3)->text(), "Abbrechen\\nsofort");
}

TEST_F(TranslationEditorTest, ADamagedTargetIsReportedAndNeverWritten) {
    const QByteArray whole = testing::LanguageLines(kLanguageFileLines);
    QByteArray badUtf8 = whole;
    badUtf8.replace("text 12\r\n", "text \xFF\r\n");
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"short", testing::LanguageLines(kLanguageFileLines - 1)},
        {"long", testing::LanguageLines(kLanguageFileLines + 1)},
        {"bad utf-8", badUtf8},
        {"huge line", QByteArray(whole).replace("text 12", QByteArray(kMaxLineBytes + 1, 'x'))},
        {"empty", QByteArray()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write("Damaged", c.bytes);
        TranslationEditor editor;
        editor.Open("English");
        SetNextMessageAnswer(kAnswerOk);
        editor.SetCombos(QString(), "Damaged");
        EXPECT_EQ(Messages(), QStringList{Message(3, "Damaged")});
        SetNextMessageAnswer(kAnswerOk);
        editor.EditRow(RowOf(editor, ids::kCancel));
        editor.ValueDialog()->TargetBox()->setPlainText("changed");
        editor.ValueDialog()->accept();
        EXPECT_EQ(Messages(), QStringList{Message(3, "Damaged")});
        EXPECT_EQ(ReadAll(user_ + "/Damaged"), c.bytes);
    }
}

TEST_F(TranslationEditorTest, TheWindowRefusesCaseDuplicatesAndBasicTranslations) {
    TranslationEditor editor;
    editor.Open("English");
    EXPECT_EQ(editor.SourceBox()->currentText(), "English");
    auto ok = [&editor] {
        editor.FileDialog()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    };
    // New with a name taken in another case: the message, the dialog stays.
    editor.findChild<QPushButton*>("cmdNew")->click();
    editor.FileDialog()->NameBox()->setText("german");
    SetNextMessageAnswer(kAnswerOk);
    ok();
    EXPECT_EQ(Messages(), QStringList{Message(0)});
    EXPECT_TRUE(editor.FileDialog()->isVisible());
    editor.FileDialog()->NameBox()->setText("Mine");
    ok();
    EXPECT_FALSE(editor.FileDialog()->isVisible());
    EXPECT_EQ(editor.TargetBox()->currentText(), "Mine");
    EXPECT_TRUE(IsEditableTranslation("Mine"));

    // Edit and Delete on a basic translation: refused with the message.
    for (const char* button : {"cmdEdit", "cmdDelete"}) {
        editor.TargetBox()->setEditText("Hebrew");
        SetNextMessageAnswer(kAnswerOk);
        editor.findChild<QPushButton*>(button)->click();
        EXPECT_EQ(Messages(), QStringList{ReplaceMarker(Text(ids::kMsgShippedTranslation),
                                                        LeftToRightIsolate("Hebrew"))})
            << button;
        EXPECT_FALSE(editor.FileDialog()->isVisible());
    }
    ExpectShippedIntact();
    // Delete asks first: No keeps the file, Yes moves it to the trash.
    editor.TargetBox()->setEditText("Mine");
    const QByteArray mine = ReadAll(user_ + "/Mine");
    SetNextMessageAnswer(kAnswerNo);
    editor.findChild<QPushButton*>("cmdDelete")->click();
    const std::vector<ShownMessage> asked = TakeShownMessages();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(asked[0].text.startsWith(QStringLiteral("Delete the translation \"")));
    EXPECT_TRUE(asked[0].text.contains(QStringLiteral("Mine")));
    EXPECT_TRUE(QFile::exists(user_ + "/Mine"));
    SetNextMessageAnswer(kAnswerYes);
    editor.findChild<QPushButton*>("cmdDelete")->click();
    EXPECT_FALSE(QFile::exists(user_ + "/Mine"));
    EXPECT_EQ(ReadAll(env_.dataHome() + "/Trash/files/Mine"), mine);
    EXPECT_TRUE(QFile::exists(env_.dataHome() + "/Trash/info/Mine.trashinfo"));
    EXPECT_EQ(editor.SourceBox()->count(), 3);
}

// With the shipped folder read-only, editing a shipped translation saves the
// user's copy (the user's folder made for it), which wins by name in the
// lists and when loading; renaming or deleting that copy brings the shipped
// one back; a broken user file still wins and loads as nothing.
TEST_F(TranslationEditorTest, EditsOfShippedTranslationsGoToTheUsersCopyWhichWins) {
    if (testing::RanAsNobody()) {
        return;
    }
    const testing::ReadOnlyFolderGuard readOnly(trans_);
    ASSERT_TRUE(readOnly.ok());
    ASSERT_FALSE(QFileInfo::exists(user_));
    TranslationEditor editor;
    editor.Open("English");
    editor.SetCombos(QString(), "German");
    const int row = RowOf(editor, ids::kCancel);
    ASSERT_GT(row, 0);
    editor.Grid()->cellDoubleClicked(row - 1, 0);
    editor.ValueDialog()->TargetBox()->setPlainText(QStringLiteral("Lieber nicht"));
    editor.ValueDialog()->accept();
    EXPECT_EQ(Messages(), QStringList{});
    QList<QByteArray> copy = shipped_["German"].split('\n');
    copy[ids::kCancel - 1] = "Lieber nicht\r";
    EXPECT_EQ(ReadAll(user_ + "/German"), copy.join('\n'));
    ExpectShippedIntact();
    Write("Broken", "1\r\nshort\r\n");
    Write("aardvark", testing::LanguageLines(kLanguageFileLines));
    // A link planted in the user's folder counts as nothing there.
    ASSERT_TRUE(QFile::link(QStringLiteral("/etc/passwd"), user_ + "/English"));

    const struct {
        const char* name;
        QString path;     // where loading the name reads
        bool loadsWhole;  // false: reported, the built-in English stays
    } cases[] = {
        {"German", user_ + "/German", true},      // the user's copy wins
        {"English", trans_ + "/English", true},   // shipped only
        {"aardvark", user_ + "/aardvark", true},  // user only
        {"Broken", user_ + "/Broken", false},     // broken: reported, not replaced
    };
    EXPECT_EQ(ListTranslations(),
              (QStringList{"aardvark", "Broken", "German", "English", "Hebrew"}));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LanguageFilePath(c.name), c.path);
        EXPECT_EQ(LoadLanguageOverBuiltIn(LanguageFilePath(c.name)).isEmpty(), c.loadsWhole);
    }
    LoadLanguageOverBuiltIn(LanguageFilePath("German"));
    EXPECT_EQ(Text(ids::kCancel), "Lieber nicht");
    ResetStringTableForTesting();
    LoadTranslation(trans_ + "/English");

    // Rename and delete act on the user's copy alone; the shipped file shows again.
    EXPECT_EQ(RenameTranslation("German", "german", false), FileChange::kNameTaken);
    EXPECT_EQ(RenameTranslation("German", "German", true), FileChange::kDone);
    EXPECT_EQ(RenameTranslation("German", "Deutsch", false), FileChange::kDone);
    EXPECT_EQ(LanguageFilePath("German"), trans_ + "/German");
    EXPECT_EQ(DeleteTranslation("Deutsch"), FileChange::kDone);
    EXPECT_EQ(DeleteTranslation("German"), FileChange::kShipped);
    EXPECT_EQ(RenameTranslation("Hebrew", "Ivrit", true), FileChange::kShipped);
    EXPECT_EQ(CreateTranslation("german", false), FileChange::kNameTaken);
    EXPECT_EQ(QDir(user_).entryList(QDir::Files | QDir::NoSymLinks),
              (QStringList{"aardvark", "Broken"}));
    ExpectShippedIntact();
}

// Every list text of the editor has all its entries in each shipped file.
TEST_F(TranslationEditorTest, TheShippedTranslationsHaveEveryEditorText) {
    const struct {
        int id;
        qsizetype entries;
    } lists[] = {
        {ids::kTranslatorCaptions, 9}, {ids::kTranslatorMessages, 5}, {ids::kTranslatorColumns, 4}};
    for (const char* name : {"English", "German", "Hebrew"}) {
        StringTable table;
        ASSERT_EQ(table.Load(trans_ + "/" + name), 0);
        for (const auto& list : lists) {
            const QStringList entries = table.Text(list.id).split('\n');
            EXPECT_EQ(entries.size(), list.entries) << name << " " << list.id;
            EXPECT_FALSE(entries.contains(QString())) << name << " " << list.id;
        }
    }
}

}  // namespace
}  // namespace orvane
