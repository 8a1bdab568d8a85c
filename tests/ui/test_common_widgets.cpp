// File dialogs that copy, file lists in combo boxes, the text box balloon.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <memory>

#include "core/clock.h"
#include "core/paths.h"
#include "journal/journal_writer.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"
#include "ui/common_widgets.h"

namespace orvane {
namespace {

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class CommonWidgetsTest : public ::testing::Test {
  protected:
    CommonWidgetsTest() {
        env.makeProgramFolders();
        SetFileDialogHook([this](const FileDialogRequest& request) {
            requests.push_back(request);
            return answer;
        });
    }
    ~CommonWidgetsTest() override { SetFileDialogHook({}); }

    testing::TestEnvironment env;
    QString sounds = env.programFolder() + QStringLiteral("/Sound/");
    QString answer;
    std::vector<FileDialogRequest> requests;
};

TEST_F(CommonWidgetsTest, IsFormLoadedMatchesTheExactName) {
    auto form = std::make_unique<QWidget>();
    form->setObjectName(QStringLiteral("frmLog"));
    EXPECT_TRUE(IsFormLoaded("frmLog"));
    EXPECT_FALSE(IsFormLoaded("frmlog"));
    form.reset();
    EXPECT_FALSE(IsFormLoaded("frmLog"));
}

TEST_F(CommonWidgetsTest, AddSoundFileCopiesOnceAndKeepsADifferentFile) {
    answer = env.writeFile("in/ring.wav", "NEW");
    env.writeFile("program/Sound/bell.wav", "OLD");
    env.writeFile("other/bell.wav", "NEW");
    EXPECT_EQ(AddSoundFile(nullptr, sounds), "ring.wav");
    EXPECT_EQ(AddSoundFile(nullptr, sounds), "ring.wav");  // same sound: no duplicate
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].title, "Add Sound");
    EXPECT_EQ(requests[0].filter, "wav (*.wav)");

    answer = env.root() + "/other/bell.wav";
    EXPECT_EQ(AddSoundFile(nullptr, sounds), "bell (2).wav");
    EXPECT_EQ(Read(sounds + "bell.wav"), "OLD");
    EXPECT_EQ(QDir(sounds).entryList(QDir::Files),
              (QStringList{"bell (2).wav", "bell.wav", "ring.wav"}));

    EXPECT_EQ(AddSoundFile(nullptr, env.root() + "/no-such-folder"), "");
    answer.clear();
    EXPECT_EQ(AddSoundFile(nullptr, sounds), "");
}

TEST_F(CommonWidgetsTest, SaveCopyAsProposesTheNameAndReplacesWholly) {
    const QString source = env.writeFile("program/Journal/12-7-26_Sys.txt", "line\r\n");
    answer = env.writeFile("out/copy.txt", "old content");
    EXPECT_TRUE(SaveCopyAs(source, nullptr, "txt"));
    EXPECT_EQ(Read(answer), "line\r\n");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].title, "Save");
    EXPECT_EQ(requests[0].filter, "txt (*.txt)");
    EXPECT_EQ(requests[0].proposedName, "12-7-26_Sys.txt");

    // A source that vanished leaves the earlier copy alone.
    EXPECT_FALSE(SaveCopyAs(env.root() + "/gone.txt", nullptr, "txt"));
    EXPECT_EQ(Read(answer), "line\r\n");
}

// Save a copy and the journal viewer's Save As both come here: a link
// among the user's files is refused, not followed to what it points to,
// and every failure names its path; the earlier copy stays.
TEST_F(CommonWidgetsTest, SaveCopyAsCopiesOnlyARegularFileAndSaysWhy) {
    const QString secret = env.writeFile("outside/secret.txt", "secret");
    const QString link = env.root() + "/journal/link.txt";
    ASSERT_TRUE(QDir().mkpath(env.root() + "/journal"));
    ASSERT_TRUE(QFile::link(secret, link));
    const QString source = env.writeFile("journal/day.txt", "day\r\n");
    const QString target = env.writeFile("out/copy.txt", "old");
    const struct {
        QString source;
        QString answer;
        QString folder;
        QString error;  // what the error starts with; empty: none
        QByteArray after;
    } cases[] = {
        {link, target, "", link + ": is a symbolic link", "old"},
        {env.root() + "/journal/gone.txt", target, "", env.root() + "/journal/gone.txt: ", "old"},
        {source, "", env.root() + "/out", "", "old"},  // cancelled
        {source, target, env.root() + "/out", "", "day\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source.toStdString());
        answer = c.answer;
        const SaveCopyOutcome outcome = SaveCopyAs(c.source, nullptr, "txt", c.folder);
        EXPECT_EQ(outcome.chosen, c.answer);
        EXPECT_EQ(outcome.Failed(), !c.error.isEmpty());
        EXPECT_TRUE(c.error.isEmpty() || outcome.error.startsWith(c.error))
            << outcome.error.toStdString();
        EXPECT_EQ(Read(target), c.after);
        EXPECT_EQ(ProposedSavePath(requests.back()),
                  QDir(c.folder.isEmpty() ? QDir::homePath() : c.folder)
                      .filePath(QFileInfo(c.source).fileName()));
    }
    EXPECT_EQ(Read(secret), "secret");
}

class FillFileListTest : public CommonWidgetsTest {
  protected:
    FillFileListTest() {
        ProgramJournal().setClock(clock);
        SetJournalSwitches(true, false);
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    }
    ~FillFileListTest() override {
        ProgramJournal().setClock(SystemTime());
        SetJournalSwitches(false, false);
        QLocale::setDefault(QLocale::system());
    }
    QByteArray journal() const {
        return Read(paths::JournalFolder() + QStringLiteral("2026-12-07_Sys.txt"));
    }

    FixedClock clock{QDateTime(QDate(2026, 12, 7), QTime(9, 0))};
    QComboBox box;
};

TEST_F(FillFileListTest, ListsMatchingFilesAndJournalsFailingSteps) {
    FillFileList(&box, env.root() + "/no-such-folder", "*.wav", "");
    EXPECT_EQ(box.count(), 0);
    // errno and its text, which follows the user's language.
    EXPECT_TRUE(journal().startsWith("9:00:00 AM : ->errFilFile 2 ")) << journal().toStdString();
    EXPECT_TRUE(journal().endsWith("(0)\r\n"));

    for (const char* name : {"b.wav", "A.wav", ".hidden.wav", "notes.txt"}) {
        env.writeFile(QStringLiteral("program/Sound/") + QLatin1String(name), "x");
    }
    FillFileList(&box, sounds, "*.wav", "b.wav");
    ASSERT_EQ(box.count(), 2);
    EXPECT_EQ(box.itemText(0), "A.wav");
    EXPECT_EQ(box.currentText(), "b.wav");
    FillFileList(&box, sounds, "*.wav", "");
    EXPECT_EQ(box.currentIndex(), 0);

    FillFileList(&box, sounds, "*.wav", "deleted.wav");
    EXPECT_EQ(box.currentIndex(), -1);
    const QList<QByteArray> lines = journal().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1], lines[0]);
}

TEST(TextBoxBalloon, ShowsPlainTextOnceAndGoesWhenTheUserTypes) {
    QLineEdit box;
    box.show();
    ShowTextBoxBalloon(&box, "Number", "first");
    ShowTextBoxBalloon(&box, "<b>Number</b>", "<img src=x>");
    const auto balloons = box.findChildren<QFrame*>(QStringLiteral("textBoxBalloon"));
    ASSERT_EQ(balloons.size(), 1);
    const auto* title = balloons[0]->findChild<QLabel*>(QStringLiteral("balloonTitle"));
    const auto* text = balloons[0]->findChild<QLabel*>(QStringLiteral("balloonText"));
    ASSERT_TRUE(title && text);
    EXPECT_EQ(title->text(), "<b>Number</b>");
    EXPECT_TRUE(title->textFormat() == Qt::PlainText && text->textFormat() == Qt::PlainText);
    EXPECT_TRUE(balloons[0]->isVisible());

    Q_EMIT box.textEdited(QStringLiteral("1"));
    EXPECT_FALSE(balloons[0]->isVisible());
}

}  // namespace
}  // namespace orvane
