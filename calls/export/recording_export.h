#pragma once
// Copies of calls' recordings as Ogg Opus or FLAC (Sonvel's export), made
// one after another on a worker thread: an hour of call takes seconds to
// encode, and meanwhile the window, the line and a recording in progress go
// on. Each copy appears whole or not at all (sonvel::ExportRecording).

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <vector>

#include "audio/sonvel_export.h"
#include "calls/export/calls_csv.h"
#include "calls/store/call_record.h"

class QThread;

namespace orvane {

// The tags of a call's copy: TITLE "name - number", the phone-book name in
// place of what the line sent where the book knows the number (a part the
// line did not send, "UNKNOWN" or empty, is left out); DATE the moment the
// recording started, ISO 8601.
sonvel::ExportTags ExportTagsFor(const CallRecord& record, const CallerNameLookup& nameFor);

// The copy's name: the recording's file name with the format's extension
// in place of ".wav" ("Anna_0301234_...wav" -> "Anna_0301234_....opus").
QString ExportFileName(const QString& recordingName, sonvel::ExportFormat format);

class RecordingExport final : public QObject {
    Q_OBJECT
  public:
    struct Item {
        QString source;  // the recording
        QString target;  // the copy
        sonvel::ExportTags tags;
    };

    explicit RecordingExport(QObject* parent = nullptr);
    // Stops a running export (the copy being made is not kept) and waits.
    ~RecordingExport() override;

    // Starts making the copies; false while another export runs.
    bool Start(std::vector<Item> items, sonvel::ExportFormat format);
    bool Running() const { return thread_ != nullptr; }

  Q_SIGNALS:
    // `done` of `total` copies are finished (made or failed).
    void progress(int done, int total);
    // Every copy was tried; each failure as "copy: reason".
    void finished(const QStringList& failures);

  private:
    void Done(const QStringList& failures);

    QThread* thread_ = nullptr;
    std::shared_ptr<std::atomic<bool>> stop_;
};

}  // namespace orvane
