#include "app/export/export_commands.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <cstring>

#include "app/calls_list/calls_list_view.h"
#include "calls/export/recording_export.h"
#include "calls/list/calls_list_model.h"
#include "settings/pages/main_window_settings.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/common_widgets.h"

namespace orvane {
namespace {

QString TextOrEnglish(int id, const char* english) {
    const QString& text = Text(id);
    return text.isEmpty() ? QString::fromUtf8(english) : text;
}

struct FormatChoice {
    sonvel::ExportFormat format;
    int textId;
    const char* english;
};
constexpr FormatChoice kFormats[] = {
    {sonvel::ExportFormat::kOpus, ids::kExportFormatOpus, "Ogg Opus, 12 kb/s"},
    {sonvel::ExportFormat::kOpusCompact, ids::kExportFormatOpusCompact, "Ogg Opus compact, 8 kb/s"},
    {sonvel::ExportFormat::kFlac, ids::kExportFormatFlac, "FLAC, lossless"},
};

QString FilterOf(const FormatChoice& choice) {
    return TextOrEnglish(choice.textId, choice.english) + QStringLiteral(" (*.") +
           QLatin1String(sonvel::ExportExtension(choice.format)) + QLatin1Char(')');
}

// The format of the filter chosen; without one, the chosen name's extension.
sonvel::ExportFormat ChosenFormat(const QString& filter, const QString& path) {
    for (const FormatChoice& choice : kFormats) {
        if (filter == FilterOf(choice)) {
            return choice.format;
        }
    }
    return path.endsWith(QLatin1String(".flac"), Qt::CaseInsensitive) ? sonvel::ExportFormat::kFlac
                                                                      : sonvel::ExportFormat::kOpus;
}

// The path with `extension` added unless it already ends so (or, for
// Opus, in the Ogg container's own ".ogg").
QString WithExtension(const QString& path, const QString& extension) {
    const bool opus = extension == QLatin1String("opus");
    return path.endsWith(QLatin1Char('.') + extension, Qt::CaseInsensitive) ||
                   (opus && path.endsWith(QLatin1String(".ogg"), Qt::CaseInsensitive))
               ? path
               : path + QLatin1Char('.') + extension;
}

// The dialog asked about the name typed; a file under the name with the
// extension added is asked about here. True to go on.
bool MayWrite(const QString& chosen, const QString& path) {
    if (path == chosen || !(QFileInfo::exists(path) || QFileInfo(path).isSymLink())) {
        return true;
    }
    const QFileInfo file(path);
    return ShowMessage(ReplaceMarker(ReplaceMarker(TextOrEnglish(ids::kAskExportReplaceOne,
                                                                 "<%S> is already in <%S>. "
                                                                 "Replace it?"),
                                                   file.fileName()),
                                     QDir::toNativeSeparators(file.absolutePath())),
                       true) == kAnswerYes;
}

}  // namespace

ExportCommands::ExportCommands(CallsListPanel& list, CallsListModel& model,
                               MainWindowSettings& settings, QWidget* owner)
    : QObject(owner), list_(list), model_(model), settings_(settings), owner_(owner) {
    setObjectName(QStringLiteral("exportCommands"));
    export_ = new RecordingExport(this);
    export_->setObjectName(QStringLiteral("recordingExport"));
    connect(export_, &RecordingExport::progress, this, &ExportCommands::OnProgress);
    connect(export_, &RecordingExport::finished, this, &ExportCommands::OnFinished);
    csvAction_ = new QAction(TextOrEnglish(ids::kMenuExportCsv, "Export list as CSV…"), this);
    csvAction_->setObjectName(QStringLiteral("contextExportCsv"));
    connect(csvAction_, &QAction::triggered, this, &ExportCommands::ExportCsv);
    recordingAction_ =
        new QAction(TextOrEnglish(ids::kMenuExportRecording, "Export recording…"), this);
    recordingAction_->setObjectName(QStringLiteral("contextExportRecording"));
    connect(recordingAction_, &QAction::triggered, this, &ExportCommands::ExportRecordings);
}

std::vector<int> ExportCommands::ChosenRows(bool allWhenOne) const {
    std::vector<int> rows = list_.View()->SelectedRows();
    if (allWhenOne && rows.size() <= 1) {
        rows.clear();
        for (int row = 0; row < model_.rowCount(); ++row) {
            rows.push_back(row);
        }
    } else if (rows.empty() && list_.View()->CurrentRow() >= 0) {
        rows.push_back(list_.View()->CurrentRow());
    }
    return rows;
}

QString ExportCommands::StartFolder() const {
    const QString folder = settings_.LastSaveFolder();
    return folder.isEmpty() || !QFileInfo(folder).isDir() ? QDir::homePath() : folder;
}

void ExportCommands::ExportCsv() {
    const std::vector<int> rows = ChosenRows(true);
    if (rows.empty()) {
        return;
    }
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Save;
    request.owner = owner_;
    request.title = TextOrEnglish(ids::kExportCsvTitle, "Export the calls as CSV");
    request.filter =
        TextOrEnglish(ids::kExportFormatCsv, "CSV, for spreadsheets") + QStringLiteral(" (*.csv)");
    request.proposedName = QStringLiteral("calls.csv");
    request.folder = StartFolder();
    const QString chosen = RunFileDialog(request);
    if (chosen.isEmpty()) {
        return;
    }
    const QString path = WithExtension(chosen, QStringLiteral("csv"));
    settings_.SetLastSaveFolder(QFileInfo(path).absolutePath());
    if (!MayWrite(chosen, path)) {
        return;
    }
    std::vector<CallRecord> calls;
    calls.reserve(rows.size());
    for (const int row : rows) {
        // The CSV lists recordings; a call without one has no record.
        if (model_.HasRecording(row)) {
            calls.push_back(model_.Store().Record(model_.RecordNumber(row)));
        }
    }
    if (const int error = WriteCallsCsv(path, calls, nameFor_, model_.Folder()); error != 0) {
        ShowMessage(
            ReplaceMarker(
                TextOrEnglish(ids::kMsgExportCsvFailed, "Orvane could not export the calls:\n<%S>"),
                path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error))),
            false);
    }
}

void ExportCommands::ExportRecordings() {
    const std::vector<int> rows = ChosenRows(false);
    if (rows.empty() || export_->Running()) {
        return;
    }
    std::vector<RecordingExport::Item> items;
    for (const int row : rows) {
        const QString name = model_.CellText(row, calls_column::kMsgFile);
        // A name from the index never leads out of the folders it belongs in.
        if (name.isEmpty() || QFileInfo(name).fileName() != name) {
            continue;
        }
        items.push_back({model_.Folder() + name, name,
                         ExportTagsFor(model_.Store().Record(model_.RecordNumber(row)), nameFor_)});
    }
    if (items.empty()) {
        // Only calls without a recording were chosen (blocked, not recorded).
        ShowMessage(TextOrEnglish(ids::kMsgNoRecording,
                                  "This call was not recorded: there is nothing to play or save."),
                    false);
        return;
    }
    QStringList filters;
    for (const FormatChoice& choice : kFormats) {
        filters << FilterOf(choice);
    }
    QString selectedFilter = filters.front();
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Save;
    request.owner = owner_;
    request.title =
        items.size() == 1
            ? TextOrEnglish(ids::kExportRecordingTitle, "Export the recording")
            : ReplaceMarker(TextOrEnglish(ids::kExportRecordingsTitle,
                                          "Export <%S> recordings into a folder, each named "
                                          "after its recording"),
                            QString::number(items.size()));
    request.filter = filters.join(QStringLiteral(";;"));
    request.proposedName = ExportFileName(items.front().target, sonvel::ExportFormat::kOpus);
    request.folder = StartFolder();
    request.selectedFilter = &selectedFilter;
    const QString chosen = RunFileDialog(request);
    if (chosen.isEmpty()) {
        return;
    }
    const sonvel::ExportFormat format = ChosenFormat(selectedFilter, chosen);
    const QString folder = QFileInfo(chosen).absolutePath();
    settings_.SetLastSaveFolder(folder);
    if (items.size() == 1) {
        items.front().target =
            WithExtension(chosen, QLatin1String(sonvel::ExportExtension(format)));
        if (!MayWrite(chosen, items.front().target)) {
            return;
        }
    } else {
        std::vector<RecordingExport::Item> fresh;
        std::vector<RecordingExport::Item> existing;
        for (RecordingExport::Item& item : items) {
            item.target = QDir(folder).filePath(ExportFileName(item.target, format));
            (QFileInfo::exists(item.target) || QFileInfo(item.target).isSymLink() ? existing
                                                                                  : fresh)
                .push_back(std::move(item));
        }
        if (!existing.empty()) {
            const QString ask = ReplaceMarker(
                ReplaceMarker(TextOrEnglish(ids::kAskExportReplace,
                                            "<%S> of the copies are already in <%S>. Replace "
                                            "them?"),
                              QString::number(existing.size())),
                QDir::toNativeSeparators(folder));
            if (ShowMessage(ask, true) == kAnswerYes) {
                for (RecordingExport::Item& item : existing) {
                    fresh.push_back(std::move(item));
                }
            }
        }
        items = std::move(fresh);
        if (items.empty()) {
            return;
        }
    }
    const int total = static_cast<int>(items.size());
    if (progress_ != nullptr && total > 1) {
        progress_->setRange(0, total);
        progress_->setValue(0);
        progress_->show();
    }
    export_->Start(std::move(items), format);
}

void ExportCommands::OnProgress(int done, int total) {
    if (progress_ != nullptr && total > 1) {
        progress_->setValue(done);
    }
}

void ExportCommands::OnFinished(const QStringList& failures) {
    if (progress_ != nullptr) {
        progress_->setValue(0);
        progress_->hide();
    }
    if (!failures.isEmpty()) {
        ShowMessage(ReplaceMarker(TextOrEnglish(ids::kMsgExportFailed,
                                                "Orvane could not export these recordings:\n<%S>"),
                                  failures.join(QLatin1Char('\n'))),
                    false);
    }
}

}  // namespace orvane
