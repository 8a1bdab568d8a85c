#include "app/notes/notes_window.h"

#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextOption>
#include <QVBoxLayout>

#include "calls/notes/general_notes.h"
#include "journal/journal_writer.h"
#include "translation/right_to_left.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {

void FollowLanguageDirection(QPlainTextEdit* box) {
    if (!IsRightToLeft()) {
        return;
    }
    box->setLayoutDirection(Qt::RightToLeft);
    QTextOption option = box->document()->defaultTextOption();
    option.setTextDirection(Qt::RightToLeft);
    option.setAlignment(Qt::AlignRight | Qt::AlignAbsolute);
    box->document()->setDefaultTextOption(option);
}

NotesWindow::NotesWindow(const QString& path, QWidget* parent)
    : QDialog(parent), path_(path.isEmpty() ? GeneralNotesFile() : path) {
    setObjectName(QStringLiteral("frmNotes"));
    const QString& title = Text(ids::kMenuNotes);
    setWindowTitle(title.isEmpty() ? QStringLiteral("Notes") : title);
    setModal(true);

    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("Text1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    resize(480, 360);
    ApplyRightToLeft(this);
    FollowLanguageDirection(text_);

    if (const std::optional<QString> notes = LoadGeneralNotes(path_)) {
        text_->setPlainText(QString(*notes).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        loaded_ = true;
    } else {
        WriteSysLog(QStringLiteral("Cannot read ") + path_, 0, QStringLiteral("frmNotes"));
    }
    text_->document()->setModified(false);
    text_->setFocus();
}

void NotesWindow::done(int result) {
    if (loaded_ || text_->document()->isModified()) {
        QString text = text_->toPlainText();
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        QString error;
        if (!SaveGeneralNotes(path_, text, &error)) {
            WriteSysLog(QStringLiteral("Cannot write %1: %2").arg(path_, error), 0,
                        QStringLiteral("frmNotes"));
            if (ShowMessage(Text(ids::kAskCloseNotesUnsaved), true) != kAnswerYes) {
                return;
            }
        }
    }
    QDialog::done(result);
}

}  // namespace orvane
