#include "calls/store/call_deletion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <utility>

#include "calls/store/call_store.h"
#include "core/posix_file.h"
#include "journal/journal_writer.h"

namespace orvane {
namespace {

const QByteArray kHeader = "orvane pending calls 1";
const QByteArray kDeleteWork = "delete";
const QByteArray kRestoreWork = "restore";
const QByteArray kEnd = "end";
// A pending file names each call in well under a kilobyte.
constexpr qint64 kPendingLimit = qint64{64} << 20;

CallWorkHook& Hook() {
    static CallWorkHook hook;
    return hook;
}

// True when the test seam stops the work here.
bool StopsHere(CallWorkStep step, int filesMoved = 0) {
    return Hook() && Hook()(step, filesMoved);
}

QString InFolder(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString FolderPath(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// A name that stays in the folder it is put in.
bool IsPlainName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

// The pending file is ours, but it lies in a folder others may write: an
// undo's trash entry is only followed into a trash folder of the call's own
// file, as <trash>/files/<name> with its <trash>/info/<name>.trashinfo.
bool IsTrashEntryOf(const TrashEntry& entry, const QString& original) {
    const QString name = QFileInfo(entry.file).fileName();
    if (!IsPlainName(name)) {
        return false;
    }
    for (const QString& trash : TrashFoldersFor(original)) {
        if (entry.file == trash + QStringLiteral("/files/") + name &&
            entry.info == trash + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo")) {
            return true;
        }
    }
    return false;
}

bool Exists(const QString& path) {
    struct stat info {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

QByteArray Digest(const CallRecord& record) {
    return QCryptographicHash::hash(QByteArrayView(record.Bytes().data(), kCallRecordSize),
                                    QCryptographicHash::Sha1)
        .toHex();
}

// A field of a pending line: no blank, no line break.
QByteArray Field(const QString& text) {
    return text.toUtf8().toPercentEncoding();
}

QString FromField(const QByteArray& field) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(field));
}

// One call of a pending file.
struct PendingCall {
    qint32 number = 0;
    QByteArray digest;
    QString fileName;
    TrashEntry trash;  // an undo's file still to come back
};

struct Pending {
    QByteArray work;
    std::vector<PendingCall> calls;
};

QByteArray PendingText(const QByteArray& work, const std::vector<PendingCall>& calls) {
    QByteArray text = kHeader + '\n' + work + '\n';
    for (const PendingCall& call : calls) {
        text += QByteArray::number(call.number) + ' ' + call.digest + ' ' + Field(call.fileName);
        if (!call.trash.IsEmpty()) {
            text += ' ' + Field(call.trash.file) + ' ' + Field(call.trash.info);
        }
        text += '\n';
    }
    return text + kEnd + '\n';
}

// Written and synced, file and folder, before the index is touched.
bool WritePending(const QString& folder, const QByteArray& text) {
    const QByteArray path = QFile::encodeName(PendingCallWorkFile(folder));
    const int fd =
        ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, text) && ::fdatasync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && SyncFolder(folder);
    if (!ok) {
        ::unlink(path.constData());
    }
    return ok;
}

void RemovePending(const QString& folder) {
    ::unlink(QFile::encodeName(PendingCallWorkFile(folder)).constData());
}

// A pending file as written; nothing when it is torn (a crash while it was
// written, so before the index was touched) or not ours.
std::optional<Pending> ReadPending(QFile& file) {
    if (file.size() > kPendingLimit) {
        return std::nullopt;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    // Header, work, calls, "end", and the empty piece after the last "\n".
    if (lines.size() < 4 || lines[0] != kHeader || lines[lines.size() - 2] != kEnd ||
        !lines.back().isEmpty()) {
        return std::nullopt;
    }
    Pending pending;
    pending.work = lines[1];
    if (pending.work != kDeleteWork && pending.work != kRestoreWork) {
        return std::nullopt;
    }
    for (qsizetype i = 2; i < lines.size() - 2; ++i) {
        const QList<QByteArray> fields = lines[i].split(' ');
        if (fields.size() != 3 && fields.size() != 5) {
            return std::nullopt;
        }
        PendingCall call;
        bool number = false;
        call.number = fields[0].toInt(&number);
        call.digest = fields[1];
        call.fileName = FromField(fields[2]);
        if (!number || !IsPlainName(call.fileName)) {
            return std::nullopt;
        }
        if (fields.size() == 5) {
            call.trash.file = FromField(fields[3]);
            call.trash.info = FromField(fields[4]);
        }
        pending.calls.push_back(std::move(call));
    }
    return pending;
}

// The records at `sorted` (ascending) in one pass over the index; a number
// past the end gives nothing.
std::vector<std::optional<CallRecord>> RecordsAt(const QString& folder,
                                                 const std::vector<qint32>& sorted) {
    std::vector<std::optional<CallRecord>> found(sorted.size());
    size_t next = 0;
    qint32 number = 0;
    ForEachCallRecord(folder, [&](const CallRecord& record) {
        ++number;
        while (next < sorted.size() && sorted[next] < number) {
            ++next;
        }
        if (next < sorted.size() && sorted[next] == number) {
            found[next] = record;
            ++next;
        }
    });
    return found;
}

// Whether every call of a pending file stands at its number in the index.
bool AllInIndex(const QString& folder, const std::vector<PendingCall>& calls) {
    std::vector<PendingCall> sorted = calls;
    std::sort(sorted.begin(), sorted.end(),
              [](const PendingCall& a, const PendingCall& b) { return a.number < b.number; });
    std::vector<qint32> numbers;
    for (const PendingCall& call : sorted) {
        numbers.push_back(call.number);
    }
    const std::vector<std::optional<CallRecord>> records = RecordsAt(folder, numbers);
    for (size_t i = 0; i < sorted.size(); ++i) {
        if (!records[i] || Digest(*records[i]) != sorted[i].digest) {
            return false;
        }
    }
    return true;
}

// Syncs the recordings folder and the trash folders the files went to or
// came from, so the moves reach the disk before the pending file goes.
void SyncMoves(const QString& folder, const std::vector<TrashEntry>& entries) {
    QSet<QString> folders{folder};
    for (const TrashEntry& entry : entries) {
        if (!entry.IsEmpty()) {
            folders.insert(QFileInfo(entry.file).path());
            folders.insert(QFileInfo(entry.info).path());
        }
    }
    for (const QString& path : folders) {
        SyncFolder(path);
    }
}

}  // namespace

void FollowRemovedRecords(std::vector<DeletedCalls>& deletes, std::vector<qint32> removed) {
    std::sort(removed.begin(), removed.end());
    removed.erase(std::unique(removed.begin(), removed.end()), removed.end());
    for (auto entry = deletes.rbegin(); entry != deletes.rend() && !removed.empty(); ++entry) {
        // A deleted call goes back just before the record that followed it:
        // its slot, numbered as the index stood after its delete. A record
        // removed before the slot moves it down by one.
        std::vector<qint32> slots;
        slots.reserve(entry->calls.size());
        for (size_t i = 0; i < entry->calls.size(); ++i) {
            const qint32 slot = entry->calls[i].number - static_cast<qint32>(i);
            slots.push_back(slot);
            const auto before = std::lower_bound(removed.begin(), removed.end(), slot);
            entry->calls[i].number -= static_cast<qint32>(before - removed.begin());
        }
        // The same records numbered as before this delete, for the older one.
        for (qint32& number : removed) {
            const auto ahead = std::upper_bound(slots.begin(), slots.end(), number);
            number += static_cast<qint32>(ahead - slots.begin());
        }
    }
}

QString PendingCallWorkFile(const QString& folder) {
    const QString index = CallIndexFile(folder);
    return index.isEmpty() ? QString() : index + QStringLiteral(".pending");
}

std::optional<DeletedCalls> DeleteCalls(std::vector<CallRef> calls, const QString& folder,
                                        const std::function<void(int)>& progress) {
    if (CallIndexFile(folder).isEmpty()) {
        return std::nullopt;
    }
    std::sort(calls.begin(), calls.end(),
              [](const CallRef& a, const CallRef& b) { return a.number < b.number; });
    calls.erase(std::unique(calls.begin(), calls.end()), calls.end());
    DeletedCalls deleted;
    deleted.folder = FolderPath(folder);
    if (calls.empty()) {
        return deleted;
    }
    // Each call must still be where the caller saw it.
    std::vector<qint32> numbers;
    for (const CallRef& call : calls) {
        numbers.push_back(call.number);
    }
    const std::vector<std::optional<CallRecord>> records = RecordsAt(folder, numbers);
    std::vector<PendingCall> pending;
    for (size_t i = 0; i < calls.size(); ++i) {
        if (i > 0 && calls[i].number == calls[i - 1].number) {
            return std::nullopt;  // one number, two names
        }
        if (!records[i] || !NamesCall(*records[i], calls[i].fileName)) {
            return std::nullopt;
        }
        DeletedCall call;
        call.number = calls[i].number;
        call.record = *records[i];
        call.fileName = calls[i].fileName;
        deleted.calls.push_back(call);
        pending.push_back({call.number, Digest(call.record), call.fileName, {}});
    }

    if (!WritePending(folder, PendingText(kDeleteWork, pending))) {
        return std::nullopt;
    }
    if (StopsHere(CallWorkStep::kPendingWritten)) {
        return std::nullopt;
    }
    if (!DeleteCallRecords(numbers, folder)) {
        RemovePending(folder);
        return std::nullopt;
    }
    if (StopsHere(CallWorkStep::kIndexRewritten)) {
        return std::nullopt;
    }
    // The records are gone: from here on the files follow, now or, after a
    // crash, at the next start.
    std::vector<TrashEntry> entries;
    int moved = 0;
    for (DeletedCall& call : deleted.calls) {
        const QString path = InFolder(folder, call.fileName);
        call.hadFile = Exists(path);
        if (call.hadFile && MoveToTrash(path, &call.trash) == TrashOutcome::kFailed) {
            WriteSysLog(QStringLiteral("Cannot move %1 to the trash or remove it").arg(path), 0,
                        QStringLiteral("DeleteCalls"));
        }
        entries.push_back(call.trash);
        ++moved;
        if (progress) {
            progress(moved);
        }
        if (StopsHere(CallWorkStep::kFileMoved, moved)) {
            return std::nullopt;
        }
    }
    SyncMoves(folder, entries);
    RemovePending(folder);
    return deleted;
}

RestoredCalls RestoreCalls(const DeletedCalls& deleted) {
    RestoredCalls restored;
    const QString& folder = deleted.folder;
    struct Plan {
        const DeletedCall* call;
        bool move;
    };
    std::vector<Plan> plans;
    for (const DeletedCall& call : deleted.calls) {
        const QString original = InFolder(folder, call.fileName);
        if (Exists(original) || !call.hadFile) {
            // Back in place already (brought back by hand), or never had one.
            plans.push_back({&call, false});
        } else if (!call.trash.IsEmpty() && Exists(call.trash.file)) {
            plans.push_back({&call, true});
        } else {
            ++restored.lost;
        }
    }
    // Each record goes back where it was among the records that stayed;
    // calls stored since the delete stay after them.
    const qint32 kept = CallRecordCount(folder);
    std::vector<std::pair<qint32, CallRecord>> inserts;
    std::vector<PendingCall> pending;
    std::vector<TrashEntry> entries;
    qint32 written = 0;
    qint32 keptUsed = 0;
    size_t plan = 0;
    for (const DeletedCall& call : deleted.calls) {
        const qint32 before = std::min(call.number - 1 - written, kept - keptUsed);
        if (before > 0) {
            written += before;
            keptUsed += before;
        }
        if (plan < plans.size() && plans[plan].call == &call) {
            ++written;
            inserts.emplace_back(written, call.record);
            restored.calls.push_back({written, call.fileName});
            PendingCall line{written, Digest(call.record), call.fileName, {}};
            if (plans[plan].move) {
                line.trash = call.trash;
                entries.push_back(call.trash);
            }
            pending.push_back(std::move(line));
            ++plan;
        }
    }
    if (inserts.empty()) {
        restored.ok = true;
        return restored;
    }
    if (!WritePending(folder, PendingText(kRestoreWork, pending))) {
        restored.calls.clear();
        return restored;
    }
    if (StopsHere(CallWorkStep::kPendingWritten)) {
        return restored;
    }
    if (!InsertCallRecords(inserts, folder)) {
        RemovePending(folder);
        restored.calls.clear();
        return restored;
    }
    restored.ok = true;
    if (StopsHere(CallWorkStep::kIndexRewritten)) {
        return restored;
    }
    int moved = 0;
    for (const TrashEntry& entry : entries) {
        if (!RestoreFromTrash(entry)) {
            WriteSysLog(QStringLiteral("Cannot bring %1 back from the trash").arg(entry.original),
                        0, QStringLiteral("RestoreCalls"));
        }
        if (StopsHere(CallWorkStep::kFileMoved, ++moved)) {
            return restored;
        }
    }
    SyncMoves(folder, entries);
    RemovePending(folder);
    return restored;
}

bool FinishInterruptedCallWork(const QString& folder) {
    const QString path = PendingCallWorkFile(folder);
    if (path.isEmpty()) {
        return false;
    }
    // Never through a link, and a FIFO planted under its name cannot hang
    // the start.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    QFile file;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        WriteSysLog(QStringLiteral("Left alone: not a regular file: ") + path, 0,
                    QStringLiteral("DeleteCalls"));
        return false;
    }
    const std::optional<Pending> pending = ReadPending(file);
    file.close();
    if (pending && !pending->calls.empty()) {
        const bool inIndex = AllInIndex(folder, pending->calls);
        std::vector<TrashEntry> entries;
        if (pending->work == kDeleteWork && !inIndex) {
            // The records went: so do their files.
            QStringList waves;
            for (const PendingCall& call : pending->calls) {
                const QString wave = InFolder(folder, call.fileName);
                TrashEntry entry;
                if (Exists(wave)) {
                    MoveToTrash(wave, &entry);
                    entries.push_back(entry);
                }
                waves << wave;
            }
            RemoveOrphanedTrashInfo(waves);
            WriteSysLog(QStringLiteral("Finished deleting %1 calls of %2 cut short at the last run")
                            .arg(pending->calls.size())
                            .arg(CallIndexFile(folder)),
                        0, QStringLiteral("DeleteCalls"));
        } else if (pending->work == kRestoreWork && inIndex) {
            // The records came back: so do their files.
            for (const PendingCall& call : pending->calls) {
                if (call.trash.IsEmpty()) {
                    continue;
                }
                TrashEntry entry = call.trash;
                entry.original = QFileInfo(InFolder(folder, call.fileName)).absoluteFilePath();
                if (!IsTrashEntryOf(entry, entry.original)) {
                    continue;
                }
                if (!Exists(entry.original) && Exists(entry.file)) {
                    RestoreFromTrash(entry);
                } else if (!Exists(entry.file)) {
                    ::unlink(QFile::encodeName(entry.info).constData());
                }
                entries.push_back(entry);
            }
            WriteSysLog(QStringLiteral("Finished bringing back %1 calls of %2 cut short at the "
                                       "last run")
                            .arg(pending->calls.size())
                            .arg(CallIndexFile(folder)),
                        0, QStringLiteral("RestoreCalls"));
        }
        SyncMoves(folder, entries);
    }
    // Done, or nothing was changed (the index was never rewritten).
    QFile::remove(path);
    return true;
}

CallWorkHook SetCallWorkHookForTesting(CallWorkHook hook) {
    return std::exchange(Hook(), std::move(hook));
}

}  // namespace orvane
