#include "app/menus/main_menus.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <span>

#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/own_icons.h"

namespace orvane {
namespace {

// A menu item; a text id of 0 makes it a separator.
struct MenuItem {
    const char* key;
    int textId;
    MenuCommand command;
    const char* icon = nullptr;
    const char* shortcut = nullptr;  // portable text, e.g. "Ctrl+S"
    int trailingSpaces = 0;
};

struct TopMenu {
    const char* key;
    int textId;
    std::span<const MenuItem> items;
};

using C = MenuCommand;

constexpr MenuItem kFileItems[] = {
    {"Dialer", ids::kDialer, C::kDialer, "call-start", "Ctrl+D"},
    {"mnuFile(4)", 0, C::kNone},
    {"Notes", ids::kMenuNotes, C::kGeneralNotes, "accessories-text-editor", "Ctrl+N"},
    {"PhoneBook", ids::kMenuPhoneBook, C::kPhoneBook, "x-office-address-book", "Ctrl+B"},
    {"mnuFile(3)", 0, C::kNone},
    {"Hide", ids::kMenuHide, C::kHide},
    {"Exit", ids::kMenuExit, C::kExit, "application-exit", "Ctrl+Q"},
};
// Delete stays on the calls list's own key, so it never fires from a
// dialog's text field. Undo delete is enabled while there is a delete to
// undo (MainWindow).
constexpr MenuItem kEditItems[] = {
    {"BackMsg", ids::kPreviousCall, C::kPreviousCall, "go-previous", "Alt+Up"},
    {"NextMsg", ids::kNextCall, C::kNextCall, "go-next", "Alt+Down"},
    {"mnuEdit(2)", 0, C::kNone},
    {"Edit", ids::kMenuEditNote, C::kEditCallNote, "document-edit", "Ctrl+E"},
    {"Delete", ids::kDeleteCalls, C::kDeleteCalls, "edit-delete"},
    {"Undo", ids::kMenuUndoDelete, C::kUndoDelete, "edit-undo", "Ctrl+Z"},
    {"mnuEdit(7)", 0, C::kNone},
    {"SaveToPC", ids::kSaveCopy, C::kSaveCopy, "document-save-as", "Ctrl+S"},
    {"ExportRecording", ids::kMenuExportRecording, C::kExportRecording, "document-export"},
    {"ExportCsv", ids::kMenuExportCsv, C::kExportCsv, "x-office-spreadsheet"},
    {"mnuEdit(9)", 0, C::kNone},
    {"Find", ids::kMenuFind, C::kFind, "edit-find", "Ctrl+F"},
};
constexpr MenuItem kViewItems[] = {
    {"General", ids::kPageGeneral, C::kSettingsGeneral, "preferences-system", "Ctrl+P"},
    {"Devices", ids::kPageDevices, C::kSettingsDevices},
    {"Events", ids::kPageIncomingCall, C::kSettingsIncomingCall, "call-start"},
    {"Journal", ids::kPageJournal, C::kSettingsJournal, "x-office-document"},
    {"mnuView(5)", 0, C::kNone},
    {"mnuTranslator", ids::kMenuTranslations, C::kTranslationEditor},
};
constexpr MenuItem kHelpItems[] = {
    {"mnuHelp(0)", ids::kMenuHelpContents, C::kHelpContents, "help-contents", "F1"},
    {"ChkForNewVer", ids::kMenuCheckNewVersion, C::kCheckNewVersion, "system-software-update"},
    {"support", ids::kMenuSupport, C::kSupport},
    {"mnuHelp(1)", ids::kMenuProductPage, C::kProductPage, "applications-internet"},
    {"mnuHelp(2)", 0, C::kNone},
    {"mnuHelp(3)", ids::kMenuAbout, C::kAbout, "help-about"},
};
constexpr TopMenu kMenuBar[] = {
    {"mnuFileTop", ids::kMenuFile, kFileItems},
    {"mnuEditTop", ids::kMenuEdit, kEditItems},
    {"mnuViewTop", ids::kMenuView, kViewItems},
    {"mnuHelpTop", ids::kMenuHelp, kHelpItems},
};
// The exit entry is padded so the tray menu is wide enough to read.
constexpr MenuItem kTrayItems[] = {
    {"stExit", ids::kTrayExit, C::kExit, nullptr, nullptr, 22},
    {"st3", 0, C::kNone},
    {"stProporties", ids::kTrayProperties, C::kSettings, "preferences-system"},
    {"st2", 0, C::kNone},
    {"stCloseLine", ids::kTrayCloseLine, C::kCloseLine, ":/icons/line_closed.svg"},
    {"stOpenLine", ids::kTrayOpenLine, C::kOpenLine, ":/icons/line_open.svg"},
    {"st1", 0, C::kNone},
    {"stShow", ids::kTrayShow, C::kShow},
};

struct ToolbarButton {
    int position;
    int textId;   // 0: a separator
    int padding;  // spaces either side of the caption
    MenuCommand command;
    const char* icon;
    const char* objectName;
};
constexpr ToolbarButton kToolbarButtons[] = {
    {1, 0, 0, C::kNone, nullptr, nullptr},
    {2, ids::kDialer, 0, C::kDialer, "call-start", "tbDialer"},
    {3, ids::kMenuView, 3, C::kSettings, "preferences-system", "tbProperties"},
    {4, ids::kToolbarJournal, 0, C::kJournalViewer, "x-office-document", "tbJournal"},
    {5, 0, 0, C::kNone, nullptr, nullptr},
    {6, ids::kMenuNotes, 5, C::kGeneralNotes, "accessories-text-editor", "tbNotes"},
};

void AddItems(QMenu* menu, std::span<const MenuItem> items, bool accessKeys) {
    for (const MenuItem& item : items) {
        if (item.textId == 0) {
            menu->addSeparator()->setData(QString::fromLatin1(item.key));
            continue;
        }
        QString caption = Text(item.textId) + QString(item.trailingSpaces, QLatin1Char(' '));
        if (accessKeys) {
            caption.prepend(QLatin1Char('&'));
        }
        QAction* action = menu->addAction(MenuIcon(item.icon), caption);
        action->setData(QString::fromLatin1(item.key));
        action->setObjectName(QString::fromLatin1(item.key));
        if (item.shortcut != nullptr) {
            action->setShortcut(
                QKeySequence(QString::fromLatin1(item.shortcut), QKeySequence::PortableText));
            action->setShortcutContext(Qt::WindowShortcut);
        }
    }
}

void ConnectClicks(QMenu* menu, const MenuClickHandler& onClick) {
    QObject::connect(menu, &QMenu::triggered, menu,
                     [onClick](QAction* action) { onClick(action->data().toString()); });
}

}  // namespace

MenuCommand CommandForKey(const QString& key) {
    const auto find = [&key](std::span<const MenuItem> items) {
        for (const MenuItem& item : items) {
            if (key == QLatin1String(item.key)) {
                return item.command;
            }
        }
        return MenuCommand::kNone;
    };
    for (const TopMenu& top : kMenuBar) {
        if (const MenuCommand command = find(top.items); command != MenuCommand::kNone) {
            return command;
        }
    }
    return find(kTrayItems);
}

MenuCommand CommandForToolbarPosition(int position) {
    for (const ToolbarButton& button : kToolbarButtons) {
        if (button.position == position) {
            return button.command;
        }
    }
    return MenuCommand::kNone;
}

void BuildMenuBar(QMenuBar* bar, const MenuClickHandler& onClick) {
    for (const TopMenu& top : kMenuBar) {
        QMenu* menu = bar->addMenu(QLatin1Char('&') + Text(top.textId));
        menu->setObjectName(QString::fromLatin1(top.key));
        AddItems(menu, top.items, true);
        ConnectClicks(menu, onClick);
    }
}

QMenu* BuildTrayMenu(QWidget* parent, const MenuClickHandler& onClick) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("mnuSysTry"));
    AddItems(menu, kTrayItems, false);
    ConnectClicks(menu, onClick);
    return menu;
}

void BuildMainToolbarButtons(QToolBar* toolbar, const std::function<void(int position)>& onClick) {
    for (const ToolbarButton& button : kToolbarButtons) {
        if (button.textId == 0) {
            toolbar->addSeparator();
            continue;
        }
        QAction* action = toolbar->addAction(MenuIcon(button.icon), Text(button.textId));
        action->setObjectName(QString::fromLatin1(button.objectName));
        if (button.padding > 0) {
            // The padding widens the button only; the action keeps the
            // plain text for menus and tips.
            const QString padding(button.padding, QLatin1Char(' '));
            if (auto* widget = qobject_cast<QToolButton*>(toolbar->widgetForAction(action))) {
                widget->setText(padding + action->text() + padding);
            }
        }
        const int position = button.position;
        QObject::connect(action, &QAction::triggered, toolbar,
                         [onClick, position] { onClick(position); });
    }
}

QIcon MenuIcon(const char* name) {
    if (name != nullptr && name[0] == ':') {
        return QIcon(QString::fromLatin1(name));
    }
    return OwnIcon(name);
}

}  // namespace orvane
