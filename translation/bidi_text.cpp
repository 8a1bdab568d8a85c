#include "translation/bidi_text.h"

namespace orvane {
namespace {

constexpr char16_t kLeftToRightMark = 0x200E;
constexpr char16_t kLeftToRightIsolate = 0x2066;
constexpr char16_t kRightToLeftIsolate = 0x2067;
constexpr char16_t kFirstStrongIsolate = 0x2068;
constexpr char16_t kPopIsolate = 0x2069;

bool IsolatedAlready(const QString& text, char16_t opening) {
    return text.startsWith(QChar(opening)) && text.endsWith(QChar(kPopIsolate));
}

QString Isolated(char16_t opening, const QString& text) {
    return QChar(opening) + text + QChar(kPopIsolate);
}

}  // namespace

bool HasRightToLeftLetters(const QString& text) {
    for (const QChar c : text) {
        const QChar::Direction d = c.direction();
        if (d == QChar::DirR || d == QChar::DirAL) {
            return true;
        }
    }
    return false;
}

QString RightToLeftRun(const QString& text) {
    if (!HasRightToLeftLetters(text) || IsolatedAlready(text, kRightToLeftIsolate)) {
        return text;
    }
    return Isolated(kRightToLeftIsolate, text);
}

QString LeftToRightIsolate(const QString& text) {
    return Isolated(kLeftToRightIsolate, text);
}

QString LeftToRightRun(const QString& text) {
    if (!HasRightToLeftLetters(text) || IsolatedAlready(text, kLeftToRightIsolate)) {
        return text;
    }
    return LeftToRightIsolate(text);
}

QString CallerLine(const QString& name, const QString& number) {
    if (!HasRightToLeftLetters(name + number)) {
        return name + QStringLiteral(" - ") + number;
    }
    // The mark makes the line left-to-right even where the viewer guesses
    // the direction from its first letter.
    return QChar(kLeftToRightMark) + Isolated(kFirstStrongIsolate, name) + QStringLiteral(" - ") +
           LeftToRightIsolate(number);
}

}  // namespace orvane
