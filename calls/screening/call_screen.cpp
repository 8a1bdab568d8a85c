#include "calls/screening/call_screen.h"

#include "calls/phonebook/phone_book.h"
#include "calls/screening/screening_file.h"

namespace orvane {

bool CallScreener::MayBlock() const {
    const ScreeningRules& rules = rules_.Rules();
    return rules.allowListMode || !rules.blockList.empty();
}

ScreeningDecision CallScreener::Decide(const QString& number) const {
    const ScreenedCaller caller{CallerIdStateOf(number), number, book_.NameFor(number)};
    return Screen(rules_.Rules(), caller, book_.Plan());
}

}  // namespace orvane
