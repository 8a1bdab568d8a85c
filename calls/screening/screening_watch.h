#pragma once
// Reads Screening.txt again when it changes outside the program (the
// user's editor, another instance), so the running screener decides the
// next call by the rules the file holds now.

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <functional>

namespace orvane {

class ScreeningFile;

class ScreeningWatch final : public QObject {
  public:
    // Watches `file`'s path and its folder; `reloaded` runs after each
    // reading. `file` must outlive the watch.
    ScreeningWatch(ScreeningFile& file, std::function<void()> reloaded = {},
                   QObject* parent = nullptr);
    // Reads the file again if it differs from when it was last read or
    // written; true when it did. The watcher calls this on every change.
    bool Check();

  private:
    struct Stamp {
        qint64 size = -1;
        qint64 modified = 0;
        quint64 inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    Stamp StampNow() const;

    ScreeningFile& file_;
    std::function<void()> reloaded_;
    QFileSystemWatcher watcher_;
    Stamp stamp_;
};

}  // namespace orvane
