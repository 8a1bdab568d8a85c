#pragma once
// Tells the running program that the settings file changed on disk, so a
// value another process wrote (orvane-reg, a second settings dialog) takes
// effect as if the user had pressed OK. Several changes in a row are told
// once; the program's own writes are told too and re-read harmlessly.

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
