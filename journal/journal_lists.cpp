#include "journal/journal_lists.h"

#include <QListWidget>

namespace orvane {

void FillLogFileList(QListWidget* list, JournalKind kind, const JournalWriter& journal) {
    if (list == nullptr) {
        return;
    }
    list->clear();
    list->addItems(journal.ListLogFiles(kind));
    if (list->count() > 0) {
        list->setCurrentRow(0);
    }
}

void LoadLogFile(QListWidget* list, const QString& name, const JournalWriter& journal) {
    if (list == nullptr) {
        return;
    }
    list->clear();
    list->addItems(journal.ReadLogFile(name));
}

}  // namespace orvane
