#include "app/calls_list/recordings_drag.h"

#include <QFileInfo>
#include <QList>
#include <QUrl>

namespace orvane {

std::unique_ptr<QMimeData> RecordingsMimeData(const QStringList& paths) {
    QList<QUrl> urls;
    QStringList files;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isSymLink() || !info.isFile()) {
            continue;
        }
        files << info.absoluteFilePath();
        urls << QUrl::fromLocalFile(info.absoluteFilePath());
    }
    if (urls.isEmpty()) {
        return nullptr;
    }
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    data->setText(files.join(QLatin1Char('\n')));
    return data;
}

}  // namespace orvane
