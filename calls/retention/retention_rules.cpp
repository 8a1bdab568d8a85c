#include "calls/retention/retention_rules.h"

#include <sys/stat.h>

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <algorithm>
#include <limits>

#include "calls/list/calls_list_model.h"
#include "calls/store/call_record.h"
#include "calls/store/stored_calls.h"
#include "core/stored_moment.h"

namespace orvane {
namespace {

constexpr qint64 kSecondsPerDay = 86400;

}  // namespace

QString RulesFingerprint(const RetentionRules& rules, const QString& folder) {
    QString path = folder;
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    return QStringLiteral("days=%1 mb=%2 seconds=%3 keep=%4 folder=%5")
        .arg(rules.maxAgeDays)
        .arg(rules.maxFolderMB)
        .arg(rules.minSeconds)
        .arg(rules.keepMarkedOrNoted ? 1 : 0)
        .arg(path);
}

qint64 RetentionMoment(const QDateTime& moment) {
    return moment.date().toJulianDay() * kSecondsPerDay +
           moment.time().msecsSinceStartOfDay() / 1000;
}

qint32 DurationSeconds(QStringView text) {
    text = text.trimmed();
    if (text.isEmpty()) {
        return -1;
    }
    qint64 total = 0;
    int parts = 0;
    for (QStringView part : text.split(u':')) {
        // Minutes and seconds after the first part are two digits below 60.
        if (part.isEmpty() || part.size() > 6 || (parts > 0 && part.size() != 2)) {
            return -1;
        }
        qint64 value = 0;
        for (const QChar c : part) {
            if (c < u'0' || c > u'9') {
                return -1;
            }
            value = value * 10 + (c.unicode() - u'0');
        }
        if (parts > 0 && value >= 60) {
            return -1;
        }
        total = total * 60 + value;
        if (++parts > 3) {
            return -1;
        }
    }
    return total > std::numeric_limits<qint32>::max() ? -1 : static_cast<qint32>(total);
}

qint64 PlainFileSize(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return 0;
    }
    return static_cast<qint64>(info.st_size);
}

std::vector<RetentionCall> RetentionCallsOf(const CallStore& store, const FileSizeOf& sizeOf) {
    std::vector<RetentionCall> calls;
    calls.reserve(static_cast<size_t>(store.Count()));
    QString folder = store.Folder();
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    StoredMomentReader reader{QLocale()};
    for (qint32 number = 1; number <= store.Count(); ++number) {
        const CallRecord& record = store.Record(number);
        RetentionCall call;
        call.ref.number = number;
        call.readable = IsReadableCallRecord(record);
        if (call.readable) {
            call.ref.fileName = CallFileNameIn(
                folder, record.Get(CallField::CallerName), record.Get(CallField::CallerNumber),
                record.Get(CallField::CallDate), record.Get(CallField::CallTime));
            call.dated =
                reader.Read(record.Get(CallField::ExtraText), record.Get(CallField::CallDate),
                            record.Get(CallField::CallTime), call.moment);
            call.seconds = DurationSeconds(record.Get(CallField::Duration));
            // A never-noted call's note is NULs: only a real one is decoded.
            const std::string_view notes = record.GetBytes(CallField::Notes);
            call.kept = record.GetBytes(CallField::UserMark) == "1" ||
                        (!notes.empty() && notes.front() != '\0' &&
                         NotePresent(record.Get(CallField::Notes)));
            call.bytes = sizeOf ? std::max<qint64>(sizeOf(folder + call.ref.fileName), 0) : 0;
        }
        calls.push_back(std::move(call));
    }
    return calls;
}

RetentionChoice ChooseForRetention(const std::vector<RetentionCall>& calls,
                                   const RetentionRules& rules, qint64 now,
                                   const QSet<QString>& busy) {
    RetentionChoice choice;
    if (!rules.Active()) {
        return choice;
    }
    const auto mayGo = [&](const RetentionCall& call) {
        return call.readable && !(rules.keepMarkedOrNoted && call.kept) &&
               !busy.contains(call.ref.fileName);
    };
    std::vector<bool> going(calls.size(), false);
    qint64 total = 0;
    qint64 removed = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        const RetentionCall& call = calls[i];
        total += call.bytes;
        if (!mayGo(call)) {
            continue;
        }
        if (rules.maxAgeDays > 0 && call.dated &&
            now - call.moment > qint64{rules.maxAgeDays} * kSecondsPerDay) {
            going[i] = true;
            ++choice.byAge;
        } else if (rules.minSeconds > 0 && call.seconds >= 0 && call.seconds < rules.minSeconds) {
            going[i] = true;
            ++choice.byLength;
        }
        if (going[i]) {
            removed += call.bytes;
        }
    }
    if (rules.maxFolderMB > 0 && total - removed > rules.maxFolderMB * kRetentionBytesPerMB) {
        std::vector<size_t> oldest;
        for (size_t i = 0; i < calls.size(); ++i) {
            if (!going[i] && calls[i].dated && mayGo(calls[i])) {
                oldest.push_back(i);
            }
        }
        // Record order breaks ties: the earlier record was stored first.
        std::stable_sort(oldest.begin(), oldest.end(), [&calls](size_t a, size_t b) {
            return calls[a].moment < calls[b].moment;
        });
        qint64 kept = total - removed;
        for (size_t i : oldest) {
            if (kept <= rules.maxFolderMB * kRetentionBytesPerMB) {
                break;
            }
            going[i] = true;
            kept -= calls[i].bytes;
            ++choice.bySize;
        }
    }
    for (size_t i = 0; i < calls.size(); ++i) {
        if (going[i]) {
            choice.calls.push_back(calls[i].ref);
            choice.bytes += calls[i].bytes;
        }
    }
    return choice;
}

}  // namespace orvane
