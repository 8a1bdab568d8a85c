#include "calls/list/calls_filter.h"

#include <algorithm>

namespace orvane {
namespace {

bool IsAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Digits with the signs numbers are written with, and at least one digit.
bool IsNumberLike(QStringView word) {
    bool digit = false;
    for (const QChar c : word) {
        if (IsAsciiDigit(c)) {
            digit = true;
        } else if (!QStringView(u"+-()./").contains(c)) {
            return false;
        }
    }
    return digit;
}

QString WithoutPlus(QString digits) {
    if (digits.startsWith(QLatin1Char('+'))) {
        digits.remove(0, 1);
    }
    return digits;
}

}  // namespace

bool CallsFilter::IsActive() const {
    return !words.trimmed().isEmpty() || unreadOnly || markedOnly || kind != CallKindChoice::kAll ||
           from.isValid() || to.isValid();
}

QString FoldedText(QStringView text) {
    QString folded;
    AppendFolded(folded, text);
    return folded;
}

void AppendFolded(QString& out, QStringView text) {
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
        // Most names and notes: no decomposition can change them, and
        // lowering their capitals is their folding.
        const qsizetype at = out.size();
        out.resize(at + text.size());
        QChar* to = out.data() + at;
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            *to++ = QChar(u >= u'A' && u <= u'Z' ? static_cast<char16_t>(u + (u'a' - u'A')) : u);
        }
        return;
    }
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_KD);
    QString bare;
    bare.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        switch (c.category()) {
            case QChar::Mark_NonSpacing:
            case QChar::Mark_SpacingCombining:
            case QChar::Mark_Enclosing:
                break;
            default:
                bare += c;
        }
    }
    out += bare.toCaseFolded();
}

CallSearchKeys MakeSearchKeys(QStringView name, QStringView number, QStringView bookName,
                              QStringView note, const NumberPlan& plan) {
    // Built once per row of a list of 100,000: one string per key.
    const QChar line = QLatin1Char('\n');
    CallSearchKeys keys;
    keys.folded.reserve(name.size() + bookName.size() + number.size() + note.size() + 3);
    AppendFolded(keys.folded, name);
    keys.folded += line;
    AppendFolded(keys.folded, bookName);
    keys.folded += line;
    AppendFolded(keys.folded, number);
    keys.folded += line;
    AppendFolded(keys.folded, note);
    if (number.isEmpty()) {
        return keys;
    }
    keys.digits = NumberDigits(number);
    keys.normal = NormalizedNumber(keys.digits, plan);
    keys.digits = WithoutPlus(std::move(keys.digits));
    return keys;
}

CallsMatcher::CallsMatcher(const CallsFilter& filter, const NumberPlan& plan)
    : active_(filter.IsActive()),
      unreadOnly_(filter.unreadOnly),
      markedOnly_(filter.markedOnly),
      kind_(filter.kind == CallKindChoice::kBlocked || filter.kind == CallKindChoice::kNotRecorded
                ? 0
                : static_cast<int>(filter.kind)),
      unrecorded_(filter.kind == CallKindChoice::kBlocked       ? 1
                  : filter.kind == CallKindChoice::kNotRecorded ? 2
                                                                : 0),
      from_(filter.from.isValid() ? filter.from.toJulianDay() : 0),
      to_(filter.to.isValid() ? filter.to.toJulianDay() : 0) {
    // Tabs and other blanks separate words too.
    const QStringList split = filter.words.simplified().split(QChar::Space, Qt::SkipEmptyParts);
    // Neighbouring number-like pieces are one number, as it is written:
    // "030 1234" must not find 030 in one call and 1234 anywhere.
    for (qsizetype i = 0; i < split.size();) {
        Word word;
        if (IsNumberLike(split[i])) {
            QString written = split[i++];
            while (i < split.size() && IsNumberLike(split[i])) {
                written += QLatin1Char(' ') + split[i++];
            }
            word.folded = FoldedText(written);
            word.digits = WithoutPlus(NumberDigits(written));
            word.normal = NormalizedNumber(written, plan);
        } else {
            word.folded = FoldedText(split[i++]);
        }
        if (!word.folded.isEmpty()) {
            words_.push_back(std::move(word));
        }
    }
}

bool CallsMatcher::WordMatches(const Word& word, const CallFacts& call) const {
    if (call.folded.contains(word.folded)) {
        return true;
    }
    if (word.digits.isEmpty()) {
        return false;
    }
    // The number as written in the call, or in its one form: the query
    // "+49 30 1234" finds a call stored as 030 1234 and the other way round.
    return call.digits.contains(word.digits) || call.normal.contains(word.digits) ||
           (!word.normal.isEmpty() && call.normal.contains(word.normal));
}

bool CallsMatcher::Matches(const CallFacts& call) const {
    // Recorded calls and the two kinds without a recording never mix.
    if (call.unrecorded != unrecorded_) {
        return false;
    }
    if (!active_) {
        return true;
    }
    if ((unreadOnly_ && !call.unread) || (markedOnly_ && !call.marked) ||
        (kind_ != 0 && call.kind != kind_)) {
        return false;
    }
    if (from_ != 0 || to_ != 0) {
        // A call whose day cannot be read is in no range.
        if (call.day == 0 || (from_ != 0 && call.day < from_) || (to_ != 0 && call.day > to_)) {
            return false;
        }
    }
    return std::all_of(words_.begin(), words_.end(),
                       [&](const Word& word) { return WordMatches(word, call); });
}

}  // namespace orvane
