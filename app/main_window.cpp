#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <utility>

#include "app/about/about_box.h"
#include "app/calls_list/calls_folder_bar.h"
#include "app/calls_list/calls_list_view.h"
#include "app/calls_list/calls_search_bar.h"
#include "app/export/export_commands.h"
#include "app/help/help_window.h"
#include "app/menus/main_menus.h"
#include "app/menus/web_links.h"
#include "app/player/playback_bar.h"
#include "app/program.h"
#include "calls/call_state.h"
#include "calls/call_state_machine.h"
#include "calls/call_views.h"
#include "calls/list/calls_columns_state.h"
#include "calls/list/calls_list_model.h"
#include "calls/phonebook/phone_book.h"
#include "calls/screening/screening_file.h"
#include "core/clock.h"
#include "core/copy_into_folder.h"
#include "core/product.h"
#include "journal/journal_writer.h"
#include "settings/program_settings.h"
#include "settings/store/registry_store.h"
#include "translation/bidi_text.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/common_widgets.h"
#include "ui/desktop_notifier.h"
#include "ui/palette_colours.h"
#include "ui/record_question.h"
#include "ui/tray_icon.h"
#include "windows/phone_book/phone_book_window.h"

static void InitUiResources() {
    Q_INIT_RESOURCE(ui);
}

namespace orvane {
namespace {

// The status bar sizes its items by their minimum sizes, which a wrapping
// label works out for a guessed width: the label asks for the height its
// text needs at the width it was given.
int TextHeightAt(const QLabel* label, int width) {
    if (label->text().isEmpty()) {
        return 0;
    }
    const QMargins margins = label->contentsMargins();
    const int textWidth = std::max(1, width - margins.left() - margins.right());
    return label->fontMetrics()
               .boundingRect(QRect(0, 0, textWidth, 1 << 20), Qt::TextWordWrap, label->text())
               .height() +
           margins.top() + margins.bottom();
}

void FitHeightToText(QLabel* label) {
    const int needed = TextHeightAt(label, label->width());
    if (needed != label->minimumHeight()) {
        label->setMinimumHeight(needed);
        label->updateGeometry();
    }
}

// A status-bar message that wraps and keeps its height fitted to its text.
class WrappingStatusLabel : public QLabel {
  public:
    using QLabel::QLabel;

    // A wrapping label's own hint and height-for-width are worked out for
    // guessed, narrower widths: the bar would grow by the lines those need.
    // Its height follows its text at the width it has instead.
    bool hasHeightForWidth() const override { return false; }
    QSize sizeHint() const override {
        QSize hint = QLabel::sizeHint();
        if (width() > 0 && !text().isEmpty()) {
            hint.setHeight(TextHeightAt(this, width()));
        }
        return hint;
    }

    QSize minimumSizeHint() const override {
        QSize hint = QLabel::minimumSizeHint();
        if (width() > 0 && !text().isEmpty()) {
            hint.setHeight(TextHeightAt(this, width()));
        }
        return hint;
    }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        FitHeightToText(this);
    }
};

constexpr int kStatusPanelWidth = 150;
constexpr int kClockIntervalMs = 1000;
constexpr int kNoTrayNoticeMs = 15000;
constexpr int kBalloonMs = 30000;
constexpr int kToolbarIconSize = 24;

// The keys of the record question's answers on a notice.
const QString kKeepChoice = QStringLiteral("keep-recording");
const QString kDontRecordChoice = QStringLiteral("dont-record");

// A phone number keeps its reading order inside a right-to-left layout.
QString LeftToRight(const QString& text) {
    return QChar(0x2066) + text + QChar(0x2069);
}

}  // namespace

// What the line and the calls show on the main window.
class MainWindow::CallDisplayView final : public CallView {
  public:
    explicit CallDisplayView(MainWindow& window) : w_(window) {}

    void SetLineSwitch(bool open) override { w_.SetLineSwitch(open); }
    void ShowLineProblem(const QString& text) override {
        if (w_.lineProblem_ != nullptr) {
            w_.lineProblem_->setText(text);
            FitHeightToText(w_.lineProblem_);
            w_.lineProblem_->setToolTip(text);
            w_.lineProblem_->setVisible(!text.isEmpty());
        }
        if (!text.isEmpty() && w_.tray_ != nullptr) {
            w_.tray_->ShowBalloonTip(product::kApplicationTitle, text,
                                     TrayIcon::BalloonIcon::Warning, kBalloonMs);
        }
    }
    void SetLineStatus(const QString& text) override {
        if (w_.statusPanels_[2] != nullptr) {
            w_.statusPanels_[2]->setText(text);
        }
    }
    QString CallerNameText() const override { return w_.callerName_; }
    QString CallerNumberText() const override { return w_.callerNumber_; }
    void SetCallerTexts(const QString& name, const QString& number) override {
        w_.SetCallerTexts(name, number);
    }
    QString RingText() const override {
        return w_.lblRing_ != nullptr ? w_.lblRing_->text() : QString();
    }
    void SetRingText(const QString& text) override {
        if (w_.lblRing_ != nullptr) {
            w_.lblRing_->setText(text);
        }
    }
    void ShowCallDisplay(bool visible) override { w_.ShowCallDisplay(visible); }
    void DisplayBallonCallSetails(const QString& title, const QString& text) override {
        TrayIcon* tray = w_.tray_;
        const auto balloon = [tray, title, text] {
            if (tray != nullptr) {
                tray->ShowBalloonTip(title, text, TrayIcon::BalloonIcon::Information, kBalloonMs);
            }
        };
        if (w_.notifier_ == nullptr) {
            balloon();
            return;
        }
        DesktopNotifier::Notice notice{title, text, Text(ids::kTrayShow), kBalloonMs, {}};
        // The record question, while it shows, is answered on the notice too.
        if (w_.recordQuestion_ != nullptr &&
            w_.recordQuestion_->State() != RecordQuestion::kHidden) {
            notice.choices = {kKeepChoice, Text(ids::kAskKeepButton), kDontRecordChoice,
                              Text(ids::kAskDontRecordButton)};
        }
        w_.notifier_->Show(notice, balloon);
    }
    void RestoreWindow() override { w_.RestoreWindow(); }
    void Ask(const QString& question, std::function<void(bool yes)> answered) override {
        AskQuestion(question, std::move(answered));
    }
    void ShowRecordQuestion(RecordQuestion state) override {
        if (w_.recordQuestion_ != nullptr) {
            w_.recordQuestion_->Show(state);
        }
    }
    void Inform(const QString& text) override { ShowMessage(text, false); }
    void PlayAlertSound(const QString& path, qint32 device) override {
        w_.program_.PlayAlertSound(path, device);
    }

  private:
    MainWindow& w_;
};

MainWindow::MainWindow(Program& program, QWidget* parent)
    : QMainWindow(parent),
      program_(program),
      callDisplay_(std::make_unique<CallDisplayView>(*this)) {
    InitUiResources();
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/orvane.svg")));
}

MainWindow::~MainWindow() = default;

CallView& MainWindow::CallDisplay() {
    return *callDisplay_;
}

void MainWindow::BuildTray() {
    tray_ = new TrayIcon(this);
    tray_->SetMenu(trayMenu_);
    tray_->SetLineOpen(lineSwitchOpen_);
    tray_->Load();
    tray_->SetToolTip(product::kProductString);
    connect(tray_, &TrayIcon::SysTrayMouseDown, this, &MainWindow::OnTrayMouseDown);
    connect(tray_, &TrayIcon::BalloonClicked, this, &MainWindow::RestoreWindow);
    notifier_ = new DesktopNotifier(this);
    connect(notifier_, &DesktopNotifier::Activated, this, &MainWindow::RestoreWindow);
    connect(notifier_, &DesktopNotifier::Chosen, this, [this](const QString& key) {
        if (key == kKeepChoice || key == kDontRecordChoice) {
            AnswerRecordQuestion(key == kKeepChoice);
        }
    });
}

void MainWindow::ShowAtStart(bool hidden) {
    if (!hidden) {
        if (restoredState_ == StoredWindowState::Maximized) {
            showMaximized();
        } else {
            show();
        }
    } else if (!HasTray()) {
        // Nothing would be left on screen to bring the program back.
        showMinimized();
    }
}

void MainWindow::BuildMenus() {
    const MenuClickHandler click = [this](const QString& key) { MenuClick(key); };
    BuildMenuBar(menuBar(), click);
    trayMenu_ = BuildTrayMenu(this, click);
    UpdateTrayLineEntries();
    // Nothing to undo until calls are deleted.
    undoDelete_ = menuBar()->findChild<QAction*>(QStringLiteral("Undo"));
    if (undoDelete_ != nullptr) {
        undoDelete_->setEnabled(program_.CallsList().CanUndoDelete());
        connect(&program_.CallsList(), &CallsListModel::UndoDeleteAvailable, undoDelete_,
                &QAction::setEnabled);
    }
}

void MainWindow::MenuClick(const QString& key) {
    RunCommand(CommandForKey(key));
}

void MainWindow::ToolbarClick(int position) {
    // Position 0, the line switch, runs through its own action.
    RunCommand(CommandForToolbarPosition(position));
}

void MainWindow::SetWindowCommands(WindowCommands commands) {
    commands_ = std::move(commands);
}

void MainWindow::RunCommand(MenuCommand command) {
    // Each group says whether the command was one of its own.
    if (!RunCallsListCommand(command) && !RunWindowCommand(command) && !RunHelpCommand(command)) {
        RunProgramCommand(command);
    }
}

bool MainWindow::RunCallsListCommand(MenuCommand command) {
    int button = -1;
    switch (command) {
        case MenuCommand::kPreviousCall:
            button = CallsListPanel::kPrevious;
            break;
        case MenuCommand::kNextCall:
            button = CallsListPanel::kNext;
            break;
        case MenuCommand::kDeleteCalls:
            button = CallsListPanel::kDelete;
            break;
        case MenuCommand::kSaveCopy:
            button = CallsListPanel::kSaveToPc;
            break;
        case MenuCommand::kUndoDelete:
            if (callsList_ != nullptr) {
                callsList_->UndoDelete();
            }
            return true;
        case MenuCommand::kFind:
            if (callsSearch_ != nullptr) {
                callsSearch_->FocusSearch();
            }
            return true;
        case MenuCommand::kExportCsv:
            if (exports_ != nullptr) {
                exports_->ExportCsv();
            }
            return true;
        case MenuCommand::kExportRecording:
            if (exports_ != nullptr) {
                exports_->ExportRecordings();
            }
            return true;
        default:
            return false;
    }
    if (callsList_ != nullptr) {
        callsList_->ButtonClicked(button);
    }
    return true;
}

bool MainWindow::RunWindowCommand(MenuCommand command) {
    const auto run = [](const std::function<void()>& function) {
        if (function) {
            function();
        }
    };
    switch (command) {
        case MenuCommand::kDialer:
            if (commands_.showDialer) {
                commands_.showDialer(QString());
            }
            return true;
        case MenuCommand::kGeneralNotes:
            run(commands_.showGeneralNotes);
            return true;
        case MenuCommand::kEditCallNote:
            run(commands_.editCallNote);
            return true;
        case MenuCommand::kJournalViewer:
            run(commands_.showJournalViewer);
            return true;
        case MenuCommand::kTranslationEditor:
            run(commands_.showTranslationEditor);
            return true;
        case MenuCommand::kPhoneBook:
            run(commands_.showPhoneBook);
            return true;
        case MenuCommand::kSettings:
        case MenuCommand::kSettingsGeneral:
        case MenuCommand::kSettingsDevices:
        case MenuCommand::kSettingsIncomingCall:
        case MenuCommand::kSettingsJournal:
            // Page 0 lets the dialog choose; 1 to 4 follow the commands' order.
            static_assert(static_cast<int>(MenuCommand::kSettingsJournal) -
                              static_cast<int>(MenuCommand::kSettings) ==
                          4);
            if (commands_.showSettings) {
                commands_.showSettings(static_cast<int>(command) -
                                       static_cast<int>(MenuCommand::kSettings));
            }
            return true;
        default:
            return false;
    }
}

bool MainWindow::RunHelpCommand(MenuCommand command) {
    switch (command) {
        case MenuCommand::kHelpContents:
            ShowHelp(QStringLiteral("index.html"), this);
            return true;
        case MenuCommand::kSupport:
            ShowHelp(QStringLiteral("support.html"), this);
            return true;
        case MenuCommand::kCheckNewVersion:
            OpenInBrowser(UpdateCheckUrl(WebSite()));
            return true;
        case MenuCommand::kProductPage:
            OpenInBrowser(ProductPageUrl(WebSite()));
            return true;
        case MenuCommand::kAbout:
            ShowAbout();
            return true;
        default:
            return false;
    }
}

void MainWindow::RunProgramCommand(MenuCommand command) {
    switch (command) {
        case MenuCommand::kHide:
            HideWindow();
            break;
        case MenuCommand::kShow:
            RestoreWindow();
            break;
        case MenuCommand::kExit:
            // The user may still keep a call that is being recorded.
            if (program_.MayQuitNow()) {
                program_.Quit();
            }
            break;
        // The tray's line entries act only where the line's state allows,
        // as their enabled state shows.
        case MenuCommand::kOpenLine:
            if (!lineSwitchOpen_) {
                program_.OpenLine();
            }
            break;
        case MenuCommand::kCloseLine:
            if (lineSwitchOpen_) {
                program_.CloseLine();
            }
            break;
        default:
            break;
    }
}

void MainWindow::UpdateTrayLineEntries() {
    if (trayMenu_ == nullptr) {
        return;
    }
    for (QAction* action : trayMenu_->actions()) {
        const MenuCommand command = CommandForKey(action->data().toString());
        if (command == MenuCommand::kOpenLine) {
            action->setEnabled(!lineSwitchOpen_);
        } else if (command == MenuCommand::kCloseLine) {
            action->setEnabled(lineSwitchOpen_);
        }
    }
}

QString MainWindow::WebSite() {
    return WebSiteBase(program_.Settings().Window().WebSite());
}

void MainWindow::ShowAbout() {
    auto* about = findChild<AboutBox*>();
    if (about == nullptr) {
        about = new AboutBox(this);
        about->setAttribute(Qt::WA_DeleteOnClose);
    }
    // Modal without a nested event loop: the program keeps answering the
    // line while the box is up.
    about->setWindowModality(Qt::ApplicationModal);
    about->show();
    about->raise();
    about->activateWindow();
}

void MainWindow::SaveCopy(const QString& recordingPath) {
    MainWindowSettings& settings = program_.Settings().Window();
    QString folder = settings.LastSaveFolder();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::homePath();
    }
    const SaveCopyOutcome outcome = SaveCopyAs(recordingPath, this, QStringLiteral("wav"), folder);
    if (outcome.chosen.isEmpty()) {
        return;
    }
    settings.SetLastSaveFolder(QFileInfo(outcome.chosen).absolutePath());
    if (outcome.Failed()) {
        QString text = Text(ids::kMsgSaveCopyFailed);
        if (text.isEmpty()) {
            text = QStringLiteral("Orvane could not save a copy of the recording:\n<%S>");
        }
        ShowMessage(ReplaceMarker(text, outcome.error), false);
    }
}

void MainWindow::SaveCopies(const QStringList& recordingPaths) {
    MainWindowSettings& settings = program_.Settings().Window();
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Folder;
    request.owner = this;
    request.title = Text(ids::kSaveCopiesTitle);
    if (request.title.isEmpty()) {
        request.title = QStringLiteral("Save copies");
    }
    request.folder = settings.LastSaveFolder();
    if (request.folder.isEmpty() || !QFileInfo(request.folder).isDir()) {
        request.folder = QDir::homePath();
    }
    const QString folder = RunFileDialog(request);
    if (folder.isEmpty()) {
        return;
    }
    settings.SetLastSaveFolder(QDir(folder).absolutePath());
    QStringList failed;
    for (const QString& path : recordingPaths) {
        const FolderCopy copy = CopyIntoFolder(path, folder);
        if (!copy.error.isEmpty()) {
            failed << copy.error;
        }
    }
    if (!failed.isEmpty()) {
        QString text = Text(ids::kMsgCopiesNotSaved);
        if (text.isEmpty()) {
            text = QStringLiteral(
                "Some recordings could not be copied; the others were "
                "saved:\n<%S>");
        }
        ShowMessage(ReplaceMarker(text, failed.join(QLatin1Char('\n'))), false);
    }
}

void MainWindow::BuildCallsArea() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralArea"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (callerDisplay_ != nullptr) {
        layout->addWidget(callerDisplay_);
    }
    callsFolder_ = new CallsFolderBar(central);
    layout->addWidget(callsFolder_);
    callsSearch_ = new CallsSearchBar(program_.CallsList(), central);
    layout->addWidget(callsSearch_);
    callsList_ = new CallsListPanel(program_.CallsList(), central);
    callsList_->setObjectName(QStringLiteral("callsArea"));
    if (progressBar_ != nullptr) {
        callsList_->SetProgressBar(progressBar_);
    }
    layout->addWidget(callsList_, 1);
    setCentralWidget(central);
    connect(callsList_, &CallsListPanel::SaveToPcRequested, this, &MainWindow::SaveCopy);
    connect(callsList_, &CallsListPanel::SaveCopiesRequested, this, &MainWindow::SaveCopies);
    RestoreCallsColumns();
    // Esc in the search hands the keys back to the list.
    connect(callsSearch_, &CallsSearchBar::Done, callsList_->View(),
            [this] { callsList_->View()->setFocus(Qt::OtherFocusReason); });
    connect(&program_.CallsList(), &CallsListModel::CountsChanged, this,
            &MainWindow::ShowCallsCount);
    exports_ =
        new ExportCommands(*callsList_, program_.CallsList(), program_.Settings().Window(), this);
    exports_->SetProgressBar(progressBar_);
    exports_->SetCallerNames(callerNames_);
    callsList_->AddContextAction(exports_->RecordingAction());
    callsList_->AddContextAction(exports_->CsvAction());
    AddNameThisNumber();
    AddBlockThisNumber();
}

void MainWindow::ShowCallsCount() {
    if (statusPanels_[1] != nullptr) {
        statusPanels_[1]->setText(ShownCallsText(program_.CallsList()));
    }
}

void MainWindow::SetCallerNames(CallerNameLookup nameFor) {
    callerNames_ = std::move(nameFor);
    if (exports_ != nullptr) {
        exports_->SetCallerNames(callerNames_);
    }
}

void MainWindow::AddNameThisNumber() {
    // On the rows' context menu: names the caller of the call shown in the
    // phone book, for calls with a number.
    PhoneBook* book = program_.Book();
    if (book == nullptr) {
        return;
    }
    auto* action = new QAction(Text(ids::kNameThisNumber), callsList_);
    action->setObjectName(QStringLiteral("actNameThisNumber"));
    const auto caller = [this](int column) {
        const int row = callsList_->View()->CurrentRow();
        return row < 0 ? QString() : program_.CallsList().CellText(row, column);
    };
    const auto follow = [action, caller] {
        action->setEnabled(
            !NumberDigits(caller(calls_column::kCallerNumber)).remove(u'+').isEmpty());
    };
    connect(callsList_->View()->selectionModel(), &QItemSelectionModel::currentRowChanged, action,
            follow);
    connect(&program_.CallsList(), &QAbstractItemModel::modelReset, action, follow);
    connect(action, &QAction::triggered, this, [this, book, caller] {
        NameThisNumber(*book, caller(calls_column::kCallerNumber),
                       caller(calls_column::kCallerName), this);
    });
    follow();
    callsList_->AddContextAction(action);
}

void MainWindow::AddBlockThisNumber() {
    // On the rows' context menu: the caller's later calls are answered and
    // hung up unseen.
    ScreeningFile* rules = program_.Screening();
    PhoneBook* book = program_.Book();
    if (rules == nullptr || book == nullptr) {
        return;
    }
    auto* action = new QAction(Text(ids::kBlockThisNumber), callsList_);
    action->setObjectName(QStringLiteral("actBlockThisNumber"));
    const auto number = [this] {
        const int row = callsList_->View()->CurrentRow();
        return row < 0 ? QString()
                       : program_.CallsList().CellText(row, calls_column::kCallerNumber);
    };
    const auto follow = [action, number] {
        action->setEnabled(CallerIdStateOf(number()) == CallerIdState::kPresent);
    };
    connect(callsList_->View()->selectionModel(), &QItemSelectionModel::currentRowChanged, action,
            follow);
    connect(&program_.CallsList(), &QAbstractItemModel::modelReset, action, follow);
    connect(action, &QAction::triggered, this, [this, rules, book, number] {
        const QString caller = number();
        switch (rules->BlockNumber(caller, book->Plan())) {
            case ScreeningFile::BlockOutcome::kBlocked:
                statusBar()->showMessage(ReplaceMarker(Text(ids::kMsgNumberBlocked), caller));
                break;
            case ScreeningFile::BlockOutcome::kBlockedAndUnallowed:
                statusBar()->showMessage(
                    ReplaceMarker(Text(ids::kMsgNumberBlockedUnallowed), caller));
                break;
            case ScreeningFile::BlockOutcome::kAlreadyBlocked:
                statusBar()->showMessage(
                    ReplaceMarker(Text(ids::kMsgNumberAlreadyBlocked), caller));
                break;
            case ScreeningFile::BlockOutcome::kNotSaved:
                ShowMessage(ReplaceMarker(Text(ids::kMsgScreeningNotSaved), rules->LastError()),
                            false);
                break;
            case ScreeningFile::BlockOutcome::kNoNumber:
                break;
        }
    });
    follow();
    callsList_->AddContextAction(action);
}

void MainWindow::RestoreCallsColumns() {
    const MainWindowSettings& settings = program_.Settings().Window();
    CallsListView* view = callsList_->View();
    const std::optional<std::vector<CallsColumn>> columns =
        ColumnsFromText(settings.CallsColumns(), view->ShownColumns());
    if (columns) {
        view->SetColumns(*columns);
    }
    const std::optional<CallsSort> sort = SortFromText(settings.CallsSort(), view->ShownColumns());
    if (sort) {
        view->SetSort(*sort);
    }
}

void MainWindow::SaveCallsColumns() {
    if (callsList_ == nullptr) {
        return;
    }
    MainWindowSettings& settings = program_.Settings().Window();
    const CallsListView* view = callsList_->View();
    settings.SetCallsColumns(ColumnsText(view->Columns()));
    const std::optional<CallsSort> sort = view->Sort();
    settings.SetCallsSort(sort ? SortText(*sort) : QString());
}

void MainWindow::ShowCallsFolder(const QString& folder) {
    if (callsFolder_ != nullptr) {
        callsFolder_->SetFolder(folder);
    }
}

void MainWindow::BuildPlaybackArea(PlaybackControl& player) {
    QWidget* central = centralWidget();
    playback_ = new PlaybackBar(player, callsList_, central != nullptr ? central : this);
    if (central != nullptr && central->layout() != nullptr) {
        central->layout()->addWidget(playback_);
    }
    if (callsList_ != nullptr) {
        // Reading order: Tab leaves the list for the player under it.
        QWidget::setTabOrder(callsList_->View(), playback_->ButtonOf(playback_->PlayButton()));
    }
}

void MainWindow::BuildToolbars() {
    cToolbar1_ = new QToolBar(this);
    cToolbar1_->setObjectName(QStringLiteral("cToolbar1"));
    cToolbar1_->setWindowTitle(Text(ids::kToolbarTitle));
    cToolbar1_->setIconSize(QSize(kToolbarIconSize, kToolbarIconSize));
    cToolbar1_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    cToolbar1_->setMovable(false);
    addToolBar(Qt::TopToolBarArea, cToolbar1_);

    lineSwitch_ = cToolbar1_->addAction(QString());
    lineSwitch_->setObjectName(QStringLiteral("lineSwitch"));
    lineSwitch_->setCheckable(true);
    lineSwitch_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    lineSwitch_->setShortcutContext(Qt::WindowShortcut);
    if (QWidget* button = cToolbar1_->widgetForAction(lineSwitch_)) {
        button->setObjectName(QStringLiteral("lineSwitchButton"));
        // Toolbar buttons take no focus by default; this one is reached with
        // Tab as well as with its shortcut.
        button->setFocusPolicy(Qt::StrongFocus);
    }
    connect(lineSwitch_, &QAction::triggered, this, [this] {
        program_.LineSwitchClicked();
        // The click toggled the button already; the line's state decides.
        SetLineSwitch(lineSwitchOpen_);
    });
    BuildMainToolbarButtons(cToolbar1_, [this](int position) { ToolbarClick(position); });
    SetLineSwitch(false);
}

void MainWindow::SetLineSwitch(bool open) {
    lineSwitchOpen_ = open;
    if (tray_ != nullptr) {
        tray_->SetLineOpen(open);
    }
    UpdateTrayLineEntries();
    if (lineSwitch_ == nullptr) {
        return;
    }
    const QString caption = Text(open ? ids::kLineSwitchOpen : ids::kLineSwitchClosed);
    lineSwitch_->setChecked(open);
    lineSwitch_->setText(caption);
    lineSwitch_->setIcon(QIcon(open ? QStringLiteral(":/icons/line_open.svg")
                                    : QStringLiteral(":/icons/line_closed.svg")));
    const QString shortcut = lineSwitch_->shortcut().toString(QKeySequence::NativeText);
    lineSwitch_->setToolTip(caption.isEmpty()
                                ? shortcut
                                : caption + QStringLiteral(" (") + shortcut + QLatin1Char(')'));
}

void MainWindow::BuildCallerDisplay() {
    callerDisplay_ = new QWidget(this);
    callerDisplay_->setObjectName(QStringLiteral("callerDisplay"));
    auto* layout = new QHBoxLayout(callerDisplay_);
    const auto addLabel = [this, layout](const char* name, const QString& text) {
        auto* label = new QLabel(text, callerDisplay_);
        label->setObjectName(QString::fromLatin1(name));
        // Caller names come from the telephone line: never read as markup.
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(label);
        return label;
    };
    // The strip reads left to right in every language: label, then value.
    lblRingDisplay_ = addLabel("lblRingDisplay", LeftToRightRun(Text(ids::kRingLabel)));
    lblRing_ = addLabel("lblRing", QString());
    layout->addSpacing(kToolbarIconSize);
    lblCallerName_ = addLabel("lblCallerName", QString());
    lblCallerNumber_ = addLabel("lblCallerNumber", QString());
    QFont bold = lblCallerName_->font();
    bold.setBold(true);
    lblCallerName_->setFont(bold);
    layout->addSpacing(kToolbarIconSize);
    recordQuestion_ = new RecordQuestionBar(callerDisplay_);
    connect(recordQuestion_, &RecordQuestionBar::Answered, this, &MainWindow::AnswerRecordQuestion);
    layout->addWidget(recordQuestion_);
    layout->addStretch(1);
    // Hidden, the strip keeps its room: the calls list below must not jump
    // on every ring.
    QSizePolicy policy = callerDisplay_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    callerDisplay_->setSizePolicy(policy);
    // Nothing about the caller until the caller ID arrives.
    SetCallerTexts(QString(), QString());
    ShowCallDisplay(false);
}

void MainWindow::SetCallerTexts(const QString& name, const QString& number) {
    callerName_ = name;
    callerNumber_ = number;
    if (lblCallerName_ != nullptr) {
        // The name reads in its own direction, in its own label left of the
        // number's.
        lblCallerName_->setText(name);
        lblCallerNumber_->setText(number.isEmpty() ? QString() : LeftToRight(number));
    }
}

void MainWindow::AnswerRecordQuestion(bool keep) {
    if (program_.Calls() != nullptr) {
        program_.Calls()->AnswerAsk(keep);
    }
}

void MainWindow::ShowCallDisplay(bool visible) {
    if (callerDisplay_ == nullptr) {
        return;
    }
    // The labels stay shown inside: the hidden strip keeps the room they
    // take.
    callerDisplay_->setVisible(visible);
}

void MainWindow::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("vbalStatusBar1"));
    lineProblem_ = new WrappingStatusLabel(bar);
    lineProblem_->setObjectName(QStringLiteral("lineProblem"));
    // The reason may name a port or a group: never read as markup.
    lineProblem_->setTextFormat(Qt::PlainText);
    // Wrapped, with most of the room: the reason and its remedy are read
    // whole, however narrow the window.
    lineProblem_->setWordWrap(true);
    lineProblem_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    lineProblem_->setMinimumWidth(0);
    bar->addWidget(lineProblem_, 4);
    lineProblem_->hide();
    // A label, not a passing message: the stretching panels would squeeze
    // a message to nothing.
    recordingProblem_ = new WrappingStatusLabel(bar);
    recordingProblem_->setObjectName(QStringLiteral("recordingProblem"));
    recordingProblem_->setTextFormat(Qt::PlainText);
    // Long enough to name the kept file: wrapped, the bar grows while it shows.
    recordingProblem_->setWordWrap(true);
    recordingProblem_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    recordingProblem_->setMinimumWidth(0);
    recordingProblem_->setStyleSheet(
        QStringLiteral("QLabel { color: %1; }")
            .arg(ReadableColour(QColor(0xb0, 0, 0), bar->palette().color(QPalette::Window),
                                bar->palette().color(QPalette::WindowText))
                     .name()));
    bar->addWidget(recordingProblem_, 4);
    ShowRecordingProblem(std::exchange(earlyRecordingProblem_, QString()), false);
    progressBar_ = new QProgressBar(bar);
    progressBar_->setObjectName(QStringLiteral("progressBar"));
    progressBar_->setMaximumWidth(kStatusPanelWidth);
    progressBar_->hide();
    bar->addPermanentWidget(progressBar_);
    if (exports_ != nullptr) {
        exports_->SetProgressBar(progressBar_);
    }
    if (callsList_ != nullptr) {
        callsList_->SetProgressBar(progressBar_);
    }
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("statusPanel%1").arg(i + 1));
        panel->setFrameShape(QFrame::NoFrame);
        if (i < 2) {
            panel->setMinimumWidth(kStatusPanelWidth);
        }
        bar->addPermanentWidget(panel, i == 2 ? 1 : 0);
        statusPanels_[i] = panel;
    }
    ShowCallsCount();
    tmrStatus_ = new QTimer(this);
    tmrStatus_->setInterval(kClockIntervalMs);
    connect(tmrStatus_, &QTimer::timeout, this, &MainWindow::UpdateClock);
    tmrStatus_->start();
    UpdateClock();
}

void MainWindow::UpdateClock() {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    statusPanels_[0]->setText(ShortDateText(now.date(), locale) + QStringLiteral(" - ") +
                              locale.toString(now.time(), QLocale::ShortFormat));
}

ScreenMetrics MainWindow::CurrentScreen() const {
    ScreenMetrics metrics;
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        metrics.geometry = screen->geometry();
        metrics.dpiX = screen->logicalDotsPerInchX();
        metrics.dpiY = screen->logicalDotsPerInchY();
    }
    return metrics;
}

void MainWindow::RestorePlacement() {
    const MainWindowSettings::Placement saved = program_.Settings().Window().StoredPlacement();
    StoredPlacement stored;
    stored.width = saved.width;
    if (!stored.width.toString().isEmpty()) {
        stored = {saved.left, saved.top, saved.width, saved.height, saved.state};
    }
    const QScreen* screen = this->screen();
    const Placement placement = PlacementFromStored(
        stored, CurrentScreen(), screen != nullptr ? screen->availableGeometry() : QRect());
    move(placement.geometry.topLeft());
    resize(placement.geometry.size());
    restoredState_ = placement.state;
    if (restoredState_ == StoredWindowState::Maximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

void MainWindow::SavePlacement() {
    const StoredPlacement stored =
        StoredFromWindow(QRect(pos(), size()), windowState(), CurrentScreen());
    MainWindowSettings::Placement placement{QVariant(), QVariant(), QVariant(), QVariant(),
                                            stored.state};
    if (!stored.width.isNull()) {
        placement = {stored.left, stored.top, stored.width, stored.height, stored.state};
    }
    program_.Settings().Window().SetPlacement(placement);
}

void MainWindow::ReportSettingsProblems() {
    const QStringList problems = HiveProblems();
    if (problems.isEmpty()) {
        return;
    }
    for (const QString& problem : problems) {
        WriteSysLog(problem, kErrorBadDb, QStringLiteral("RegistryStore"));
    }
    QString text = Text(ids::kMsgSettingsFileBroken);
    if (text.isEmpty()) {
        // Without a language file this warning would be an empty box.
        text = QStringLiteral(
            "Orvane could not read all of its settings file:\n<%S>\nThe file is left exactly as "
            "it is, and changed settings are not saved until it is corrected.");
    }
    ShowStartProblem(ReplaceMarker(text, problems.join(QLatin1Char('\n'))));
}

void MainWindow::ShowStartProblem(const QString& text) {
    if (isVisible()) {
        QTimer::singleShot(0, this, [text] { ShowMessage(text, false); });
    } else if (tray_ != nullptr) {
        tray_->ShowBalloonTip(product::kApplicationTitle, text, TrayIcon::BalloonIcon::Warning,
                              30000);
    }
}

void MainWindow::ShowRecordingProblem(const QString& text, bool notify) {
    if (recordingProblem_ == nullptr) {
        earlyRecordingProblem_ = text;  // before the status bar is built
    } else {
        recordingProblem_->setText(text);
        FitHeightToText(recordingProblem_);
        recordingProblem_->setToolTip(text);
        recordingProblem_->setVisible(!text.isEmpty());
    }
    if (notify && !text.isEmpty() && tray_ != nullptr) {
        tray_->ShowBalloonTip(product::kApplicationTitle, text, TrayIcon::BalloonIcon::Warning,
                              kBalloonMs);
    }
}

bool MainWindow::HasTray() const {
    return tray_ != nullptr && TrayIcon::IsAvailable();
}

bool MainWindow::IsQuitting() const {
    return program_.IsQuitting();
}

void MainWindow::HideWindow() {
    if (HasTray()) {
        hide();
        return;
    }
    showMinimized();
    statusBar()->showMessage(Text(ids::kMsgNoSystemTray), kNoTrayNoticeMs);
}

void MainWindow::RestoreWindow() {
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::OnTrayMouseDown(Qt::MouseButton button) {
    if (button == Qt::LeftButton) {
        RestoreWindow();
    } else if (button == Qt::RightButton && isVisible()) {
        // The tray menu opens next; bring the window forward first.
        raise();
        activateWindow();
    }
}

void MainWindow::UnLoadApp() {
    program_.Quit();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!program_.IsQuitting()) {
        event->ignore();
        HideWindow();
        return;
    }
    program_.Shutdown();
    event->accept();
}

void MainWindow::Unload() {
    if (tray_ != nullptr) {
        tray_->Unload();
        delete tray_;
        tray_ = nullptr;
    }
    SavePlacement();
    SaveCallsColumns();
    if (tmrStatus_ != nullptr) {
        tmrStatus_->stop();
    }
}

}  // namespace orvane
