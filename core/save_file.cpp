#include "core/save_file.h"

#include <QSaveFile>

namespace orvane {

bool CommitSaveFile(QSaveFile& file) {
    if (!file.isOpen()) {
        return false;
    }
    if (!file.flush()) {
        file.cancelWriting();
        file.commit();  // removes the temporary file
        return false;
    }
    return file.commit();
}

}  // namespace orvane
