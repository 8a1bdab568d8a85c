#include "journal/journal_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

namespace orvane {

bool IsPlainJournalName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(u'\0'));
}

JournalFileReader::~JournalFileReader() {
    Close();
}

bool JournalFileReader::Open(const QString& folder, const QString& name) {
    Close();
    if (!IsPlainJournalName(name)) {
        return false;
    }
    // No following a link out of the folder, no hanging on a FIFO.
    const QByteArray path = QFile::encodeName(folder + name);
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = info.st_size;
    return true;
}

void JournalFileReader::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    size_ = 0;
    offset_ = 0;
    pending_.clear();
    afterCr_ = false;
}

QStringList JournalFileReader::ReadLines(qint64 maxBytes) {
    QStringList lines;
    if (fd_ < 0) {
        return lines;
    }
    const qint64 want = qMax<qint64>(0, qMin(qMax<qint64>(1, maxBytes), size_ - offset_));
    QByteArray chunk(want, Qt::Uninitialized);
    qint64 got = 0;
    bool failed = false;
    while (got < want) {
        const ssize_t n = ::read(fd_, chunk.data() + got, static_cast<size_t>(want - got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            failed = true;  // an error, or the file was cut meanwhile
            break;
        }
        got += n;
    }
    chunk.truncate(got);
    offset_ += got;

    // CR and LF never occur inside a UTF-8 sequence, so splitting the bytes
    // first and decoding whole lines keeps characters that span two pieces.
    qsizetype start = 0;
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        const char c = chunk.at(i);
        if (c == '\n' && afterCr_ && i == 0) {
            start = 1;
            afterCr_ = false;
            continue;
        }
        afterCr_ = false;
        if (c == '\r' || c == '\n') {
            pending_.append(chunk.constData() + start, i - start);
            lines += QString::fromUtf8(pending_);
            pending_.clear();
            if (c == '\r') {
                if (i + 1 < chunk.size()) {
                    if (chunk.at(i + 1) == '\n') {
                        ++i;
                    }
                } else {
                    afterCr_ = true;
                }
            }
            start = i + 1;
        }
    }
    pending_.append(chunk.constData() + start, chunk.size() - start);

    if (failed || offset_ >= size_) {
        if (!pending_.isEmpty()) {
            lines += QString::fromUtf8(pending_);
        }
        Close();
    }
    return lines;
}

QStringList JournalFileReader::ReadAll(const QString& folder, const QString& name) {
    JournalFileReader reader;
    QStringList lines;
    if (!reader.Open(folder, name)) {
        return lines;
    }
    while (!reader.AtEnd()) {
        lines += reader.ReadLines(qint64{1} << 20);
    }
    return lines;
}

}  // namespace orvane
