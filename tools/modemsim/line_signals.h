#pragma once
// What the modem reports of the telephone line, byte for byte: rings,
// caller ID in the forms real firmwares print, and the local handset. What
// goes out depends on the client's settings: in data class a ring is a
// "RING" line, in voice class a <DLE>R; caller ID only when the client
// turned it on.

#include <optional>
#include <string>

#include "tools/modemsim/at_interpreter.h"

namespace orvane::modemsim {

enum class CidFormat {
    Spaces,    // "NMBR = 5551234", one tag a line
    NoSpaces,  // "NMBR=5551234"
    OneLine,   // "DATE = 0321 TIME = 1405 NMBR = 5551234 NAME = ..."
    Mdmf,      // the multiple-data-message packet as one line of hex
    Sdmf,      // the single-data-message packet (number only) as hex
    Mesg,      // the MDMF packet as the value of "MESG = "
    Raw,       // the scenario's bytes, exactly
};

struct CallerIdMessage {
    std::string name;
    std::string number;
    std::string date;                 // "MMDD"; empty: today
    std::string time;                 // "HHMM"; empty: now
    std::optional<CidFormat> format;  // nothing: as the client asked (1 text, 2 hex)
    std::string raw;                  // CidFormat::Raw
    int paceMs = 0;                   // a slow modem: one byte every paceMs
};

// The modem state the signals depend on.
struct SignalContext {
    Dialect dialect = Dialect::V253;
    ModemModel model = ModemModel::Generic;
    bool voiceClass = false;
    int callerIdMode = 0;
    bool ringText = false;  // voice class: a "RING" line as well as <DLE>R
};

SignalContext ContextOf(const AtInterpreter& modem, bool ringText);

std::string RingBytes(const SignalContext& context);

// Caller ID as the modem prints it, or nothing when the client did not turn
// caller ID on. Date and time default to the local clock.
std::string CallerIdBytes(const SignalContext& context, const CallerIdMessage& message);

// The report of the format alone (no check of the client's setting).
std::string FormatCallerId(const CallerIdMessage& message, CidFormat format);

// <DLE>H (Rockwell <DLE>t, Conexant <DLE>P) and <DLE>h (Conexant <DLE>p)
// in voice class; nothing in data class,
// where a modem does not report the handset.
std::string HandsetBytes(const SignalContext& context, bool offHook);

// The event code for a shielded <DLE><code> pair.
std::string DleEvent(char code);

}  // namespace orvane::modemsim
