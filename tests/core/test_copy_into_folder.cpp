// Copies into a folder the user chose: the file's own name, else the first
// free numbered name; nothing in the folder is replaced or followed, and a
// copy that cannot be made says why.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/copy_into_folder.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"

namespace orvane {
namespace {

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(CopyIntoFolder, TakesTheFirstFreeNameAndReplacesNothing) {
    testing::TestEnvironment env;
    const QString calls = env.root() + QStringLiteral("/calls/");
    const QString out = env.root() + QStringLiteral("/out/");
    env.writeFile("calls/Ann 555.wav", "ann");
    env.writeFile("calls/Bob.wav", "bob");
    env.writeFile("calls/noext", "plain");
    const QString victim = env.writeFile("elsewhere/victim", "victim");
    env.writeFile("out/Ann 555.wav", "kept");
    // A link planted at the first numbered name is a taken name too.
    ASSERT_TRUE(QFile::link(victim, out + QStringLiteral("Ann 555 (2).wav")));
    env.writeFile("out/noext", "kept");
    const struct {
        QString source;
        QString folder;
        const char* copy;  // nullptr: nothing copied
    } cases[] = {
        {calls + "Ann 555.wav", out, "Ann 555 (3).wav"},
        {calls + "Ann 555.wav", out, "Ann 555 (4).wav"},
        {calls + "Bob.wav", out, "Bob.wav"},
        {calls + "noext", out, "noext (2)"},
        {calls + "gone.wav", out, nullptr},
        {calls + "Bob.wav", out + "missing/", nullptr},
        {calls + "Bob.wav", calls + "Bob.wav", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source.toStdString() + " -> " + c.folder.toStdString());
        const FolderCopy copy = CopyIntoFolder(c.source, c.folder);
        if (c.copy == nullptr) {
            EXPECT_TRUE(copy.copy.isEmpty());
            EXPECT_FALSE(copy.error.isEmpty());
            continue;
        }
        EXPECT_TRUE(copy.error.isEmpty()) << copy.error.toStdString();
        EXPECT_EQ(copy.copy, out + QLatin1String(c.copy));
        EXPECT_EQ(Read(copy.copy), Read(c.source));
    }
    EXPECT_EQ(Read(out + "Ann 555.wav"), "kept");
    EXPECT_EQ(Read(out + "noext"), "kept");
    EXPECT_EQ(Read(victim), "victim");
    EXPECT_TRUE(QFileInfo(out + "Ann 555 (2).wav").isSymLink());
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::System).size(), 7);
}

}  // namespace
}  // namespace orvane
