#include "app/program.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSessionManager>
#include <QSet>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>
#include <string>
#include <utility>

#include "app/calls_list/calls_list_view.h"
#include "app/live_update_form.h"
#include "app/main_window.h"
#include "app/menus/window_commands.h"
#include "app/notes/call_notes_window.h"
#include "app/notes/notes_window.h"
#include "app/qt_message_window.h"
#include "app/recorder/recorder_toolbar.h"
#include "audio/wave.h"
#include "calls/call_state_machine.h"
#include "calls/call_views.h"
#include "calls/last_numbers.h"
#include "calls/line_connection.h"
#include "calls/list/calls_list_model.h"
#include "calls/notes/general_notes.h"
#include "calls/phonebook/phone_book.h"
#include "calls/player/playback_control.h"
#include "calls/player/sonvel_player_wave.h"
#include "calls/retention/retention_keeper.h"
#include "calls/screening/call_screen.h"
#include "calls/screening/screening_file.h"
#include "calls/screening/screening_watch.h"
#include "calls/store/call_store.h"
#include "calls/store/stored_calls.h"
#include "calls/store/unrecorded_calls.h"
#include "core/clock.h"
#include "core/common_functions.h"
#include "core/paths.h"
#include "core/private_folder.h"
#include "core/product.h"
#include "journal/journal_writer.h"
#include "settings/names/screening.h"
#include "settings/store/registry_routines.h"
#include "settings/store/registry_types.h"
#include "telephony/line_devices.h"
#include "telephony/tapi.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/screen_fit.h"
#include "ui/tray_icon.h"
#include "windows/dialer/dialer_window.h"
#include "windows/journal_viewer/journal_viewer.h"
#include "windows/phone_book/phone_book_window.h"
#include "windows/settings/settings_dialog.h"
#include "windows/translation_editor/translation_editor.h"

namespace orvane {
namespace {

// Alert sounds play with the control's usual buffer size.
constexpr qint32 kAlertBufferSize = 800;

Program::TapiFactory& TapiFactoryHook() {
    static Program::TapiFactory factory;
    return factory;
}

CallOptions CallOptionsFrom(const GlobalOptions& options) {
    CallOptions call;
    call.showCallerBalloon = options.showCallerBalloon;
    call.openAppOnCall = options.openAppOnCall;
    call.playSoundOnCall = options.playSoundOnCall;
    call.incomingCallSound = options.incomingCallSound;
    call.soundDevice = options.soundDevice;
    if (options.announce) {
        // A name that is no plain file name gives no path: nothing is played.
        call.announcement = AlertSoundPath(
            options.announcementSound.isEmpty() ? kDefaultAnnouncement : options.announcementSound);
    }
    call.announceWhileRecording = options.announceWhileRecording;
    return call;
}

// The message a block entry asks for, played to the answered line; `done`
// runs once it has been played, or was not. A name that is no plain file
// name of the Sound folders plays nothing; the call is hung up all the same.
void PlayBlockMessage(Tapi& tapi, const GlobalOptions& options, const std::function<void()>& done) {
    const QString name =
        options.blockMessageSound.isEmpty() ? kDefaultBlockMessage : options.blockMessageSound;
    const auto notPlayed = [name] {
        WriteSysLog(QStringLiteral("The message for blocked callers %1 was not played to the line")
                        .arg(name),
                    0, QStringLiteral("Screening"));
    };
    const QString path = AlertSoundPath(name);
    const bool started =
        !path.isEmpty() && tapi.PlayToLine(path, [&tapi, notPlayed, done](bool played) {
            // A caller who hung up during the message is no failure of it.
            if (!played && tapi.CallActive()) {
                notPlayed();
            }
            done();
        });
    if (!started) {
        notPlayed();
        done();
    }
}

RecorderOptions RecorderOptionsFrom(const GlobalOptions& options) {
    RecorderOptions recorder;
    recorder.recordingsFolder = options.recordingsFolder;
    recorder.recordFormat = options.recordFormat;
    recorder.soundDevice = options.soundDevice;
    return recorder;
}

}  // namespace

Program::TapiFactory Program::SetTapiFactory(TapiFactory factory) {
    return std::exchange(TapiFactoryHook(), std::move(factory));
}

Program::Program()
    : callStore_(std::make_unique<CallStore>()),
      callsList_(std::make_unique<CallsListModel>(*callStore_)) {}

Program::~Program() {
    // What reports to the window goes before the window; the line before
    // the audio controls it feeds; the controls before their window.
    if (wave1_) {
        wave1_->SetEvents(nullptr);
    }
    for (SettingsPage* page : settings_.OptionPages()) {
        page->disconnect(this);
    }
    retention_.reset();
    calls_.reset();
    line_.reset();
    settingsDialog_.reset();
    dialer_.reset();
    journalViewer_.reset();
    phoneBookWindow_.reset();
    wave1Events_.reset();
    recorder_.reset();
    recorderToolbar_.reset();
    window_.reset();
    tapi_.reset();
    ReleaseAudio();
    audioWindow_.reset();
    updateForm_.reset();
}

void Program::Load(bool hidden) {
    // The program's initialisation, in its fixed order; the numbers are
    // the load sequence's steps. Step 5 (the record-format table) is a
    // fixed table in core/, step 10 (the calls list's columns) the model's
    // own, and step 18 (the settings dialog) is made at its first opening.
    // 1: the settings pages are made with the program, each on its key.
    CreateMainWindow();           // 2
    JoinInstanceChannel();        // 3
    CreateAudio();                // 4: the audio controls, attached in step 8,
    CreatePlayer();               //    the player over WavePlayer,
    CreatePhoneBook();            //    the phone book that names callers,
    CreateTelephony();            //    the line and call logic
    BuildMenusAndTray();          // 6, 7
    AttachAudioControls();        // 8
    BuildToolbarRows();           // 9
    ApplyStartOptions();          // 11
    BuildCallsArea();             // 12, 13, 14
    window_->BuildStatusBar();    // 15
    StartRetention();             //    the retention rules, over the list built
    window_->RestorePlacement();  // 16
    OpenLine();                   // 17
    window_->ShowAtStart(hidden);
    window_->ReportSettingsProblems();
    // A value another process stores takes effect as if from OK.
    settings_.Watch();
}

void Program::CreateMainWindow() {
    // Every window opens inside its screen's free area, whatever size it
    // asks for.
    FitEveryWindowToItsScreen();
    window_ = std::make_unique<MainWindow>(*this);
    window_->setWindowTitle(product::kMainWindowCaption);
}

void Program::JoinInstanceChannel() {
    // The update form stays on the instance channel for the program's
    // whole life.
    updateForm_ = std::make_unique<LiveUpdateForm>();
    updateForm_->Load();
    connect(updateForm_.get(), &LiveUpdateForm::QuitRequested, this, &Program::Quit);
    connect(updateForm_.get(), &LiveUpdateForm::ShowWindowRequested, window_.get(),
            &MainWindow::RestoreWindow);
}

void Program::BuildMenusAndTray() {
    // The menus, and the windows their commands open.
    window_->BuildMenus();
    WindowCommands commands;
    commands.showDialer = [this](const QString& number) { ShowDialer(number); };
    commands.editCallNote = [this] { EditCallNote(); };
    commands.showGeneralNotes = [this] { ShowGeneralNotes(); };
    commands.showTranslationEditor = [this] { ShowTranslationEditor(); };
    commands.showSettings = [this](int page) { ShowSettings(page); };
    commands.showJournalViewer = [this] { ShowJournalViewer(); };
    commands.showPhoneBook = [this] { ShowPhoneBook(); };
    window_->SetWindowCommands(std::move(commands));
    // The tray icon, with the product string as its tool tip.
    window_->BuildTray();
}

void Program::AttachAudioControls() {
    // A refused attachment leaves that control without notifications; the
    // program goes on.
    wave1_->InitC();
    wavePlayer_->InitC();
    waveEvents_->InitC();
}

void Program::BuildToolbarRows() {
    // The main toolbar with the line switch, created closed.
    window_->BuildToolbars();
    // The recorder's own row: beside the main toolbar's captions it would
    // drop its time, level and End-call button into the overflow menu of
    // a window of ordinary width.
    window_->addToolBarBreak();
    window_->addToolBar(recorderToolbar_->Toolbar());
}

void Program::ApplyStartOptions() {
    // The settings the running program acts on.
    options_ = StoredOptions();
    modem_ = settings_.Devices().Modem();
    // A value stored from now on, by the settings dialog or by another
    // process, takes effect at once.
    for (SettingsPage* page : settings_.OptionPages()) {
        connect(page, &SettingsPage::changed, this, &Program::FollowSettings);
    }
    connect(&settings_.Devices(), &SettingsPage::changed, this, &Program::FollowModem);
    SetJournalSwitches(options_.systemJournal, options_.callsJournal);
    if (calls_) {
        calls_->SetOptions(CallOptionsFrom(options_));
    }
    recorder_->SetOptions(RecorderOptionsFrom(options_));
    // Calls a crash or a power cut cut off are entered before the list is built.
    recorder_->EnterInterruptedCalls();
    // A log-out ends the program without Quit: the call being recorded is
    // entered first, while Wave1 can still measure it.
    const auto finishRecording = [this] {
        if (recorder_) {
            recorder_->FinishRecording();
        }
    };
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [finishRecording](QSessionManager&) { finishRecording(); });
    connect(qApp, &QCoreApplication::aboutToQuit, this, finishRecording);
}

void Program::BuildCallsArea() {
    // The caller labels, hidden until a call comes in.
    window_->BuildCallerDisplay();
    // The calls list's area, filled with all calls.
    window_->BuildCallsArea();
    window_->CallsList()->SetAskBeforeDeleting(options_.askBeforeDeletingCalls);
    window_->BuildPlaybackArea(*player_);
    ConnectPlayerToCallsList();
    ConnectNotesToCallsList();
    RebuildCallsList();
    // The level display's idle line.
    recorder_->SetLineScope();
}

void Program::FollowSettings() {
    if (shutDown_) {
        return;
    }
    SetOptions(StoredOptions());
}

GlobalOptions Program::StoredOptions() const {
    GlobalOptions options = GlobalOptionsFrom(settings_);
    // The default recordings folder is ours to make; one the user chose is
    // theirs, and a missing one is reported when a call comes.
    if (options.recordingsFolder == paths::DefaultRecordingsFolder()) {
        MakePrivateFolders(options.recordingsFolder);
    }
    // The sound device is stored by name; its number is the audio
    // controls' own.
    options.soundDevice = waveEvents_ ? SoundDeviceIndex(*waveEvents_, options.soundDeviceName) : 0;
    return options;
}

void Program::FollowModem() {
    const QString modem = settings_.Devices().Modem();
    if (shutDown_ || modem == modem_) {
        return;
    }
    modem_ = modem;
    // The line's own first choice, stored once it opened, is the line
    // already open.
    if (line_ && modem != line_->OpenDevice()) {
        CloseLine();
        // The port gets a tenth of a second to settle; nothing waits for
        // it, and only the last of several changes opens the line.
        const quint64 reopen = ++lineReopens_;
        WaitTenths(1, this, [this, reopen] {
            if (!shutDown_ && reopen == lineReopens_) {
                OpenLine();
            }
        });
    }
}

void Program::CreateAudio() {
    audioWindow_ = std::make_unique<QtMessageWindow>();
    wave1_ = std::make_unique<sonvel::Wave>(audioWindow_.get());
    wavePlayer_ = std::make_unique<sonvel::Wave>(audioWindow_.get());
    waveEvents_ = std::make_unique<sonvel::Wave>(audioWindow_.get());
}

void Program::CreatePlayer() {
    playerWave_ = std::make_unique<SonvelPlayerWave>([this] { return wavePlayer_.get(); },
                                                     std::function<void()>{});
    player_ =
        std::make_unique<PlaybackControl>(*playerWave_, [this] { return options_.soundDevice; });
    playerWave_->SetDonePlay([this] { player_->DonePlay(); });
}

void Program::ConnectPlayerToCallsList() {
    CallsListPanel* calls = window_->CallsList();
    connect(calls->View(), &CallsListView::CallClicked, player_.get(),
            &PlaybackControl::CallClicked);
    connect(calls, &CallsListPanel::CurrentCallMoved, player_.get(),
            &PlaybackControl::CurrentCallMoved);
    connect(calls, &CallsListPanel::CallBackRequested, this, &Program::ShowDialer);
}

void Program::ConnectNotesToCallsList() {
    CallsListPanel* calls = window_->CallsList();
    connect(calls, &CallsListPanel::OpenNoteRequested, this, [this, calls](int row) {
        calls->View()->SetCurrentRow(row);
        EditCallNote();
    });
}

void Program::EditCallNote() {
    CallsListPanel* calls = window_ ? window_->CallsList() : nullptr;
    const int row = calls != nullptr ? calls->View()->CurrentRow() : -1;
    if (row < 0 || row >= callsList_->rowCount()) {
        return;
    }
    // Opened, not run: the line's events go on while the user types, and
    // the editor finds its call again whatever the list does meanwhile.
    auto* editor = new CallNotesWindow(*callsList_, row, window_.get());
    editor->setAttribute(Qt::WA_DeleteOnClose);
    editor->open();
}

void Program::ShowGeneralNotes() {
    auto* notes = new NotesWindow(GeneralNotesFile(), window_.get());
    notes->setAttribute(Qt::WA_DeleteOnClose);
    notes->open();
}

void Program::ShowTranslationEditor() {
    if (translationEditor_ == nullptr) {
        translationEditor_ = new TranslationEditor(window_.get());
    }
    translationEditor_->Open(settings_.Language().Selected());
}

void Program::CreateTelephony() {
    callState_ = CallState{};
    callState_.call = ResetCall(QDateTime::currentDateTime());
    DialerWindow::Line dialerLine;
    dialerLine.makeCall = [this](const QString& number) { return MakeCall(number); };
    dialerLine.drop = [this] {
        if (tapi_) {
            tapi_->LineDrop();
        }
    };
    dialer_ = std::make_unique<DialerWindow>(callState_, std::move(dialerLine), LastNumbersFile(),
                                             window_.get());

    // Also without a line: "Block this number" edits the rules. A damaged
    // rules file is journaled and kept aside by the file itself.
    screening_ = std::make_unique<ScreeningFile>(ScreeningFile::DefaultFile());
    screening_->Load();
    screener_ = std::make_unique<CallScreener>(*phoneBook_, *screening_);
    screeningWatch_ = std::make_unique<ScreeningWatch>(*screening_);
    const TapiFactory& factory = TapiFactoryHook();
    tapi_ = factory ? factory(this) : Tapi::CreateForModems(this);
    CreateRecorder();
    if (!tapi_) {
        // The program works without a line; the line steps do nothing.
        return;
    }
    tapi_->LineInitialize();
    CallView& view = window_->CallDisplay();
    line_ = std::make_unique<LineConnection>(*tapi_, settings_.Devices(), callState_, view);
    calls_ = std::make_unique<CallStateMachine>(*tapi_, callState_, view, *recorder_, *dialer_);
    calls_->SetCallerNames([this](const QString& number) { return phoneBook_->NameFor(number); });
    calls_->SetScreen(screener_.get());
    calls_->SetBlockMessage(
        [this](const std::function<void()>& done) { PlayBlockMessage(*tapi_, options_, done); });
    calls_->SetUnrecordedCalls([this](const UnrecordedCall& call) { EnterUnrecordedCall(call); });
    // A call on the line ends before the user's close takes the line; a lost
    // line is looked for until its device is back.
    line_->SetCallEnder([this] { calls_->EndCallOnClosingLine(); });
    connect(tapi_.get(), &Tapi::LineLost, this, [this] { line_->LineLost(); });
    // The tray icon shows the call on the line; the state machine has acted
    // on each event before these run.
    const auto showCall = [this](bool ringing) {
        if (TrayIcon* tray = window_ ? window_->Tray() : nullptr) {
            tray->SetCall(ringing, recorder_ && recorder_->IsRecording());
        }
    };
    connect(tapi_.get(), &Tapi::InComeCall, this, [showCall] { showCall(true); });
    connect(tapi_.get(), &Tapi::Ring, this, [showCall] { showCall(true); });
    for (auto event : {&Tapi::Connected, &Tapi::Disconnected, &Tapi::Idle}) {
        connect(tapi_.get(), event, this, [showCall] { showCall(false); });
    }
    connect(tapi_.get(), &Tapi::LineLost, this, [showCall] { showCall(false); });
}

void Program::CreateRecorder() {
    recorderToolbar_ = std::make_unique<RecorderToolbar>(window_.get(), window_->CallDisplay());
    recorderToolbar_->SetProblemSink([this](const QString& text) {
        if (window_) {
            window_->ShowRecordingProblem(text, false);
        }
    });
    recorderToolbar_->SetFailureSink([this](const QString& text) {
        if (window_) {
            window_->ShowRecordingProblem(text, true);
        }
    });
    recorderToolbar_->SetCallStatusSink(
        [this](const QString& text) { window_->CallDisplay().SetLineStatus(text); });
    wave1Adapter_ = std::make_unique<Wave1Adapter>([this] { return wave1_.get(); });
    lineAdapter_ = std::make_unique<TapiLineAdapter>(tapi_.get());
    recorder_ = std::make_unique<RecorderControl>(callState_, *wave1Adapter_, *lineAdapter_,
                                                  *recorderToolbar_);
    // A stored call reaches the list as one new row, through the store.
    recorder_->SetCallStore(*callStore_);
    recorder_->SetEndCall([this] {
        if (calls_) {
            calls_->Disconnected();
        }
    });
    recorderToolbar_->Connect(*recorder_);
    // The recorder's own Record and Stop start and stop a recording within
    // a call; the tray icon shows it at once.
    for (const QString& name : {QStringLiteral("Record"), QStringLiteral("Stop")}) {
        if (auto* action = window_->findChild<QAction*>(name)) {
            connect(action, &QAction::triggered, this, [this] {
                if (TrayIcon* tray = window_->Tray()) {
                    tray->SetCall(tray->State() == TrayIcon::LineState::Ringing,
                                  recorder_->IsRecording());
                }
            });
        }
    }
    wave1Events_ = std::make_unique<Wave1Events>(*recorder_, *recorderToolbar_->LevelDisplay());
    wave1_->SetEvents(wave1Events_.get());
}

void Program::StartRetention() {
    retention_ = std::make_unique<RetentionKeeper>(*callStore_, settings_.Retention());
    // A call being played is left for the next run.
    retention_->SetBusyFiles([this] {
        const QString playing = player_ ? player_->PlayingPath() : QString();
        const QString& folder = callStore_->Folder();
        QSet<QString> busy;
        if (!folder.isEmpty() && playing.startsWith(folder)) {
            busy.insert(playing.mid(folder.size()));
        }
        return busy;
    });
    auto* notice = new QLabel(window_.get());
    notice->setObjectName(QStringLiteral("lblRetentionWaiting"));
    notice->setTextFormat(Qt::RichText);
    notice->hide();
    window_->statusBar()->addPermanentWidget(notice);
    connect(notice, &QLabel::linkActivated, this,
            [this] { ShowSettings(SettingsDialog::kRetention); });
    // A short link; the whole sentence is its tool tip, so the status bar's
    // other panels keep their room.
    connect(retention_.get(), &RetentionKeeper::acceptanceNeeded, notice, [notice](bool waiting) {
        notice->setText(QStringLiteral("<a href=\"retention\">") +
                        Text(ids::kRetentionReview).toHtmlEscaped() + QStringLiteral("</a>"));
        notice->setToolTip(Text(ids::kRetentionWaiting));
        notice->setVisible(waiting);
    });
    // Each call stored is followed by a run, once the list has its row.
    recorder_->SetCallStored([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (retention_ && !shutDown_) {
                    retention_->Run();
                }
            },
            Qt::QueuedConnection);
    });
    retention_->Start();
}

void Program::ReleaseAudio() {
    for (std::unique_ptr<sonvel::Wave>* wave : {&wave1_, &wavePlayer_, &waveEvents_}) {
        if (*wave) {
            (*wave)->UnInitC();
        }
    }
    // Destroying a control closes what it still has open.
    waveEvents_.reset();
    wavePlayer_.reset();
    wave1_.reset();
}

qint32 Program::MakeCall(const QString& number) {
    if (!tapi_) {
        return line_error::kNotOpen;
    }
    // An incoming call keeps its caller: the dial would be refused anyway.
    if (callState_.incomingCall || tapi_->CallActive()) {
        return line_error::kCallInProgress;
    }
    const QDateTime now = QDateTime::currentDateTime();
    callState_.call.CallTime = LongTimeText(now.time());
    callState_.call.CallDate = ShortDateText(now.date());
    callState_.call.CallerNumber = number;
    callState_.call.CallerName = kUnknownCaller;
    QString dialled = number;
    return tapi_->LineMakeCall(dialled);
}

void Program::ShowDialer(const QString& number) {
    if (dialer_) {
        dialer_->Open(number);
    }
}

void Program::ShowSettings(int page) {
    if (!settingsDialog_) {
        SettingsDialog::Host host;
        host.lineDevices = [this] {
            return tapi_ ? ListLineDevices(*tapi_) : std::vector<LineDetails>();
        };
        host.soundDevices = [this] {
            QStringList names;
            if (wave1_) {
                for (qint32 i = 0; i < wave1_->NumOfWaveDevices(); ++i) {
                    sonvel::WaveDeviceDetails details;
                    wave1_->GetDetailsDevice(i, details);
                    if (details.DeviceFormat != 0) {
                        names.append(QString::fromStdString(details.DeviceName));
                    }
                }
            }
            return names;
        };
        host.playSound = [this](const QString& path) {
            if (waveEvents_ && !waveEvents_->Playing()) {
                PlayAlertSound(path, options_.soundDevice);
            }
        };
        host.stopSound = [this] {
            if (waveEvents_) {
                waveEvents_->StopPlay();
            }
        };
        host.retentionPreview = [this](const RetentionRules& rules) {
            return retention_ ? retention_->Preview(rules) : RetentionChoice{};
        };
        host.callsFolder = [this] { return callStore_->Folder(); };
        host.screening = screening_.get();
        host.contactNames = [this] {
            QStringList names;
            for (const PhoneBookEntry& entry : phoneBook_->Entries()) {
                names.append(entry.name);
            }
            names.sort(Qt::CaseInsensitive);
            names.removeDuplicates();
            return names;
        };
        settingsDialog_ = std::make_unique<SettingsDialog>(settings_, std::move(host));
        settingsDialog_->showTranslationEditor = [this] { ShowTranslationEditor(); };
        settingsDialog_->showJournalViewer = [this] { ShowJournalViewer(); };
    }
    settingsDialog_->Open(page);
}

void Program::CreatePhoneBook() {
    phoneBook_ = std::make_unique<PhoneBook>(PhoneBook::DefaultFile());
    // The calls list and the exports name callers as the ringing display
    // does, and the search reads numbers in the user's plan.
    const auto nameFor = [this](const QString& number) { return phoneBook_->NameFor(number); };
    callsList_->SetCallerNames(nameFor);
    window_->SetCallerNames(nameFor);
    connect(phoneBook_.get(), &PhoneBook::changed, this, [this] {
        callsList_->SetNumberPlan(phoneBook_->Plan());
        callsList_->RefreshCallerNames();
    });
    FollowNumberPlan();
    connect(&settings_.PhoneNumbers(), &SettingsPage::changed, this, &Program::FollowNumberPlan);
    // An unreadable book is journaled and kept aside by the book; the user
    // learns of it once the window can say so.
    if (phoneBook_->Load() != PhoneBook::LoadOutcome::kLoaded &&
        !phoneBook_->SetAsidePath().isEmpty()) {
        const QString text =
            ReplaceMarker(ReplaceMarker(Text(ids::kMsgPhoneBookSetAside), PhoneBook::DefaultFile()),
                          phoneBook_->SetAsidePath());
        QTimer::singleShot(0, this, [this, text] {
            if (window_) {
                window_->statusBar()->showMessage(text);
            }
        });
    }
}

void Program::FollowNumberPlan() {
    const PhoneBookSettings& numbers = settings_.PhoneNumbers();
    phoneBook_->SetPlan(PlanFor(numbers.Country(), numbers.AreaCode()));
}

void Program::ShowPhoneBook() {
    if (!phoneBookWindow_) {
        phoneBookWindow_ = std::make_unique<PhoneBookWindow>(*phoneBook_, window_.get());
    }
    phoneBookWindow_->Open();
}

void Program::ShowJournalViewer() {
    if (journalViewer_ && journalViewer_->isVisible()) {
        journalViewer_->raise();
        return;
    }
    // Made afresh each time, so every opening prunes and lists anew.
    journalViewer_ =
        std::make_unique<JournalViewer>(ProgramJournal(), settings_.Log(), window_.get());
    journalViewer_->Open();
}

void Program::RebuildCallsList() {
    callsList_->CreateCallsList(options_.recordingsFolder);
    if (window_) {
        window_->ShowCallsFolder(callsList_->Folder());
    }
    // A refused index leaves the list empty: the user learns why.
    if (window_ && CallIndexRefused(options_.recordingsFolder)) {
        window_->statusBar()->showMessage(ReplaceMarker(Text(ids::kMsgCallIndexRefused),
                                                        CallIndexFile(options_.recordingsFolder)));
    }
    // Records that are not records (a damaged or foreign file) are left out
    // of the list; the user is told once, without a box that stops start-up.
    if (const qint32 damaged = callsList_->TakeDamageReport(); window_ && damaged > 0) {
        window_->statusBar()->showMessage(
            ReplaceMarker(ReplaceMarker(Text(ids::kMsgCallIndexDamaged), QString::number(damaged)),
                          CallIndexFile(options_.recordingsFolder)));
    }
}

void Program::OpenLine() {
    if (line_) {
        line_->OpenLine();
    }
}

void Program::CloseLine() {
    if (line_) {
        line_->CloseLine();
    }
}

void Program::LineSwitchClicked() {
    if (line_) {
        line_->LineSwitchClicked();
    }
}

void Program::SetOptions(const GlobalOptions& options) {
    const bool otherFolder = options.recordingsFolder != options_.recordingsFolder;
    options_ = options;
    SetJournalSwitches(options_.systemJournal, options_.callsJournal);
    if (calls_) {
        calls_->SetOptions(CallOptionsFrom(options_));
    }
    if (recorder_) {
        recorder_->SetOptions(RecorderOptionsFrom(options_));
    }
    if (window_ && window_->CallsList() != nullptr) {
        window_->CallsList()->SetAskBeforeDeleting(options_.askBeforeDeletingCalls);
    }
    // The list shows the new folder's calls at once; a call being recorded
    // ends in the folder it was recorded in.
    if (otherFolder && window_ && window_->CallsList() != nullptr) {
        RebuildCallsList();
    }
}

void Program::PlayAlertSound(const QString& path, qint32 device) {
    if (!waveEvents_) {
        return;
    }
    std::string file = QFile::encodeName(path).toStdString();
    qint32 bufferSize = kAlertBufferSize;
    sonvel::Bool16 visOut = sonvel::kFalse;
    waveEvents_->StartPlay(file, device, bufferSize, visOut);
}

bool Program::MayQuitNow() {
    if (!recorder_ || !recorder_->HasUnenteredRecording()) {
        return true;
    }
    QString question = Text(ids::kAskQuitWhileRecording);
    if (question.isEmpty()) {
        question =
            QStringLiteral("A call is being recorded. Quit anyway? The call is ended and saved.");
    }
    return ShowMessage(question, true) == kAnswerYes;
}

void Program::Quit() {
    quitting_ = true;
    if (window_) {
        // The window's close runs the shutdown.
        window_->close();
    } else {
        Shutdown();
    }
}

void Program::Shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    // A call being recorded is entered with its real length before Wave1
    // goes; closing the line then hangs it up.
    if (recorder_) {
        recorder_->FinishRecording();
    }
    ReleaseAudio();
    CloseLine();
    QWidget* keep[2] = {nullptr, nullptr};
    if (window_) {
        window_->Unload();
        keep[0] = window_.get();
        keep[1] = window_->TrayMenu();
    }
    if (updateForm_) {
        updateForm_->Unload();
    }
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* other : windows) {
        if (other != keep[0] && other != keep[1] && other->isWindow()) {
            other->close();
        }
    }
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void Program::EnterUnrecordedCall(const UnrecordedCall& call) {
    // Read when the call ends, so the Screening page's choice counts at once.
    if (call.kind == UnrecordedKind::kNotRecorded &&
        !ReadCheck(RegistryRoutines(kHkeyLocalMachine, product::kRootKey, kTabScreening)
                       .GetRegistryValue(setting::kChkListUnrecorded, QStringLiteral("1")))) {
        return;
    }
    const QString folder = options_.recordingsFolder;
    if (AddUnrecordedCall(folder, call)) {
        callsList_->AddUnrecordedCall(folder, call);
    }
}

}  // namespace orvane
