#pragma once
// Finding the serial ports that may hold a modem, and asking each what it
// is. Probing runs on worker threads with short time limits, so a port
// with nothing behind it costs a moment, never a hang.

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <vector>

#include "telephony/line_backend.h"
#include "telephony/modem/dialect.h"
#include "telephony/modem/voice_format.h"

namespace orvane {

struct SerialPortCandidate {
    QString path;  // what is opened: a /dev/serial/by-id link where one exists
    // Shown to the user: the /dev/serial/by-id name where one exists (it
    // stays when the modem moves to another USB socket), else ttyACM0,
    // ttyS0 or the configured name.
    QString portName;
    QString description;  // the USB product text, when the port has one
    QString canonical;    // the device node, to spot one port listed twice
    // Asked what it is as soon as it is listed. Built-in serial ports are
    // not: one may carry a console, a UPS or a GPS receiver, which our
    // commands could upset. They are asked only when the user picks one.
    bool probeWhenListed = true;
    // ttyACM0 where portName is a by-id name: what the port was called
    // before, and what its sound input is named after.
    QString kernelName;
};

// The /dev/serial/by-id link to `canonical` (a device node), or empty. The
// folder is ORVANE_SERIAL_BY_ID_DIR when set (tests).
QString StableName(const QString& canonical);

// USB modems (ttyACM), USB serial adapters (ttyUSB) and built-in serial
// ports (ttyS, ttyAMA) that exist, as the system lists them, sorted by name.
std::vector<SerialPortCandidate> SystemSerialPorts();
// `system` followed by `extraPaths` (the settings' own list, e.g. the
// emulator's link) that exist; each device node once. A built-in port named
// in `extraPaths` is probed like a USB one.
std::vector<SerialPortCandidate> WithNamedPorts(std::vector<SerialPortCandidate> system,
                                                const QStringList& extraPaths);

struct ModemProbe {
    bool answered = false;  // "AT" gave OK
    bool held = false;      // another program holds the port
    bool permissionDenied = false;
    QString identification;  // maker and model, as the modem states them
    bool voice = false;      // class 8 listed
    modem::Dialect dialect = modem::Dialect::V253;
    std::optional<modem::VoiceFormatChoice> voiceFormat;
    bool generatesDigits = false;
};

class ModemChannel;

// Ends a voice receive a crashed program may have left running, drops the
// stale output and checks that the modem answers "AT".
bool WakeModem(ModemChannel& channel, int timeoutMs);
// Asks an awake modem what it is and what it can do; leaves it in data mode.
ModemProbe QueryModem(ModemChannel& channel, int timeoutMs);

// Asks the modem on `path`; every command waits at most `commandTimeout`.
// Runs on any thread.
ModemProbe ProbeModem(const QString& path, std::chrono::milliseconds commandTimeout);

// What the user sees of a port and its probe.
LineDetails DetailsOf(const SerialPortCandidate& port, const ModemProbe& probe);

}  // namespace orvane
