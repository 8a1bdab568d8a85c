#include "tests/support/test_environment.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace orvane::testing {

void EnsurePrivateRuntimeFolder() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        return;
    }
    // One folder per user, shared by every test process: each test makes
    // its own world below it anyway.
    const QByteArray folder = QFile::encodeName(QDir::tempPath()) + "/orvane-test-runtime-" +
                              QByteArray::number(::getuid());
    ::mkdir(folder.constData(), 0700);
    struct stat info {};
    if (::lstat(folder.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
        info.st_uid == ::getuid() && (info.st_mode & 077) == 0) {
        qputenv("XDG_RUNTIME_DIR", folder);
    }
}

TestEnvironment::TestEnvironment() {
    QDir().mkpath(programFolder());
    QDir().mkpath(configHome());
    QDir().mkpath(dataHome());
    QDir().mkpath(runtimeFolder());
    QFile::setPermissions(runtimeFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setVariable("ORVANE_PROGRAM_DIR", programFolder());
    setVariable("ORVANE_CONFIG_DIR", QString());
    setVariable("XDG_CONFIG_HOME", configHome());
    setVariable("XDG_DATA_HOME", dataHome());
    setVariable("XDG_RUNTIME_DIR", runtimeFolder());
    // No test talks to the desktop's session bus (its notices would stand
    // in for the tray balloons); one that wants a bus starts its own.
    setVariable("DBUS_SESSION_BUS_ADDRESS",
                QStringLiteral("unix:path=") + runtimeFolder() + QStringLiteral("/no-bus"));
}

TestEnvironment::~TestEnvironment() {
    for (const auto& [name, old] : saved_) {
        if (old.first) {
            qputenv(name.constData(), old.second);
        } else {
            qunsetenv(name.constData());
        }
    }
}

void TestEnvironment::makeProgramFolders() const {
    for (const char* sub : {"Trans", "Sound", "Journal", "Help"}) {
        QDir().mkpath(programFolder() + QLatin1Char('/') + QLatin1String(sub));
    }
}

QString TestEnvironment::writeFile(const QString& relativePath, const QByteArray& content) const {
    const QString path = root() + QLatin1Char('/') + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(content);
    }
    return path;
}

void TestEnvironment::setVariable(const char* name, const QString& value) {
    const QByteArray key(name);
    if (saved_.find(key) == saved_.end()) {
        saved_[key] = {qEnvironmentVariableIsSet(name), qgetenv(name)};
    }
    if (value.isNull()) {
        qunsetenv(name);
    } else {
        qputenv(name, value.toLocal8Bit());
    }
}

}  // namespace orvane::testing
