#pragma once
// The settings dialog (frmProperties): a tree of seven pages (General,
// Devices, Incoming call, Journal, Retention, Record rules, Blocking) over
// the program's settings pages and the screening rules' file. It
// shows the saved values each time it opens; OK stores each page through
// its accessor, which tells the running program what changed (a new modem
// reopens the line, a new folder reloads the list). Closing only hides it.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "calls/retention/retention_rules.h"
#include "telephony/line_backend.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QTreeWidget;

namespace orvane {

class LineOptions;
class BlockingPage;
class ProgramSettings;
class RecordRulesPage;
class RetentionPage;
class ScreeningFile;

class SettingsDialog final : public QDialog {
  public:
    // What the dialog reaches of the running program.
    struct Host {
        // The line devices, in device order.
        std::function<std::vector<LineDetails>()> lineDevices;
        // The names of the sound devices that can play.
        std::function<QStringList()> soundDevices;
        // Trying the incoming-call sound.
        std::function<void(const QString& path)> playSound;
        std::function<void()> stopSound;
        // What retention rules would remove from the open recordings folder
        // now, and that folder.
        std::function<RetentionChoice(const RetentionRules& rules)> retentionPreview;
        std::function<QString()> callsFolder;
        // The screening rules the running program decides calls by; null:
        // the Record rules and Blocking pages save nothing.
        ScreeningFile* screening = nullptr;
        // The phone book's names, offered for contact entries.
        std::function<QStringList()> contactNames;
    };

    // The pages, in tree order; ShowSettings(page) takes these numbers.
    enum Page {
        kGeneral = 1,
        kDevices = 2,
        kIncomingCall = 3,
        kJournal = 4,
        kRetention = 5,
        kRecordRules = 6,
        kBlocking = 7,
        kLastPage = kBlocking
    };

    // `settings` must outlive the dialog.
    SettingsDialog(ProgramSettings& settings, Host host, QWidget* parent = nullptr);
    ~SettingsDialog() override;

    // Shows the dialog modal with the saved values; `page` 1 to 7 selects
    // that page first, anything else keeps the page last shown.
    void Open(int page);
    int CurrentPage() const;

    // Opened by "Display Log" and "Translations…"; empty does nothing.
    std::function<void()> showJournalViewer;
    std::function<void()> showTranslationEditor;

    // Answers the folder browser in place of the user ("" cancels); an
    // empty hook brings the real dialog back. Returns the one it replaces.
    using FolderDialogHook = std::function<QString(const QString& title)>;
    static FolderDialogHook SetFolderDialogHook(FolderDialogHook hook);

    // The buttons, for the window and for tests. Retention rules that would
    // remove calls are saved only after Yes to their preview; No saves
    // nothing and shows the Retention page again. A screening row that does
    // not read, or rules that cannot be written, save nothing either: the
    // page shows why and keeps what the user made.
    void Accept();
    void Cancel();
    void ChooseFolder();
    void PlaySound();
    void StopSound();
    void AddSound();
    void DeleteSound();
    void ShowDeviceProperties();
    // The announcement's own Play and Add (into the user's sound folder).
    void PlayAnnouncement();
    void AddAnnouncement();

    // The log-on command the Run entry holds when the box is checked.
    static QString RunCommand();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override { Cancel(); }

  private:
    // The sounds of both folders, the user's first; shows `name`.
    void FillSoundList(const QString& name);
    void BuildPages();
    void BuildPageList();
    QWidget* BuildGeneralPage();
    QWidget* BuildDevicesPage();
    QWidget* BuildIncomingCallPage();
    QWidget* BuildJournalPage();
    void BuildButtonsAndLayout();
    void ApplyTexts();
    void ShowSavedValues();
    void ShowDevices();
    void ShowGeneral();
    void ShowNumberPlan();
    void ShowJournal();
    void ShowIncomingCall();
    // Each store's outcome with the caption that names it to the user.
    using Saved = std::function<void(bool stored, const QString& caption)>;
    void SaveDevices(const Saved& saved);
    void SaveGeneral(const Saved& saved);
    void SaveJournal(const Saved& saved);
    void SaveIncomingCall(const Saved& saved);
    // Retention rules the user has not accepted over the open folder ask
    // with their preview: false on No. `accepted` says whether they are
    // stored as accepted.
    bool ConfirmRetention(bool* accepted);
    void SaveRetention(const Saved& saved, bool accepted);
    void ShowRetention();
    // The rules the Record rules and Blocking pages show; false, at the
    // row that does not read, when they cannot be taken.
    bool CheckScreening();
    void ShowScreening();
    // False when the rules file could not be written.
    bool SaveScreening(const Saved& saved);
    // Selects `chosen`, listed as absent when no device has that name.
    void FillModemList(bool recommendedOnly, const QString& stored);
    void FillSoundList();
    void FillSoundDevices();
    QString ChosenModem() const;
    void SelectPage(int page);
    // The announcement row: the shipped tone first (stored as ""), then the
    // Sound folders' other sounds; shows `name`, kept as an entry when no
    // file has that name so that OK does not change the choice.
    QWidget* BuildAnnouncement(QWidget* page);
    void FillAnnouncementList(const QString& name);
    void EnableAnnouncement();

    ProgramSettings& settings_;
    Host host_;
    // The stored modem, kept in the list when no device of that name exists.
    QString storedModemName_;
    bool busy_ = false;

    QTreeWidget* tree_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QLabel* pleaseWait_ = nullptr;
    // General.
    QCheckBox* runOnStart_ = nullptr;
    QLabel* recordFormatLabel_ = nullptr;
    QComboBox* recordFormat_ = nullptr;
    QLabel* pathLabel_ = nullptr;
    QLineEdit* path_ = nullptr;
    QPushButton* browse_ = nullptr;
    QCheckBox* askBeforeDeletingCalls_ = nullptr;
    QPushButton* translations_ = nullptr;
    QLabel* phoneNumbers_ = nullptr;
    QLabel* countryLabel_ = nullptr;
    QComboBox* country_ = nullptr;
    QLabel* areaCodeLabel_ = nullptr;
    QLineEdit* areaCode_ = nullptr;
    // Devices.
    QLabel* modemLabel_ = nullptr;
    QComboBox* modem_ = nullptr;
    QCheckBox* recommendedOnly_ = nullptr;
    QLabel* soundDeviceLabel_ = nullptr;
    QComboBox* soundDevice_ = nullptr;
    QPushButton* deviceProperties_ = nullptr;
    std::unique_ptr<LineOptions> lineOptions_;
    // Incoming call.
    QCheckBox* callerBalloon_ = nullptr;
    QLabel* noTrayReason_ = nullptr;
    QCheckBox* openAppOnCall_ = nullptr;
    QCheckBox* playOnCall_ = nullptr;
    QComboBox* sound_ = nullptr;
    QToolButton* play_ = nullptr;
    QToolButton* stop_ = nullptr;
    QToolButton* add_ = nullptr;
    QToolButton* delete_ = nullptr;
    // Journal.
    QCheckBox* logSystem_ = nullptr;
    QCheckBox* logCalls_ = nullptr;
    QCheckBox* warnBeforeDelete_ = nullptr;
    QLabel* keepForLabel_ = nullptr;
    QComboBox* keepFor_ = nullptr;
    QPushButton* displayLog_ = nullptr;
    // Incoming call: the announcement.
    QCheckBox* announce_ = nullptr;
    QComboBox* announcement_ = nullptr;
    QToolButton* playAnnouncement_ = nullptr;
    QToolButton* addAnnouncement_ = nullptr;
    QCheckBox* announceWhile_ = nullptr;
    // Retention.
    RetentionPage* retention_ = nullptr;
    // Record rules and Blocking.
    RecordRulesPage* recordRules_ = nullptr;
    BlockingPage* blocking_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace orvane
