#pragma once
// The windows the main window's commands open but does not own (dialer,
// note editors, settings dialog, journal viewer). Program fills these in;
// an empty function makes its command do nothing.

#include <QString>
#include <functional>

namespace orvane {

struct WindowCommands {
    // The dialer, with a number to put in it (empty: none).
    std::function<void(const QString& number)> showDialer;
    // The call note editor on the calls list's current row.
    std::function<void()> editCallNote;
    std::function<void()> showGeneralNotes;
    // The settings dialog: page 0 opens it where it opens by itself,
    // 1 to 4 select General, Devices, Incoming call, Journal first.
    std::function<void(int page)> showSettings;
    std::function<void()> showJournalViewer;
    std::function<void()> showTranslationEditor;
    std::function<void()> showPhoneBook;
};

}  // namespace orvane
