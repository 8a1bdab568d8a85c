#include "calls/screening/screening_file.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <algorithm>
#include <cstring>
#include <utility>

#include "core/atomic_file.h"
#include "core/private_folder.h"
#include "journal/journal_writer.h"

namespace orvane {
namespace {

const QString kJournalSource = QStringLiteral("Screening");
constexpr char kHeader[] = "orvane-screening\t1";

// One word of the file for each value, in the enum's order.
const char* const kRecordWords[] = {"always", "never", "ask"};
const char* const kActionWords[] = {"hangup", "message"};
const char* const kKindWords[] = {"number", "contact", "withheld", "unknown"};

template <typename Enum, std::size_t N>
std::optional<Enum> WordToEnum(const QByteArray& word, const char* const (&words)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        if (word == words[i]) {
            return static_cast<Enum>(i);
        }
    }
    return std::nullopt;
}

// The match in `fields` from `at` on: a kind and, for numbers and
// contacts, a value (a number that is no pattern is unread).
std::optional<CallerMatch> MatchOf(const QList<QByteArray>& fields, qsizetype at) {
    if (fields.size() <= at) {
        return std::nullopt;
    }
    const auto kind = WordToEnum<CallerMatch::Kind>(fields[at], kKindWords);
    if (!kind) {
        return std::nullopt;
    }
    CallerMatch match{*kind, QString()};
    const bool valued = *kind == CallerMatch::Kind::kNumber || *kind == CallerMatch::Kind::kContact;
    if (fields.size() != at + (valued ? 2 : 1)) {
        return std::nullopt;
    }
    if (valued) {
        match.value = QString::fromUtf8(fields[at + 1]).trimmed();
        if (match.value.isEmpty() ||
            (*kind == CallerMatch::Kind::kNumber && !CleanNumberPattern(match.value))) {
            return std::nullopt;
        }
    }
    return match;
}

QByteArray MatchText(const CallerMatch& match) {
    QByteArray text = kKindWords[static_cast<int>(match.kind)];
    if (match.kind == CallerMatch::Kind::kNumber || match.kind == CallerMatch::Kind::kContact) {
        // A tab or line break in a name would split the line.
        QString value = match.value;
        value.replace(QLatin1Char('\t'), QLatin1Char(' '));
        value.replace(QLatin1Char('\n'), QLatin1Char(' '));
        value.replace(QLatin1Char('\r'), QLatin1Char(' '));
        text += '\t' + value.toUtf8();
    }
    return text;
}

bool ParseLine(const QList<QByteArray>& f, ScreeningRules& rules) {
    const QByteArray& what = f[0];
    if (what == "orvane-screening") {
        return f.size() == 2 && f[1] == "1";
    }
    if (what == "everyone-else" && f.size() == 2) {
        const auto choice = WordToEnum<RecordMode>(f[1], kRecordWords);
        if (choice) {
            rules.everyoneElse = *choice;
        }
        return choice.has_value();
    }
    if (what == "allow-list-mode" && f.size() == 2 && (f[1] == "on" || f[1] == "off")) {
        rules.allowListMode = f[1] == "on";
        return true;
    }
    if (what == "record" && f.size() >= 3) {
        const auto choice = WordToEnum<RecordMode>(f[1], kRecordWords);
        const auto match = MatchOf(f, 2);
        if (choice && match) {
            rules.recordRules.push_back({*match, *choice});
        }
        return choice && match;
    }
    if (what == "block" && f.size() >= 3) {
        const auto action = WordToEnum<BlockAction>(f[1], kActionWords);
        const auto match = MatchOf(f, 2);
        if (action && match) {
            rules.blockList.push_back({*match, *action});
        }
        return action && match;
    }
    if (what == "allow") {
        const auto match = MatchOf(f, 1);
        if (match) {
            rules.allowList.push_back(*match);
        }
        return match.has_value();
    }
    return false;
}

}  // namespace

ScreeningText ParseScreening(const QByteArray& text) {
    ScreeningText read;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (line.trimmed().isEmpty() || line.startsWith('#')) {
            continue;
        }
        if (!ParseLine(line.split('\t'), read.rules)) {
            ++read.unreadLines;
        }
    }
    return read;
}

QByteArray FormatScreening(const ScreeningRules& rules) {
    QByteArray text = QByteArray(kHeader) + '\n';
    text +=
        QByteArray("everyone-else\t") + kRecordWords[static_cast<int>(rules.everyoneElse)] + '\n';
    text += QByteArray("allow-list-mode\t") + (rules.allowListMode ? "on" : "off") + '\n';
    for (const RecordRule& rule : rules.recordRules) {
        text += QByteArray("record\t") + kRecordWords[static_cast<int>(rule.choice)] + '\t' +
                MatchText(rule.match) + '\n';
    }
    for (const BlockEntry& entry : rules.blockList) {
        text += QByteArray("block\t") + kActionWords[static_cast<int>(entry.action)] + '\t' +
                MatchText(entry.match) + '\n';
    }
    for (const CallerMatch& allowed : rules.allowList) {
        text += "allow\t" + MatchText(allowed) + '\n';
    }
    return text;
}

ScreeningFile::ScreeningFile(QString path) : path_(std::move(path)) {}

QString ScreeningFile::DefaultFile() {
    return UserFilePath(QStringLiteral("Screening.txt"));
}

ScreeningFile::LoadOutcome ScreeningFile::Load() {
    rules_ = ScreeningRules();
    setAside_.clear();
    readOnly_ = false;
    if (path_.isEmpty() || !QFileInfo::exists(path_)) {
        return LoadOutcome::kMissing;
    }
    QFile file(path_);
    ScreeningText read;
    if (file.open(QIODevice::ReadOnly)) {
        read = ParseScreening(file.readAll());
    } else {
        read.unreadLines = 1;
    }
    rules_ = read.rules;
    if (read.unreadLines == 0) {
        return LoadOutcome::kLoaded;
    }
    const QString aside = path_ + QStringLiteral(".unreadable-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const CopyResult copy = CopyFileUnchanged(path_, aside);
    const QString what = QStringLiteral("Screening rules ") + path_ + QStringLiteral(": ") +
                         QString::number(read.unreadLines) + QStringLiteral(" lines unread");
    if (copy.ok) {
        setAside_ = aside;
        WriteSysLog(what + QStringLiteral(", kept as ") + aside, 0, kJournalSource);
        return LoadOutcome::kSetAside;
    }
    readOnly_ = true;
    WriteSysLog(what + QStringLiteral(" and not copied aside (") + copy.error +
                    QStringLiteral("): it is not written"),
                0, kJournalSource);
    return LoadOutcome::kReadOnly;
}

bool ScreeningFile::Save(const ScreeningRules& rules) {
    lastError_.clear();
    if (path_.isEmpty()) {
        rules_ = rules;
        return true;
    }
    if (readOnly_) {
        lastError_ = QStringLiteral("the unreadable file was not copied aside");
        return false;
    }
    const int error = ReplaceFileContent(path_, FormatScreening(rules), NewFileMode{});
    if (error != 0) {
        lastError_ = QString::fromLocal8Bit(std::strerror(error));
        WriteSysLog(QStringLiteral("Screening rules ") + path_ + QStringLiteral(" not written: ") +
                        lastError_,
                    error, kJournalSource);
        return false;
    }
    rules_ = rules;
    return true;
}

ScreeningFile::BlockOutcome ScreeningFile::BlockNumber(const QString& number,
                                                       const NumberPlan& plan) {
    const QString digits = NumberDigits(number);
    if (CallerIdStateOf(number) != CallerIdState::kPresent || !CleanNumberPattern(digits)) {
        return BlockOutcome::kNoNumber;
    }
    const ScreenedCaller caller{CallerIdState::kPresent, number, QString()};
    ScreeningRules rules = rules_;
    // A plain allow entry for this number; patterns and contacts are the
    // user's wider choices and stay.
    const auto sameNumber = [&](const CallerMatch& allowed) {
        return allowed.kind == CallerMatch::Kind::kNumber &&
               !allowed.value.contains(QLatin1Char('*')) &&
               !allowed.value.contains(QLatin1Char('?')) && Matches(allowed, caller, plan);
    };
    const bool unallowed = std::erase_if(rules.allowList, sameNumber) > 0;
    const bool blocked =
        std::any_of(rules.blockList.begin(), rules.blockList.end(),
                    [&](const BlockEntry& entry) { return Matches(entry.match, caller, plan); });
    if (blocked && !unallowed) {
        return BlockOutcome::kAlreadyBlocked;
    }
    if (!blocked) {
        rules.blockList.push_back({{CallerMatch::Kind::kNumber, digits}, BlockAction::kHangUp});
    }
    if (!Save(rules)) {
        // The user asked for this caller to be stopped: blocked for this
        // run, and told that the file was not written.
        rules_ = std::move(rules);
        return BlockOutcome::kNotSaved;
    }
    return unallowed ? BlockOutcome::kBlockedAndUnallowed : BlockOutcome::kBlocked;
}

}  // namespace orvane
