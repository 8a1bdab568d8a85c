#include "calls/phonebook/vcard_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QStringDecoder>
#include <array>

namespace orvane {

namespace {

constexpr qint64 kChunkBytes = 64 * 1024;

// Windows-1252's letters where ISO-8859-1 has control codes; exporters that
// say ISO-8859-1 mostly mean it.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

QString FromCp1252(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.append(byte >= 0x80 && byte < 0xA0 ? QChar(kCp1252High[byte - 0x80]) : QChar(byte));
    }
    return text;
}

// UTF-8 when the bytes are UTF-8, else Windows-1252: what a file without a
// charset holds in practice.
QString FromUnknown(const QByteArray& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    return utf8.hasError() ? FromCp1252(bytes) : text;
}

QString Decode(const QByteArray& bytes, const QByteArray& charset) {
    const QByteArray name = charset.toUpper();
    if (name.isEmpty()) {
        return FromUnknown(bytes);
    }
    if (name == "UTF-8" || name == "UTF8") {
        return QString::fromUtf8(bytes);
    }
    if (name == "ISO-8859-1" || name == "ISO8859-1" || name == "LATIN1" || name == "WINDOWS-1252" ||
        name == "CP1252") {
        return FromCp1252(bytes);
    }
    QStringDecoder decoder(name.constData());
    return decoder.isValid() ? QString(decoder(bytes)) : FromUnknown(bytes);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

QByteArray QuotedPrintable(const QByteArray& value) {
    QByteArray bytes;
    bytes.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '=' && i + 2 < value.size() && HexValue(value[i + 1]) >= 0 &&
            HexValue(value[i + 2]) >= 0) {
            bytes.append(static_cast<char>(HexValue(value[i + 1]) * 16 + HexValue(value[i + 2])));
            i += 2;
        } else {
            bytes.append(value[i]);
        }
    }
    return bytes;
}

// Splits at `separator` outside double quotes.
QList<QByteArray> SplitOutsideQuotes(const QByteArray& text, char separator) {
    QList<QByteArray> parts;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
        } else if (text[i] == separator && !quoted) {
            parts.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    parts.append(text.mid(start));
    return parts;
}

qsizetype ColonOutsideQuotes(const QByteArray& line) {
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else if (line[i] == ':' && !quoted) {
            return i;
        }
    }
    return -1;
}

// Splits a structured value at ';' that are not escaped.
QStringList SplitComponents(QStringView value) {
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            part.append(value[i]);
            part.append(value[++i]);
        } else if (value[i] == u';') {
            parts.append(part);
            part.clear();
        } else {
            part.append(value[i]);
        }
    }
    parts.append(part);
    return parts;
}

struct Property {
    QByteArray name;  // upper case, group dropped
    QByteArray value;
    QByteArray charset;
    bool quotedPrintable = false;
    QStringList types;
};

// Encodings given as bare 2.1 parameters, which are not types.
bool IsEncodingWord(const QByteArray& word) {
    return word == "QUOTED-PRINTABLE" || word == "BASE64" || word == "8BIT" || word == "7BIT" ||
           word == "B";
}

bool ParseProperty(const QByteArray& line, Property& property) {
    const qsizetype colon = ColonOutsideQuotes(line);
    if (colon < 0) {
        return false;
    }
    const QList<QByteArray> parts = SplitOutsideQuotes(line.left(colon), ';');
    QByteArray name = parts.front().trimmed().toUpper();
    if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0) {
        name = name.mid(dot + 1);
    }
    property.name = name;
    property.value = line.mid(colon + 1);
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray& parameter = parts[i];
        const qsizetype equals = parameter.indexOf('=');
        const QByteArray key =
            (equals < 0 ? parameter : parameter.left(equals)).trimmed().toUpper();
        QByteArray value = equals < 0 ? QByteArray() : parameter.mid(equals + 1).trimmed();
        if (equals < 0) {
            // 2.1: a bare type or encoding.
            if (key == "QUOTED-PRINTABLE") {
                property.quotedPrintable = true;
            } else if (!IsEncodingWord(key)) {
                property.types.append(QString::fromLatin1(key).toLower());
            }
            continue;
        }
        value.replace('"', QByteArray());
        if (key == "ENCODING") {
            property.quotedPrintable = value.toUpper() == "QUOTED-PRINTABLE";
        } else if (key == "CHARSET") {
            property.charset = value;
        } else if (key == "TYPE") {
            for (const QByteArray& type : value.split(',')) {
                if (!type.trimmed().isEmpty()) {
                    property.types.append(QString::fromLatin1(type.trimmed()).toLower());
                }
            }
        }
    }
    return true;
}

QString TextOf(const Property& property) {
    const QByteArray bytes =
        property.quotedPrintable ? QuotedPrintable(property.value) : property.value;
    return Decode(bytes, property.charset);
}

// N: family; given; additional; prefixes; suffixes, shown in the order
// people say them.
QString NameFromN(QStringView value) {
    const QStringList parts = SplitComponents(value);
    QStringList words;
    for (const int part : {3, 1, 2, 0, 4}) {
        if (part < parts.size()) {
            QString word = VCardUnescape(parts[part]).replace(u',', u' ').simplified();
            if (!word.isEmpty()) {
                words.append(word);
            }
        }
    }
    return words.join(u' ');
}

bool HasDigit(QStringView text) {
    for (const QChar c : text) {
        if (c.isDigit()) {
            return true;
        }
    }
    return false;
}

class Reader {
  public:
    Reader(QIODevice& device, const VCardLimits& limits) : device_(device), limits_(limits) {}

    VCardReadResult Run() {
        QByteArray chunk;
        qint64 total = 0;
        while (!stopped_) {
            chunk = device_.read(kChunkBytes);
            if (chunk.isEmpty()) {
                if (device_.isOpen() && !device_.isSequential() && !device_.atEnd()) {
                    result_.outcome = VCardOutcome::kUnreadable;
                    result_.error = device_.errorString();
                }
                break;
            }
            total += chunk.size();
            if (total > limits_.maxFileBytes) {
                Stop(VCardOutcome::kTooLarge);
                break;
            }
            if (chunk.contains('\0')) {
                Refuse(VCardOutcome::kNotText);
                break;
            }
            Feed(chunk);
        }
        if (!stopped_) {
            if (!physical_.isEmpty() || physicalOverlong_) {
                EndPhysical();
            }
            EndLogical();
            if (!sawBegin_ && !stopped_ && result_.outcome == VCardOutcome::kRead) {
                Refuse(VCardOutcome::kNotVCard);
            }
        }
        return std::move(result_);
    }

  private:
    void Feed(const QByteArray& chunk) {
        qsizetype start = 0;
        while (start < chunk.size() && !stopped_) {
            const qsizetype end = chunk.indexOf('\n', start);
            const qsizetype stop = end < 0 ? chunk.size() : end;
            AddToPhysical(chunk.constData() + start, stop - start);
            if (end < 0) {
                break;
            }
            EndPhysical();
            start = end + 1;
        }
    }

    void AddToPhysical(const char* data, qsizetype size) {
        if (physicalOverlong_) {
            return;
        }
        if (physical_.size() + size > limits_.maxPropertyBytes) {
            // Kept: the start, which names the property; dropped: the rest.
            const qsizetype room = limits_.maxPropertyBytes - physical_.size();
            physical_.append(data, std::min(room, qsizetype{256}));
            physicalOverlong_ = true;
            return;
        }
        physical_.append(data, size);
    }

    void EndPhysical() {
        QByteArray line = std::exchange(physical_, QByteArray());
        const bool overlong = std::exchange(physicalOverlong_, false);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        const bool continues = haveLogical_ && logicalQp_ && logicalEndsWithEquals_;
        if (continues || (haveLogical_ && !line.isEmpty() && (line[0] == ' ' || line[0] == '\t'))) {
            if (!continues) {
                line.remove(0, 1);
            } else if (!logicalOverlong_) {
                logical_.chop(1);  // the soft break
            }
            logicalEndsWithEquals_ = line.endsWith('=');
            if (logicalOverlong_) {
                return;
            }
            if (overlong || logical_.size() + line.size() > limits_.maxPropertyBytes) {
                logicalOverlong_ = true;
                logical_ = QByteArray();
                return;
            }
            logical_.append(line);
            return;
        }
        EndLogical();
        logical_ = std::move(line);
        logicalOverlong_ = overlong;
        haveLogical_ = true;
        const qsizetype colon = ColonOutsideQuotes(logical_);
        logicalQp_ = colon > 0 && logical_.left(colon).toUpper().contains("QUOTED-PRINTABLE");
        logicalEndsWithEquals_ = logical_.endsWith('=');
    }

    void EndLogical() {
        if (!haveLogical_) {
            return;
        }
        haveLogical_ = false;
        QByteArray line = std::exchange(logical_, QByteArray());
        if (logicalOverlong_) {
            if (depth_ > 0) {
                ++result_.longProperties;
            }
            return;
        }
        if (!sawBegin_ && line.startsWith("\xEF\xBB\xBF")) {
            line.remove(0, 3);
        }
        if (line.trimmed().isEmpty()) {
            return;
        }
        Property property;
        const bool parsed = ParseProperty(line, property);
        const bool begin =
            parsed && property.name == "BEGIN" && property.value.trimmed().toUpper() == "VCARD";
        if (!sawBegin_ && !begin) {
            Refuse(VCardOutcome::kNotVCard);
            return;
        }
        if (!parsed) {
            return;
        }
        if (begin) {
            sawBegin_ = true;
            Begin();
            return;
        }
        if (property.name == "END" && property.value.trimmed().toUpper() == "VCARD") {
            End();
            return;
        }
        if (depth_ == 1) {
            Take(property);
        }
    }

    void Begin() {
        ++depth_;
        if (depth_ == 1) {
            card_ = VCardContact();
            fn_.clear();
            n_.clear();
            org_.clear();
        } else {
            ++result_.nestedCards;
            if (depth_ > limits_.maxDepth) {
                Stop(VCardOutcome::kTooDeep);
            }
        }
    }

    void End() {
        if (depth_ == 0) {
            return;
        }
        if (--depth_ > 0) {
            return;
        }
        ++result_.cards;
        card_.name = !fn_.isEmpty() ? fn_ : !n_.isEmpty() ? n_ : org_;
        if (card_.phones.empty()) {
            ++result_.cardsWithoutNumber;
        } else if (card_.name.isEmpty()) {
            ++result_.cardsWithoutName;
        } else {
            result_.contacts.push_back(std::move(card_));
        }
        card_ = VCardContact();
        if (result_.cards >= limits_.maxCards) {
            Stop(VCardOutcome::kTooManyCards);
        }
    }

    void Take(const Property& property) {
        if (property.name == "FN") {
            fn_ = VCardUnescape(TextOf(property)).simplified();
        } else if (property.name == "N") {
            n_ = NameFromN(TextOf(property));
        } else if (property.name == "ORG") {
            org_ = VCardUnescape(SplitComponents(TextOf(property)).front()).simplified();
        } else if (property.name == "TEL") {
            QString number = VCardUnescape(TextOf(property)).trimmed();
            if (number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive)) {
                number = number.mid(4).section(u';', 0, 0);
            }
            number = number.simplified();
            if (HasDigit(number)) {
                QStringList types = property.types;
                types.removeAll(QStringLiteral("pref"));
                card_.phones.push_back({number, types});
            }
        } else if (property.name == "X-ORVANE-HAND") {
            card_.byHand = property.value.trimmed() == "1";
        }
    }

    void Stop(VCardOutcome outcome) {
        result_.outcome = outcome;
        stopped_ = true;
    }

    void Refuse(VCardOutcome outcome) {
        const int cards = result_.cards;
        result_ = VCardReadResult();
        result_.cards = outcome == VCardOutcome::kNotText ? 0 : cards;
        Stop(outcome);
    }

    QIODevice& device_;
    const VCardLimits& limits_;
    VCardReadResult result_;
    bool stopped_ = false;
    bool sawBegin_ = false;

    QByteArray physical_;
    bool physicalOverlong_ = false;
    QByteArray logical_;
    bool haveLogical_ = false;
    bool logicalOverlong_ = false;
    bool logicalQp_ = false;
    bool logicalEndsWithEquals_ = false;

    int depth_ = 0;
    VCardContact card_;
    QString fn_;
    QString n_;
    QString org_;
};

void AppendFolded(QByteArray& card, const QByteArray& line) {
    // At most 75 bytes a line, never inside a UTF-8 sequence.
    qsizetype start = 0;
    qsizetype room = 75;
    while (line.size() - start > room) {
        qsizetype cut = start + room;
        while (cut > start && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        card.append(line.mid(start, cut - start));
        card.append("\r\n ");
        start = cut;
        room = 74;
    }
    card.append(line.mid(start));
    card.append("\r\n");
}

QByteArray TypeParameter(const QStringList& types) {
    QStringList clean;
    for (const QString& type : types) {
        QString word;
        for (const QChar c : type) {
            if (c.isLetterOrNumber() && c.unicode() < 0x80) {
                word.append(c.toLower());
            } else if (c == u'-') {
                word.append(c);
            }
        }
        if (!word.isEmpty() && !clean.contains(word)) {
            clean.append(word);
        }
    }
    return clean.isEmpty() ? QByteArray() : ";TYPE=\"" + clean.join(u',').toLatin1() + '"';
}

}  // namespace

QString VCardUnescape(QStringView value) {
    QString text;
    text.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            text.append(value[i]);
            continue;
        }
        const QChar next = value[++i];
        text.append(next == u'n' || next == u'N' ? QChar(u'\n') : next);
    }
    return text;
}

QString VCardEscape(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\' || c == u',' || c == u';') {
            escaped.append(u'\\');
            escaped.append(c);
        } else if (c == u'\n') {
            escaped.append(QLatin1String("\\n"));
        } else if (c != u'\r') {
            escaped.append(c);
        }
    }
    return escaped;
}

QByteArray VCardCard(const VCardContact& contact) {
    QByteArray card = "BEGIN:VCARD\r\nVERSION:4.0\r\n";
    AppendFolded(card, "FN:" + VCardEscape(contact.name).toUtf8());
    for (const VCardPhone& phone : contact.phones) {
        AppendFolded(card, "TEL;VALUE=text" + TypeParameter(phone.types) + ':' +
                               VCardEscape(phone.number).toUtf8());
    }
    if (contact.byHand) {
        card.append("X-ORVANE-HAND:1\r\n");
    }
    card.append("END:VCARD\r\n");
    return card;
}

VCardReadResult ReadVCards(QIODevice& device, const VCardLimits& limits) {
    return Reader(device, limits).Run();
}

VCardReadResult ReadVCardFile(const QString& path, const VCardLimits& limits) {
    VCardReadResult result;
    QFile file(path);
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        result.outcome = VCardOutcome::kUnreadable;
        result.error = path;
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.outcome = VCardOutcome::kUnreadable;
        result.error = file.errorString();
        return result;
    }
    if (file.size() > limits.maxFileBytes) {
        result.outcome = VCardOutcome::kTooLarge;
        return result;
    }
    return ReadVCards(file, limits);
}

}  // namespace orvane
