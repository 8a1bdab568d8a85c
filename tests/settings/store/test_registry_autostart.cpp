#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "core/paths.h"
#include "settings/store/autostart.h"
#include "settings/store/registry_routines.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"

namespace orvane {
namespace {

class AutostartTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(run_.CreateKey(), kErrorSuccess);
        // The expected Exec lines below write the folder as it is.
        ASSERT_TRUE(
            QRegularExpression(QStringLiteral("^[A-Za-z0-9/_.-]+$")).match(env_.root()).hasMatch());
    }

    QString MakeProgram(const QString& folder) const {
        return env_.writeFile(folder + QStringLiteral("/orvane"), "#!/bin/sh\n");
    }
    QStringList Entries() const {
        return QDir(paths::AutostartFolder()).entryList(QDir::Files | QDir::Hidden);
    }
    QByteArray Entry(const QString& name) const {
        QFile file(paths::AutostartFolder() + QLatin1Char('/') + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    testing::TestEnvironment env_;
    RegistryRoutines run_{kHkeyCurrentUser, product::kRunKey};
};

TEST_F(AutostartTest, ExecQuotesTheProgramFolderAsDesktopEntriesNeed) {
    const QString spaced = MakeProgram(QStringLiteral("My Programs/Orvane 1.1"));
    EXPECT_EQ(autostart::ExecValue(spaced + QStringLiteral(" -st")),
              QLatin1Char('"') + spaced + QStringLiteral("\" -st"));

    const QString odd = MakeProgram(QStringLiteral("we$ird \"q\" back\\slash 100%"));
    EXPECT_EQ(autostart::ExecValue(odd + QStringLiteral(" -st")),
              QLatin1Char('"') + env_.root() +
                  QStringLiteral(R"(/we\\$ird \\"q\\" back\\\\slash 100%%/orvane" -st)"));

    const QString plain = MakeProgram(QStringLiteral("plain"));
    EXPECT_EQ(autostart::ExecValue(plain + QStringLiteral(" -st")), plain + QStringLiteral(" -st"));
    // Without the file the first word is the program.
    EXPECT_EQ(autostart::ExecValue(QStringLiteral("/gone/orvane  -st")),
              QStringLiteral("/gone/orvane -st"));
}

TEST_F(AutostartTest, AStoredLineBreakCannotAddKeysToTheEntry) {
    const QByteArray content = autostart::EntryContent(
        QStringLiteral("Orvane"),
        QStringLiteral("/gone/orvane -st\nHidden=true\r\n[Desktop Action x]"));
    const QList<QByteArray> lines = content.split('\n');
    EXPECT_EQ(lines.size(), 10);  // nine lines and the final line end
    for (const QByteArray& line : lines) {
        EXPECT_FALSE(line.startsWith("Hidden") || line.startsWith("[Desktop Action"))
            << line.toStdString();
    }
    EXPECT_TRUE(content.contains("Exec=/gone/orvane \"-st\\nHidden=true\\r\\n[Desktop\" Action"));
}

TEST_F(AutostartTest, TheRunValueIsTheAutostartEntry) {
    const QString command = MakeProgram(QStringLiteral("Orvane Folder")) + QStringLiteral(" -st");
    ASSERT_TRUE(run_.SetRegistryValue(QStringLiteral("Orvane"), command));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("orvane.desktop")});
    const QByteArray entry = Entry(QStringLiteral("orvane.desktop"));
    EXPECT_EQ(entry, autostart::EntryContent(QStringLiteral("Orvane"), command));
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\nType=Application\nName=Orvane\nExec=\""));
    for (const char* key :
         {"Terminal=false\n", "X-GNOME-Autostart-enabled=true\n", "X-GNOME-Autostart-Delay=2\n",
          "X-KDE-autostart-after=panel\n", "X-LXQt-Need-Tray=true\n"}) {
        EXPECT_TRUE(entry.contains(key)) << key;
    }
    EXPECT_EQ(run_.GetRegistryValue(QStringLiteral("orvane")).toString(), command);

    // Writing the same value again brings back an entry removed by hand.
    QFile::remove(paths::AutostartFolder() + QStringLiteral("/orvane.desktop"));
    ASSERT_TRUE(run_.SetRegistryValue(QStringLiteral("Orvane"), command));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("orvane.desktop")});

    EXPECT_EQ(run_.DeleteValue(QStringLiteral("ORVANE")), kErrorSuccess);
    EXPECT_TRUE(Entries().isEmpty());
}

TEST_F(AutostartTest, OnlySafeNamesAndTextValuesBecomeEntries) {
    ASSERT_TRUE(run_.SetRegistryValue(QStringLiteral("My.Tool-2"), QStringLiteral("/bin/true")));
    ASSERT_TRUE(run_.SetRegistryValue(QStringLiteral("../../evil"), QStringLiteral("/bin/true")));
    ASSERT_TRUE(run_.SetRegistryValue(QStringLiteral("Spaced Name"), QStringLiteral("/bin/true")));
    ASSERT_TRUE(run_.SetRegistryValue(QStringLiteral("Number"), 1, kRegDword));
    ASSERT_TRUE(run_.SetRegistryValue(QString(), QStringLiteral("/bin/true")));
    RegistryRoutines machine(kHkeyLocalMachine, product::kRunKey);
    ASSERT_EQ(machine.CreateKey(), kErrorSuccess);
    ASSERT_TRUE(machine.SetRegistryValue(QStringLiteral("Machine"), QStringLiteral("/bin/true")));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("my.tool-2.desktop")});
    EXPECT_FALSE(QFile::exists(env_.configHome() + QStringLiteral("/evil.desktop")));

    // Deleting the key takes its entries along.
    ASSERT_EQ(RegistryRoutines(kHkeyCurrentUser, QStringLiteral("SOFTWARE\\Microsoft")).DeleteKey(),
              kErrorSuccess);
    EXPECT_TRUE(Entries().isEmpty());
}

TEST_F(AutostartTest, WhenTheEntryCannotBeWrittenTheValueIsNotStored) {
    env_.writeFile(QStringLiteral("config/autostart"), "a file where the folder belongs");
    EXPECT_FALSE(run_.SetRegistryValue(QStringLiteral("Orvane"), QStringLiteral("/bin/true -st")));
    EXPECT_FALSE(run_.GetRegistryValue(QStringLiteral("Orvane")).isValid());
}

}  // namespace
}  // namespace orvane
