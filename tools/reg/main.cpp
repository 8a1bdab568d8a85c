#include <unistd.h>

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "tools/reg/reg_command.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QTextStream in(stdin);
    const orvane::tools::RegConsole console{&out, &err, &in, ::isatty(STDIN_FILENO) != 0};
    return orvane::tools::RunReg(QCoreApplication::arguments().mid(1), console);
}
