#include "settings/store/registry_file_format.h"

#include <QStringDecoder>

namespace orvane {

namespace {

const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00");
const QString kLineEnd = QStringLiteral("\r\n");
// The registry editor wraps hex lists before this column.
constexpr int kHexLineWidth = 77;

bool SameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

// ---- RegKey -----------------------------------------------------------------

const RegValue* RegKey::FindValue(const QString& name) const {
    for (const RegValue& value : values) {
        if (SameName(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

RegValue* RegKey::FindValue(const QString& name) {
    // Non-const access: the list is shared with the copy it came from and
    // must detach before a value is changed through the pointer.
    for (RegValue& value : values) {
        if (SameName(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

void RegKey::SetValue(const RegValue& value) {
    if (RegValue* existing = FindValue(value.name)) {
        // The name keeps the case it was created with, as in the registry.
        existing->type = value.type;
        existing->data = value.data;
    } else {
        values.append(value);
    }
}

bool RegKey::RemoveValue(const QString& name) {
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (SameName(values[i].name, name)) {
            values.removeAt(i);
            return true;
        }
    }
    return false;
}

// ---- Hive -------------------------------------------------------------------

bool Hive::PathLess::operator()(const QString& a, const QString& b) const {
    // "\" sorts before every character, so a key is followed by its
    // sub-keys before any sibling whose name merely starts the same.
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (a[i] == b[i]) {
            continue;
        }
        if (a[i] == QLatin1Char('\\')) {
            return true;
        }
        if (b[i] == QLatin1Char('\\')) {
            return false;
        }
        return a[i] < b[i];
    }
    return a.size() < b.size();
}

QString Hive::Fold(const QStringList& parts) {
    return parts.join(QLatin1Char('\\')).toCaseFolded();
}

Hive::Hive() {
    keys_.emplace(QString(), RegKey{});
}

const RegKey* Hive::FindKey(const QString& path) const {
    const auto it = keys_.find(Fold(SplitKeyPath(path)));
    return it == keys_.end() ? nullptr : &it->second;
}

RegKey* Hive::FindKey(const QString& path) {
    return const_cast<RegKey*>(std::as_const(*this).FindKey(path));
}

RegKey* Hive::CreateKey(const QString& path) {
    const QStringList parts = SplitKeyPath(path);
    for (const QString& part : parts) {
        if (!IsValidKeyName(part)) {
            return nullptr;
        }
    }
    RegKey* key = &keys_.at(QString());
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString folded = Fold(parts.mid(0, i + 1));
        auto it = keys_.find(folded);
        if (it == keys_.end()) {
            const QString written =
                key->path.isEmpty() ? parts[i] : key->path + QLatin1Char('\\') + parts[i];
            it = keys_.emplace(folded, RegKey{written, {}}).first;
        }
        key = &it->second;
    }
    return key;
}

bool Hive::DeleteKey(const QString& path) {
    const QString folded = Fold(SplitKeyPath(path));
    if (folded.isEmpty() || keys_.erase(folded) == 0) {
        return false;
    }
    const QString prefix = folded + QLatin1Char('\\');
    for (auto it = keys_.lower_bound(prefix); it != keys_.end() && it->first.startsWith(prefix);) {
        it = keys_.erase(it);
    }
    return true;
}

QStringList Hive::SubKeyNames(const QString& path) const {
    QString prefix = Fold(SplitKeyPath(path));
    if (!prefix.isEmpty()) {
        prefix += QLatin1Char('\\');
    }
    QStringList names;
    for (auto it = keys_.lower_bound(prefix); it != keys_.end() && it->first.startsWith(prefix);
         ++it) {
        const QString rest = it->first.mid(prefix.size());
        if (!rest.isEmpty() && !rest.contains(QLatin1Char('\\'))) {
            names.append(it->second.path.section(QLatin1Char('\\'), -1));
        }
    }
    return names;
}

QList<const RegKey*> Hive::Keys() const {
    QList<const RegKey*> keys;
    for (const auto& [folded, key] : keys_) {
        keys.append(&key);
    }
    return keys;
}

bool Hive::operator==(const Hive& other) const {
    return keys_ == other.keys_;
}

// ---- Reading ----------------------------------------------------------------

namespace {

struct Line {
    int number = 0;
    QString text;
    bool valid = true;  // decoded without loss
};

QList<Line> SplitLines(const QByteArray& content) {
    QList<Line> lines;
    if (content.startsWith("\xff\xfe")) {
        QStringDecoder decoder(QStringDecoder::Utf16LE);
        const QString text = decoder.decode(content.mid(2));
        QStringList parts = text.split(QLatin1Char('\n'));
        if (parts.last().isEmpty()) {
            parts.removeLast();
        }
        int number = 0;
        for (QString part : parts) {
            if (part.endsWith(QLatin1Char('\r'))) {
                part.chop(1);
            }
            const bool valid = QStringView(part).isValidUtf16();
            lines.append({++number, part, valid});
        }
        if (decoder.hasError() && !lines.isEmpty()) {
            lines.last().valid = false;  // an odd trailing byte
        }
        return lines;
    }
    QByteArray body = content;
    if (body.startsWith("\xef\xbb\xbf")) {
        body.remove(0, 3);
    }
    QList<QByteArray> parts = body.split('\n');
    if (parts.last().isEmpty()) {
        parts.removeLast();  // the end of the last line, not a line
    }
    int number = 0;
    for (QByteArray part : parts) {
        if (part.endsWith('\r')) {
            part.chop(1);
        }
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString text = decoder.decode(part);
        lines.append({++number, text, !decoder.hasError()});
    }
    return lines;
}

// Reads a quoted text starting at text[*pos] == '"'. Only \\ and \" are
// escapes; any other backslash is kept as written, which is what a hand
// edit of a path means.
bool ReadQuoted(const QString& text, qsizetype* pos, QString* out) {
    out->clear();
    for (qsizetype i = *pos + 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\') && i + 1 < text.size() &&
            (text[i + 1] == QLatin1Char('\\') || text[i + 1] == QLatin1Char('"'))) {
            out->append(text[++i]);
        } else if (c == QLatin1Char('"')) {
            *pos = i + 1;
            return true;
        } else {
            out->append(c);
        }
    }
    return false;
}

bool ParseHexNumber(const QString& text, int maxDigits, quint32* number) {
    if (text.isEmpty() || text.size() > maxDigits) {
        return false;
    }
    bool ok = false;
    *number = text.toUInt(&ok, 16);
    // toUInt accepts a sign and a "0x" prefix, which the format does not.
    for (const QChar c : text) {
        if (!c.isDigit() && !QStringLiteral("abcdefABCDEF").contains(c)) {
            return false;
        }
    }
    return ok;
}

bool ParseHexList(const QString& list, QByteArray* bytes, QString* error) {
    bytes->clear();
    if (list.trimmed().isEmpty()) {
        return true;
    }
    QStringList tokens = list.split(QLatin1Char(','));
    if (tokens.last().trimmed().isEmpty()) {
        tokens.removeLast();  // a trailing comma before a wrapped line
    }
    for (const QString& token : tokens) {
        quint32 byte = 0;
        if (!ParseHexNumber(token.trimmed(), 2, &byte)) {
            *error = QStringLiteral("\"%1\" is not a hex byte").arg(token.trimmed());
            return false;
        }
        bytes->append(static_cast<char>(byte));
    }
    return true;
}

bool ParseData(const QString& data, RegValue* value, QString* error) {
    if (data.startsWith(QLatin1Char('"'))) {
        qsizetype pos = 0;
        QString text;
        if (!ReadQuoted(data, &pos, &text)) {
            *error = QStringLiteral("the text has no closing quote");
            return false;
        }
        if (!data.mid(pos).trimmed().isEmpty()) {
            *error = QStringLiteral("unexpected text after the closing quote");
            return false;
        }
        value->type = kRegSz;
        value->data = EncodeRegString(text);
        return true;
    }
    if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        quint32 number = 0;
        if (!ParseHexNumber(data.mid(6).trimmed(), 8, &number)) {
            *error = QStringLiteral("a dword needs 1 to 8 hex digits");
            return false;
        }
        value->type = kRegDword;
        value->data = EncodeRegDword(number);
        return true;
    }
    if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
        qsizetype pos = 3;
        quint32 type = kRegBinary;
        if (data.mid(pos, 1) == QLatin1String("(")) {
            const qsizetype close = data.indexOf(QLatin1Char(')'), pos);
            if (close < 0 || !ParseHexNumber(data.mid(pos + 1, close - pos - 1), 8, &type)) {
                *error = QStringLiteral("the type in hex(...) must be a hex number");
                return false;
            }
            pos = close + 1;
        }
        if (data.mid(pos, 1) != QLatin1String(":")) {
            *error = QStringLiteral("\":\" expected after hex");
            return false;
        }
        if (!ParseHexList(data.mid(pos + 1), &value->data, error)) {
            return false;
        }
        value->type = type;
        return true;
    }
    if (data == QLatin1String("-")) {
        *error = QStringLiteral("deleting a value (=-) is not supported");
        return false;
    }
    *error = QStringLiteral("the data is not text, dword: or hex:");
    return false;
}

// "Name" or @ at the start of `text`; *pos is left after it.
bool ParseValueName(const QString& text, qsizetype* pos, QString* name) {
    if (text.startsWith(QLatin1Char('@'))) {
        name->clear();
        *pos = 1;
        return true;
    }
    *pos = 0;
    return ReadQuoted(text, pos, name);
}

class HiveReader {
  public:
    HiveReader(const QByteArray& content, const QString& rootName)
        : lines_(SplitLines(content)), rootName_(rootName) {}

    ParsedHive Read() {
        bool headerSeen = false;
        for (index_ = 0; index_ < lines_.size(); ++index_) {
            const Line& line = lines_[index_];
            if (!line.valid) {
                Problem(line.number, QStringLiteral("not valid UTF-8 text"));
                continue;
            }
            const QString text = line.text.trimmed();
            if (text.isEmpty()) {
                continue;
            }
            if (!headerSeen) {
                headerSeen = true;
                if (text == kHeader) {
                    continue;
                }
                Problem(line.number, QStringLiteral("the first line must be \"%1\"").arg(kHeader));
            }
            if (text.startsWith(QLatin1Char(';'))) {
                continue;
            }
            if (text.startsWith(QLatin1Char('['))) {
                ReadSection(line.number, text);
            } else if (text.startsWith(QLatin1Char('"')) || text.startsWith(QLatin1Char('@'))) {
                ReadValue(line.number, text);
            } else {
                Problem(line.number, QStringLiteral("not a key, a value or a comment"));
            }
        }
        return std::move(result_);
    }

  private:
    void Problem(int line, const QString& message) { result_.problems.append({line, message}); }

    void ReadSection(int number, const QString& text) {
        current_ = nullptr;
        sectionBroken_ = true;
        if (!text.endsWith(QLatin1Char(']'))) {
            Problem(number, QStringLiteral("a key line must end with \"]\""));
            return;
        }
        const QString inner = text.mid(1, text.size() - 2);
        if (inner.startsWith(QLatin1Char('-'))) {
            Problem(number, QStringLiteral("deleting a key ([-...]) is not supported"));
            return;
        }
        QStringList parts = inner.split(QLatin1Char('\\'));
        const quint32 root = RootFromName(parts.first());
        if (root == 0) {
            Problem(number, QStringLiteral("unknown root \"%1\"").arg(parts.first()));
            return;
        }
        if (RootKeyName(root) != rootName_) {
            Problem(
                number,
                QStringLiteral("the key belongs to %1, not to this file").arg(RootKeyName(root)));
            return;
        }
        parts.removeFirst();
        if (!parts.isEmpty() && parts.last().isEmpty()) {
            parts.removeLast();
        }
        for (const QString& part : parts) {
            if (!IsValidKeyName(part)) {
                Problem(number, QStringLiteral("\"%1\" is not a valid key name").arg(part));
                return;
            }
        }
        current_ = result_.hive.CreateKey(parts.join(QLatin1Char('\\')));
        sectionBroken_ = false;
    }

    void ReadValue(int number, const QString& text) {
        qsizetype pos = 0;
        RegValue value;
        if (!ParseValueName(text, &pos, &value.name)) {
            Problem(number, QStringLiteral("the value name has no closing quote"));
            return;
        }
        QString rest = text.mid(pos).trimmed();
        if (!rest.startsWith(QLatin1Char('='))) {
            Problem(number, QStringLiteral("\"=\" expected after the value name"));
            return;
        }
        QString data = rest.mid(1).trimmed();
        if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive) &&
            !JoinContinuations(&data)) {
            Problem(number, QStringLiteral("the hex list ends in \"\\\" but does not go on"));
            return;
        }
        if (sectionBroken_) {
            return;  // the key line is reported already
        }
        if (current_ == nullptr) {
            Problem(number, QStringLiteral("a value before the first key"));
            return;
        }
        if (!IsValidValueName(value.name)) {
            Problem(number, QStringLiteral("the value name is not valid"));
            return;
        }
        QString error;
        if (!ParseData(data, &value, &error)) {
            Problem(number, error);
            return;
        }
        current_->SetValue(value);
    }

    // Appends the lines that a trailing "\" continues; false when the file
    // ends (or a line cannot be decoded) before the list does.
    bool JoinContinuations(QString* data) {
        while (data->endsWith(QLatin1Char('\\'))) {
            data->chop(1);
            // A blank line ends the value, so the list was cut short.
            if (index_ + 1 >= lines_.size() || !lines_[index_ + 1].valid ||
                lines_[index_ + 1].text.trimmed().isEmpty()) {
                return false;
            }
            *data += lines_[++index_].text.trimmed();
        }
        return true;
    }

    QList<Line> lines_;
    QString rootName_;
    qsizetype index_ = 0;
    RegKey* current_ = nullptr;
    bool sectionBroken_ = false;
    ParsedHive result_;
};

}  // namespace

ParsedHive ParseHive(const QByteArray& content, const QString& rootName) {
    return HiveReader(content, rootName).Read();
}

// ---- Writing ----------------------------------------------------------------

namespace {

QString Quote(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// The text of a REG_SZ that can stand between quotes on one line and read
// back to the same bytes.
bool PlainText(const QByteArray& data, QString* text) {
    if (data.size() < 2 || data.size() % 2 != 0 || !data.endsWith(QByteArray(2, '\0'))) {
        return false;
    }
    *text = DecodeRegString(data);
    if (EncodeRegString(*text) != data || !QStringView(*text).isValidUtf16()) {
        return false;
    }
    return !text->contains(QLatin1Char('\r')) && !text->contains(QLatin1Char('\n'));
}

QString HexLines(const QString& prefix, const QByteArray& bytes) {
    QString out = prefix;
    qsizetype width = prefix.size();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        QString token = QStringLiteral("%1").arg(
            static_cast<uint>(static_cast<unsigned char>(bytes[i])), 2, 16, QLatin1Char('0'));
        if (i + 1 < bytes.size()) {
            token += QLatin1Char(',');
        }
        if (width + token.size() > kHexLineWidth && i + 1 < bytes.size()) {
            out += QLatin1String("\\") + kLineEnd + QLatin1String("  ");
            width = 2;
        }
        out += token;
        width += token.size();
    }
    return out;
}

QString ValueLine(const RegValue& value) {
    const QString prefix =
        (value.name.isEmpty() ? QStringLiteral("@") : Quote(value.name)) + QLatin1Char('=');
    QString text;
    if (value.type == kRegSz && PlainText(value.data, &text)) {
        return prefix + Quote(text);
    }
    if (value.type == kRegDword && value.data.size() == 4) {
        return prefix +
               QStringLiteral("dword:%1").arg(DecodeRegDword(value.data), 8, 16, QLatin1Char('0'));
    }
    if (value.type == kRegBinary) {
        return HexLines(prefix + QStringLiteral("hex:"), value.data);
    }
    return HexLines(prefix + QStringLiteral("hex(%1):").arg(value.type, 0, 16), value.data);
}

}  // namespace

QByteArray SerializeHive(const Hive& hive, const QString& rootName) {
    QString out = kHeader + kLineEnd + kLineEnd;
    for (const RegKey* key : hive.Keys()) {
        if (key->path.isEmpty() && key->values.isEmpty()) {
            continue;
        }
        out += QLatin1Char('[') + rootName;
        if (!key->path.isEmpty()) {
            out += QLatin1Char('\\') + key->path;
        }
        out += QLatin1Char(']') + kLineEnd;
        for (const RegValue& value : key->values) {
            out += ValueLine(value) + kLineEnd;
        }
        out += kLineEnd;
    }
    return out.toUtf8();
}

}  // namespace orvane
