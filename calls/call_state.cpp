#include "calls/call_state.h"

#include "core/clock.h"

namespace orvane {

CurrentCall ResetCall(const QDateTime& now, const QLocale& locale) {
    CurrentCall call;
    call.CallDate = ShortDateText(now.date(), locale);
    call.CallTime = LongTimeText(now.time(), locale);
    return call;
}

}  // namespace orvane
