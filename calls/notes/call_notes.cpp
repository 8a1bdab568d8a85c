#include "calls/notes/call_notes.h"

#include "calls/list/calls_list_model.h"
#include "calls/store/call_store.h"
#include "calls/store/stored_calls.h"
#include "journal/journal_writer.h"

namespace orvane {

int NoteLength(const QString& note) {
    int length = 0;
    for (qsizetype at = 0; at < note.size(); ++at) {
        // A surrogate pair is one character.
        if (!note.at(at).isLowSurrogate() || at == 0 || !note.at(at - 1).isHighSurrogate()) {
            ++length;
        }
    }
    return length;
}

NoteTyping CheckNoteTyping(const QString& note, const QString& replaced, const QString& inserted) {
    if (inserted.isEmpty()) {
        return NoteTyping::kTaken;
    }
    const int length = NoteLength(note);
    if (length >= kNoteTypingLimit ||
        length - NoteLength(replaced) + NoteLength(inserted) > kNoteTypingLimit) {
        return NoteTyping::kNoteFull;
    }
    const qsizetype bytes =
        note.toUtf8().size() - replaced.toUtf8().size() + inserted.toUtf8().size();
    return bytes > kNoteFieldBytes ? NoteTyping::kBytesFull : NoteTyping::kTaken;
}

NoteSave SaveCallNote(CallsListModel& list, int row, const QString& note) {
    if (row < 0 || row >= list.rowCount()) {
        return NoteSave::kNoRow;
    }
    // The field would cut a longer note where the user cannot see it.
    if (NoteLength(note) > kNoteSaveLimit || note.toUtf8().size() > kNoteFieldBytes) {
        return NoteSave::kTooLong;
    }
    // Written through the store, whose callChanged gives the row its note
    // text and height.
    CallStore& store = list.Store();
    const qint32 number = list.RecordNumber(row);
    if (number < 1 || number > store.Count()) {
        WriteSysLog(QStringLiteral("Cannot read call %1 of %2")
                        .arg(number)
                        .arg(CallIndexFile(store.Folder())),
                    number, QStringLiteral("SaveCallNote"));
        return NoteSave::kStoreFailed;
    }
    CallRecord record = store.Record(number);
    record.Set(CallField::Notes, note);
    if (!store.Write(number, record)) {
        WriteSysLog(QStringLiteral("Cannot write call %1 of %2")
                        .arg(number)
                        .arg(CallIndexFile(store.Folder())),
                    number, QStringLiteral("SaveCallNote"));
        return NoteSave::kStoreFailed;
    }
    return NoteSave::kSaved;
}

}  // namespace orvane
