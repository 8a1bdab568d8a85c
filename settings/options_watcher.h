#pragma once
// Tells that the settings file changed on disk, so the settings pages read
// again what another process wrote (orvane-reg, a second settings dialog).
// Several changes in a row are told once; the program's own writes are told
// too, and the pages find nothing new in them.

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

namespace orvane {

class OptionsWatcher final : public QObject {
  public:
    // Watches `hiveFile` (and its folder, since the store replaces the file
    // rather than writing into it).
    OptionsWatcher(const QString& hiveFile, std::function<void()> changed);

  private:
    void Rewatch();

    QString file_;
    std::function<void()> changed_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
};

}  // namespace orvane
