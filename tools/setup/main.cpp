#include <QCoreApplication>
#include <QLocale>
#include <QTextStream>
#include <cstdio>

#include "settings/setup/setup_command.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return orvane::setup::RunSetup(QCoreApplication::arguments().mid(1), out, err,
                                   QLocale::system().language());
}
