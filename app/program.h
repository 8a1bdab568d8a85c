#pragma once
// The running program: the one object that creates, owns and wires every
// long-lived service (settings, the instance channel, the audio controls and
// their message window, the telephony control, the call state, the line
// connection and the call state machine) and the main window, which is a
// view over it. Loading it initialises the program; an explicit exit shuts
// it down.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "calls/call_state.h"
#include "calls/store/unrecorded_calls.h"
#include "settings/global_options.h"
#include "settings/program_settings.h"

namespace sonvel {
class Wave;
}

namespace orvane {

class RecorderControl;
class RecorderLine;
class RecorderToolbar;
class RecorderWave;
class SettingsDialog;
class Wave1Events;
class CallsListModel;
class CallStore;
class CallStateMachine;
class DialerWindow;
class JournalViewer;
class LineConnection;
class LiveUpdateForm;
class MainWindow;
class PhoneBook;
class PhoneBookWindow;
class PlaybackControl;
class RetentionKeeper;
class QtMessageWindow;
class SonvelPlayerWave;
class Tapi;
class TranslationEditor;
class CallScreener;
class ScreeningFile;
class ScreeningWatch;

class Program final : public QObject {
  public:
    Program();
    ~Program() override;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Makes the telephony control the program hosts as Tapi1. The program's
    // is Tapi::CreateForModems; tests install one over a scripted backend.
    using TapiFactory = std::function<std::unique_ptr<Tapi>(QObject* parent)>;
    // Installs `factory` (an empty one brings the modems back) for programs
    // loaded from now on; returns the one it replaces.
    static TapiFactory SetTapiFactory(TapiFactory factory);

    // The program's initialisation, in its fixed order. With `hidden` only
    // the tray icon shows (start at log-on); without a tray the window is
    // minimised instead.
    void Load(bool hidden);
    // Ends the program: the window closes for good and shutdown runs.
    void Quit();
    // Before the user's own exit (menu, tray): true unless a call is being
    // recorded and the user, asked, keeps it. Requests from outside (another
    // copy, a log-out) do not ask: their call is ended and entered.
    bool MayQuitNow();
    // Releases the audio controls and the line, saves the window's
    // placement, leaves the instance channel and the event loop. Runs once.
    void Shutdown();
    bool IsQuitting() const { return quitting_; }

    // The telephone line (reopened when the Devices page names another line
    // device). Without a telephony control both do nothing.
    void OpenLine();
    void CloseLine();
    // The line switch of the main toolbar was clicked.
    void LineSwitchClicked();

    // The options the running program acts on, all in effect at once (a
    // call being recorded keeps its folder and format; the list shows the
    // new folder's calls). A change of a settings page sets them.
    void SetOptions(const GlobalOptions& options);
    const GlobalOptions& Options() const { return options_; }
    // The settings pages the program and its windows follow.
    ProgramSettings& Settings() { return settings_; }

    // Plays an alert sound file on an output device through WaveEvents; a
    // missing file or device fails quietly.
    void PlayAlertSound(const QString& path, qint32 device);

    // An outgoing call to `number` (already dialable): the current call
    // becomes "UNKNOWN" at `number`, dated now, and the line dials it.
    // 0, or the result code of a dial that failed at once (line closed,
    // modem gone, a call on the line; then an incoming call keeps its
    // caller).
    qint32 MakeCall(const QString& number);
    // Opens the dialer, modal, with `number` (if any) in its number box;
    // the calls list's call back and the menus use it.
    void ShowDialer(const QString& number);
    // Null until the load has made it.
    DialerWindow* Dialer() const { return dialer_.get(); }

    // The journal viewer, modal: prunes the journal by age and lists its
    // files. The toolbar and the settings dialog's "Display Log" open it.
    void ShowJournalViewer();
    // Null until first opened.
    JournalViewer* Journal() const { return journalViewer_.get(); }

    // The calls list's rows; the window shows them.
    CallsListModel& CallsList() { return *callsList_; }
    // Rebuilds the calls list from the recordings folder's index file (at
    // load, on a new folder, and by the recorder once a call is stored);
    // the window names the folder.
    void RebuildCallsList();

    // The note editor on the calls list's current row, window-modal; it
    // returns at once with the editor open. Nothing without a current row.
    void EditCallNote();
    // The general notes window, window-modal; returns at once.
    void ShowGeneralNotes();

    // The translation editor, modal, with the translation in use as its
    // source; made at the first call, owned by the main window.
    void ShowTranslationEditor();
    TranslationEditor* TranslationEditorWindow() const { return translationEditor_; }
    // The settings dialog, modal, made at the first opening; `page` 1 to 5
    // selects General, Devices, Incoming call, Journal or Retention first.
    void ShowSettings(int page);
    // Null until first opened.
    SettingsDialog* SettingsWindow() const { return settingsDialog_.get(); }

    // The phone book the caller display, the notices and the calls journal
    // name callers from; null until the load has made it.
    PhoneBook* Book() const { return phoneBook_.get(); }
    ScreeningFile* Screening() const { return screening_.get(); }
    // The phone book window, window-modal, made at the first opening.
    void ShowPhoneBook();
    PhoneBookWindow* PhoneBookWindowShown() const { return phoneBookWindow_.get(); }

    MainWindow& Window() { return *window_; }
    const MainWindow& Window() const { return *window_; }
    // Null until the load has made them (and, for the audio controls, after
    // shutdown released them).
    Tapi* Tapi1() const { return tapi_.get(); }
    CallStateMachine* Calls() const { return calls_.get(); }
    sonvel::Wave* Wave1() const { return wave1_.get(); }
    sonvel::Wave* WavePlayer() const { return wavePlayer_.get(); }
    sonvel::Wave* WaveEvents() const { return waveEvents_.get(); }
    CallState& CurrentCallState() { return callState_; }
    // The playback controls' logic over WavePlayer; null until the load.
    PlaybackControl* Player() const { return player_.get(); }
    // The retention rules over the open folder; null until the load.
    RetentionKeeper* Retention() const { return retention_.get(); }

  private:
    // The steps of Load.
    void CreateMainWindow();
    void JoinInstanceChannel();
    void BuildMenusAndTray();
    void AttachAudioControls();
    void BuildToolbarRows();
    void ApplyStartOptions();
    void BuildCallsArea();
    void CreateAudio();
    void CreatePlayer();
    void ConnectPlayerToCallsList();
    void ConnectNotesToCallsList();
    void CreateTelephony();
    // A call that left no recording, entered in the recordings folder's
    // file of such calls and listed (a call a record rule kept unrecorded
    // only when the Screening settings say so).
    void EnterUnrecordedCall(const UnrecordedCall& call);
    // The phone book from its file, in the number plan of the settings.
    void CreatePhoneBook();
    void FollowNumberPlan();
    void CreateRecorder();
    void ReleaseAudio();
    // After the calls list is built: the retention rules run now, after each
    // call stored and when accepted; rules waiting for acceptance show a
    // notice in the status bar that opens their page.
    void StartRetention();
    // A settings page changed: the options again, and the line on another
    // line device.
    void FollowSettings();
    // The options as the settings pages hold them now.
    GlobalOptions StoredOptions() const;
    void FollowModem();

    ProgramSettings settings_;
    quint64 lineReopens_ = 0;  // the modem changes that reopened the line
    // The line device the line follows, as last stored.
    QString modem_;
    GlobalOptions options_;
    CallState callState_;
    bool quitting_ = false;
    bool shutDown_ = false;

    // Declared so that each goes before what it uses; the destructor also
    // releases them in an explicit order.
    std::unique_ptr<LiveUpdateForm> updateForm_;
    std::unique_ptr<QtMessageWindow> audioWindow_;
    std::unique_ptr<sonvel::Wave> wave1_;
    std::unique_ptr<sonvel::Wave> wavePlayer_;
    std::unique_ptr<sonvel::Wave> waveEvents_;
    std::unique_ptr<Tapi> tapi_;
    // The recordings folder's calls; the list and the recorder go through it.
    std::unique_ptr<CallStore> callStore_;
    std::unique_ptr<CallsListModel> callsList_;
    std::unique_ptr<PhoneBook> phoneBook_;
    // Before the window, whose playback bar reports to the player.
    std::unique_ptr<SonvelPlayerWave> playerWave_;
    std::unique_ptr<PlaybackControl> player_;
    std::unique_ptr<MainWindow> window_;
    // The recording control, its toolbar and what it reaches Wave1 and the
    // line through.
    std::unique_ptr<RecorderToolbar> recorderToolbar_;
    std::unique_ptr<RecorderWave> wave1Adapter_;
    std::unique_ptr<RecorderLine> lineAdapter_;
    std::unique_ptr<RecorderControl> recorder_;
    std::unique_ptr<Wave1Events> wave1Events_;
    std::unique_ptr<DialerWindow> dialer_;
    TranslationEditor* translationEditor_ = nullptr;
    std::unique_ptr<SettingsDialog> settingsDialog_;
    std::unique_ptr<JournalViewer> journalViewer_;
    std::unique_ptr<PhoneBookWindow> phoneBookWindow_;
    // The screening rules the state machine asks; they outlive it.
    std::unique_ptr<ScreeningFile> screening_;
    std::unique_ptr<CallScreener> screener_;
    // Reads the rules again when the file changes outside the program.
    std::unique_ptr<ScreeningWatch> screeningWatch_;
    std::unique_ptr<LineConnection> line_;
    std::unique_ptr<CallStateMachine> calls_;
    std::unique_ptr<RetentionKeeper> retention_;
};

}  // namespace orvane
