#include "core/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cerrno>

#ifndef ORVANE_RELATIVE_DATA_DIR
#define ORVANE_RELATIVE_DATA_DIR "../share/orvane"
#endif

namespace orvane::paths {
namespace {

// The XDG base directory rules ignore relative values.
QString AbsoluteEnv(const char* name) {
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty() || !QDir::isAbsolutePath(value)) {
        return {};
    }
    return QDir::cleanPath(value);
}

QString ConfigHome() {
    const QString config = AbsoluteEnv("XDG_CONFIG_HOME");
    return config.isEmpty() ? QDir::homePath() + QStringLiteral("/.config") : config;
}

QString ExecutableFolder() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationDirPath();
    }
    // Before the application object exists (the single-instance test runs
    // that early) the kernel still knows where the executable is.
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

// A folder we own, with mode 0700, that is not a link: only then may
// sockets and locks go into it.
bool MakePrivateFolder(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0) {
        return false;
    }
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

}  // namespace

QString ProgramFolder() {
    const QString forced = AbsoluteEnv("ORVANE_PROGRAM_DIR");
    return forced.isEmpty() ? ExecutableFolder() : forced;
}

QString DataFolder() {
    const QString forced = AbsoluteEnv("ORVANE_DATA_DIR");
    if (!forced.isEmpty()) {
        return forced;
    }
    const QString program = ProgramFolder();
    if (QFileInfo(program + QStringLiteral("/Trans")).isDir()) {
        return program;
    }
    const QString installed =
        QDir::cleanPath(program + QLatin1Char('/') + QStringLiteral(ORVANE_RELATIVE_DATA_DIR));
    return QFileInfo(installed).isDir() ? installed : program;
}

QString ShippedTransFolder() {
    return DataFolder() + QStringLiteral("/Trans/");
}
QString ShippedSoundFolder() {
    return DataFolder() + QStringLiteral("/Sound/");
}
QString HelpFolder() {
    return DataFolder() + QStringLiteral("/Help/");
}

QString UserFolder() {
    return DataHome() + QStringLiteral("/orvane");
}
QString UserTransFolder() {
    return UserFolder() + QStringLiteral("/Trans/");
}
QString UserSoundFolder() {
    return UserFolder() + QStringLiteral("/Sound/");
}
QString JournalFolder() {
    return UserFolder() + QStringLiteral("/Journal/");
}
QString DefaultRecordingsFolder() {
    return UserFolder() + QStringLiteral("/Recordings/");
}

QString ConfigFolder() {
    const QString forced = AbsoluteEnv("ORVANE_CONFIG_DIR");
    return forced.isEmpty() ? ConfigHome() + QStringLiteral("/orvane") : forced;
}

QString AutostartFolder() {
    return ConfigHome() + QStringLiteral("/autostart");
}

QString DataHome() {
    const QString data = AbsoluteEnv("XDG_DATA_HOME");
    return data.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : data;
}

QString RuntimeFolder() {
    QString base = AbsoluteEnv("XDG_RUNTIME_DIR");
    if (base.isEmpty()) {
        base = QDir::tempPath() + QStringLiteral("/orvane-runtime-") + QString::number(::getuid());
        if (!MakePrivateFolder(base)) {
            return {};
        }
    }
    const QString folder = base + QStringLiteral("/orvane");
    return MakePrivateFolder(folder) ? folder : QString();
}

}  // namespace orvane::paths
