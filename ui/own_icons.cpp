#include "ui/own_icons.h"

#include <QFile>
#include <QString>

namespace orvane {

QIcon OwnIcon(const char* name) {
    if (name == nullptr) {
        return {};
    }
    const QString path =
        QStringLiteral(":/icons/") + QString::fromLatin1(name) + QStringLiteral(".svg");
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

}  // namespace orvane
