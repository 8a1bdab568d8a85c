#include "translation/language_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>

#include "core/paths.h"
#include "core/user_files.h"

namespace orvane {
namespace {

constexpr qint64 kChunkBytes = 64 * 1024;

// Cuts a capped line back to the start of a character that did not fit
// whole, so the cap never produces a replacement character of its own.
void DropIncompleteCharacter(QByteArray& bytes) {
    qsizetype lead = bytes.size() - 1;
    while (lead >= 0 && bytes.size() - lead < 4 &&
           (static_cast<unsigned char>(bytes[lead]) & 0xC0) == 0x80) {
        --lead;
    }
    if (lead < 0) {
        return;
    }
    const auto first = static_cast<unsigned char>(bytes[lead]);
    qsizetype needed = 1;
    if ((first & 0xE0) == 0xC0) {
        needed = 2;
    } else if ((first & 0xF0) == 0xE0) {
        needed = 3;
    } else if ((first & 0xF8) == 0xF0) {
        needed = 4;
    }
    if (bytes.size() - lead < needed) {
        bytes.truncate(lead);
    }
}

}  // namespace

QString LanguageFilePath(const QString& name) {
    const QString path = UserFirstPath(paths::UserTransFolder(), paths::ShippedTransFolder(), name);
    return path.isEmpty() ? paths::ShippedTransFolder() : path;
}

QString UserLanguageFilePath(const QString& name) {
    const QString path = UserFirstPath(paths::UserTransFolder(), paths::UserTransFolder(), name);
    return path.isEmpty() ? paths::UserTransFolder() : path;
}

qint32 LanguageFileReader::Open(const QString& path) {
    if (path.contains(QChar(u'\0'))) {
        return file_error::kBadFileName;
    }
    if (path.isEmpty()) {
        return file_error::kPathFileAccess;
    }
    const QFileInfo info(path);
    if (info.isDir()) {
        return file_error::kPathFileAccess;
    }
    if (!info.exists()) {
        return QFileInfo(info.absolutePath()).isDir() ? file_error::kFileNotFound
                                                      : file_error::kPathNotFound;
    }
    if (!info.isFile()) {
        return file_error::kPathFileAccess;
    }
    if (path.startsWith(QLatin1Char(':'))) {
        // A file built into the program (Qt's resources).
        file_.setFileName(path);
        return file_.open(QIODevice::ReadOnly) ? file_error::kNone : file_error::kPathFileAccess;
    }
    // The name may have become a FIFO since the check: opened without
    // blocking, and read only when it is a regular file after all.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return file_error::kPathFileAccess;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        !file_.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return file_error::kPathFileAccess;
    }
    return file_error::kNone;
}

bool LanguageFileReader::Fill() {
    buffer_.resize(kChunkBytes);
    const qint64 got = file_.read(buffer_.data(), kChunkBytes);
    if (got < 0) {
        error_ = file_error::kDeviceIo;
        buffer_.clear();
        pos_ = 0;
        return false;
    }
    buffer_.truncate(got);
    pos_ = 0;
    if (atStart_ && got > 0) {
        atStart_ = false;
        if (buffer_.startsWith("\xEF\xBB\xBF")) {
            pos_ = 3;
        }
    }
    return got > 0;
}

qint32 LanguageFileReader::ReadLine(QString& line) {
    if (!file_.isOpen()) {
        return file_error::kPathFileAccess;
    }
    if (error_ != file_error::kNone) {
        return error_;
    }
    QByteArray bytes;
    bool started = false;
    bool capped = false;
    for (;;) {
        if (pos_ >= buffer_.size() && !Fill()) {
            if (error_ != file_error::kNone) {
                return error_;
            }
            if (!started) {
                return file_error::kInputPastEndOfFile;
            }
            break;
        }
        if (skipLineFeed_) {
            // The LF of a CR LF that ended the previous line.
            skipLineFeed_ = false;
            if (buffer_[pos_] == '\n') {
                ++pos_;
                continue;
            }
        }
        started = true;
        qsizetype end = pos_;
        while (end < buffer_.size() && buffer_[end] != '\r' && buffer_[end] != '\n') {
            ++end;
        }
        const qsizetype room = kMaxLineBytes - bytes.size();
        if (end - pos_ > room) {
            capped = true;
        }
        bytes.append(buffer_.constData() + pos_, qMin(end - pos_, room));
        if (end < buffer_.size()) {
            skipLineFeed_ = buffer_[end] == '\r';
            pos_ = end + 1;
            break;
        }
        pos_ = end;
    }
    if (capped) {
        DropIncompleteCharacter(bytes);
    }
    line = QString::fromUtf8(bytes);
    return file_error::kNone;
}

}  // namespace orvane
