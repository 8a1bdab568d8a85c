#include "calls/store/unrecorded_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QList>
#include <algorithm>
#include <cerrno>
#include <functional>

#include "core/atomic_file.h"
#include "core/posix_file.h"
#include "journal/journal_writer.h"

namespace orvane {
namespace {

const QString kFileName = QStringLiteral("Unrecorded.txt");
const QString kJournalSource = QStringLiteral("UnrecordedCalls");
const QString kMomentForm = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
// Far more than kUnrecordedCallsLimit lines can take; a bigger file is read
// only this far.
constexpr qint64 kReadLimit = 4 * 1024 * 1024;
// Caller ID is outside text: kept to the lengths the index keeps.
constexpr qsizetype kTextLimit = 64;

const char* KindWord(UnrecordedKind kind) {
    return kind == UnrecordedKind::kBlocked ? "blocked" : "unrecorded";
}

// A tab or line break in caller ID would split the line: blanks in their
// place, and no other control characters.
QString CleanField(const QString& text) {
    QString clean = text.left(kTextLimit);
    for (QChar& c : clean) {
        if (c.category() == QChar::Other_Control) {
            c = QChar::Space;
        }
    }
    return clean.trimmed();
}

bool HasControl(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

std::optional<UnrecordedCall> ParseLine(const QByteArray& line) {
    const QList<QByteArray> fields = line.split('\t');
    if (fields.size() != 4) {
        return std::nullopt;
    }
    UnrecordedCall call;
    call.moment = QDateTime::fromString(QString::fromLatin1(fields[0]), kMomentForm);
    if (!call.moment.isValid()) {
        return std::nullopt;
    }
    if (fields[1] == KindWord(UnrecordedKind::kBlocked)) {
        call.kind = UnrecordedKind::kBlocked;
    } else if (fields[1] == KindWord(UnrecordedKind::kNotRecorded)) {
        call.kind = UnrecordedKind::kNotRecorded;
    } else {
        return std::nullopt;
    }
    call.number = QString::fromUtf8(fields[2]);
    call.name = QString::fromUtf8(fields[3]);
    if (HasControl(call.number) || HasControl(call.name) || call.number.size() > kTextLimit ||
        call.name.size() > kTextLimit) {
        return std::nullopt;
    }
    return call;
}

// Reads, changes and replaces the file; a file with unread lines is copied
// aside first, and left alone when it cannot be.
bool Rewrite(const QString& folder, const std::function<void(std::vector<UnrecordedCall>&)>& change,
             const char* what) {
    const QString path = UnrecordedCallsFile(folder);
    if (path.isEmpty()) {
        return false;
    }
    UnrecordedCallsText read = ReadUnrecordedCalls(folder);
    if (read.unreadLines > 0) {
        const QString aside =
            path + QStringLiteral(".unreadable-") +
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        const CopyResult copy = CopyFileUnchanged(path, aside);
        const QString said = QStringLiteral("Unrecorded calls ") + path + QStringLiteral(": ") +
                             QString::number(read.unreadLines) + QStringLiteral(" lines unread");
        if (!copy.ok) {
            WriteSysLog(said + QStringLiteral(" and not copied aside (") + copy.error +
                            QStringLiteral("): it is not written"),
                        0, kJournalSource);
            return false;
        }
        WriteSysLog(said + QStringLiteral(", kept as ") + aside, 0, kJournalSource);
    }
    change(read.calls);
    const int error = ReplaceFileContent(path, FormatUnrecordedCalls(read.calls), UsersFileMode());
    if (error != 0) {
        WriteSysLog(QStringLiteral("Unrecorded calls ") + path + QStringLiteral(": ") +
                        QString::fromLatin1(what) + QStringLiteral(" not written: ") +
                        SystemErrorText(error),
                    error, kJournalSource);
        return false;
    }
    return true;
}

}  // namespace

QString UnrecordedCallsFile(const QString& folder) {
    if (folder.isEmpty()) {
        return {};
    }
    return folder.endsWith(QLatin1Char('/')) ? folder + kFileName
                                             : folder + QLatin1Char('/') + kFileName;
}

UnrecordedCallsText ParseUnrecordedCalls(const QByteArray& text) {
    UnrecordedCallsText read;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (line.trimmed().isEmpty()) {
            continue;
        }
        if (std::optional<UnrecordedCall> call = ParseLine(line)) {
            read.calls.push_back(std::move(*call));
        } else {
            ++read.unreadLines;
        }
    }
    return read;
}

QByteArray FormatUnrecordedCalls(const std::vector<UnrecordedCall>& calls) {
    QByteArray text;
    const size_t first = calls.size() > static_cast<size_t>(kUnrecordedCallsLimit)
                             ? calls.size() - static_cast<size_t>(kUnrecordedCallsLimit)
                             : 0;
    for (size_t i = first; i < calls.size(); ++i) {
        const UnrecordedCall& call = calls[i];
        text += call.moment.toString(kMomentForm).toLatin1() + '\t' + KindWord(call.kind) + '\t' +
                CleanField(call.number).toUtf8() + '\t' + CleanField(call.name).toUtf8() + '\n';
    }
    return text;
}

UnrecordedCallsText ReadUnrecordedCalls(const QString& folder) {
    UnrecordedCallsText read;
    const QString path = UnrecordedCallsFile(folder);
    if (path.isEmpty()) {
        return read;
    }
    // Never through a link, and never a FIFO that would hang the program.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        if (errno != ENOENT) {
            read.unreadLines = 1;
            WriteSysLog(QStringLiteral("Unrecorded calls ") + path + QStringLiteral(" not read: ") +
                            SystemErrorText(errno),
                        errno, kJournalSource);
        }
        return read;
    }
    struct stat info {};
    QByteArray text;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok) {
        text.resize(static_cast<qsizetype>(std::min<qint64>(info.st_size, kReadLimit)));
        qsizetype at = 0;
        while (at < text.size()) {
            const ssize_t got = ::read(fd, text.data() + at, static_cast<size_t>(text.size() - at));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            at += got;
        }
        text.truncate(at);
    }
    ::close(fd);
    if (!ok) {
        read.unreadLines = 1;
        WriteSysLog(QStringLiteral("Unrecorded calls ") + path +
                        QStringLiteral(" is not a regular file: not read"),
                    0, kJournalSource);
        return read;
    }
    read = ParseUnrecordedCalls(text);
    return read;
}

bool AddUnrecordedCall(const QString& folder, const UnrecordedCall& call) {
    return Rewrite(
        folder, [&call](std::vector<UnrecordedCall>& calls) { calls.push_back(call); }, "a call");
}

bool RemoveUnrecordedCalls(const QString& folder, const std::vector<UnrecordedCall>& calls) {
    return Rewrite(
        folder,
        [&calls](std::vector<UnrecordedCall>& held) {
            for (const UnrecordedCall& gone : calls) {
                const auto at = std::find(held.begin(), held.end(), gone);
                if (at != held.end()) {
                    held.erase(at);
                }
            }
        },
        "a removal");
}

}  // namespace orvane
