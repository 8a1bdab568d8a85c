// The journal viewer: the piecewise reader, the window's lists and buttons,
// and that nothing it does reaches outside the journal folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>

#include "core/clock.h"
#include "core/product.h"
#include "journal/journal_file_reader.h"
#include "settings/names/log.h"
#include "settings/pages/log_settings.h"
#include "settings/store/registry_routines.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"
#include "translation/bidi_text.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/common_widgets.h"
#include "windows/journal_viewer/journal_viewer.h"

namespace orvane {
namespace {

QStringList Texts(const QListWidget& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) {
        texts += list.item(i)->text();
    }
    return texts;
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Whatever the piece size, the lines are the same: line ends and UTF-8
// characters split between two pieces are put together again.
TEST(JournalFileReader, PiecesOfAnySizeGiveTheSameLines) {
    const struct {
        const char* label;
        QByteArray bytes;
        QStringList lines;
    } cases[] = {
        {"empty", "", {}},
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"LF, CR and no end", "a\nb\rc", {"a", "b", "c"}},
        {"empty lines", "\r\n\r\n\n", {"", "", ""}},
        {"CR then LF-only line", "a\r\n\nb", {"a", "", "b"}},
        {"UTF-8", "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d\r\n\xe2\x82\xac", {"שלום", "€"}},
    };
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    for (const auto& c : cases) {
        Write(folder + "day.txt", c.bytes);
        for (const qint64 piece : {1, 2, 3, 1 << 20}) {
            JournalFileReader reader;
            ASSERT_TRUE(reader.Open(folder, "day.txt")) << c.label;
            QStringList lines;
            for (int guard = 0; !reader.AtEnd() && guard < 1000; ++guard) {
                lines += reader.ReadLines(piece);
            }
            EXPECT_TRUE(reader.AtEnd()) << c.label;
            EXPECT_EQ(lines, c.lines) << c.label << ", pieces of " << piece;
        }
    }
}

class JournalViewerTest : public ::testing::Test {
  protected:
    JournalViewerTest() {
        RegistryRoutines(kHkeyLocalMachine, product::kRootKey, kTabLog).CreateKey();
        folder_ = journalDir_.path() + QLatin1Char('/');
        ResetStringTableForTesting();
        LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"));
        ResetMessageSeam();
    }
    ~JournalViewerTest() override {
        SetFileDialogHook({});
        ResetMessageSeam();
        ResetStringTableForTesting();
    }

    void Store(const QString& name, const QString& value) {
        RegistryRoutines(kHkeyLocalMachine, product::kRootKey, kTabLog)
            .SetRegistryValue(name, value, kRegSz);
    }

    // Sets a file's last change to `moment`.
    void Touch(const QString& name, const QDateTime& moment) {
        QFile file(folder_ + name);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(moment, QFileDevice::FileModificationTime));
    }

    JournalViewer& Viewer() {
        if (!viewer_) {
            viewer_ = std::make_unique<JournalViewer>(journal_, log_);
        }
        return *viewer_;
    }

    testing::TestEnvironment environment_;
    QTemporaryDir journalDir_;
    QTemporaryDir outsideDir_;
    QString folder_;
    FixedClock clock_{QDateTime(QDate(2026, 3, 31), QTime(10, 0))};
    JournalWriter journal_{journalDir_.path(), clock_, QLocale(QStringLiteral("en_US"))};
    LogSettings log_;
    std::unique_ptr<JournalViewer> viewer_;
};

TEST_F(JournalViewerTest, ListsTheKindNewestFirstAndShowsTheSelectedDay) {
    Write(folder_ + "3-30-26_Sys.txt", "9:00:00 AM : Tapi1_Ring->Ring 1(0)\r\n");
    Write(folder_ + "3-31-26_Sys.txt", "10:00:00 AM : Tapi1_Idle->End Of Call(0)\r\n");
    Write(folder_ + "3-29-26_Calls.txt", "8:00:00 AM : Ann - 555\r\nsecond\r\n");
    Write(folder_ + "notes.md", "not listed");
    JournalViewer& viewer = Viewer();
    viewer.Open();
    EXPECT_EQ(Texts(*viewer.Files()),
              (QStringList{"3-31-26_Sys.txt", "3-30-26_Sys.txt", "3-29-26_Calls.txt"}));
    EXPECT_EQ(viewer.Lines(), QStringList{"10:00:00 AM : Tapi1_Idle->End Of Call(0)"});

    viewer.Kinds()->setCurrentIndex(2);
    EXPECT_EQ(Texts(*viewer.Files()), QStringList{"3-29-26_Calls.txt"});
    EXPECT_EQ(viewer.Lines(), (QStringList{"8:00:00 AM : Ann - 555", "second"}));
    viewer.Kinds()->setCurrentIndex(1);
    EXPECT_EQ(Texts(*viewer.Files()), (QStringList{"3-31-26_Sys.txt", "3-30-26_Sys.txt"}));
    viewer.Files()->setCurrentRow(1);
    EXPECT_EQ(viewer.Lines(), QStringList{"9:00:00 AM : Tapi1_Ring->Ring 1(0)"});
}

TEST_F(JournalViewerTest, AnEmptyFolderShowsNothingAndTheButtonsDoNothing) {
    Store(setting::kChkWornBeforeDelete, "1");
    bool asked = false;
    SetFileDialogHook([&asked](const FileDialogRequest&) {
        asked = true;
        return QString();
    });
    JournalViewer& viewer = Viewer();
    viewer.Open();
    viewer.DeleteSelected();
    viewer.SaveSelectedAs();
    EXPECT_EQ(viewer.Files()->count(), 0);
    EXPECT_TRUE(viewer.Lines().isEmpty());
    EXPECT_FALSE(asked);
    EXPECT_TRUE(TakeShownMessages().empty());
}

TEST_F(JournalViewerTest, DeleteAsksOnlyWhenTheUserWantsItAndNoKeepsTheFile) {
    const struct {
        const char* label;
        const char* worn;  // nullptr: not stored
        qint16 answer;     // 0: no question expected
        bool deleted;
    } cases[] = {
        {"asked, Yes", "1", kAnswerYes, true},
        {"asked, No", "1", kAnswerNo, false},
        {"not asked", "0", 0, true},
        {"not stored", nullptr, 0, true},
    };
    for (const auto& c : cases) {
        Write(folder_ + "3-30-26_Sys.txt", "old\r\n");
        Write(folder_ + "3-31-26_Sys.txt", "new\r\n");
        Store(setting::kChkWornBeforeDelete, c.worn ? QString::fromLatin1(c.worn) : QString());
        if (c.answer != 0) {
            SetNextMessageAnswer(c.answer);
        }
        JournalViewer viewer(journal_, log_);
        viewer.Open();
        viewer.DeleteSelected();

        const std::vector<ShownMessage> shown = TakeShownMessages();
        ASSERT_EQ(shown.size(), c.answer != 0 ? 1U : 0U) << c.label;
        if (!shown.empty()) {
            EXPECT_TRUE(shown.front().text.contains("3-31-26_Sys.txt")) << c.label;
        }
        EXPECT_EQ(QFile::exists(folder_ + "3-31-26_Sys.txt"), !c.deleted) << c.label;
        EXPECT_EQ(Texts(*viewer.Files()), c.deleted
                                              ? QStringList{"3-30-26_Sys.txt"}
                                              : (QStringList{"3-31-26_Sys.txt", "3-30-26_Sys.txt"}))
            << c.label;
        EXPECT_EQ(viewer.Lines(), QStringList{c.deleted ? "old" : "new"}) << c.label;
    }
}

// Names reach the viewer from the folder listing; whatever they hold, and
// whatever a link in the folder points at, nothing outside is read, deleted
// or copied.
TEST_F(JournalViewerTest, NoNameReachesOutsideTheJournalFolder) {
    const QString outside = outsideDir_.filePath("secret.txt");
    Write(outside, "secret\r\n");
    ASSERT_TRUE(QFile::link(outside, folder_ + "3-31-26_Sys.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder_ + "fifo.txt").constData(), 0600), 0);
    QDir(journalDir_.path()).mkdir("sub");
    Write(folder_ + "sub/inner.txt", "inner\r\n");
    const QString relative = QStringLiteral("../") + QDir(outsideDir_.path()).dirName();

    Store(setting::kChkWornBeforeDelete, "0");
    JournalViewer& viewer = Viewer();
    viewer.Open();
    EXPECT_EQ(viewer.Files()->count(), 0);  // the link and the FIFO are not listed

    const QString target = outsideDir_.filePath("copy.txt");
    SetFileDialogHook([&target](const FileDialogRequest&) { return target; });
    for (const QString& name :
         {QStringLiteral("3-31-26_Sys.txt"), QStringLiteral("fifo.txt"), QStringLiteral(".."),
          QStringLiteral("."), QStringLiteral("sub/inner.txt"), relative + "/secret.txt"}) {
        // As if the listing had offered the name.
        viewer.Files()->addItem(name);
        viewer.Files()->setCurrentRow(viewer.Files()->count() - 1);
        EXPECT_TRUE(viewer.Lines().isEmpty()) << name.toStdString();
        EXPECT_FALSE(viewer.IsLoading()) << name.toStdString();
        SetNextMessageAnswer(kAnswerOk);
        viewer.SaveSelectedAs();
        EXPECT_EQ(TakeShownMessages().size(), 1U) << name.toStdString();  // refused, and said so
        EXPECT_FALSE(QFile::exists(target)) << name.toStdString();
        viewer.Files()->setCurrentRow(viewer.Files()->count() - 1);
        viewer.DeleteSelected();
    }
    EXPECT_EQ(Read(outside), "secret\r\n");
    EXPECT_EQ(Read(folder_ + "sub/inner.txt"), "inner\r\n");
    EXPECT_TRUE(QFileInfo(folder_ + "3-31-26_Sys.txt").isSymLink());
}

TEST_F(JournalViewerTest, SaveAsCopiesTheSelectedFileWhereTheUserChooses) {
    const QByteArray bytes = "10:00:00 AM : ->Device Details -\r\n   Line Index: 0(0)\r\n";
    Write(folder_ + "3-31-26_Sys.txt", bytes);
    const QString target = outsideDir_.filePath("saved.txt");
    Write(target, "older copy");
    FileDialogRequest seen;
    QString answer = target;
    SetFileDialogHook([&](const FileDialogRequest& request) {
        seen = request;
        return answer;
    });
    JournalViewer& viewer = Viewer();
    viewer.Open();

    answer.clear();  // cancelled: nothing written
    viewer.SaveSelectedAs();
    EXPECT_EQ(Read(target), "older copy");
    answer = target;
    viewer.SaveSelectedAs();
    EXPECT_EQ(Read(target), bytes);
    EXPECT_EQ(seen.kind, FileDialogRequest::Kind::Save);
    EXPECT_EQ(seen.filter, "txt (*.txt)");
    EXPECT_EQ(seen.proposedName, "3-31-26_Sys.txt");
    EXPECT_TRUE(TakeShownMessages().empty());

    answer = outsideDir_.filePath("no-such-folder/saved.txt");
    SetNextMessageAnswer(kAnswerOk);
    viewer.SaveSelectedAs();
    const std::vector<ShownMessage> shown = TakeShownMessages();
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_TRUE(shown.front().text.contains(answer));
}

// Today is 31 March: two months back is the end of January.
TEST_F(JournalViewerTest, OpeningDeletesFilesPastTheStoredAge) {
    const QDateTime endOfJanuary(QDate(2026, 1, 31), QTime(0, 0));
    const struct {
        const char* cmbLogFor;
        bool pruned;
    } cases[] = {{"1", true}, {"3", false}, {"x", false}};
    for (const auto& c : cases) {
        Write(folder_ + "1-31-26_Sys.txt", "old\r\n");
        Touch("1-31-26_Sys.txt", endOfJanuary);
        Write(folder_ + "2-1-26_Sys.txt", "kept\r\n");
        Touch("2-1-26_Sys.txt", endOfJanuary.addSecs(1));
        Store(setting::kCmbLogFor, QString::fromLatin1(c.cmbLogFor));
        JournalViewer viewer(journal_, log_);
        viewer.Open();
        EXPECT_EQ(Texts(*viewer.Files()), c.pruned
                                              ? QStringList{"2-1-26_Sys.txt"}
                                              : (QStringList{"2-1-26_Sys.txt", "1-31-26_Sys.txt"}))
            << c.cmbLogFor;
    }
}

// The first piece shows at once; the rest comes one step at a time, and a
// line wider than the list makes it scroll sideways.
TEST_F(JournalViewerTest, ALargeFileShowsItsFirstLinesBeforeTheRest) {
    const QByteArray line = "10:00:00 AM : Tapi1_Ring->Ring 1(0)";
    QByteArray bytes;
    int total = 0;
    while (bytes.size() < JournalViewer::kFirstPieceBytes + 2 * JournalViewer::kPieceBytes) {
        bytes += line + QByteArray::number(total++) + "\r\n";
    }
    const QString wide = QString(400, QLatin1Char('w'));
    bytes += wide.toLatin1();
    ++total;
    Write(folder_ + "3-31-26_Sys.txt", bytes);

    JournalViewer& viewer = Viewer();
    viewer.Open();
    const qsizetype first = viewer.Lines().size();
    EXPECT_GT(first, 0);
    EXPECT_LT(first, total);
    EXPECT_TRUE(viewer.IsLoading());
    EXPECT_EQ(viewer.Lines().front(), line + "0");
    int steps = 0;
    while (viewer.LoadStep()) {
        ++steps;
    }
    EXPECT_GE(steps, 2);
    EXPECT_FALSE(viewer.IsLoading());
    ASSERT_EQ(viewer.Lines().size(), total);
    EXPECT_EQ(viewer.Lines().back(), wide);
    EXPECT_EQ(viewer.Lines().at(total - 2), line + QByteArray::number(total - 2));

    const int wideWidth = viewer.LinesView()->fontMetrics().horizontalAdvance(wide);
    EXPECT_EQ(viewer.LinesExtent(), wideWidth + 50);
    QCoreApplication::sendPostedEvents();  // the view's deferred geometry, no timers
    EXPECT_GT(viewer.LinesView()->horizontalScrollBar()->maximum(), 0);
}

TEST_F(JournalViewerTest, HebrewTurnsTheWindowRightToLeftWithItsOwnTexts) {
    ASSERT_EQ(LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/Hebrew")), 0);
    Write(folder_ + "3-31-26_Calls.txt", "line\r\n");
    JournalViewer& viewer = Viewer();
    viewer.Open();
    EXPECT_EQ(viewer.layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(viewer.Kinds()->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(viewer.LinesView()->layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(viewer.windowTitle(), Text(ids::kJournalViewerTitle));
    EXPECT_EQ(viewer.Kinds()->itemText(2), Text(ids::kJournalKindCalls));
    const auto* label = viewer.findChild<QLabel*>("lblDetails");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), RightToLeftRun(Text(ids::kLabelDetails)));
    EXPECT_TRUE(label->alignment() & Qt::AlignRight);
}

}  // namespace
}  // namespace orvane
