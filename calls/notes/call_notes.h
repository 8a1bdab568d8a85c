#pragma once
// A call's note: the limits of the text typed for it and saving it into the
// call's record and the calls list's row. Lengths count what the user sees:
// one per character (code point), so a CR LF line break counts two.

#include <QString>

namespace orvane {

class CallsListModel;

// Typing stops once the note is longer than 255 characters.
inline constexpr int kNoteTypingLimit = 256;
// A note is saved only up to this many characters.
inline constexpr int kNoteSaveLimit = 155;
// The record's Notes field holds this many bytes of UTF-8.
inline constexpr int kNoteFieldBytes = 256;

int NoteLength(const QString& note);

enum class NoteTyping {
    kTaken,
    kNoteFull,   // the character limit
    kBytesFull,  // the field's bytes: characters of other scripts take up to four
};

// Whether putting `inserted` (a typed key or a paste, "\r\n" for Enter) in
// place of `replaced` (the selection, often empty) into a note now reading
// `note` may go ahead. Removing text (backspace, delete) is always taken.
NoteTyping CheckNoteTyping(const QString& note, const QString& replaced, const QString& inserted);

enum class NoteSave {
    kSaved,
    kTooLong,      // over kNoteSaveLimit characters (or over the field's bytes)
    kNoRow,        // the row does not exist
    kStoreFailed,  // the record could not be read or written; journaled
};

// Stores `note` (lines separated by CR LF) as the call's note: the row's
// record with Notes set is written through the list's store, which gives
// the row its note text and height. An empty note writes spaces and
// the row drops its preview line. Nothing changes unless the write worked.
NoteSave SaveCallNote(CallsListModel& list, int row, const QString& note);

}  // namespace orvane
