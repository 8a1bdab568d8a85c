#include "translation/translation_files.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "core/atomic_file.h"
#include "core/paths.h"
#include "core/private_folder.h"
#include "core/trash.h"
#include "core/user_files.h"
#include "translation/language_file.h"

namespace orvane {
namespace {

constexpr qsizetype kMaxNameBytes = 255;
// A complete file holds at most this much; anything larger is not one.
constexpr qint64 kMaxFileBytes = kLanguageFileLines * (kMaxLineBytes + 2) + 3;
const QByteArray kByteOrderMark("\xEF\xBB\xBF");

bool IsPlainName(const QString& name) {
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')) ||
        name.toUtf8().size() > kMaxNameBytes) {
        return false;
    }
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c.category() == QChar::Other_Control) {
            return false;
        }
    }
    return true;
}

bool SameName(const QString& a, const QString& b) {
    return a.toCaseFolded() == b.toCaseFolded();
}

bool SameFile(const QString& a, const QString& b) {
    struct stat first {};
    struct stat second {};
    return stat(QFile::encodeName(a).constData(), &first) == 0 &&
           stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

QString FirstLine(const QString& name, int n) {
    LanguageFileReader reader;
    if (!IsPlainName(name) || reader.Open(LanguageFilePath(name)) != file_error::kNone) {
        return QString();
    }
    QString line;
    for (int i = 1; i <= n; ++i) {
        if (reader.ReadLine(line) != file_error::kNone) {
            return QString();
        }
    }
    return line;
}

}  // namespace

QStringList ListTranslations() {
    QStringList names;
    for (const QString& name :
         UserFirstNames(paths::UserTransFolder(), paths::ShippedTransFolder())) {
        if (IsPlainName(name)) {
            names << name;
        }
    }
    return names;
}

bool IsUserTranslation(const QString& name) {
    return IsPlainName(name) && HasPlainFile(paths::UserTransFolder(), name);
}

NameCheck CheckTranslationName(const QString& name, const QString& renaming) {
    if (!IsPlainName(name)) {
        return NameCheck::kInvalid;
    }
    const auto filter = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QString& other : QDir(paths::UserTransFolder()).entryList(filter)) {
        if (other != renaming && SameName(other, name)) {
            return NameCheck::kTaken;
        }
    }
    // A shipped name is taken even by the user's copy of it renamed in case
    // alone; keeping the name exactly (a new direction) is no clash.
    for (const QString& other : QDir(paths::ShippedTransFolder()).entryList(filter)) {
        if (name != renaming && SameName(other, name)) {
            return NameCheck::kTaken;
        }
    }
    return NameCheck::kOk;
}

bool IsEditableTranslation(const QString& name) {
    return FirstLine(name, kEditableFlagLine) == kEditableFlag;
}

bool IsRightToLeftTranslation(const QString& name) {
    return FirstLine(name, kDirectionLine) == kRightToLeftMark;
}

void LanguageDocument::Load(const QString& path) {
    lines_.clear();
    ends_.clear();
    problem_ = DocumentProblem::kUnreadable;
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxFileBytes || !file.open(QIODevice::ReadOnly)) {
        return;
    }
    QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes) {
        return;
    }
    bool tooLong = false;
    bool notUtf8 = false;
    qsizetype pos = bytes.startsWith(kByteOrderMark) ? kByteOrderMark.size() : 0;
    bom_ = pos > 0;
    while (pos < bytes.size()) {
        qsizetype end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') {
            ++end;
        }
        qsizetype next = end;
        if (next < bytes.size()) {
            next +=
                (bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n') ? 2 : 1;
        }
        const QByteArray line = bytes.mid(pos, end - pos);
        tooLong = tooLong || line.size() > kMaxLineBytes;
        QStringDecoder decoder(QStringDecoder::Utf8);
        (void)QString(decoder.decode(line));
        notUtf8 = notUtf8 || decoder.hasError();
        lines_ << line;
        ends_ << bytes.mid(end, next - end);
        pos = next;
    }
    if (lines_.size() != kLanguageFileLines) {
        problem_ = DocumentProblem::kWrongLineCount;
    } else if (tooLong) {
        problem_ = DocumentProblem::kLineTooLong;
    } else if (notUtf8) {
        problem_ = DocumentProblem::kNotUtf8;
    } else {
        problem_ = DocumentProblem::kNone;
    }
}

LanguageDocument LanguageDocument::NewTranslation(bool rightToLeft) {
    LanguageDocument document;
    for (int n = 1; n <= kLanguageFileLines; ++n) {
        document.lines_ << QByteArray();
        document.ends_ << QByteArrayLiteral("\r\n");
    }
    document.lines_[kEditableFlagLine - 1] = kEditableFlag.toUtf8();
    document.lines_[kDirectionLine - 1] =
        (rightToLeft ? kRightToLeftMark : kLeftToRightMark).toUtf8();
    document.problem_ = DocumentProblem::kNone;
    return document;
}

QString LanguageDocument::Line(int n) const {
    return n >= 1 && n <= lines_.size() ? QString::fromUtf8(lines_[n - 1]) : QString();
}

bool LanguageDocument::SetLine(int n, const QString& text) {
    if (n < 1 || n > lines_.size()) {
        return false;
    }
    QString value = text;
    value.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
    value.replace(QLatin1Char('\r'), QStringLiteral("\\n"));
    value.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    QByteArray bytes = value.toUtf8();
    if (bytes.size() > kMaxLineBytes) {
        return false;
    }
    lines_[n - 1] = bytes;
    return true;
}

bool LanguageDocument::Save(const QString& path) const {
    if (IsBroken()) {
        return false;
    }
    QByteArray bytes = bom_ ? kByteOrderMark : QByteArray();
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        bytes += lines_[i];
        bytes += ends_[i];
    }
    return ReplaceFileContent(path, bytes, UsersFileMode()) == 0;
}

bool SaveUserTranslation(const LanguageDocument& document, const QString& name) {
    // Made on the first save; only ever the user's folder is written.
    return IsPlainName(name) && !document.IsBroken() &&
           MakePrivateFolders(paths::UserTransFolder()) &&
           document.Save(UserLanguageFilePath(name));
}

FileChange CreateTranslation(const QString& name, bool rightToLeft) {
    switch (CheckTranslationName(name)) {
        case NameCheck::kInvalid:
            return FileChange::kInvalidName;
        case NameCheck::kTaken:
            return FileChange::kNameTaken;
        case NameCheck::kOk:
            break;
    }
    return SaveUserTranslation(LanguageDocument::NewTranslation(rightToLeft), name)
               ? FileChange::kDone
               : FileChange::kFailed;
}

FileChange RenameTranslation(const QString& from, const QString& to, bool rightToLeft) {
    if (!IsUserTranslation(from)) {
        return FileChange::kShipped;
    }
    switch (CheckTranslationName(to, from)) {
        case NameCheck::kInvalid:
            return FileChange::kInvalidName;
        case NameCheck::kTaken:
            return FileChange::kNameTaken;
        case NameCheck::kOk:
            break;
    }
    const QString oldPath = UserLanguageFilePath(from);
    const QString newPath = UserLanguageFilePath(to);
    LanguageDocument document;
    document.Load(oldPath);
    if (document.IsBroken()) {
        return FileChange::kBroken;
    }
    document.SetLine(kDirectionLine, rightToLeft ? kRightToLeftMark : kLeftToRightMark);
    if (!SaveUserTranslation(document, to)) {
        return FileChange::kFailed;
    }
    // A name that differs only in case may be the same file on some disks.
    if (from != to && !SameFile(oldPath, newPath) && !QFile::remove(oldPath)) {
        return FileChange::kFailed;
    }
    return FileChange::kDone;
}

FileChange DeleteTranslation(const QString& name) {
    if (!IsUserTranslation(name)) {
        return FileChange::kShipped;
    }
    // Into the desktop's trash, from where the user can bring it back; a
    // shipped file of the same name shows again.
    return MoveToTrash(UserLanguageFilePath(name)) == TrashOutcome::kFailed ? FileChange::kFailed
                                                                            : FileChange::kDone;
}

}  // namespace orvane
