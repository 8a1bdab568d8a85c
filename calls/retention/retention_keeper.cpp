#include "calls/retention/retention_keeper.h"

#include <QLocale>
#include <QStringList>

#include "calls/store/call_store.h"
#include "calls/store/stored_calls.h"
#include "journal/journal_writer.h"
#include "settings/pages/retention_settings.h"

namespace orvane {
namespace {

const QString kSource = QStringLiteral("Retention");

// "12 calls, 34.5 MB, moved to the trash by the retention rules: 10 older
// than 30 days, 2 shorter than 5 s".
QString JournalText(const RetentionChoice& gone, const RetentionRules& rules) {
    QStringList by;
    if (gone.byAge > 0) {
        by << QStringLiteral("%1 older than %2 days").arg(gone.byAge).arg(rules.maxAgeDays);
    }
    if (gone.byLength > 0) {
        by << QStringLiteral("%1 shorter than %2 s").arg(gone.byLength).arg(rules.minSeconds);
    }
    if (gone.bySize > 0) {
        by << QStringLiteral("%1 to keep the recordings under %2 MB")
                  .arg(gone.bySize)
                  .arg(rules.maxFolderMB);
    }
    return QStringLiteral("%1 calls, %2, moved to the trash by the retention rules: %3")
        .arg(gone.calls.size())
        .arg(QLocale::c().formattedDataSize(gone.bytes, 1, QLocale::DataSizeSIFormat))
        .arg(by.join(QStringLiteral(", ")));
}

}  // namespace

RetentionKeeper::RetentionKeeper(CallStore& store, RetentionSettings& settings, const Clock& clock,
                                 QObject* parent)
    : QObject(parent), store_(store), settings_(settings), clock_(clock) {
    const auto forget = [this] { calls_.reset(); };
    connect(&store_, &CallStore::callAdded, this, forget);
    connect(&store_, &CallStore::callChanged, this, forget);
    connect(&store_, &CallStore::callsRemoved, this, forget);
    connect(&store_, &CallStore::callsReset, this, [this] {
        calls_.reset();
        // Rules accepted over one folder wait over another.
        TellWaiting();
    });
    connect(&settings_, &SettingsPage::changed, this, &RetentionKeeper::FollowSettings);
}

RetentionRules RetentionKeeper::StoredRules() const {
    RetentionRules rules;
    rules.maxAgeDays = settings_.MaxAgeDays();
    rules.maxFolderMB = settings_.MaxFolderMB();
    rules.minSeconds = settings_.MinSeconds();
    rules.keepMarkedOrNoted = settings_.KeepMarkedOrNoted();
    return rules;
}

bool RetentionKeeper::WaitsForAcceptance() const {
    const RetentionRules rules = StoredRules();
    return rules.Active() && settings_.Accepted() != RulesFingerprint(rules, store_.Folder());
}

RetentionChoice RetentionKeeper::Preview(const RetentionRules& rules) {
    if (!rules.Active()) {
        return {};
    }
    if (!calls_) {
        calls_ = RetentionCallsOf(store_);
    }
    return ChooseForRetention(*calls_, rules, RetentionMoment(clock_.now()), Busy());
}

void RetentionKeeper::Start() {
    TellWaiting();
    Run();
}

void RetentionKeeper::FollowSettings() {
    TellWaiting();
    Run();
}

void RetentionKeeper::TellWaiting() {
    const bool waiting = WaitsForAcceptance();
    if (waiting) {
        const QString fingerprint = RulesFingerprint(StoredRules(), store_.Folder());
        if (fingerprint != told_) {
            told_ = fingerprint;
            WriteSysLog(
                QStringLiteral("The retention rules (%1) were not accepted with the preview "
                               "of this folder's calls and do not run until they are "
                               "(Properties, Retention)")
                    .arg(fingerprint),
                0, kSource);
        }
    } else {
        told_.clear();
    }
    if (waiting != waiting_) {
        waiting_ = waiting;
        Q_EMIT acceptanceNeeded(waiting);
    }
}

RetentionChoice RetentionKeeper::Run() {
    const RetentionRules rules = StoredRules();
    if (running_ || !rules.Active() || WaitsForAcceptance() || store_.Folder().isEmpty()) {
        return {};
    }
    running_ = true;
    // Read afresh: the files may have grown or gone since the last preview.
    calls_ = RetentionCallsOf(store_);
    RetentionChoice chosen =
        ChooseForRetention(*calls_, rules, RetentionMoment(clock_.now()), Busy());
    if (!chosen.IsEmpty()) {
        if (store_.Delete(chosen.calls)) {
            WriteSysLog(JournalText(chosen, rules), 0, kSource);
        } else {
            WriteSysLog(QStringLiteral("The retention rules could not remove %1 calls of %2; "
                                       "nothing was removed")
                            .arg(chosen.calls.size())
                            .arg(CallIndexFile(store_.Folder())),
                        0, kSource);
            chosen = {};
        }
    }
    running_ = false;
    return chosen;
}

QSet<QString> RetentionKeeper::Busy() const {
    return busy_ ? busy_() : QSet<QString>();
}

}  // namespace orvane
