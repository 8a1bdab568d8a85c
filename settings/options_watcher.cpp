#include "settings/options_watcher.h"

#include <QFileInfo>

namespace orvane {
namespace {

// A write is a new file renamed over the old one: one change, several
// notices.
constexpr int kSettleMs = 100;

}  // namespace

OptionsWatcher::OptionsWatcher(const QString& hiveFile, std::function<void()> changed)
    : file_(hiveFile), changed_(std::move(changed)) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, [this] {
        Rewatch();
        if (changed_) {
            changed_();
        }
    });
    const auto notice = [this] { settle_.start(); };
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, notice);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, notice);
    Rewatch();
}

void OptionsWatcher::Rewatch() {
    // A replaced file is no longer watched; the folder tells of its return.
    const QString folder = QFileInfo(file_).absolutePath();
    if (!watcher_.directories().contains(folder) && QFileInfo(folder).isDir()) {
        watcher_.addPath(folder);
    }
    if (!watcher_.files().contains(file_) && QFileInfo::exists(file_)) {
        watcher_.addPath(file_);
    }
}

}  // namespace orvane
