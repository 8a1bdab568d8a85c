// Command line, single instance and the instance channel: the rules that
// decide whether and how a copy of the program starts.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include "core/app_comm.h"
#include "core/command_line.h"
#include "core/instance_lock.h"
#include "core/product.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"

namespace orvane {
namespace {

TEST(CommandLine, OnlyTheExactSwitchCounts) {
    EXPECT_EQ(ParseCommandLine(QStringLiteral("-st")), StartupMode::Hidden);
    EXPECT_EQ(ParseCommandLine(QStringLiteral("-uia")), StartupMode::QuitRunning);
    EXPECT_EQ(ParseCommandLine(QStringLiteral("--help")), StartupMode::PrintHelp);
    EXPECT_EQ(ParseCommandLine(QStringLiteral("--version")), StartupMode::PrintVersion);
    EXPECT_EQ(ParseCommandLine(QString()), StartupMode::Normal);
    for (const char* other : {"-st ", " -st", "/st", "-ST", "-st -uia", "-uia ", "--st", "st", "-h",
                              "--help -st", "--Version", "-version", "--help "}) {
        EXPECT_EQ(ParseCommandLine(QString::fromLatin1(other)), StartupMode::Normal) << other;
    }
}

TEST(CommandLine, ArgumentsJoinWithSingleBlanks) {
    const char* trailingBlank[] = {"orvane", "-st "};
    EXPECT_EQ(CommandLineText(2, trailingBlank), QStringLiteral("-st "));
    const char* emptySecond[] = {"orvane", "-st", ""};
    EXPECT_EQ(CommandLineText(3, emptySecond), QStringLiteral("-st "));
    const char* none[] = {"orvane"};
    EXPECT_EQ(CommandLineText(1, none), QString());
}

TEST(InstanceLock, SecondCopyOfTheSameProgramIsRefused) {
    testing::TestEnvironment env;
    const QString program = env.writeFile(QStringLiteral("program/orvane"), "x");
    InstanceLock first(program);
    ASSERT_TRUE(first.TryAcquire());
    InstanceLock second(program);
    EXPECT_FALSE(second.TryAcquire());

    // A copy started from another program folder is another program.
    const QString other = env.writeFile(QStringLiteral("elsewhere/orvane"), "x");
    InstanceLock third(other);
    EXPECT_TRUE(third.TryAcquire());
}

TEST(InstanceLock, LinkToTheProgramIsTheSameProgram) {
    testing::TestEnvironment env;
    const QString program = env.writeFile(QStringLiteral("program/orvane"), "x");
    const QString link = env.root() + QStringLiteral("/link-to-orvane");
    ASSERT_TRUE(QFile::link(program, link));
    InstanceLock first(program);
    ASSERT_TRUE(first.TryAcquire());
    InstanceLock viaLink(link);
    EXPECT_FALSE(viaLink.TryAcquire());
}

TEST(InstanceLock, LockOfAFinishedCopyIsTakenOver) {
    testing::TestEnvironment env;
    const QString program = env.writeFile(QStringLiteral("program/orvane"), "x");
    QString path;
    {
        InstanceLock first(program);
        ASSERT_TRUE(first.TryAcquire());
        path = first.LockPath();
    }
    // A lock file left behind by a process that no longer exists.
    QFile stale(path);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("999999999\norvane\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    InstanceLock next(program);
    EXPECT_TRUE(next.TryAcquire());
}

// Pumps events until `done` or a generous deadline; the deadline only
// bounds a failing test, it never decides a passing one.
template <typename Predicate>
bool PumpUntil(Predicate done) {
    QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

TEST(AppComm, TextReachesEveryOtherMemberOfTheChannel) {
    testing::TestEnvironment env;
    AppComm sender, first, second, otherChannel;
    ASSERT_TRUE(sender.Join(500));
    ASSERT_TRUE(first.Join(500));
    ASSERT_TRUE(second.Join(500));
    ASSERT_TRUE(otherChannel.Join(501));
    QStringList toSender, toFirst, toSecond, toOther;
    QObject::connect(&sender, &AppComm::Received, [&](const QString& t) { toSender << t; });
    QObject::connect(&first, &AppComm::Received, [&](const QString& t) { toFirst << t; });
    QObject::connect(&second, &AppComm::Received, [&](const QString& t) { toSecond << t; });
    QObject::connect(&otherChannel, &AppComm::Received, [&](const QString& t) { toOther << t; });

    const QString text = QStringLiteral("UNLOAD_ME ünïcode");
    EXPECT_EQ(sender.Send(text), 2);
    ASSERT_TRUE(PumpUntil([&] { return toFirst.size() == 1 && toSecond.size() == 1; }));
    EXPECT_EQ(toFirst, QStringList{text});
    EXPECT_EQ(toSecond, QStringList{text});
    EXPECT_TRUE(toSender.isEmpty());
    EXPECT_TRUE(toOther.isEmpty());
}

TEST(AppComm, MembersThatDiedWithoutLeavingAreSkippedAndCleanedUp) {
    testing::TestEnvironment env;
    AppComm sender;
    ASSERT_TRUE(sender.Join(500));
    const QString folder = ChannelFolder(500);
    // A socket file nobody listens on any more.
    const QString dead = folder + QStringLiteral("/12345-dead.sock");
    QFile file(dead);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(sender.Send(product::kQuitMessage), 0);
    EXPECT_FALSE(QFile::exists(dead));
}

TEST(AppComm, LeavingRemovesTheMemberAndChannelFolderIsPrivate) {
    testing::TestEnvironment env;
    AppComm member;
    ASSERT_TRUE(member.Join(500));
    const QString folder = ChannelFolder(500);
    EXPECT_EQ(QDir(folder).entryList(QDir::System | QDir::Files).size(), 1);
    EXPECT_EQ(QFile::permissions(folder) & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                            QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
              QFileDevice::Permissions());
    member.Leave();
    EXPECT_TRUE(QDir(folder).entryList(QDir::System | QDir::Files).isEmpty());
}

TEST(AppComm, OversizedFramesAreDroppedNotDelivered) {
    testing::TestEnvironment env;
    AppComm sender, receiver;
    ASSERT_TRUE(sender.Join(500));
    ASSERT_TRUE(receiver.Join(500));
    QStringList received;
    QObject::connect(&receiver, &AppComm::Received, [&](const QString& t) { received << t; });
    EXPECT_EQ(sender.Send(QString(AppComm::kMaxMessageBytes + 1, QLatin1Char('x'))), 0);
    EXPECT_EQ(sender.Send(QStringLiteral("after")), 1);
    ASSERT_TRUE(PumpUntil([&] { return !received.isEmpty(); }));
    EXPECT_EQ(received, QStringList{QStringLiteral("after")});
}

}  // namespace
}  // namespace orvane
