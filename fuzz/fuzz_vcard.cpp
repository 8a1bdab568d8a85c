// vCard files come from any phone or address book the user imports from:
// whatever they hold, reading must not crash, must keep only contacts with
// a name and a number, and what it writes of them must read back the same.
#include <QBuffer>
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "calls/phonebook/vcard_reader.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

orvane::VCardReadResult Read(const QByteArray& bytes, const orvane::VCardLimits& limits) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return orvane::ReadVCards(buffer, limits);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvane;
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // Small caps, so that the fuzzer reaches them.
    VCardLimits limits;
    limits.maxPropertyBytes = 512;
    limits.maxCards = 50;
    limits.maxDepth = 3;
    const VCardReadResult read = Read(content, limits);
    Check(static_cast<int>(read.contacts.size()) <= read.cards && read.cards <= limits.maxCards);
    if (content.contains('\0')) {
        Check(read.outcome == VCardOutcome::kNotText && read.contacts.empty());
    }
    QByteArray written;
    for (const VCardContact& contact : read.contacts) {
        Check(!contact.name.isEmpty() && !contact.phones.empty());
        written += VCardCard(contact);
    }
    if (!read.contacts.empty()) {
        const VCardReadResult again = Read(written, VCardLimits());
        Check(again.outcome == VCardOutcome::kRead &&
              again.contacts.size() == read.contacts.size());
        for (size_t i = 0; i < read.contacts.size(); ++i) {
            Check(again.contacts[i].name == read.contacts[i].name.simplified() ||
                  again.contacts[i].name == read.contacts[i].name);
            Check(again.contacts[i].phones.size() == read.contacts[i].phones.size());
        }
    }
    return 0;
}
