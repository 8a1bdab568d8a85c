#pragma once
// The calls of one recordings folder as the running program knows them: the
// records of its index file "Data" held in memory, every write made through
// the file functions (call_store.h, call_deletion.h: the 467-byte records and
// their crash-safe writes) and announced once it is on disk.
//
// A call is known by its record number, 1..Count(), which the signals keep
// in step: callAdded(n) moves the calls from n on up by one, callsRemoved
// moves each later call down by the removed calls before it. Whoever holds
// numbers applies those signals in order and stays right; a CallRef (number
// and file name) is what survives a full re-read (callsReset).
//
// Someone else's write (another program, a restored backup, orvane-reg) is
// noticed by watching the file and the folder: a change that the stamp of
// the store's own last write (size, modification time, inode) does not
// explain re-reads the file and resets.

#include <QObject>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "calls/store/call_deletion.h"
#include "calls/store/call_record.h"

class QFileSystemWatcher;

namespace orvane {

// The file operations the store calls; tests hand in fakes. An empty
// function does nothing and reports failure (reading gives no records).
struct CallStoreOps {
    // Hands each record of the folder's index to `visit`, oldest first.
    std::function<void(const QString& folder, const std::function<void(const CallRecord&)>& visit)>
        forEachRecord;
    std::function<bool(const CallRecord& record, const QString& folder)> appendRecord;
    std::function<bool(const CallRecord& record, const QString& folder, qint32 number)> writeRecord;
    std::function<bool(qint32 number, const QString& folder, const QString& value)> setReadFlag;
    std::function<bool(qint32 number, const QString& folder, const QString& value)> setUserMark;
    // Deletes calls, records and files together (DeleteCalls); empty when
    // refused. `progress` is told each call's position as its file goes.
    std::function<std::optional<DeletedCalls>(std::vector<CallRef> calls, const QString& folder,
                                              const std::function<void(int)>& progress)>
        deleteCalls;
    // Brings deleted calls back (RestoreCalls).
    std::function<RestoredCalls(const DeletedCalls& deleted)> restoreCalls;
    // Completes what a crash interrupted in a folder (FinishInterruptedCallWork).
    std::function<bool(const QString& folder)> finishInterruptedWork;
};

// The operations of the call index files on disk (calls/store).
CallStoreOps FileCallStore();

class CallStore final : public QObject {
    Q_OBJECT
  public:
    explicit CallStore(CallStoreOps ops = FileCallStore(), QObject* parent = nullptr);
    ~CallStore() override;

    void SetOps(CallStoreOps ops) { ops_ = std::move(ops); }

    // Reads the folder's index anew and resets. The first time a folder is
    // opened, work a crash interrupted there is finished first (a record
    // and its file go together). Watches the file from then on.
    void Open(const QString& folder);
    // The same from records already read (nothing is watched).
    void Replace(const std::vector<CallRecord>& records, const QString& folder);
    const QString& Folder() const { return folder_; }

    qint32 Count() const { return static_cast<qint32>(records_.size()); }
    // Record `number` (1..Count()); an empty record outside that range.
    const CallRecord& Record(qint32 number) const;

    // Writes. Each returns whether the file took it; nothing changes in
    // memory and nothing is announced when it did not.
    //
    // Appends a call to `folder`'s index; announced when that is the open
    // folder (a call recorded into the folder of before ends there).
    bool Append(const CallRecord& record, const QString& folder);
    bool Write(qint32 number, const CallRecord& record);
    bool SetReadFlag(qint32 number, const QString& value);
    bool SetUserMark(qint32 number, const QString& value);
    // Deletes these calls of the open folder, records and files (DeleteCalls).
    std::optional<DeletedCalls> Delete(std::vector<CallRef> calls,
                                       const std::function<void(int)>& progress = {});
    // Brings deleted calls of the open folder back (RestoreCalls); each
    // comes back as a callAdded at its number.
    RestoredCalls Restore(const DeletedCalls& deleted);

    // Re-reads when the file is no longer as the store left it. The
    // watcher calls it; returns whether it re-read.
    bool CheckForOutsideChange();

  Q_SIGNALS:
    // A call is at `number` now; the calls from there on moved up by one.
    void callAdded(qint32 number);
    // The record at `number` was written.
    void callChanged(qint32 number);
    // These records (ascending, numbered as before the removal) are gone.
    void callsRemoved(const std::vector<qint32>& numbers);
    // Every record was read anew (another folder, or someone else's write).
    void callsReset();

  private:
    struct Stamp {
        qint64 size = -1;
        qint64 modified = 0;  // nanoseconds
        quint64 inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    using FlagWrite = std::function<bool(qint32, const QString&, const QString&)>;
    // One flag of record `number` through `write`, then in memory.
    bool SetFlag(qint32 number, const QString& value, const FlagWrite& write, CallField field);
    Stamp StampNow() const;
    void TakeStamp();
    void Read(const QString& folder);
    void Watch();

    CallStoreOps ops_;
    QString folder_;
    bool opened_ = false;  // a folder was read from its file
    std::vector<CallRecord> records_;
    Stamp stamp_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
};

}  // namespace orvane
