// The first start after an upgrade from the portable layout brings the
// journals, the general notes and the last numbers from the program folder
// into the user folder, loses none of them and replaces nothing.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/paths.h"
#include "settings/setup/portable_upgrade.h"
#include "tests/support/qt_printers.h"
#include "tests/support/run_as_nobody.h"
#include "tests/support/test_environment.h"

namespace orvane::setup {
namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct UpgradeCase {
    const char* label;
    bool readOnlyProgramFolder;
    bool userHasNotes;  // a "Notes" of its own already in the user folder
};

TEST(PortableUpgrade, OldFilesComeOverWithoutReplacingAnything) {
    // A read-only folder stops root from nothing.
    if (testing::RanAsNobody()) {
        return;
    }
    const UpgradeCase cases[] = {
        {"moved", false, false},
        {"same name in both", false, true},
        {"read-only program folder", true, false},
    };
    for (const UpgradeCase& c : cases) {
        SCOPED_TRACE(c.label);
        testing::TestEnvironment env;
        const QString program = env.programFolder();
        env.writeFile("program/Journal/2026-12-01_Sys.txt", "sys\r\n");
        env.writeFile("program/Journal/2026-12-01_Calls.txt", "calls\r\n");
        env.writeFile("program/Notes", "old notes\r\n");
        env.writeFile("program/DialCalls", "555-0123\r\n");
        ASSERT_TRUE(QFile::link(QStringLiteral("/etc/passwd"), program + "/Journal/planted.txt"));
        if (c.userHasNotes) {
            env.writeFile("data/orvane/Notes", "new notes\r\n");
        }
        const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                              QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        if (c.readOnlyProgramFolder) {
            ASSERT_TRUE(QFile::setPermissions(program + "/Journal", readOnly));
            ASSERT_TRUE(QFile::setPermissions(program, readOnly));
        }

        const UpgradeReport report = BringOldUserFiles();
        const QString user = paths::UserFolder();
        EXPECT_EQ(ReadFile(paths::JournalFolder() + "2026-12-01_Sys.txt"), "sys\r\n");
        EXPECT_EQ(ReadFile(paths::JournalFolder() + "2026-12-01_Calls.txt"), "calls\r\n");
        EXPECT_EQ(ReadFile(user + "/DialCalls"), "555-0123\r\n");
        EXPECT_EQ(ReadFile(user + "/Notes"), c.userHasNotes ? "new notes\r\n" : "old notes\r\n");
        EXPECT_FALSE(QFileInfo::exists(paths::JournalFolder() + "planted.txt"));
        // Moved where it could be; what was not moved is still there.
        const bool moved = !c.readOnlyProgramFolder;
        EXPECT_EQ(QFileInfo::exists(program + "/DialCalls"), !moved);
        EXPECT_EQ(QFileInfo::exists(program + "/Journal/2026-12-01_Sys.txt"), !moved);
        EXPECT_EQ(ReadFile(program + "/Notes"),
                  moved && !c.userHasNotes ? QByteArray() : "old notes\r\n");
        EXPECT_EQ(report.brought.size(), c.userHasNotes ? 3 : 4)
            << report.brought.join('\n').toStdString();
        EXPECT_EQ(report.left.size(), c.userHasNotes ? 1 : 0)
            << report.left.join('\n').toStdString();
        if (c.userHasNotes) {
            EXPECT_TRUE(report.left[0].contains(program + "/Notes"));
        }
        if (!c.userHasNotes) {  // made here: private
            EXPECT_EQ(QFileInfo(user).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
        }

        // Once only: the file left in place is not told about again.
        const UpgradeReport again = BringOldUserFiles();
        EXPECT_TRUE(again.brought.isEmpty());
        EXPECT_TRUE(again.left.isEmpty());
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(program + "/Journal",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

}  // namespace
}  // namespace orvane::setup
