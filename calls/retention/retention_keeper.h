#pragma once
// Runs the retention rules over the open recordings folder: at start, after
// each call is stored and when the user accepts changed rules. Rules run
// only as the user accepted them with the preview of that folder's calls
// (the fingerprint in the settings); rules stored otherwise (orvane-reg,
// another copy) or another folder wait, and the keeper says so once per
// set of rules: a journal line and acceptanceNeeded(true), which the
// window shows until they are accepted.
//
// A run deletes through CallStore::Delete (records in one crash-safe
// rewrite, files into the desktop's trash) and writes one journal line when
// it removed something. It is not the user's delete: the list's undo does
// not bring it back (the files are in the trash).

#include <QObject>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "calls/retention/retention_rules.h"
#include "core/clock.h"

namespace orvane {

class CallStore;
class RetentionSettings;

class RetentionKeeper final : public QObject {
    Q_OBJECT
  public:
    // `store` and `settings` must outlive the keeper.
    RetentionKeeper(CallStore& store, RetentionSettings& settings,
                    const Clock& clock = SystemTime(), QObject* parent = nullptr);

    // File names of the open folder a run leaves alone this time (the call
    // being played); asked at each run.
    void SetBusyFiles(std::function<QSet<QString>()> busy) { busy_ = std::move(busy); }

    // The rules as stored.
    RetentionRules StoredRules() const;
    // The stored rules remove calls, but not as the user accepted them.
    bool WaitsForAcceptance() const;
    // What `rules` would remove from the open folder now.
    RetentionChoice Preview(const RetentionRules& rules);

    // The start: says whether rules wait, else runs them.
    void Start();
    // Runs the stored rules when they are accepted; returns what went.
    RetentionChoice Run();

  Q_SIGNALS:
    // The stored rules wait for the user's acceptance, or no longer do.
    void acceptanceNeeded(bool waiting);

  private:
    void FollowSettings();
    // Tells whether rules wait: the signal when that changed, the journal
    // once per set of rules.
    void TellWaiting();
    QSet<QString> Busy() const;

    CallStore& store_;
    RetentionSettings& settings_;
    const Clock& clock_;
    std::function<QSet<QString>()> busy_;
    // The calls as the rules see them, for previews; dropped whenever the
    // store changes.
    std::optional<std::vector<RetentionCall>> calls_;
    bool waiting_ = false;
    QString told_;
    bool running_ = false;
};

}  // namespace orvane
