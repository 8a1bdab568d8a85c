#include "journal/journal_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "core/common_functions.h"
#include "core/paths.h"
#include "core/posix_file.h"
#include "core/private_folder.h"
#include "core/stored_moment.h"

namespace orvane {
namespace {

const QString kSystemSuffix = QStringLiteral("_Sys.txt");
const QString kCallsSuffix = QStringLiteral("_Calls.txt");
const QString kProtectedName = QStringLiteral("LogDir");

bool IsLineBreak(char16_t c) {
    return c == u'\r' || c == u'\n' || c == 0x0B || c == 0x0C || c == 0x85 || c == 0x2028 ||
           c == 0x2029;
}

bool IsControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Text from outside (a caller's name, a device name) must not be able to
// start a journal line of its own, nor bloat the file.
QString CleanValue(const QString& value) {
    QString clean;
    clean.reserve(std::min(value.size(), kJournalValueLimit + 3));
    for (qsizetype i = 0; i < value.size() && clean.size() <= kJournalValueLimit; ++i) {
        const char16_t c = value.at(i).unicode();
        if (c == u'\r' && i + 1 < value.size() && value.at(i + 1) == QLatin1Char('\n')) {
            clean += QLatin1Char(' ');
            ++i;
        } else if (IsLineBreak(c)) {
            clean += QLatin1Char(' ');
        } else if (IsControl(c)) {
            clean += QLatin1Char('?');
        } else {
            clean += value.at(i);
        }
    }
    if (clean.size() > kJournalValueLimit) {
        qsizetype cut = kJournalValueLimit;
        if (clean.at(cut - 1).isHighSurrogate()) {
            --cut;
        }
        clean.truncate(cut);
        clean += QStringLiteral("...");
    }
    return clean;
}

// A name that stays inside the folder it is joined to.
bool IsPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(u'\0'));
}

bool IsRegularFile(const QString& path, struct stat* info) {
    return ::lstat(QFile::encodeName(path).constData(), info) == 0 && S_ISREG(info->st_mode);
}

QString KindPattern(JournalKind kind) {
    switch (kind) {
        case JournalKind::System:
            return QLatin1Char('*') + kSystemSuffix;
        case JournalKind::Calls:
            return QLatin1Char('*') + kCallsSuffix;
        case JournalKind::All:
            break;
    }
    return QStringLiteral("*.txt");
}

// Visible regular files of a folder matching a pattern, by name; links are
// left out so nothing outside the folder is read or counted.
QStringList RegularFiles(const QString& folder, const QString& pattern) {
    const QDir dir(folder);
    if (!dir.exists()) {
        return {};
    }
    QStringList names =
        dir.entryList(QStringList{pattern}, QDir::Files | QDir::NoSymLinks, QDir::Name);
    names.removeIf([&folder](const QString& name) {
        struct stat info {};
        return !IsRegularFile(folder + name, &info);
    });
    return names;
}

// The day a journal file's name starts with: today's files are named by
// the ISO day; older ones by the locale's short date of their time, with
// "/" and ":" as "-" ("12-7-26_Sys.txt", "07.12.2026_Sys.txt",
// "9 Dec 2026_Sys.txt"), read whatever locale wrote them.
QDate DayOfName(const QString& name, StoredMomentReader& reader) {
    const QString dayPart = name.section(QLatin1Char('_'), 0, 0);
    return reader.ReadDate(dayPart);
}

}  // namespace

JournalWriter::JournalWriter(QString folder, const Clock& clock, QLocale locale)
    : folder_(std::move(folder)), clock_(&clock), locale_(std::move(locale)) {
    if (!folder_.endsWith(QLatin1Char('/'))) {
        folder_ += QLatin1Char('/');
    }
}

JournalWriter::JournalWriter(FollowProgram) : followProgram_(true), clock_(&SystemTime()) {}

void JournalWriter::setSwitches(bool system, bool calls) {
    systemOn_ = system;
    callsOn_ = calls;
}

QString JournalWriter::folder() const {
    return followProgram_ ? paths::JournalFolder() : folder_;
}

QLocale JournalWriter::locale() const {
    return followProgram_ ? QLocale() : locale_;
}

QString JournalWriter::dayText() const {
    // The ISO day, not the locale's: a change of LANG during the day must
    // not split the day's journal into files of other names.
    return clock_->now().date().toString(Qt::ISODate);
}

QString JournalWriter::systemFileName() const {
    return dayText() + kSystemSuffix;
}

QString JournalWriter::callsFileName() const {
    return dayText() + kCallsSuffix;
}

void JournalWriter::WriteSysLog(const QString& description, qint32 number, const QString& source) {
    WriteSysLogLines(QStringList{description}, number, source);
}

void JournalWriter::WriteSysLogLines(const QStringList& lines, qint32 number,
                                     const QString& source) {
    if (!systemOn_) {
        return;
    }
    QStringList cleanLines;
    cleanLines.reserve(lines.size());
    for (const QString& line : lines) {
        cleanLines += CleanValue(line);
    }
    const QString entry = LongTimeText(clock_->now().time(), locale()) + QStringLiteral(" : ") +
                          CleanValue(source) + QStringLiteral("->") +
                          cleanLines.join(QStringLiteral("\r\n")) + QLatin1Char('(') +
                          QString::number(number) + QLatin1Char(')');
    appendEntry(systemFileName(), entry);
}

void JournalWriter::WriteCallsLog(const QString& text) {
    if (!callsOn_) {
        return;
    }
    appendEntry(callsFileName(), LongTimeText(clock_->now().time(), locale()) +
                                     QStringLiteral(" : ") + CleanValue(text));
}

void JournalWriter::appendEntry(const QString& fileName, const QString& entry) const {
    if (!IsPlainFileName(fileName)) {
        return;
    }
    // No O_CREAT of the folder, no following a link planted under today's
    // name, no hanging on a FIFO.
    if (followProgram_) {
        // The user's journal folder is made at the first line it gets.
        MakePrivateFolders(folder());
    }
    const QByteArray path = QFile::encodeName(folder() + fileName);
    const int fd = ::open(
        path.constData(),
        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        return;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        // One write of the whole entry; when the disk fills up halfway, the
        // torn entry is cut off again so the file keeps whole lines only.
        if (!WriteAll(fd, entry.toUtf8() + "\r\n")) {
            [[maybe_unused]] const int ignored = ::ftruncate(fd, info.st_size);
        }
    }
    ::close(fd);
}

QStringList JournalWriter::ListLogFiles(JournalKind kind) const {
    const QString dir = folder();
    const QStringList names = RegularFiles(dir, KindPattern(kind));
    StoredMomentReader reader(locale());
    std::vector<std::pair<QDate, QString>> days;
    days.reserve(static_cast<size_t>(names.size()));
    for (const QString& name : names) {
        days.emplace_back(DayOfName(name, reader), name);
    }
    // Stable, so files of one day keep their order by name.
    std::stable_sort(days.begin(), days.end(), [](const auto& a, const auto& b) {
        if (a.first.isValid() != b.first.isValid()) {
            return a.first.isValid();
        }
        return a.first > b.first;
    });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const auto& entry : days) {
        sorted += entry.second;
    }
    return sorted;
}

QStringList JournalWriter::ReadLogFile(const QString& name) const {
    if (!IsPlainFileName(name)) {
        return {};
    }
    const QByteArray path = QFile::encodeName(folder() + name);
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return {};
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    const QString text = QString::fromUtf8(file.readAll());

    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines += text.mid(start, i - start);
            if (c == QLatin1Char('\r') && i + 1 < text.size() &&
                text.at(i + 1) == QLatin1Char('\n')) {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines += text.mid(start);
    }
    return lines;
}

void JournalWriter::DeleteLogFile(const QString& name) const {
    if (!IsPlainFileName(name)) {
        return;
    }
    const QString path = folder() + name;
    struct stat info {};
    if (IsRegularFile(path, &info)) {
        ::unlink(QFile::encodeName(path).constData());
    }
}

void JournalWriter::DeleteOldLogs(qint32 months) const {
    // Zero or fewer months would put the cutoff at today or later and wipe
    // the journal; those values mean "keep everything".
    if (months <= 0) {
        return;
    }
    QDateTime cutoff = clock_->now();
    cutoff.setDate(cutoff.date().addMonths(-months));  // 31 March - 1 month = end of February
    cutoff.setTime(QTime(0, 0));
    const qint64 cutoffSecs = cutoff.toSecsSinceEpoch();

    const QString dir = folder();
    for (const QString& name : RegularFiles(dir, QStringLiteral("*"))) {
        if (name == kProtectedName) {
            continue;
        }
        const QString path = dir + name;
        struct stat info {};
        if (!IsRegularFile(path, &info)) {
            continue;
        }
        const bool atOrBefore = info.st_mtim.tv_sec < cutoffSecs ||
                                (info.st_mtim.tv_sec == cutoffSecs && info.st_mtim.tv_nsec == 0);
        if (atOrBefore) {
            ::unlink(QFile::encodeName(path).constData());
        }
    }
}

JournalWriter& ProgramJournal() {
    static JournalWriter journal{JournalWriter::FollowProgram{}};
    return journal;
}

void SetJournalSwitches(bool system, bool calls) {
    ProgramJournal().setSwitches(system, calls);
}

void WriteSysLog(const QString& description, qint32 number, const QString& source) {
    ProgramJournal().WriteSysLog(description, number, source);
}

void WriteSysLogLines(const QStringList& lines, qint32 number, const QString& source) {
    ProgramJournal().WriteSysLogLines(lines, number, source);
}

void WriteCallsLog(const QString& text) {
    ProgramJournal().WriteCallsLog(text);
}

void DeleteLogFile(const QString& name) {
    ProgramJournal().DeleteLogFile(name);
}

void DeleteOldLogs(qint32 months) {
    ProgramJournal().DeleteOldLogs(months);
}

}  // namespace orvane
