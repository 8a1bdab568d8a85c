#pragma once
// orvane-reg: reads and changes the settings store from the command line in
// the manner of reg.exe (query, add, delete). Unlike reg.exe it never makes
// a key: keys come from orvane-setup, as the program expects.

#include <QStringList>
#include <QTextStream>

namespace orvane::tools {

struct RegConsole {
    QTextStream* out = nullptr;
    QTextStream* err = nullptr;
    QTextStream* in = nullptr;  // answers to the Yes/No questions
    bool interactive = false;   // only a person at a terminal is asked
};

// `arguments` without the program name. Returns the exit code: 0 success,
// 1 failure (with a message on `err`).
int RunReg(const QStringList& arguments, const RegConsole& console);

}  // namespace orvane::tools
