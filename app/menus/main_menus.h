#pragma once
// The main window's menu bar, tray menu and main toolbar as tables: every
// item with its key, caption, icon and command. The window's single click
// handler turns a key (or a toolbar position) into a MenuCommand and runs it.

#include <QString>
#include <functional>

class QIcon;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace orvane {

enum class MenuCommand {
    kNone,
    kDialer,
    kGeneralNotes,
    kHide,
    kExit,
    kPreviousCall,
    kNextCall,
    kEditCallNote,
    kDeleteCalls,
    kSaveCopy,
    kSettings,  // where the dialog opens by itself
    kSettingsGeneral,
    kSettingsDevices,
    kSettingsIncomingCall,
    kSettingsJournal,
    kJournalViewer,
    kHelpContents,
    kCheckNewVersion,
    kSupport,
    kProductPage,
    kAbout,
    kOpenLine,
    kCloseLine,
    kShow,
    kTranslationEditor,
    kUndoDelete,
    kFind,
    kExportCsv,
    kExportRecording,
    kPhoneBook,
};

// The command of a menu key; kNone for a separator or an unknown key.
MenuCommand CommandForKey(const QString& key);
// The command of a main toolbar position; kNone for the line switch (which
// runs by itself), separators and positions out of range.
MenuCommand CommandForToolbarPosition(int position);

using MenuClickHandler = std::function<void(const QString& key)>;

// Appends File, Edit, View and Help to `bar`; a click reports its key.
void BuildMenuBar(QMenuBar* bar, const MenuClickHandler& onClick);
// The tray icon's menu, owned by `parent`.
QMenu* BuildTrayMenu(QWidget* parent, const MenuClickHandler& onClick);

// Appends the main toolbar's positions after the line switch (1 to 6); a
// click reports its position.
void BuildMainToolbarButtons(QToolBar* toolbar, const std::function<void(int position)>& onClick);

// An icon by name: ":/..." from the program's resources, otherwise the
// program's own icon of that name (OwnIcon); empty for none.
QIcon MenuIcon(const char* name);

}  // namespace orvane
