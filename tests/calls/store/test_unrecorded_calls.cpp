#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "calls/store/unrecorded_calls.h"

namespace orvane {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QDateTime At(int second) {
    return QDateTime(QDate(2026, 12, 9), QTime(18, 5, 0)).addSecs(second);
}

TEST(UnrecordedCalls, AddedCallsReadBackInOrderWithCallerIdMadeSafe) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    EXPECT_TRUE(ReadUnrecordedCalls(folder).calls.empty());
    const UnrecordedCall calls[] = {
        {At(0), UnrecordedKind::kBlocked, QStringLiteral("0900 12345"), QStringLiteral("ACME")},
        {At(1), UnrecordedKind::kNotRecorded, QString(), QString()},
        {At(2), UnrecordedKind::kBlocked, QStringLiteral("0301\t234"),
         QStringLiteral("Dr. Ü\nשלום")},
    };
    for (const UnrecordedCall& call : calls) {
        ASSERT_TRUE(AddUnrecordedCall(folder, call));
    }
    const UnrecordedCallsText read = ReadUnrecordedCalls(folder);
    EXPECT_EQ(read.unreadLines, 0);
    ASSERT_EQ(read.calls.size(), 3U);
    EXPECT_EQ(read.calls[0], calls[0]);
    EXPECT_EQ(read.calls[1], calls[1]);
    // A tab or line break from the line would split the file's line.
    EXPECT_EQ(read.calls[2].number, QStringLiteral("0301 234"));
    EXPECT_EQ(read.calls[2].name, QStringLiteral("Dr. Ü שלום"));

    ASSERT_TRUE(RemoveUnrecordedCalls(folder, {read.calls[0], read.calls[2]}));
    const UnrecordedCallsText left = ReadUnrecordedCalls(folder);
    ASSERT_EQ(left.calls.size(), 1U);
    EXPECT_EQ(left.calls[0], calls[1]);
}

TEST(UnrecordedCalls, UnreadableLines) {
    const struct {
        const char* line;
        int calls;
    } cases[] = {
        {"2026-12-09T18:05:07\tblocked\t0900\tACME", 1},
        {"2026-12-09T18:05:07\tunrecorded\t\t", 1},
        {"2026-12-09T18:05:07\tblocked\t0900\tACME\r", 1},  // CR LF
        {"", 0},                                            // blank lines are no calls
        {"2026-12-09T18:05:07\tblocked\t0900", -1},         // a field short
        {"2026-12-09T18:05:07\tblocked\t0900\tA\tB", -1},   // one too many
        {"2026-13-09T18:05:07\tblocked\t0900\tACME", -1},   // no such month
        {"yesterday\tblocked\t0900\tACME", -1},
        {"2026-12-09T18:05:07\tloud\t0900\tACME", -1},  // no such kind
        {"2026-12-09T18:05:07\tblocked\t09\x01\tACME", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const UnrecordedCallsText read = ParseUnrecordedCalls(QByteArray(c.line) + "\n");
        EXPECT_EQ(static_cast<int>(read.calls.size()), std::max(c.calls, 0));
        EXPECT_EQ(read.unreadLines, c.calls < 0 ? 1 : 0);
    }
}

TEST(UnrecordedCalls, KeepsOnlyTheNewestCalls) {
    std::vector<UnrecordedCall> calls;
    for (int i = 0; i < kUnrecordedCallsLimit + 3; ++i) {
        calls.push_back({At(i), UnrecordedKind::kBlocked, QString::number(i), QString()});
    }
    const UnrecordedCallsText read = ParseUnrecordedCalls(FormatUnrecordedCalls(calls));
    ASSERT_EQ(read.calls.size(), static_cast<size_t>(kUnrecordedCallsLimit));
    EXPECT_EQ(read.calls.front().number, QStringLiteral("3"));
    EXPECT_EQ(read.calls.back(), calls.back());
}

TEST(UnrecordedCalls, ADamagedFileIsKeptAsideBeforeItIsWritten) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    const QString path = UnrecordedCallsFile(folder);
    const QByteArray damaged = "2026-12-09T18:05:07\tblocked\t0900\tACME\n\xff\xfe garbage\n";
    Write(path, damaged);
    ASSERT_TRUE(AddUnrecordedCall(folder, {At(9), UnrecordedKind::kNotRecorded, {}, {}}));
    const QStringList aside =
        QDir(dir.path()).entryList({QStringLiteral("Unrecorded.txt.unreadable-*")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(ReadAll(dir.filePath(aside.front())), damaged);
    const UnrecordedCallsText read = ReadUnrecordedCalls(folder);
    EXPECT_EQ(read.unreadLines, 0);
    EXPECT_EQ(read.calls.size(), 2U);
}

TEST(UnrecordedCalls, ALinkInTheFilesPlaceIsNeitherReadNorWritten) {
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    const QString folder = dir.path() + QLatin1Char('/');
    const QString target = elsewhere.filePath(QStringLiteral("foreign"));
    const QByteArray foreign = "2026-12-09T18:05:07\tblocked\t0900\tACME\n";
    Write(target, foreign);
    ASSERT_TRUE(QFile::link(target, UnrecordedCallsFile(folder)));
    const UnrecordedCallsText read = ReadUnrecordedCalls(folder);
    EXPECT_TRUE(read.calls.empty());
    EXPECT_EQ(read.unreadLines, 1);
    EXPECT_FALSE(AddUnrecordedCall(folder, {At(0), UnrecordedKind::kBlocked, {}, {}}));
    EXPECT_EQ(ReadAll(target), foreign);
    EXPECT_TRUE(QFileInfo(UnrecordedCallsFile(folder)).isSymLink());
    // No folder: nothing written, nothing read.
    EXPECT_FALSE(AddUnrecordedCall(QString(), {At(0), UnrecordedKind::kBlocked, {}, {}}));
}

}  // namespace
}  // namespace orvane
