#pragma once
// The phone book window (frmPhoneBook): the contacts with their numbers in a
// list with a filter field, Add, Edit, Remove and "Import vCard…". A view
// over the program's PhoneBook: it follows the book's changed signal and
// changes the book only through its calls.

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

#include "calls/phonebook/phone_book.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace orvane {

class PhoneBookWindow final : public QDialog {
  public:
    // `book` must outlive the window.
    explicit PhoneBookWindow(PhoneBook& book, QWidget* parent = nullptr);

    // Shows the window, window-modal, with the filter cleared.
    void Open();

    // The list shows the entries whose name holds the text (any case) or
    // whose numbers hold its digits.
    void SetFilter(const QString& text);
    // The entries shown (the rows are sorted by name).
    const std::vector<int>& ShownEntries() const { return shown_; }

    // The buttons; Edit and Remove act on the selected row.
    void Add();
    void Edit();
    void Remove();
    void ImportVCard();

    // Answers the entry editor in place of the user (nothing: cancelled);
    // an empty hook brings the real dialog back. Returns the one it replaces.
    using EntryDialogHook = std::function<std::optional<PhoneBookEntry>(const PhoneBookEntry&)>;
    static EntryDialogHook SetEntryDialogHook(EntryDialogHook hook);

  private:
    void Refill();
    std::optional<PhoneBookEntry> AskEntry(const PhoneBookEntry& shown);
    int SelectedEntry() const;
    void Report(bool saved);

    PhoneBook& book_;
    QString filter_;
    std::vector<int> shown_;
    QLineEdit* filterBox_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QLabel* count_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* remove_ = nullptr;
};

// "Name this number": asks for the name of `number`, offering the book's
// name or else the line's (when it is a name, not "PRIVATE", "UNAVAILABLE"
// or "UNKNOWN"),
// and stores the answer (an empty one takes the number out of the book).
// Nothing for a number without a digit or when the user cancels.
void NameThisNumber(PhoneBook& book, const QString& number, const QString& lineName,
                    QWidget* parent);

// Answers NameThisNumber's question in place of the user (nothing:
// cancelled); an empty hook brings the real dialog back.
using NameDialogHook =
    std::function<std::optional<QString>(const QString& question, const QString& offered)>;
NameDialogHook SetNameDialogHook(NameDialogHook hook);

}  // namespace orvane
