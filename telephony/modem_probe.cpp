#include "telephony/modem_probe.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>
#include <initializer_list>
#include <set>

#include "telephony/modem/caller_id.h"
#include "telephony/modem_channel.h"

namespace orvane {
namespace {

constexpr int kWakeSettleMs = 150;

bool StartsWithAny(const QString& name, std::initializer_list<const char*> prefixes) {
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](const char* prefix) { return name.startsWith(QLatin1String(prefix)); });
}

// Ports whose names say they may carry a modem. Bluetooth, console and
// virtual ports are left out.
bool MayHoldModem(const QString& name) {
    return StartsWithAny(name, {"ttyACM", "ttyUSB", "ttyS", "ttyAMA"});
}

// USB modems and USB serial adapters are there to be used; a built-in
// port may be anything.
bool IsUsbPort(const QString& name) {
    return StartsWithAny(name, {"ttyACM", "ttyUSB"});
}

class QuietListener : public ModemChannelListener {
  public:
    void OnModemLine(std::string_view) override {}
    void OnModemEvent(char) override {}
    void OnVoiceData(std::span<const uint8_t>) override {}
    void OnVoiceEnd() override {}
    void OnChannelLost(qint32) override {}
    void OnModemInputDone() override {}
};

std::string JoinedLines(const std::vector<std::string>& lines) {
    std::string joined;
    for (const std::string& line : lines) {
        if (!joined.empty()) {
            joined += ' ';
        }
        joined += line;
    }
    return joined;
}

// "+GMI: CONEXANT" and "CONEXANT" both give "CONEXANT".
std::string WithoutEcho(std::string text, std::string_view prefix) {
    if (text.size() >= prefix.size() &&
        std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
            return std::toupper(static_cast<unsigned char>(a)) ==
                   std::toupper(static_cast<unsigned char>(b));
        })) {
        text.erase(0, prefix.size());
    }
    while (!text.empty() && text.front() == ' ') {
        text.erase(0, 1);
    }
    return text;
}

}  // namespace

// /dev/serial/by-id names survive replugging and reordering.
QString StableName(const QString& canonical) {
    const QString overridden = qEnvironmentVariable("ORVANE_SERIAL_BY_ID_DIR");
    const QDir byId(overridden.isEmpty() ? QStringLiteral("/dev/serial/by-id") : overridden);
    const QFileInfoList links =
        byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo& link : links) {
        if (!canonical.isEmpty() && link.canonicalFilePath() == canonical) {
            return link.absoluteFilePath();
        }
    }
    return QString();
}

std::vector<SerialPortCandidate> SystemSerialPorts() {
    std::vector<SerialPortCandidate> ports;
    std::set<QString> seen;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        if (!MayHoldModem(info.portName())) {
            continue;
        }
        SerialPortCandidate port;
        port.canonical = QFileInfo(info.systemLocation()).canonicalFilePath();
        if (port.canonical.isEmpty() || !seen.insert(port.canonical).second) {
            continue;
        }
        const QString stable = StableName(port.canonical);
        port.path = stable.isEmpty() ? info.systemLocation() : stable;
        port.kernelName = info.portName();
        port.portName = stable.isEmpty() ? port.kernelName : QFileInfo(stable).fileName();
        port.probeWhenListed = IsUsbPort(port.kernelName);
        if (info.hasVendorIdentifier()) {
            port.description = info.description().trimmed();
        }
        ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end(),
              [](const auto& a, const auto& b) { return a.kernelName < b.kernelName; });
    return ports;
}

std::vector<SerialPortCandidate> WithNamedPorts(std::vector<SerialPortCandidate> ports,
                                                const QStringList& extraPaths) {
    std::set<QString> seen;
    for (const SerialPortCandidate& port : ports) {
        seen.insert(port.canonical);
    }
    for (const QString& extra : extraPaths) {
        const QString path = extra.trimmed();
        if (path.isEmpty()) {
            continue;
        }
        const QFileInfo file(path);
        SerialPortCandidate port;
        port.canonical = file.canonicalFilePath();
        if (port.canonical.isEmpty()) {
            continue;
        }
        if (!seen.insert(port.canonical).second) {
            // The user named a port the system lists: that is consent to ask it.
            for (SerialPortCandidate& listed : ports) {
                if (listed.canonical == port.canonical) {
                    listed.probeWhenListed = true;
                }
            }
            continue;
        }
        const QString stable = StableName(port.canonical);
        port.path = stable.isEmpty() ? file.absoluteFilePath() : stable;
        port.kernelName = stable.isEmpty() ? file.fileName() : QFileInfo(port.canonical).fileName();
        port.portName = stable.isEmpty() ? port.kernelName : QFileInfo(stable).fileName();
        ports.push_back(port);
    }
    return ports;
}

bool WakeModem(ModemChannel& channel, int timeoutMs) {
    // A modem left in voice receive by a crashed program needs its stream
    // ended before it reads commands again; what that stirs up is dropped.
    static const uint8_t kWake[] = {modem::kDle, '!', '\r'};
    channel.Send(kWake);
    channel.Discard(kWakeSettleMs);
    return channel.Command("AT", timeoutMs).ok() || channel.Command("AT", timeoutMs).ok();
}

ModemProbe QueryModem(ModemChannel& channel, int timeout) {
    ModemProbe probe;
    probe.answered = true;
    modem::ProbeReplies replies;
    const ModemReply classes = channel.Command("AT+FCLASS=?", timeout);
    if (classes.ok()) {
        replies.classList = classes.lines;
    }
    std::string identification;
    for (const auto& [command, prefix] :
         {std::pair{"AT+GMI", "+GMI:"}, std::pair{"AT+GMM", "+GMM:"}}) {
        const ModemReply reply = channel.Command(command, timeout);
        if (reply.ok() && !reply.lines.empty()) {
            const std::string part = WithoutEcho(JoinedLines(reply.lines), prefix);
            if (!part.empty() && identification.find(part) == std::string::npos) {
                identification += (identification.empty() ? "" : " ") + part;
            }
        }
    }
    if (identification.empty()) {
        const ModemReply reply = channel.Command("ATI3", timeout);
        if (reply.ok()) {
            identification = JoinedLines(reply.lines);
        }
    }
    replies.identification = {identification};
    if (!modem::HasVoiceClass(replies.classList)) {
        replies.poundClassOk = channel.Command("AT#CLS=?", timeout).ok();
    }
    probe.dialect = modem::DetectDialect(replies);
    probe.identification = QString::fromStdString(modem::CleanCallerText(identification, 60));
    probe.voice = modem::HasVoiceClass(replies.classList) || replies.poundClassOk;
    if (!probe.voice) {
        return probe;
    }
    const modem::DialectCommands commands = modem::CommandsFor(probe.dialect);
    if (!channel.Command(commands.voiceMode, timeout).ok()) {
        return probe;
    }
    if (!commands.formatQuery.empty()) {
        const ModemReply formats = channel.Command(commands.formatQuery, timeout);
        if (formats.ok()) {
            probe.voiceFormat =
                modem::ChooseVoiceFormat(modem::ParseVoiceFormatOffers(formats.lines));
        }
    } else {
        // The "#" dialects have one fixed format.
        probe.voiceFormat = commands.fixedFormat;
    }
    // The "#" families send digits with #VTS, not +VTS.
    probe.generatesDigits = channel.Command(commands.toneQuery, timeout).ok();
    channel.Command(commands.dataMode, timeout);
    return probe;
}

ModemProbe ProbeModem(const QString& path, std::chrono::milliseconds commandTimeout) {
    ModemProbe probe;
    QuietListener listener;
    ModemChannel channel(&listener);
    const qint32 opened = channel.Open(path);
    if (opened == line_error::kPortInUse) {
        probe.held = true;
        return probe;
    }
    if (opened == line_error::kPermissionDenied) {
        probe.permissionDenied = true;
        return probe;
    }
    if (opened != line_error::kNone) {
        return probe;
    }
    const int timeout = static_cast<int>(commandTimeout.count());
    if (WakeModem(channel, timeout)) {
        channel.Command("ATE0V1", timeout);
        probe = QueryModem(channel, timeout);
    }
    channel.Close();
    return probe;
}

LineDetails DetailsOf(const SerialPortCandidate& port, const ModemProbe& probe) {
    LineDetails details;
    QString identification = port.description;
    // The name of a port that is listed unasked must not change once it is
    // asked: it is what the user picked, and is stored as the choice.
    if (identification.isEmpty() && port.probeWhenListed) {
        identification = probe.identification;
    }
    if (identification.isEmpty()) {
        identification = QStringLiteral("Serial port");
    }
    details.deviceName = identification + QStringLiteral(" (") + port.portName + QLatin1Char(')');
    details.port = port.path;
    // A choice stored before the port had its by-id name still finds it.
    if (!port.kernelName.isEmpty() && port.kernelName != port.portName) {
        details.formerNames = {
            identification + QStringLiteral(" (") + port.kernelName + QLatin1Char(')'),
            port.canonical};
    }
    details.tapiCapability = probe.answered;
    details.voiceCapability = probe.voice;
    details.audioCapability = probe.voice && probe.voiceFormat.has_value();
    // Voice modems report DTMF digits inside the voice stream.
    details.monitorDigits = probe.voice;
    details.generateDigits = probe.generatesDigits;
    details.askedOnlyWhenPicked = !port.probeWhenListed;
    return details;
}

}  // namespace orvane
