#include "calls/export/recording_export.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QThread>

#include "core/stored_moment.h"

namespace orvane {
namespace {

bool Sent(const QString& part) {
    return !part.isEmpty() && part != QLatin1String("UNKNOWN");
}

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace

sonvel::ExportTags ExportTagsFor(const CallRecord& record, const CallerNameLookup& nameFor) {
    const QString number = record.Get(CallField::CallerNumber);
    QString name = nameFor ? nameFor(number) : QString();
    if (name.isEmpty()) {
        name = record.Get(CallField::CallerName);
    }
    QStringList parts;
    for (const QString& part : {name, number}) {
        if (Sent(part)) {
            parts << part;
        }
    }
    sonvel::ExportTags tags;
    tags.title = Utf8(parts.join(QLatin1String(" - ")));
    qint64 seconds = 0;
    StoredMomentReader reader;
    if (reader.Read(record.Get(CallField::ExtraText), record.Get(CallField::CallDate),
                    record.Get(CallField::CallTime), seconds)) {
        tags.date = Utf8(IsoMomentText(
            QDateTime(QDate::fromJulianDay(seconds / 86400),
                      QTime::fromMSecsSinceStartOfDay(static_cast<int>(seconds % 86400) * 1000))));
    }
    return tags;
}

QString ExportFileName(const QString& recordingName, sonvel::ExportFormat format) {
    QString name = recordingName;
    if (name.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive)) {
        name.chop(4);
    }
    return name + QLatin1Char('.') + QLatin1String(sonvel::ExportExtension(format));
}

RecordingExport::RecordingExport(QObject* parent) : QObject(parent) {}

RecordingExport::~RecordingExport() {
    if (thread_ != nullptr) {
        stop_->store(true);
        thread_->wait();
        delete thread_;
    }
}

bool RecordingExport::Start(std::vector<Item> items, sonvel::ExportFormat format) {
    if (thread_ != nullptr) {
        return false;
    }
    stop_ = std::make_shared<std::atomic<bool>>(false);
    const auto stop = stop_;
    // The worker reports through queued calls to this object; QPointer
    // drops them when it is gone.
    QPointer<RecordingExport> self(this);
    thread_ = QThread::create([items = std::move(items), format, stop, self] {
        const int total = static_cast<int>(items.size());
        QStringList failures;
        int done = 0;
        for (const Item& item : items) {
            if (stop->load()) {
                break;
            }
            const std::string problem =
                sonvel::ExportRecording(QFile::encodeName(item.source).toStdString(),
                                        QFile::encodeName(item.target).toStdString(), format,
                                        item.tags, [stop](double) { return !stop->load(); });
            if (!problem.empty()) {
                failures << QString::fromUtf8(problem.c_str());
            }
            ++done;
            QMetaObject::invokeMethod(
                self.data(),
                [self, done, total] {
                    if (self) {
                        Q_EMIT self->progress(done, total);
                    }
                },
                Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(
            self.data(),
            [self, failures] {
                if (self) {
                    self->Done(failures);
                }
            },
            Qt::QueuedConnection);
    });
    thread_->start();
    return true;
}

void RecordingExport::Done(const QStringList& failures) {
    if (thread_ != nullptr) {
        thread_->wait();
        delete thread_;
        thread_ = nullptr;
    }
    Q_EMIT finished(failures);
}

}  // namespace orvane
