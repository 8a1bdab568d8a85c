#include "telephony/caller_id_standard.h"

#include <algorithm>

namespace orvane {

QString CallerIdStandardCode(const QString& stored) {
    const QString text = stored.trimmed();
    // Digits only: "+2", "0x2" and "2.0" are no choice the page makes.
    if (text.isEmpty() || text.size() > 3 ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        return {};
    }
    const QString code = QStringLiteral("%1").arg(text.toInt(), 2, 10, QLatin1Char('0'));
    const bool listed =
        std::any_of(kCallerIdStandards.begin(), kCallerIdStandards.end(),
                    [&](const char* known) { return code == QLatin1String(known); });
    return listed ? code : QString();
}

std::string CallerIdStandardCommand(const QString& code) {
    return "AT!4886=" + code.toStdString();
}

}  // namespace orvane
