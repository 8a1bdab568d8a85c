#include "calls/phonebook/phone_book.h"

#include <QDateTime>
#include <QFileInfo>
#include <utility>

#include "core/atomic_file.h"
#include "core/posix_file.h"
#include "core/private_folder.h"
#include "journal/journal_writer.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {

namespace {

const QString kJournalSource = QStringLiteral("PhoneBook");

QString WhyUnread(const VCardReadResult& read) {
    switch (read.outcome) {
        case VCardOutcome::kNotText:
            return QStringLiteral("not text");
        case VCardOutcome::kNotVCard:
            return QStringLiteral("not a vCard file");
        case VCardOutcome::kTooLarge:
            return QStringLiteral("too large");
        case VCardOutcome::kTooManyCards:
            return QStringLiteral("too many cards");
        case VCardOutcome::kTooDeep:
            return QStringLiteral("cards nested too deep");
        case VCardOutcome::kUnreadable:
            return read.error;
        case VCardOutcome::kRead:
            break;
    }
    return QString();
}

// The phones of `entry` with a digit, each number once.
void KeepDialable(PhoneBookEntry& entry, const NumberPlan& plan) {
    std::vector<VCardPhone> kept;
    QStringList keys;
    for (VCardPhone& phone : entry.phones) {
        phone.number = phone.number.simplified();
        const QString key = NormalizedNumber(phone.number, plan);
        if (!key.isEmpty() && !keys.contains(key)) {
            keys.append(key);
            kept.push_back(std::move(phone));
        }
    }
    entry.phones = std::move(kept);
    entry.name = entry.name.simplified();
}

}  // namespace

PhoneBook::PhoneBook(QString path, QObject* parent) : QObject(parent), path_(std::move(path)) {}

QString PhoneBook::DefaultFile() {
    return UserFilePath(QStringLiteral("PhoneBook.vcf"));
}

PhoneBook::LoadOutcome PhoneBook::Load() {
    entries_.clear();
    setAside_.clear();
    readOnly_ = false;
    if (path_.isEmpty() || !QFileInfo::exists(path_)) {
        Reindex();
        Q_EMIT changed();
        return LoadOutcome::kMissing;
    }
    VCardReadResult read = ReadVCardFile(path_);
    entries_ = std::move(read.contacts);
    for (PhoneBookEntry& entry : entries_) {
        KeepDialable(entry, plan_);
    }
    Reindex();
    LoadOutcome outcome = LoadOutcome::kLoaded;
    if (read.outcome != VCardOutcome::kRead) {
        // What was read is shown; the file itself goes aside untouched
        // before the book writes its own again.
        const QString aside =
            path_ + QStringLiteral(".unreadable-") +
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        const CopyResult copy = CopyFileUnchanged(path_, aside);
        if (copy.ok) {
            setAside_ = aside;
            outcome = LoadOutcome::kSetAside;
            WriteSysLog(QStringLiteral("Phone book ") + path_ + QStringLiteral(" unreadable (") +
                            WhyUnread(read) + QStringLiteral("): kept as ") + aside,
                        0, kJournalSource);
        } else {
            readOnly_ = true;
            outcome = LoadOutcome::kReadOnly;
            WriteSysLog(QStringLiteral("Phone book ") + path_ + QStringLiteral(" unreadable (") +
                            WhyUnread(read) + QStringLiteral(") and not copied aside (") +
                            copy.error + QStringLiteral("): it is not written"),
                        0, kJournalSource);
        }
    }
    Q_EMIT changed();
    return outcome;
}

void PhoneBook::SetPlan(const NumberPlan& plan) {
    if (plan == plan_) {
        return;
    }
    plan_ = plan;
    Reindex();
    Q_EMIT changed();
}

void PhoneBook::Reindex() {
    index_.clear();
    for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
        for (const VCardPhone& phone : entries_[static_cast<size_t>(i)].phones) {
            const QString key = NormalizedNumber(phone.number, plan_);
            if (key.isEmpty()) {
                continue;
            }
            // One number in two entries: the one named by hand wins, else
            // the first.
            const auto found = index_.constFind(key);
            if (found == index_.cend() || (entries_[static_cast<size_t>(i)].byHand &&
                                           !entries_[static_cast<size_t>(*found)].byHand)) {
                index_.insert(key, i);
            }
        }
    }
}

int PhoneBook::EntryOf(const QString& number) const {
    const QString key = NormalizedNumber(number, plan_);
    return key.isEmpty() ? -1 : index_.value(key, -1);
}

QString PhoneBook::NameFor(const QString& number) const {
    const int entry = EntryOf(number);
    return entry < 0 ? QString() : entries_[static_cast<size_t>(entry)].name;
}

void PhoneBook::TakeNumberOut(int index, const QString& key) {
    std::vector<VCardPhone>& phones = entries_[static_cast<size_t>(index)].phones;
    std::erase_if(phones, [&](const VCardPhone& phone) {
        return NormalizedNumber(phone.number, plan_) == key;
    });
    index_.remove(key);
}

bool PhoneBook::Save() {
    if (path_.isEmpty()) {
        lastError_.clear();
        return true;
    }
    if (readOnly_) {
        lastError_ = path_;
        return false;
    }
    QByteArray content;
    for (const PhoneBookEntry& entry : entries_) {
        content.append(VCardCard(entry));
    }
    const int code = ReplaceFileContent(path_, content, {0600, true});
    lastError_ = code == 0 ? QString() : path_ + QStringLiteral(": ") + SystemErrorText(code);
    return code == 0;
}

bool PhoneBook::Changed() {
    std::erase_if(entries_, [](const PhoneBookEntry& entry) { return entry.phones.empty(); });
    Reindex();
    const bool saved = Save();
    Q_EMIT changed();
    return saved;
}

bool PhoneBook::SetName(const QString& number, const QString& name) {
    const QString key = NormalizedNumber(number, plan_);
    if (key.isEmpty()) {
        return false;
    }
    const QString simple = name.simplified();
    const int index = EntryOf(number);
    if (simple.isEmpty()) {
        if (index < 0) {
            return true;
        }
        TakeNumberOut(index, key);
        return Changed();
    }
    if (index >= 0) {
        PhoneBookEntry& entry = entries_[static_cast<size_t>(index)];
        if (entry.phones.size() == 1) {
            entry.name = simple;
            entry.byHand = true;
            return Changed();
        }
        // One number of several: it leaves that contact for a name of its own.
        VCardPhone phone;
        for (const VCardPhone& held : entry.phones) {
            if (NormalizedNumber(held.number, plan_) == key) {
                phone = held;
            }
        }
        TakeNumberOut(index, key);
        entries_.push_back({simple, {phone}, true});
        return Changed();
    }
    entries_.push_back({simple, {{number.simplified(), {}}}, true});
    return Changed();
}

bool PhoneBook::AddEntry(PhoneBookEntry entry) {
    return ReplaceEntry(-1, std::move(entry));
}

bool PhoneBook::ReplaceEntry(int index, PhoneBookEntry entry) {
    if (index >= static_cast<int>(entries_.size())) {
        return false;
    }
    KeepDialable(entry, plan_);
    entry.byHand = true;
    if (entry.name.isEmpty() || entry.phones.empty()) {
        return false;
    }
    // The user's own entry takes its numbers from any other.
    for (const VCardPhone& phone : entry.phones) {
        const int holder = EntryOf(phone.number);
        if (holder >= 0 && holder != index) {
            TakeNumberOut(holder, NormalizedNumber(phone.number, plan_));
        }
    }
    if (index < 0) {
        entries_.push_back(std::move(entry));
    } else {
        entries_[static_cast<size_t>(index)] = std::move(entry);
    }
    return Changed();
}

bool PhoneBook::RemoveEntry(int index) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) {
        return false;
    }
    entries_.erase(entries_.begin() + index);
    return Changed();
}

PhoneBookImport PhoneBook::Import(const QString& vcardPath) {
    return Import(ReadVCardFile(vcardPath));
}

PhoneBookImport PhoneBook::Import(VCardReadResult read) {
    PhoneBookImport import;
    std::vector<VCardContact> contacts = std::move(read.contacts);
    import.read = std::move(read);
    // Entries an import made, by name: a later card of the same name adds
    // its numbers there.
    QHash<QString, int> imported;
    for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
        if (!entries_[static_cast<size_t>(i)].byHand) {
            imported.insert(entries_[static_cast<size_t>(i)].name, i);
        }
    }
    for (VCardContact& contact : contacts) {
        KeepDialable(contact, plan_);
        std::vector<VCardPhone> added;
        for (VCardPhone& phone : contact.phones) {
            const QString key = NormalizedNumber(phone.number, plan_);
            const int holder = index_.value(key, -1);
            if (holder >= 0) {
                const PhoneBookEntry& entry = entries_[static_cast<size_t>(holder)];
                if (entry.byHand) {
                    ++import.numbersKeptByHand;
                    continue;
                }
                if (entry.name == contact.name) {
                    ++import.numbersUnchanged;
                    continue;
                }
                TakeNumberOut(holder, key);
            }
            added.push_back(std::move(phone));
        }
        if (added.empty()) {
            continue;
        }
        int target = imported.value(contact.name, -1);
        if (target < 0 || contact.byHand) {
            target = static_cast<int>(entries_.size());
            entries_.push_back({contact.name, {}, contact.byHand});
            if (!contact.byHand) {
                imported.insert(contact.name, target);
            }
            ++import.contactsAdded;
        }
        for (VCardPhone& phone : added) {
            index_.insert(NormalizedNumber(phone.number, plan_), target);
            entries_[static_cast<size_t>(target)].phones.push_back(std::move(phone));
            ++import.numbersAdded;
        }
    }
    if (import.numbersAdded > 0) {
        Changed();
    }
    return import;
}

QString ImportReportText(const PhoneBookImport& import) {
    const VCardReadResult& read = import.read;
    const auto with = [](int id, qint64 value) {
        return ReplaceMarker(Text(id), QString::number(value));
    };
    QStringList lines;
    switch (read.outcome) {
        case VCardOutcome::kNotText:
            return Text(ids::kImportNotText);
        case VCardOutcome::kNotVCard:
            return Text(ids::kImportNotVCard);
        case VCardOutcome::kTooLarge:
            if (read.cards == 0) {
                return with(ids::kImportTooLarge, VCardLimits().maxFileBytes / (1024 * 1024));
            }
            lines << with(ids::kImportTooLarge, VCardLimits().maxFileBytes / (1024 * 1024));
            break;
        case VCardOutcome::kUnreadable:
            return ReplaceMarker(Text(ids::kImportUnreadable), read.error);
        case VCardOutcome::kTooManyCards:
            lines << with(ids::kImportTooManyCards, read.cards);
            break;
        case VCardOutcome::kTooDeep:
            lines << with(ids::kImportTooDeep, VCardLimits().maxDepth);
            break;
        case VCardOutcome::kRead:
            break;
    }
    lines << ReplaceMarker(
        ReplaceMarker(with(ids::kImportDone, read.cards), QString::number(import.contactsAdded)),
        QString::number(import.numbersAdded));
    const std::pair<int, int> counts[] = {
        {ids::kImportUnchanged, import.numbersUnchanged},
        {ids::kImportKeptByHand, import.numbersKeptByHand},
        {ids::kImportSkippedNoNumber, read.cardsWithoutNumber},
        {ids::kImportSkippedNoName, read.cardsWithoutName},
        {ids::kImportLongProperties, read.longProperties},
        {ids::kImportNestedCards, read.nestedCards},
    };
    for (const auto& [id, count] : counts) {
        if (count > 0) {
            lines << with(id, count);
        }
    }
    return lines.join(u'\n');
}

}  // namespace orvane
