#pragma once
// Makes a folder read-only (0555) for one test and writable again when the
// test ends, so the throw-away test folder can still be removed.

#include <sys/stat.h>

#include <QByteArray>
#include <QFile>
#include <QString>

namespace orvane::testing {

class ReadOnlyFolderGuard {
  public:
    explicit ReadOnlyFolderGuard(const QString& folder)
        : path_(QFile::encodeName(folder)), ok_(::chmod(path_.constData(), 0555) == 0) {}
    ~ReadOnlyFolderGuard() { ::chmod(path_.constData(), 0755); }
    ReadOnlyFolderGuard(const ReadOnlyFolderGuard&) = delete;
    ReadOnlyFolderGuard& operator=(const ReadOnlyFolderGuard&) = delete;

    bool ok() const { return ok_; }

  private:
    QByteArray path_;
    bool ok_;
};

}  // namespace orvane::testing
