#include <gtest/gtest.h>

#include <QFile>

#include "core/paths.h"
#include "settings/store/registry_routines.h"
#include "settings/store/registry_store.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"

namespace orvane {
namespace {

class RegistryRoutinesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RegistryRoutines installer(kHkeyLocalMachine, product::kRootKey,
                                   QStringLiteral("Properties\\TabGeneral"));
        ASSERT_EQ(installer.CreateKey(), kErrorSuccess);
        settings_.Subkey = QStringLiteral("Properties\\TabGeneral");
    }

    // Puts a value in the hive file by hand, as a user with an editor would.
    void HandWrite(const QByteArray& line) {
        QFile file(HivePath(kHkeyLocalMachine));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenzo\\Orvane 1.1\\Properties\\TabGeneral]\r\n" +
            line + "\r\n\r\n");
    }

    testing::TestEnvironment env_;
    RegistryRoutines settings_;
};

TEST_F(RegistryRoutinesTest, EachTypeReadsAsItsVariant) {
    ASSERT_TRUE(settings_.SetRegistryValue(QStringLiteral("Text"), QStringLiteral("Grüße \"x\"")));
    ASSERT_TRUE(settings_.SetRegistryValue(QStringLiteral("Number"), -5, kRegDword));
    ASSERT_TRUE(
        settings_.SetRegistryValue(QStringLiteral("Hex"), QStringLiteral("0x10"), kRegDword));
    ASSERT_TRUE(settings_.SetRegistryValue(QStringLiteral("Bytes"), QByteArray("\0\x01\xff", 3),
                                           kRegBinary));
    ASSERT_TRUE(settings_.SetRegistryValue(QStringLiteral("Multi"), QStringLiteral("a\n\nb c"),
                                           kRegMultiSz));
    ASSERT_TRUE(settings_.SetRegistryValue(QStringLiteral("NoItems"), QStringList(), kRegMultiSz));
    ASSERT_TRUE(settings_.SetRegistryValue(QStringLiteral("Empty"), QString()));

    // A fresh object reads through the file, not through a cache.
    const RegistryRoutines reader(kHkeyLocalMachine, product::kRootKey,
                                  QStringLiteral("Properties\\TabGeneral"));
    EXPECT_EQ(reader.GetRegistryValue(QStringLiteral("text")),
              QVariant(QStringLiteral("Grüße \"x\"")));
    EXPECT_EQ(reader.GetRegistryValue(QStringLiteral("Number")), QVariant(-5));
    EXPECT_EQ(reader.GetRegistryValue(QStringLiteral("Hex")), QVariant(16));
    EXPECT_EQ(reader.GetRegistryValue(QStringLiteral("Bytes")),
              QVariant(QByteArray("\0\x01\xff", 3)));
    EXPECT_EQ(reader.GetRegistryValue(QStringLiteral("Multi")), QVariant(QStringLiteral("a\nb c")));
    EXPECT_FALSE(reader.GetRegistryValue(QStringLiteral("NoItems")).isValid());
    EXPECT_EQ(reader.GetRegistryValue(QStringLiteral("Empty")), QVariant(QString()));
    EXPECT_EQ(reader.EnumValues().size(), 7);
}

TEST_F(RegistryRoutinesTest, MissingValuesAndKeysGiveTheDefault) {
    EXPECT_FALSE(settings_.GetRegistryValue(QStringLiteral("txtPath")).isValid());
    EXPECT_EQ(settings_.GetRegistryValue(QStringLiteral("txtPath"), 7), QVariant(7));
    RegistryRoutines missing(kHkeyLocalMachine, product::kRootKey, QStringLiteral("Nowhere"));
    EXPECT_FALSE(missing.KeyExists());
    EXPECT_EQ(missing.GetRegistryValue(QStringLiteral("x"), QStringLiteral("d")),
              QVariant(QStringLiteral("d")));
    const QByteArray before = [] {
        QFile file(HivePath(kHkeyLocalMachine));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    EXPECT_FALSE(missing.SetRegistryValue(QStringLiteral("x"), QStringLiteral("1")));
    EXPECT_FALSE(settings_.SetRegistryValue(QStringLiteral("n"), QStringLiteral("ten"), kRegDword));
    EXPECT_FALSE(settings_.SetRegistryValue(QStringLiteral("n"), 1, 11));
    QFile file(HivePath(kHkeyLocalMachine));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_EQ(RegistryRoutines(0x80000003, QString()).GetRegistryValue(QStringLiteral("x"), 1),
              QVariant(1));
}

TEST_F(RegistryRoutinesTest, AValueLongerThanTheFirstBufferReadsWhole) {
    QString text;
    for (int i = 0; i < 800; ++i) {
        text += QString::number(i % 10);
    }
    ASSERT_TRUE(settings_.SetRegistryValue(QStringLiteral("Long"), text));
    EXPECT_EQ(settings_.GetRegistryValue(QStringLiteral("long")).toString(), text);
}

TEST_F(RegistryRoutinesTest, HandWrittenValuesWorkAsTheProgramsOwn) {
    HandWrite(
        "\"chkLogSys\"=dword:00000001\r\n\"chkLogCalls\"=dword:00000000\r\n"
        "\"txtPath\"=hex(2):25,00,4f,00,52,00,56,00,5f,00,44,00,49,00,52,00,25,00,2f,00,"
        "25,00,4e,00,4f,00,5f,00,53,00,55,00,43,00,48,00,25,00,2f,00,00,00");
    env_.setVariable("ORV_DIR", QStringLiteral("/home/ann/calls"));
    env_.setVariable("NO_SUCH", QString());
    EXPECT_TRUE(ReadCheck(settings_.GetRegistryValue(QStringLiteral("chkLogSys"))));
    EXPECT_FALSE(ReadCheck(settings_.GetRegistryValue(QStringLiteral("chkLogCalls"))));
    EXPECT_EQ(ReadNumber(settings_.GetRegistryValue(QStringLiteral("CHKLOGSYS"))), 1);
    EXPECT_EQ(settings_.GetRegistryValue(QStringLiteral("txtPath")).toString(),
              QStringLiteral("/home/ann/calls/%NO_SUCH%/"));
}

TEST(RegistryNumbers, TextReadsLikeBasicsVal) {
    const QList<std::pair<QVariant, qint32>> cases{
        {QVariant(), 0},
        {QString(), 0},
        {QStringLiteral("0"), 0},
        {QStringLiteral("1"), 1},
        {QStringLiteral("10500"), 10500},
        {QStringLiteral("  -42abc"), -42},
        {QStringLiteral("1 2 3"), 123},
        {QStringLiteral("2.5"), 2},
        {QStringLiteral("3.5"), 4},
        {QStringLiteral("1e3"), 1000},
        {QStringLiteral("&H1F"), 31},
        {QStringLiteral("&HFFFF"), -1},
        {QStringLiteral("&O17"), 15},
        {QStringLiteral("abc"), 0},
        {QStringLiteral("99999999999"), 2147483647},
        {QVariant(7), 7},
        {QVariant(true), -1},
        {QVariant(QByteArray("5")), 0},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(ReadNumber(value), expected) << value.toString().toStdString();
    }
    EXPECT_FALSE(ReadCheck(QStringLiteral("0")));
    EXPECT_TRUE(ReadCheck(QStringLiteral("-1")));
}

TEST(RegistryNumbers, EnvironmentStringsExpandLikeWindows) {
    testing::TestEnvironment env;
    env.setVariable("ORV_A", QStringLiteral("alpha"));
    env.setVariable("ORV_UNSET", QString());
    EXPECT_EQ(ExpandEnvironmentStrings(QStringLiteral("%ORV_A%/x")), QStringLiteral("alpha/x"));
    EXPECT_EQ(ExpandEnvironmentStrings(QStringLiteral("%ORV_UNSET%%ORV_A%")),
              QStringLiteral("%ORV_UNSET%alpha"));
    EXPECT_EQ(ExpandEnvironmentStrings(QStringLiteral("100% sure")), QStringLiteral("100% sure"));
    EXPECT_EQ(ExpandEnvironmentStrings(QStringLiteral("%%")), QStringLiteral("%%"));
}

}  // namespace
}  // namespace orvane
