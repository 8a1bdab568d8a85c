#include "translation/string_table.h"

#include "translation/language_file.h"

namespace orvane {
namespace {

const QString kMarker = QStringLiteral("<%S>");

}  // namespace

qint32 StringTable::Load(const QString& path) {
    if (entries_.size() < static_cast<std::size_t>(kSize)) {
        entries_.resize(kSize);
    }
    LanguageFileReader reader;
    if (const qint32 error = reader.Open(path); error != file_error::kNone) {
        return error;
    }
    QString line;
    for (int id = 1; id <= kLanguageFileLines; ++id) {
        if (const qint32 error = reader.ReadLine(line); error != file_error::kNone) {
            return error;
        }
        line.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
        entries_[static_cast<std::size_t>(id - 1)] = line;
    }
    if (Text(kDirectionLine) == kRightToLeftMark) {
        rightToLeft_ = true;
    }
    return file_error::kNone;
}

const QString& StringTable::Text(int id) const {
    static const QString kEmpty;
    if (id < 1 || static_cast<std::size_t>(id) > entries_.size()) {
        return kEmpty;
    }
    return entries_[static_cast<std::size_t>(id - 1)];
}

void StringTable::Clear() {
    entries_.clear();
    rightToLeft_ = false;
}

StringTable& ProgramStringTable() {
    static StringTable table;
    return table;
}

const QString& Text(int id) {
    return ProgramStringTable().Text(id);
}

qint32 LoadTranslation(const QString& path) {
    return ProgramStringTable().Load(path);
}

bool IsRightToLeft() {
    return ProgramStringTable().IsRightToLeft();
}

QString ReplaceMarker(const QString& text, const QString& value) {
    const qsizetype at = text.indexOf(kMarker);
    if (at < 0) {
        return text;
    }
    QString result = text;
    return result.replace(at, kMarker.size(), value);
}

void ResetStringTableForTesting() {
    ProgramStringTable().Clear();
}

}  // namespace orvane
