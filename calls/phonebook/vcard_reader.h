#pragma once
// Contacts out of vCard files as phones and address books export them
// (versions 2.1, 3.0 and 4.0): the name (FN, else built from N) and the
// telephone numbers with their types. Everything else is passed over.
//
// The file is read piece by piece: a property longer than the cap (a
// photo) is skipped without being held, so memory stays bounded whatever
// the file holds. A file that is not text, too large, or not a vCard file
// is refused; a file with too many cards stops at the cap.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

class QIODevice;

namespace orvane {

struct VCardPhone {
    QString number;     // as written ("tel:" of a URI dropped)
    QStringList types;  // lower case, as given: "home", "cell", "voice", ...
    bool operator==(const VCardPhone&) const = default;
};

struct VCardContact {
    QString name;
    std::vector<VCardPhone> phones;
    // Named by the user here (X-ORVANE-HAND:1), not by an import.
    bool byHand = false;
    bool operator==(const VCardContact&) const = default;
};

struct VCardLimits {
    qint64 maxFileBytes = qint64{50} * 1024 * 1024;
    qsizetype maxPropertyBytes = 256 * 1024;
    int maxCards = 100000;
    // Cards inside a card (a 2.1 AGENT) are never contacts; deeper than
    // this the file is not a phone's export and reading stops.
    int maxDepth = 8;
};

enum class VCardOutcome {
    kRead,          // the whole file was read
    kNotText,       // NUL bytes: a binary file, nothing taken
    kNotVCard,      // text that does not begin with BEGIN:VCARD, nothing taken
    kTooLarge,      // over maxFileBytes: refused before reading (a file) or
                    // stopped there (a stream), the cards before kept
    kTooManyCards,  // stopped at maxCards, those kept
    kTooDeep,       // nesting beyond maxDepth: stopped, the cards before kept
    kUnreadable,    // the file could not be opened or read
};

struct VCardReadResult {
    std::vector<VCardContact> contacts;
    VCardOutcome outcome = VCardOutcome::kRead;
    int cards = 0;               // cards read, those skipped included
    int cardsWithoutNumber = 0;  // skipped: no TEL with a digit
    int cardsWithoutName = 0;    // skipped: numbers but neither FN, N nor ORG
    int nestedCards = 0;         // cards inside cards, passed over
    int longProperties = 0;      // properties over the cap, passed over
    QString error;               // why the file could not be read (kUnreadable)
};

// Reads the cards of `device` (open for reading) to its end.
VCardReadResult ReadVCards(QIODevice& device, const VCardLimits& limits = {});

// Reads the file at `path`; one over the size cap is refused unread.
VCardReadResult ReadVCardFile(const QString& path, const VCardLimits& limits = {});

// A text value with its vCard escapes (\\ \, \; \n) undone.
QString VCardUnescape(QStringView value);
// `text` escaped for a vCard text value.
QString VCardEscape(const QString& text);

// One contact as a vCard 4.0 card, lines ending in CR LF and folded at 75
// bytes.
QByteArray VCardCard(const VCardContact& contact);

}  // namespace orvane
