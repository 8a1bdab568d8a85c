#include "tests/support/scripted_line_backend.h"

#include <utility>

#include "telephony/tapi.h"

namespace orvane::testing {

LineDetails ScriptedLineBackend::Device(const QString& name, bool capable) {
    LineDetails details;
    details.deviceName = name;
    details.voiceCapability = details.audioCapability = details.tapiCapability = capable;
    details.monitorDigits = details.generateDigits = capable;
    details.port = QStringLiteral("/dev/scripted");
    return details;
}

QStringList ScriptedLineBackend::TakeRequests() {
    return std::exchange(requests, {});
}

qint32 ScriptedLineBackend::DeviceCount() {
    ++deviceCountQueries;
    return static_cast<qint32>(devices.size());
}

LineDetails ScriptedLineBackend::Details(qint32 index) {
    return index >= 0 && index < static_cast<qint32>(devices.size())
               ? devices[static_cast<size_t>(index)]
               : LineDetails{};
}

qint32 ScriptedLineBackend::Open(qint32 index) {
    requests << QStringLiteral("Open %1").arg(index);
    if (openResult != line_error::kNone) {
        return openResult;
    }
    if (index < 0 || index >= static_cast<qint32>(devices.size())) {
        return line_error::kBadDeviceIndex;
    }
    openIndex_ = index;
    return line_error::kNone;
}

qint32 ScriptedLineBackend::Close() {
    requests << QStringLiteral("Close");
    if (closeResult == line_error::kNone) {
        openIndex_ = -1;
        callActive = false;
    }
    return closeResult;
}

void ScriptedLineBackend::RaiseLineLost(qint32 code) {
    openIndex_ = -1;
    callActive = false;
    Raise([code](LineEventSink& s) { s.OnLineLost(code); });
}

std::unique_ptr<Tapi> CreateScriptedTapi(ScriptedLineBackend*& backend, QObject* parent) {
    auto owned = std::make_unique<ScriptedLineBackend>();
    backend = owned.get();
    return std::make_unique<Tapi>(std::move(owned), parent);
}

}  // namespace orvane::testing
