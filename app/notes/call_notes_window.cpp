#include "app/notes/call_notes_window.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTextCursor>
#include <QToolTip>
#include <QVBoxLayout>

#include "app/notes/notes_window.h"
#include "calls/list/calls_list_model.h"
#include "calls/notes/call_notes.h"
#include "translation/right_to_left.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString TextOr(int id, const QString& fallback) {
    const QString& text = Text(id);
    return text.isEmpty() ? fallback : text;
}

// The box holds "\n" (and U+2029 between blocks); the note holds CR LF.
QString ToNote(QString text) {
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(kCrLf, QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.replace(QLatin1Char('\n'), kCrLf);
}

}  // namespace

NoteTextEdit::NoteTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("txtNote"));
    setTabChangesFocus(true);
}

QString NoteTextEdit::Note() const {
    return ToNote(toPlainText());
}

void NoteTextEdit::SetNote(const QString& note) {
    setPlainText(QString(note).replace(kCrLf, QStringLiteral("\n")));
    moveCursor(QTextCursor::End);
}

bool NoteTextEdit::MayInsert(const QString& inserted) {
    const NoteTyping verdict =
        CheckNoteTyping(Note(), ToNote(textCursor().selectedText()), ToNote(inserted));
    if (verdict == NoteTyping::kTaken) {
        return true;
    }
    const QString message =
        verdict == NoteTyping::kNoteFull ? Text(ids::kNoteFullText) : Text(ids::kNoteBytesFullText);
    const QString tip =
        QStringLiteral("<b>%1</b><br>%2")
            .arg(Text(ids::kNoteFullTitle).toHtmlEscaped(), message.toHtmlEscaped());
    QToolTip::showText(mapToGlobal(cursorRect().bottomLeft()), tip, this);
    return false;
}

void NoteTextEdit::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & Qt::ControlModifier)) {
        Q_EMIT AddRequested();
        return;
    }
    // Only keys that put text in are counted; backspace, delete and the
    // moving keys always work.
    QString inserted = enter ? QStringLiteral("\n") : event->text();
    if (!enter && !inserted.isEmpty() && inserted.at(0).category() == QChar::Other_Control) {
        inserted.clear();
    }
    if (!inserted.isEmpty() && !MayInsert(inserted)) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void NoteTextEdit::insertFromMimeData(const QMimeData* source) {
    if (source != nullptr && source->hasText() && !MayInsert(source->text())) {
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}

CallNotesWindow::CallNotesWindow(CallsListModel& list, int row, QWidget* parent)
    : QDialog(parent),
      list_(list),
      row_(list.index(row, 0)),
      call_(list.RefOf(row)),
      folder_(list.Folder()) {
    setObjectName(QStringLiteral("frmCallNotes"));
    setWindowTitle(TextOr(ids::kMenuEditNote, QStringLiteral("Call Notes")));
    setModal(true);

    note_ = new NoteTextEdit(this);
    note_->SetNote(list.CellText(row, calls_column::kBody));
    add_ = new QPushButton(TextOr(ids::kNotesAdd, QStringLiteral("Add")), this);
    add_->setObjectName(QStringLiteral("cmdAdd"));
    auto* cancel = new QPushButton(TextOr(ids::kCancel, QStringLiteral("Cancel")), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    // Enter belongs to the text box: a line break, not Add.
    add_->setAutoDefault(false);
    cancel->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(add_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note_);
    layout->addLayout(buttons);
    setTabOrder(note_, add_);
    setTabOrder(add_, cancel);
    resize(360, 200);

    connect(add_, &QPushButton::clicked, this, &CallNotesWindow::Add);
    connect(note_, &NoteTextEdit::AddRequested, this, &CallNotesWindow::Add);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(&list_, &QAbstractItemModel::modelReset, this, [this] {
        row_ = list_.Folder() == folder_ ? list_.index(list_.RowOf(call_), 0) : QModelIndex();
    });
    ApplyRightToLeft(this);
    FollowLanguageDirection(note_);
    note_->setFocus();
}

void CallNotesWindow::Add() {
    switch (SaveCallNote(list_, row_.isValid() ? row_.row() : -1, note_->Note())) {
        case NoteSave::kTooLong:
            ShowMessage(Text(ids::kMsgNoteTooLong), false);
            return;
        case NoteSave::kStoreFailed:
            ShowMessage(Text(ids::kMsgNoteNotSaved), false);
            return;
        case NoteSave::kNoRow:
            ShowMessage(Text(ids::kMsgNoteNotSaved), false);
            reject();
            return;
        case NoteSave::kSaved:
            accept();
            return;
    }
}

}  // namespace orvane
