#include "settings/store/registry_routines.h"

#include <QByteArray>
#include <cmath>
#include <limits>

#include "settings/store/registry_store.h"

namespace orvane {

namespace {

// The first query's buffer; a larger value is read again at its size.
constexpr quint32 kFirstQuerySize = 1024;
// A value that keeps growing between two queries (another process writing)
// is not chased for ever.
constexpr int kMaxQueries = 4;

bool EncodeValue(const QVariant& value, quint32 type, QByteArray* data) {
    switch (type) {
        case kRegSz:
        case kRegExpandSz:
            *data = EncodeRegString(value.toString());
            return true;
        case kRegMultiSz:
            *data = EncodeRegMultiString(value.typeId() == QMetaType::QStringList
                                             ? value.toStringList()
                                             : value.toString().split(QLatin1Char('\n')));
            return true;
        case kRegBinary:
            *data = value.toByteArray();
            return true;
        case kRegDword: {
            bool ok = false;
            const qlonglong number = value.typeId() == QMetaType::QString
                                         ? value.toString().trimmed().toLongLong(&ok, 0)
                                         : value.toLongLong(&ok);
            if (!ok || number < std::numeric_limits<qint32>::min() ||
                number > std::numeric_limits<quint32>::max()) {
                return false;
            }
            *data = EncodeRegDword(static_cast<quint32>(number));
            return true;
        }
        default:
            return false;
    }
}

qint32 ToInt32(double number) {
    if (std::isnan(number)) {
        return 0;
    }
    // Basic rounds to even on conversion; nearbyint does under the default
    // rounding mode.
    const double rounded = std::nearbyint(number);
    if (rounded <= std::numeric_limits<qint32>::min()) {
        return std::numeric_limits<qint32>::min();
    }
    if (rounded >= std::numeric_limits<qint32>::max()) {
        return std::numeric_limits<qint32>::max();
    }
    return static_cast<qint32>(rounded);
}

// &H / &O numbers of up to 4 digits are 16-bit in Basic, longer ones 32-bit.
double RadixNumber(const QString& digits, int base) {
    qint64 number = 0;
    int count = 0;
    for (const QChar c : digits) {
        const int digit = c.isDigit() ? c.digitValue()
                          : (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'))
                              ? c.toLower().unicode() - 'a' + 10
                              : 99;
        if (digit >= base || count == 11) {
            break;
        }
        number = number * base + digit;
        ++count;
    }
    if (number <= 0xffff && number > 0x7fff && (base == 16 ? count <= 4 : count <= 6)) {
        return static_cast<double>(number - 0x10000);
    }
    number &= 0xffffffff;
    return static_cast<double>(number > 0x7fffffff ? number - 0x100000000LL : number);
}

double Val(const QString& text) {
    QString s;
    for (const QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n')) {
            s.append(c);
        }
    }
    if (s.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        return RadixNumber(s.mid(2), 16);
    }
    if (s.startsWith(QLatin1String("&O"), Qt::CaseInsensitive)) {
        return RadixNumber(s.mid(2), 8);
    }
    qsizetype i = 0;
    auto digitsFrom = [&](qsizetype from) {
        qsizetype end = from;
        while (end < s.size() && s[end].isDigit() && s[end].unicode() < 128) {
            ++end;
        }
        return end;
    };
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
        ++i;
    }
    qsizetype end = digitsFrom(i);
    bool anyDigit = end > i;
    if (end < s.size() && s[end] == QLatin1Char('.')) {
        const qsizetype fraction = digitsFrom(end + 1);
        anyDigit = anyDigit || fraction > end + 1;
        end = fraction;
    }
    if (!anyDigit) {
        return 0;
    }
    QString number = s.left(end);
    if (end < s.size() && QStringLiteral("eEdD").contains(s[end])) {
        qsizetype exponent = end + 1;
        if (exponent < s.size() &&
            (s[exponent] == QLatin1Char('+') || s[exponent] == QLatin1Char('-'))) {
            ++exponent;
        }
        const qsizetype exponentEnd = digitsFrom(exponent);
        if (exponentEnd > exponent) {
            number += QLatin1Char('e') + s.mid(end + 1, exponentEnd - end - 1);
        }
    }
    return number.toDouble();
}

}  // namespace

RegistryRoutines::RegistryRoutines(quint32 root, const QString& keyRoot, const QString& subkey)
    : hkey(root), KeyRoot(keyRoot), Subkey(subkey) {}

QVariant RegistryRoutines::GetRegistryValue(const QString& name,
                                            const QVariant& defaultValue) const {
    const auto store = HiveFor(hkey);
    if (store == nullptr) {
        return defaultValue;
    }
    quint32 type = kRegNone;
    QByteArray data;
    quint32 size = kFirstQuerySize;
    qint32 code = store->QueryValue(KeyPath(), name, &type, &data, &size);
    for (int query = 1; code == kErrorMoreData && query < kMaxQueries; ++query) {
        code = store->QueryValue(KeyPath(), name, &type, &data, &size);
    }
    if (code != kErrorSuccess) {
        return defaultValue;
    }
    switch (type) {
        case kRegSz:
            return DecodeRegString(data);
        case kRegExpandSz:
            return ExpandEnvironmentStrings(DecodeRegString(data));
        case kRegBinary:
            return data;
        case kRegDword:
            return static_cast<int>(DecodeRegDword(data));
        case kRegMultiSz: {
            const QStringList items = DecodeRegMultiString(data);
            return items.isEmpty() ? QVariant() : QVariant(items.join(QLatin1Char('\n')));
        }
        default:
            return {};
    }
}

bool RegistryRoutines::SetRegistryValue(const QString& name, const QVariant& value, quint32 type) {
    const auto store = HiveFor(hkey);
    QByteArray data;
    if (store == nullptr || !EncodeValue(value, type, &data)) {
        return false;
    }
    return store->SetValue(KeyPath(), RegValue{name, type, data}) == kErrorSuccess;
}

qint32 RegistryRoutines::DeleteValue(const QString& name) {
    const auto store = HiveFor(hkey);
    return store == nullptr ? kErrorInvalidParameter : store->DeleteValue(KeyPath(), name);
}

qint32 RegistryRoutines::CreateKey() {
    const auto store = HiveFor(hkey);
    return store == nullptr ? kErrorInvalidParameter : store->CreateKey(KeyPath());
}

qint32 RegistryRoutines::DeleteKey() {
    const auto store = HiveFor(hkey);
    return store == nullptr ? kErrorInvalidParameter : store->DeleteKey(KeyPath());
}

bool RegistryRoutines::KeyExists() const {
    const auto store = HiveFor(hkey);
    return store != nullptr && store->KeyExists(KeyPath());
}

QStringList RegistryRoutines::EnumValues() const {
    QStringList names;
    QList<RegValue> values;
    if (const auto store = HiveFor(hkey)) {
        store->EnumValues(KeyPath(), &values);
    }
    for (const RegValue& value : values) {
        names.append(value.name);
    }
    return names;
}

QStringList RegistryRoutines::EnumSubKeys() const {
    QStringList names;
    if (const auto store = HiveFor(hkey)) {
        store->EnumSubKeys(KeyPath(), &names);
    }
    return names;
}

qint32 ReadNumber(const QVariant& value) {
    if (!value.isValid() || value.isNull()) {
        return 0;
    }
    switch (value.typeId()) {
        case QMetaType::QString:
            return ToInt32(Val(value.toString()));
        case QMetaType::Bool:
            return value.toBool() ? -1 : 0;  // Basic's True
        case QMetaType::QByteArray:
            return 0;
        default: {
            bool ok = false;
            const double number = value.toDouble(&ok);
            return ok ? ToInt32(number) : 0;
        }
    }
}

bool ReadCheck(const QVariant& value) {
    return ReadNumber(value) != 0;
}

QString ExpandEnvironmentStrings(const QString& text) {
    QString out;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != QLatin1Char('%')) {
            out.append(text[i++]);
            continue;
        }
        const qsizetype close = text.indexOf(QLatin1Char('%'), i + 1);
        if (close < 0) {
            out.append(text.mid(i));
            break;
        }
        const QString name = text.mid(i + 1, close - i - 1);
        const QByteArray native = name.toLocal8Bit();
        if (!name.isEmpty() && !native.contains('=') &&
            qEnvironmentVariableIsSet(native.constData())) {
            out.append(qEnvironmentVariable(native.constData()));
            i = close + 1;
        } else {
            // Left as written; the closing "%" may open the next name.
            out.append(text.mid(i, close - i));
            i = close;
        }
    }
    return out;
}

}  // namespace orvane
