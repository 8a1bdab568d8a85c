#include "telephony/call_state.h"

#include "app/core/clock.h"

namespace orvane {

CurrentCall ResetCall(const QDateTime& now, const QLocale& locale) {
    CurrentCall call;
    call.CallDate = ShortDateText(now.date(), locale);
    call.CallTime = LongTimeText(now.time(), locale);
    return call;
}

CallState& ProgramCallState() {
    static CallState state;
    return state;
}

}  // namespace orvane
