#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include "core/paths.h"
#include "settings/store/registry_routines.h"
#include "settings/store/registry_store.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"
#include "tools/reg/reg_command.h"

namespace orvane::tools {
namespace {

const QString kRoot = QStringLiteral("HKLM\\SOFTWARE\\Quenzo\\Orvane 1.1");
const QString kRootShown = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenzo\\Orvane 1.1");
const QString kNotFound =
    QStringLiteral("ERROR: The system was unable to find the specified registry key or value.\n");

struct Result {
    int code = 0;
    QString out;
    QString err;
};

class RegCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RegistryRoutines key(kHkeyLocalMachine, product::kRootKey, QStringLiteral("Language"));
        ASSERT_EQ(key.CreateKey(), kErrorSuccess);
        key.Subkey = QStringLiteral("Properties\\TabLog");
        ASSERT_EQ(key.CreateKey(), kErrorSuccess);
    }

    static Result Reg(const QStringList& arguments, bool interactive = false,
                      QString answers = QString()) {
        Result result;
        QTextStream out(&result.out);
        QTextStream err(&result.err);
        QTextStream in(&answers);
        result.code = RunReg(arguments, RegConsole{&out, &err, &in, interactive});
        return result;
    }

    static QByteArray Hive() {
        QFile file(HivePath(kHkeyLocalMachine));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    testing::TestEnvironment env_;
    RegistryRoutines settings_{kHkeyLocalMachine, product::kRootKey};
};

TEST_F(RegCommandTest, QueryListsLikeRegExe) {
    ASSERT_TRUE(settings_.SetRegistryValue(QStringLiteral("lLeft"), QStringLiteral("100")));
    ASSERT_TRUE(settings_.SetRegistryValue(QStringLiteral("Number"), 10, kRegDword));
    ASSERT_TRUE(
        settings_.SetRegistryValue(QStringLiteral("Bytes"), QByteArray("\x01\xff"), kRegBinary));
    ASSERT_TRUE(
        settings_.SetRegistryValue(QStringLiteral("Multi"), QStringLiteral("a\nb"), kRegMultiSz));
    ASSERT_TRUE(settings_.SetRegistryValue(QStringLiteral("Evil"), QStringLiteral("\x1b[31mred")));

    Result result = Reg({QStringLiteral("query"), kRoot});
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.out, QLatin1Char('\n') + kRootShown +
                              QStringLiteral("\n"
                                             "    lLeft    REG_SZ    100\n"
                                             "    Number    REG_DWORD    0xa\n"
                                             "    Bytes    REG_BINARY    01FF\n"
                                             "    Multi    REG_MULTI_SZ    a\\0b\n"
                                             "    Evil    REG_SZ    \\x1b[31mred\n"
                                             "\n") +
                              kRootShown + QStringLiteral("\\Language\n") + kRootShown +
                              QStringLiteral("\\Properties\n"));

    result = Reg(
        {QStringLiteral("QUERY"), kRoot.toLower(), QStringLiteral("-v"), QStringLiteral("LLEFT")});
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.out, QStringLiteral("\nHKEY_LOCAL_MACHINE\\software\\quenzo\\orvane 1.1\n"
                                         "    lLeft    REG_SZ    100\n"));

    result = Reg({QStringLiteral("query"), kRoot, QStringLiteral("/ve")});
    EXPECT_TRUE(
        result.out.endsWith(QStringLiteral("    (Default)    REG_SZ    (value not set)\n")));

    result = Reg({QStringLiteral("query"), QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenzo"),
                  QStringLiteral("/s")});
    EXPECT_TRUE(result.out.contains(kRootShown + QStringLiteral("\\Properties\\TabLog\n")));
    EXPECT_TRUE(result.out.contains(QStringLiteral("    lLeft    REG_SZ    100\n")));

    for (const QStringList& missing :
         {QStringList{QStringLiteral("query"), kRoot + QStringLiteral("\\Nowhere")},
          QStringList{QStringLiteral("query"), kRoot, QStringLiteral("/v"), QStringLiteral("x")}}) {
        result = Reg(missing);
        EXPECT_EQ(result.code, 1);
        EXPECT_EQ(result.err, kNotFound);
    }
}

TEST_F(RegCommandTest, AddStoresEachTypeButNeverMakesAKey) {
    const QString tabLog = kRoot + QStringLiteral("\\Properties\\TabLog");
    settings_.Subkey = QStringLiteral("Properties\\TabLog");
    const auto add = [&](const QString& name, const QString& type, const QString& data) {
        return Reg({QStringLiteral("add"), tabLog, QStringLiteral("/v"), name, QStringLiteral("/t"),
                    type, QStringLiteral("/d"), data});
    };
    Result result =
        add(QStringLiteral("chkLogSys"), QStringLiteral("REG_DWORD"), QStringLiteral("0x10"));
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.out, QStringLiteral("The operation completed successfully.\n"));
    EXPECT_EQ(settings_.GetRegistryValue(QStringLiteral("chkLogSys")), QVariant(16));
    EXPECT_EQ(
        add(QStringLiteral("Big"), QStringLiteral("reg_dword"), QStringLiteral("4294967295")).code,
        0);
    EXPECT_EQ(settings_.GetRegistryValue(QStringLiteral("Big")), QVariant(-1));
    EXPECT_EQ(
        add(QStringLiteral("Multi"), QStringLiteral("REG_MULTI_SZ"), QStringLiteral("a\\0b")).code,
        0);
    EXPECT_EQ(settings_.GetRegistryValue(QStringLiteral("Multi")),
              QVariant(QStringLiteral("a\nb")));
    EXPECT_EQ(add(QStringLiteral("Bin"), QStringLiteral("REG_BINARY"), QStringLiteral("00fF")).code,
              0);
    EXPECT_EQ(settings_.GetRegistryValue(QStringLiteral("Bin")), QVariant(QByteArray("\0\xff", 2)));

    const QByteArray before = Hive();
    for (const auto& [type, data] : {std::pair{"REG_DWORD", "ten"}, std::pair{"REG_DWORD", "-1"},
                                     std::pair{"REG_DWORD", "4294967296"},
                                     std::pair{"REG_BINARY", "abc"}, std::pair{"REG_QWORD", "1"}}) {
        result = add(QStringLiteral("Bad"), QLatin1String(type), QLatin1String(data));
        EXPECT_EQ(result.code, 1) << type << ' ' << data;
        EXPECT_TRUE(result.err.startsWith(QStringLiteral("ERROR: Invalid")))
            << result.err.toStdString();
    }
    result =
        Reg({QStringLiteral("add"), kRoot + QStringLiteral("\\Properties\\TabNew"),
             QStringLiteral("/v"), QStringLiteral("x"), QStringLiteral("/d"), QStringLiteral("1")});
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.err, kNotFound);
    EXPECT_EQ(Hive(), before);
}

TEST_F(RegCommandTest, AnExistingValueIsReplacedOnlyWithForceOrYes) {
    ASSERT_TRUE(settings_.SetRegistryValue(QStringLiteral("lState"), QStringLiteral("0")));
    const QStringList add{QStringLiteral("add"), kRoot,
                          QStringLiteral("/v"),  QStringLiteral("lState"),
                          QStringLiteral("/d"),  QStringLiteral("2")};
    Result result = Reg(add);
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.err, QStringLiteral("ERROR: Value lState exists; add /f to overwrite it.\n"));
    result = Reg(add, true, QStringLiteral("no\n"));
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.out, QStringLiteral("Value lState exists, overwrite (Yes/No)? "));
    EXPECT_EQ(settings_.GetRegistryValue(QStringLiteral("lState")), QVariant(QStringLiteral("0")));

    EXPECT_EQ(Reg(add, true, QStringLiteral("Yes\n")).code, 0);
    EXPECT_EQ(settings_.GetRegistryValue(QStringLiteral("lState")), QVariant(QStringLiteral("2")));
    EXPECT_EQ(Reg(add + QStringList{QStringLiteral("-F"), QStringLiteral("/d")}).code,
              1);  // /d twice
    EXPECT_EQ(Reg(QStringList(add).replaceInStrings(QStringLiteral("2"), QStringLiteral("1"))
                  << QStringLiteral("/f"))
                  .code,
              0);
    EXPECT_EQ(settings_.GetRegistryValue(QStringLiteral("lState")), QVariant(QStringLiteral("1")));
}

TEST_F(RegCommandTest, DeleteAsksUnlessForced) {
    ASSERT_TRUE(settings_.SetRegistryValue(QString(), QStringLiteral("default")));
    const QStringList remove{QStringLiteral("delete"), kRoot, QStringLiteral("/ve")};
    EXPECT_EQ(Reg(remove).code, 1);
    EXPECT_EQ(Reg(remove, true, QStringLiteral("n\n")).code, 1);
    EXPECT_TRUE(settings_.GetRegistryValue(QString()).isValid());
    EXPECT_EQ(Reg(remove, true, QStringLiteral("y\n")).code, 0);
    EXPECT_FALSE(settings_.GetRegistryValue(QString()).isValid());
    const Result again = Reg(remove + QStringList{QStringLiteral("/f")});
    EXPECT_EQ(again.code, 1);
    EXPECT_EQ(again.err, kNotFound);
}

TEST_F(RegCommandTest, ABrokenHiveIsShownButNotChanged) {
    QFile::remove(HivePath(kHkeyLocalMachine));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ORVANE_TEST_DATA_DIR "/registry/broken_line.reg"),
                            HivePath(kHkeyLocalMachine)));
    const QByteArray before = Hive();
    Result result = Reg({QStringLiteral("query"), kRoot + QStringLiteral("\\Properties\\TabLog")});
    EXPECT_EQ(result.code, 0);
    EXPECT_TRUE(result.out.contains(QStringLiteral("    chkLogCalls    REG_SZ    1\n")));
    EXPECT_TRUE(result.err.startsWith(QStringLiteral("WARNING: ") + HivePath(kHkeyLocalMachine) +
                                      QStringLiteral(" line 7: ")));

    result = Reg({QStringLiteral("add"), kRoot + QStringLiteral("\\Properties\\TabLog"),
                  QStringLiteral("/v"), QStringLiteral("chkLogSys"), QStringLiteral("/d"),
                  QStringLiteral("1"), QStringLiteral("/f")});
    EXPECT_EQ(result.code, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("has errors and is left unchanged")));
    EXPECT_TRUE(result.err.contains(QStringLiteral(" line 7: ")));
    EXPECT_EQ(Hive(), before);
}

TEST_F(RegCommandTest, SyntaxMistakesFailWithUsageHelp) {
    EXPECT_EQ(Reg({}).code, 1);
    const Result help = Reg({QStringLiteral("/?")});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: orvane-reg query")));
    EXPECT_EQ(Reg({QStringLiteral("add"), QStringLiteral("--help")}).code, 0);
    for (const QStringList& wrong :
         {QStringList{QStringLiteral("copy"), kRoot}, QStringList{QStringLiteral("query")},
          QStringList{QStringLiteral("add"), kRoot, QStringLiteral("/d"), QStringLiteral("1")},
          QStringList{QStringLiteral("query"), kRoot, QStringLiteral("/v")},
          QStringList{QStringLiteral("query"), kRoot, QStringLiteral("/f")},
          QStringList{QStringLiteral("delete"), kRoot, QStringLiteral("/v"), QStringLiteral("a"),
                      QStringLiteral("/ve")},
          QStringList{QStringLiteral("query"), QStringLiteral("HKU\\x")}}) {
        const Result result = Reg(wrong);
        EXPECT_EQ(result.code, 1) << wrong.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(result.err.startsWith(QStringLiteral("ERROR: Invalid")))
            << result.err.toStdString();
    }
}

TEST_F(RegCommandTest, TheProgramReportsThroughItsExitCode) {
    const QString program = QStringLiteral(ORVANE_BUILT_PROGRAM_DIR "/orvane-reg");
    QProcess process;
    process.start(program,
                  {QStringLiteral("add"), kRoot, QStringLiteral("/v"), QStringLiteral("lTop"),
                   QStringLiteral("/d"), QStringLiteral("75"), QStringLiteral("/f")});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(settings_.GetRegistryValue(QStringLiteral("lTop")), QVariant(QStringLiteral("75")));

    process.start(program, {QStringLiteral("query"), kRoot + QStringLiteral("\\Nowhere")});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()), kNotFound);
}

}  // namespace
}  // namespace orvane::tools
