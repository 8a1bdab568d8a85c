#include "settings/store/registry_types.h"

namespace orvane {

QString RootKeyName(quint32 root) {
    switch (root) {
        case kHkeyLocalMachine:
            return QStringLiteral("HKEY_LOCAL_MACHINE");
        case kHkeyCurrentUser:
            return QStringLiteral("HKEY_CURRENT_USER");
        case kHkeyClassesRoot:
            return QStringLiteral("HKEY_CLASSES_ROOT");
        default:
            return {};
    }
}

quint32 RootFromName(const QString& name) {
    const QString upper = name.toUpper();
    if (upper == QLatin1String("HKEY_LOCAL_MACHINE") || upper == QLatin1String("HKLM")) {
        return kHkeyLocalMachine;
    }
    if (upper == QLatin1String("HKEY_CURRENT_USER") || upper == QLatin1String("HKCU")) {
        return kHkeyCurrentUser;
    }
    if (upper == QLatin1String("HKEY_CLASSES_ROOT") || upper == QLatin1String("HKCR")) {
        return kHkeyClassesRoot;
    }
    return 0;
}

QString TypeName(quint32 type) {
    switch (type) {
        case kRegNone:
            return QStringLiteral("REG_NONE");
        case kRegSz:
            return QStringLiteral("REG_SZ");
        case kRegExpandSz:
            return QStringLiteral("REG_EXPAND_SZ");
        case kRegBinary:
            return QStringLiteral("REG_BINARY");
        case kRegDword:
            return QStringLiteral("REG_DWORD");
        case kRegMultiSz:
            return QStringLiteral("REG_MULTI_SZ");
        default:
            return QStringLiteral("REG_0x") + QString::number(type, 16);
    }
}

QByteArray EncodeRegString(const QString& text) {
    QByteArray data;
    data.reserve((text.size() + 1) * 2);
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        data.append(static_cast<char>(unit & 0xff));
        data.append(static_cast<char>(unit >> 8));
    }
    data.append(2, '\0');
    return data;
}

namespace {

// UTF-16LE units of `data`, an odd last byte dropped.
QString UnitsOf(const QByteArray& data) {
    QString text;
    text.reserve(data.size() / 2);
    for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
        const auto low = static_cast<unsigned char>(data[i]);
        const auto high = static_cast<unsigned char>(data[i + 1]);
        text.append(QChar(static_cast<char16_t>(low | (high << 8))));
    }
    return text;
}

}  // namespace

QString DecodeRegString(const QByteArray& data) {
    const QString units = UnitsOf(data);
    const qsizetype end = units.indexOf(QChar(u'\0'));
    return end < 0 ? units : units.left(end);
}

QByteArray EncodeRegMultiString(const QStringList& items) {
    QByteArray data;
    for (const QString& item : items) {
        if (!item.isEmpty()) {
            data.append(EncodeRegString(item));
        }
    }
    data.append(2, '\0');
    return data;
}

QStringList DecodeRegMultiString(const QByteArray& data) {
    // The list ends at the first empty item, as the registry's readers do.
    QStringList items;
    for (const QString& item : UnitsOf(data).split(QChar(u'\0'))) {
        if (item.isEmpty()) {
            break;
        }
        items.append(item);
    }
    return items;
}

QByteArray EncodeRegDword(quint32 number) {
    QByteArray data(4, '\0');
    for (int i = 0; i < 4; ++i) {
        data[i] = static_cast<char>((number >> (8 * i)) & 0xff);
    }
    return data;
}

quint32 DecodeRegDword(const QByteArray& data) {
    quint32 number = 0;
    for (int i = 0; i < 4 && i < data.size(); ++i) {
        number |= static_cast<quint32>(static_cast<unsigned char>(data[i])) << (8 * i);
    }
    return number;
}

QStringList SplitKeyPath(const QString& path) {
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

namespace {

bool HasControlCharacter(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool IsValidKeyName(const QString& name) {
    return !name.isEmpty() && name.size() <= kMaxKeyNameLength &&
           !name.contains(QLatin1Char('\\')) && !HasControlCharacter(name) &&
           QStringView(name).isValidUtf16();
}

bool IsValidValueName(const QString& name) {
    return name.size() <= kMaxValueNameLength && !name.contains(QLatin1Char('\n')) &&
           !name.contains(QLatin1Char('\r')) && !name.contains(QChar(u'\0')) &&
           QStringView(name).isValidUtf16();
}

}  // namespace orvane
