#include "windows/settings/settings_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <initializer_list>

#include "calls/call_state_machine.h"
#include "calls/phonebook/phone_number.h"
#include "calls/screening/screening_file.h"
#include "core/common_functions.h"
#include "core/paths.h"
#include "core/private_folder.h"
#include "core/product.h"
#include "core/user_files.h"
#include "settings/names/incoming_call.h"
#include "settings/names/screening.h"
#include "settings/program_settings.h"
#include "telephony/line_devices.h"
#include "translation/right_to_left.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/common_widgets.h"
#include "ui/own_icons.h"
#include "ui/tray_icon.h"
#include "windows/settings/blocking_page.h"
#include "windows/settings/line_options.h"
#include "windows/settings/record_rules_page.h"
#include "windows/settings/retention_page.h"
#include "windows/settings/screening_table.h"

namespace orvane {
namespace {

constexpr int kTrueSpeechPosition = 3;
// The page list's width unless an entry needs more.
constexpr int kPageListWidth = 170;
const QString kSoundPattern = QStringLiteral("*.wav");

SettingsDialog::FolderDialogHook& FolderHook() {
    static SettingsDialog::FolderDialogHook hook;
    return hook;
}

QString WithSlash(QString folder) {
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    return folder;
}

// The caption of a control without a trailing colon, to name it in a message.
QString NameOf(const QString& caption) {
    QString name = caption.trimmed();
    while (name.endsWith(QLatin1Char(':')) || name.endsWith(QChar(0x2026))) {
        name.chop(1);
    }
    return name;
}

QToolButton* ToolButton(const char* iconName, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setIcon(OwnIcon(iconName));
    button->setAutoRaise(true);
    return button;
}

// Yes or No in the user's language.
QString YesNo(bool flag) {
    return Text(flag ? ids::kYes : ids::kNo);
}

}  // namespace

SettingsDialog::SettingsDialog(ProgramSettings& settings, Host host, QWidget* parent)
    : QDialog(parent), settings_(settings), host_(std::move(host)) {
    setObjectName(QStringLiteral("frmProperties"));
    BuildPages();
    ApplyTexts();
    ApplyRightToLeft(this);
    ShowSavedValues();
}

SettingsDialog::~SettingsDialog() = default;

SettingsDialog::FolderDialogHook SettingsDialog::SetFolderDialogHook(FolderDialogHook hook) {
    return std::exchange(FolderHook(), std::move(hook));
}

QString SettingsDialog::RunCommand() {
    return GeneralSettings::RunCommand();
}

void SettingsDialog::BuildPages() {
    BuildPageList();
    pages_->addWidget(BuildGeneralPage());
    pages_->addWidget(BuildDevicesPage());
    pages_->addWidget(BuildIncomingCallPage());
    pages_->addWidget(BuildJournalPage());
    retention_ = new RetentionPage(host_.retentionPreview, pages_);
    pages_->addWidget(retention_);
    recordRules_ = new RecordRulesPage(pages_);
    pages_->addWidget(recordRules_);
    blocking_ = new BlockingPage(pages_);
    pages_->addWidget(blocking_);
    BuildButtonsAndLayout();
    tree_->setCurrentItem(tree_->topLevelItem(0));
}

void SettingsDialog::BuildPageList() {
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(false);
    tree_->setMaximumWidth(kPageListWidth);
    pages_ = new QStackedWidget(this);
    for (int page = kGeneral; page <= kLastPage; ++page) {
        auto* item = new QTreeWidgetItem(tree_);
        item->setData(0, Qt::UserRole, page);
    }
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr) {
            pages_->setCurrentIndex(item->data(0, Qt::UserRole).toInt() - kGeneral);
        }
    });
}

QWidget* SettingsDialog::BuildGeneralPage() {
    auto* general = new QWidget(pages_);
    auto* generalForm = new QFormLayout(general);
    runOnStart_ = new QCheckBox(general);
    runOnStart_->setObjectName(QStringLiteral("chkRunOnStart"));
    generalForm->addRow(runOnStart_);
    recordFormatLabel_ = new QLabel(general);
    recordFormat_ = new QComboBox(general);
    recordFormat_->setObjectName(QStringLiteral("cmbRecordFormatRec"));
    generalForm->addRow(recordFormatLabel_, recordFormat_);
    pathLabel_ = new QLabel(general);
    path_ = new QLineEdit(general);
    path_->setObjectName(QStringLiteral("txtPath"));
    browse_ = new QPushButton(QStringLiteral("..."), general);
    browse_->setFixedWidth(32);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(path_);
    pathRow->addWidget(browse_);
    generalForm->addRow(pathLabel_, pathRow);
    askBeforeDeletingCalls_ = new QCheckBox(general);
    askBeforeDeletingCalls_->setObjectName(QStringLiteral("chkAskBeforeDeletingCalls"));
    generalForm->addRow(askBeforeDeletingCalls_);
    translations_ = new QPushButton(general);
    translations_->setObjectName(QStringLiteral("cmdTranslations"));
    generalForm->addRow(translations_);
    // The number plan the phone book compares numbers in.
    phoneNumbers_ = new QLabel(general);
    generalForm->addRow(phoneNumbers_);
    countryLabel_ = new QLabel(general);
    country_ = new QComboBox(general);
    country_->setObjectName(QStringLiteral("cmbPhoneCountry"));
    generalForm->addRow(countryLabel_, country_);
    areaCodeLabel_ = new QLabel(general);
    areaCode_ = new QLineEdit(general);
    areaCode_->setObjectName(QStringLiteral("txtPhoneAreaCode"));
    areaCode_->setMaxLength(8);
    generalForm->addRow(areaCodeLabel_, areaCode_);
    connect(browse_, &QPushButton::clicked, this, &SettingsDialog::ChooseFolder);
    connect(translations_, &QPushButton::clicked, this, [this] {
        if (showTranslationEditor) {
            showTranslationEditor();
        }
    });
    return general;
}

QWidget* SettingsDialog::BuildDevicesPage() {
    auto* devices = new QWidget(pages_);
    auto* devicesForm = new QFormLayout(devices);
    modemLabel_ = new QLabel(devices);
    modem_ = new QComboBox(devices);
    modem_->setObjectName(QStringLiteral("cmbModemDev"));
    devicesForm->addRow(modemLabel_, modem_);
    recommendedOnly_ = new QCheckBox(devices);
    recommendedOnly_->setObjectName(QStringLiteral("chkDisplayRecomendedDevices"));
    devicesForm->addRow(recommendedOnly_);
    deviceProperties_ = new QPushButton(devices);
    deviceProperties_->setObjectName(QStringLiteral("cmdDeviceProperties"));
    devicesForm->addRow(deviceProperties_);
    soundDeviceLabel_ = new QLabel(devices);
    soundDevice_ = new QComboBox(devices);
    soundDevice_->setObjectName(QStringLiteral("cmbSoundDev"));
    devicesForm->addRow(soundDeviceLabel_, soundDevice_);
    lineOptions_ = std::make_unique<LineOptions>(devices, devicesForm);
    connect(recommendedOnly_, &QCheckBox::clicked, this,
            [this](bool checked) { FillModemList(checked, ChosenModem()); });
    connect(deviceProperties_, &QPushButton::clicked, this, &SettingsDialog::ShowDeviceProperties);
    return devices;
}

QWidget* SettingsDialog::BuildIncomingCallPage() {
    auto* incoming = new QWidget(pages_);
    auto* incomingLayout = new QVBoxLayout(incoming);
    callerBalloon_ = new QCheckBox(incoming);
    callerBalloon_->setObjectName(QStringLiteral("chkViewCD_IC"));
    noTrayReason_ = new QLabel(incoming);
    noTrayReason_->setObjectName(QStringLiteral("lblNoTray"));
    noTrayReason_->setWordWrap(true);
    openAppOnCall_ = new QCheckBox(incoming);
    openAppOnCall_->setObjectName(QStringLiteral("chkOpenAppOnCall"));
    playOnCall_ = new QCheckBox(incoming);
    playOnCall_->setObjectName(QStringLiteral("chkPlayIn_IC"));
    sound_ = new QComboBox(incoming);
    sound_->setObjectName(QStringLiteral("CmbPlayWhen_IC"));
    play_ = ToolButton("media-playback-start", incoming);
    stop_ = ToolButton("media-playback-stop", incoming);
    add_ = ToolButton("list-add", incoming);
    delete_ = ToolButton("edit-delete", incoming);
    auto* soundRow = new QHBoxLayout;
    soundRow->addWidget(sound_, 1);
    soundRow->addWidget(play_);
    soundRow->addWidget(stop_);
    soundRow->addSpacing(8);
    soundRow->addWidget(add_);
    soundRow->addWidget(delete_);
    incomingLayout->addWidget(callerBalloon_);
    incomingLayout->addWidget(noTrayReason_);
    incomingLayout->addWidget(openAppOnCall_);
    incomingLayout->addWidget(playOnCall_);
    incomingLayout->addLayout(soundRow);
    incomingLayout->addWidget(BuildAnnouncement(incoming));
    incomingLayout->addStretch();
    connect(play_, &QToolButton::clicked, this, &SettingsDialog::PlaySound);
    connect(stop_, &QToolButton::clicked, this, &SettingsDialog::StopSound);
    connect(add_, &QToolButton::clicked, this, &SettingsDialog::AddSound);
    connect(delete_, &QToolButton::clicked, this, &SettingsDialog::DeleteSound);
    // Without a tray there is nowhere to show a balloon.
    const bool tray = TrayIcon::IsAvailable();
    callerBalloon_->setEnabled(tray);
    noTrayReason_->setVisible(!tray);
    return incoming;
}

QWidget* SettingsDialog::BuildJournalPage() {
    auto* journal = new QWidget(pages_);
    auto* journalForm = new QFormLayout(journal);
    logSystem_ = new QCheckBox(journal);
    logSystem_->setObjectName(QStringLiteral("chkLogSys"));
    logCalls_ = new QCheckBox(journal);
    logCalls_->setObjectName(QStringLiteral("chkLogCalls"));
    warnBeforeDelete_ = new QCheckBox(journal);
    warnBeforeDelete_->setObjectName(QStringLiteral("chkWornBeforeDelete"));
    keepForLabel_ = new QLabel(journal);
    keepFor_ = new QComboBox(journal);
    keepFor_->setObjectName(QStringLiteral("cmbLogFor"));
    displayLog_ = new QPushButton(journal);
    displayLog_->setObjectName(QStringLiteral("cmdDisplayLog"));
    journalForm->addRow(logSystem_);
    journalForm->addRow(logCalls_);
    journalForm->addRow(warnBeforeDelete_);
    journalForm->addRow(keepForLabel_, keepFor_);
    journalForm->addRow(displayLog_);
    connect(displayLog_, &QPushButton::clicked, this, [this] {
        if (showJournalViewer) {
            showJournalViewer();
        }
    });
    return journal;
}

void SettingsDialog::BuildButtonsAndLayout() {
    pleaseWait_ = new QLabel(this);
    pleaseWait_->hide();
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
    cancel_ = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    connect(ok_, &QPushButton::clicked, this, &SettingsDialog::Accept);
    connect(cancel_, &QPushButton::clicked, this, &SettingsDialog::Cancel);

    auto* body = new QHBoxLayout;
    body->addWidget(tree_);
    body->addWidget(pages_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(pleaseWait_);
    bottom->addStretch();
    bottom->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(bottom);
}

void SettingsDialog::ApplyTexts() {
    setWindowTitle(Text(ids::kTrayProperties));
    const int captions[] = {ids::kPageGeneral, ids::kPageDevices,   ids::kPageIncomingCall,
                            ids::kPageJournal, ids::kPageRetention, ids::kPageRecordRules,
                            ids::kPageBlocking};
    int widest = 0;
    for (int i = 0; i < static_cast<int>(std::size(captions)); ++i) {
        tree_->topLevelItem(i)->setText(0, Text(captions[i]));
        widest = std::max(widest, tree_->fontMetrics().horizontalAdvance(Text(captions[i])));
    }
    // The page list is as wide as its longest entry in the language and
    // font in use, plus the item's padding and the frame.
    const int needed =
        widest + 4 * tree_->fontMetrics().averageCharWidth() + 2 * tree_->frameWidth();
    tree_->setMinimumWidth(needed);
    tree_->setMaximumWidth(std::max(kPageListWidth, needed));
    runOnStart_->setText(Text(ids::kRunOnStart));
    recordFormatLabel_->setText(Text(ids::kLabelRecordFormat));
    recordFormat_->clear();
    for (int id : {ids::kFormatPcm, ids::kFormatMuLaw, ids::kFormatGsm610}) {
        recordFormat_->addItem(Text(id));
    }
    // No TrueSpeech encoder here: shown, but it cannot be chosen.
    recordFormat_->addItem(
        ReplaceMarker(Text(ids::kFormatNotAvailable), Text(ids::kFormatTrueSpeech)));
    if (auto* model = qobject_cast<QStandardItemModel*>(recordFormat_->model())) {
        model->item(kTrueSpeechPosition)->setEnabled(false);
    }
    pathLabel_->setText(Text(ids::kLabelSavePath));
    askBeforeDeletingCalls_->setText(Text(ids::kAskBeforeDeletingCalls));
    translations_->setText(Text(ids::kTranslations));
    phoneNumbers_->setText(QStringLiteral("<b>") + Text(ids::kPhoneNumbersGroup).toHtmlEscaped() +
                           QStringLiteral("</b>"));
    countryLabel_->setText(Text(ids::kPhoneCountry));
    areaCodeLabel_->setText(Text(ids::kPhoneAreaCode));
    modemLabel_->setText(Text(ids::kLabelModem));
    recommendedOnly_->setText(Text(ids::kRecommendedOnly));
    soundDeviceLabel_->setText(Text(ids::kLabelSoundDevice));
    deviceProperties_->setText(Text(ids::kDeviceProperties));
    lineOptions_->ApplyTexts();
    callerBalloon_->setText(Text(ids::kCallerBalloon));
    noTrayReason_->setText(Text(ids::kNeedsSystemTray));
    openAppOnCall_->setText(Text(ids::kOpenAppOnCall));
    playOnCall_->setText(Text(ids::kTipPlaySound));
    play_->setToolTip(Text(ids::kTipPlaySound));
    stop_->setToolTip(Text(ids::kTipStopSound));
    add_->setToolTip(Text(ids::kTipAddSound));
    delete_->setToolTip(Text(ids::kDelete));
    announce_->setText(Text(ids::kAnnounce));
    announceWhile_->setText(Text(ids::kAnnounceWhileRecording));
    playAnnouncement_->setToolTip(Text(ids::kTipPlaySound));
    addAnnouncement_->setToolTip(Text(ids::kTipAddSound));
    logSystem_->setText(Text(ids::kLogSystem));
    logCalls_->setText(Text(ids::kLogCalls));
    warnBeforeDelete_->setText(Text(ids::kWarnBeforeDelete));
    keepForLabel_->setText(Text(ids::kLabelKeepJournals));
    keepFor_->clear();
    for (int id : {ids::kJournalAgeOneMonth, ids::kJournalAgeTwoMonths, ids::kJournalAgeThreeMonths,
                   ids::kJournalAgeForever}) {
        keepFor_->addItem(Text(id));
    }
    displayLog_->setText(Text(ids::kDisplayJournal));
    retention_->ApplyTexts();
    recordRules_->ApplyTexts();
    blocking_->ApplyTexts();
    pleaseWait_->setText(Text(ids::kPleaseWait));
    ok_->setText(Text(ids::kOk));
    cancel_->setText(Text(ids::kCancel));
}

void SettingsDialog::ShowSavedValues() {
    ShowDevices();
    ShowGeneral();
    ShowJournal();
    ShowIncomingCall();
    ShowRetention();
    ShowScreening();
}

void SettingsDialog::ShowDevices() {
    const DevicesSettings& devices = settings_.Devices();
    storedModemName_ = devices.Modem();
    recommendedOnly_->setChecked(devices.RecommendedOnly());
    FillModemList(devices.RecommendedOnly(), storedModemName_);
    FillSoundDevices();
    const int soundIndex = soundDevice_->findText(devices.SoundDevice());
    if (soundIndex >= 0) {
        soundDevice_->setCurrentIndex(soundIndex);
    }
    lineOptions_->Show(devices);
}

void SettingsDialog::ShowGeneral() {
    const GeneralSettings& general = settings_.General();
    const int format = general.RecordFormat();
    recordFormat_->setCurrentIndex(format >= 0 && format < recordFormat_->count() ? format : 0);
    const QString folder = general.RecordingsFolder();
    path_->setText(folder);
    askBeforeDeletingCalls_->setChecked(general.AskBeforeDeletingCalls());
    runOnStart_->setChecked(general.RunOnStart());
    ShowNumberPlan();
}

void SettingsDialog::ShowNumberPlan() {
    const PhoneBookSettings& numbers = settings_.PhoneNumbers();
    QStringList codes = KnownCountries();
    const QString stored = numbers.Country();
    if (!stored.isEmpty() && !codes.contains(stored)) {
        codes.append(stored);
    }
    country_->clear();
    country_->addItem(Text(ids::kPhoneCountryNone), QString());
    for (const QString& code : codes) {
        const QLocale::Territory territory = QLocale::codeToTerritory(code);
        country_->addItem(
            territory == QLocale::AnyTerritory
                ? code
                : code + QStringLiteral(" – ") + QLocale::territoryToString(territory),
            code);
    }
    country_->setCurrentIndex(std::max(country_->findData(stored), 0));
    areaCode_->setText(numbers.AreaCode());
}

void SettingsDialog::ShowJournal() {
    const LogSettings& log = settings_.Log();
    logSystem_->setChecked(log.SystemJournal());
    logCalls_->setChecked(log.CallsJournal());
    warnBeforeDelete_->setChecked(log.WarnBeforeDelete());
    keepFor_->setCurrentIndex(log.KeepFor());
}

void SettingsDialog::ShowIncomingCall() {
    const IncomingCallSettings& incoming = settings_.IncomingCall();
    callerBalloon_->setChecked(incoming.CallerBalloon());
    openAppOnCall_->setChecked(incoming.OpenAppOnCall());
    playOnCall_->setChecked(incoming.PlaySound());
    FillSoundList(incoming.Sound());
    announce_->setChecked(incoming.Announce());
    announceWhile_->setChecked(incoming.AnnounceWhileRecording());
    FillAnnouncementList(incoming.AnnouncementSound());
    EnableAnnouncement();
}

void SettingsDialog::FillModemList(bool recommendedOnly, const QString& stored) {
    const std::vector<LineDetails> lines =
        host_.lineDevices ? host_.lineDevices() : std::vector<LineDetails>();
    FillLineDevices(lines, modem_, recommendedOnly);
    // A choice stored under a device's former name (before its by-id name)
    // shows the device as it is listed now.
    QString chosen = stored;
    if (modem_->findData(chosen) < 0) {
        const qint32 index = FindLineDevice(lines, chosen);
        if (index >= 0 && modem_->findData(lines[static_cast<size_t>(index)].deviceName) >= 0) {
            chosen = lines[static_cast<size_t>(index)].deviceName;
        }
    }
    // A device unplugged today stays the choice until the user makes another.
    if (!chosen.isEmpty() && modem_->findData(chosen) < 0) {
        modem_->addItem(ReplaceMarker(Text(ids::kModemAbsent), chosen), chosen);
    }
    // The choice by name, else the first device.
    modem_->setCurrentIndex(std::max(modem_->findData(chosen), 0));
}

void SettingsDialog::FillSoundDevices() {
    soundDevice_->clear();
    if (host_.soundDevices) {
        soundDevice_->addItems(host_.soundDevices());
    }
}

QString SettingsDialog::ChosenModem() const {
    return modem_->currentData().toString();
}

void SettingsDialog::SelectPage(int page) {
    if (page >= kGeneral && page <= kLastPage) {
        tree_->setCurrentItem(tree_->topLevelItem(page - kGeneral));
    }
}

int SettingsDialog::CurrentPage() const {
    return pages_->currentIndex() + kGeneral;
}

void SettingsDialog::Open(int page) {
    ShowSavedValues();
    SelectPage(page);
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
}

void SettingsDialog::Accept() {
    if (!CheckScreening()) {
        return;
    }
    bool retentionAccepted = false;
    if (!ConfirmRetention(&retentionAccepted)) {
        SelectPage(kRetention);
        return;
    }
    busy_ = true;
    pleaseWait_->show();
    // Each page tells the program once what changed on it; what the store
    // refused is named in one message.
    QStringList notSaved;
    const auto saved = [&notSaved](bool stored, const QString& caption) {
        if (!stored && !notSaved.contains(NameOf(caption))) {
            notSaved.append(NameOf(caption));
        }
    };
    // First: rules that cannot be written leave every page as it is shown.
    if (!SaveScreening(saved)) {
        pleaseWait_->hide();
        busy_ = false;
        return;
    }
    SaveDevices(saved);
    SaveGeneral(saved);
    SaveJournal(saved);
    SaveIncomingCall(saved);
    // Last: the rules run as they are stored, over the folder stored above.
    SaveRetention(saved, retentionAccepted);
    pleaseWait_->hide();
    busy_ = false;
    if (!notSaved.isEmpty()) {
        ShowMessage(
            ReplaceMarker(Text(ids::kMsgSettingsNotSaved), notSaved.join(QLatin1Char('\n'))),
            false);
    }
    hide();
}

void SettingsDialog::SaveDevices(const Saved& saved) {
    DevicesSettings& devices = settings_.Devices();
    const SettingsPage::Batch batch(devices);
    const QString modem = ChosenModem();
    saved(devices.SetModem(modem), modemLabel_->text());
    storedModemName_ = modem;
    saved(devices.SetRecommendedOnly(recommendedOnly_->isChecked()), recommendedOnly_->text());
    saved(devices.SetSoundDevice(soundDevice_->currentText()), soundDeviceLabel_->text());
    lineOptions_->Save(devices, saved);
}

void SettingsDialog::SaveGeneral(const Saved& saved) {
    GeneralSettings& general = settings_.General();
    const SettingsPage::Batch batch(general);
    saved(general.SetRunOnStart(runOnStart_->isChecked()), runOnStart_->text());
    saved(general.SetRecordFormat(recordFormat_->currentIndex()), recordFormatLabel_->text());
    const QString typed = path_->text().trimmed();
    saved(general.SetRecordingsFolder(typed.isEmpty() ? paths::DefaultRecordingsFolder() : typed),
          pathLabel_->text());
    saved(general.SetAskBeforeDeletingCalls(askBeforeDeletingCalls_->isChecked()),
          askBeforeDeletingCalls_->text());
    PhoneBookSettings& numbers = settings_.PhoneNumbers();
    const SettingsPage::Batch numbersBatch(numbers);
    saved(numbers.SetCountry(country_->currentData().toString()), countryLabel_->text());
    saved(numbers.SetAreaCode(areaCode_->text()), areaCodeLabel_->text());
}

void SettingsDialog::SaveJournal(const Saved& saved) {
    LogSettings& log = settings_.Log();
    const SettingsPage::Batch batch(log);
    saved(log.SetSystemJournal(logSystem_->isChecked()), logSystem_->text());
    saved(log.SetCallsJournal(logCalls_->isChecked()), logCalls_->text());
    saved(log.SetWarnBeforeDelete(warnBeforeDelete_->isChecked()), warnBeforeDelete_->text());
    saved(log.SetKeepFor(keepFor_->currentIndex()), keepForLabel_->text());
}

void SettingsDialog::SaveIncomingCall(const Saved& saved) {
    IncomingCallSettings& incoming = settings_.IncomingCall();
    const SettingsPage::Batch batch(incoming);
    saved(incoming.SetCallerBalloon(callerBalloon_->isChecked()), callerBalloon_->text());
    saved(incoming.SetOpenAppOnCall(openAppOnCall_->isChecked()), openAppOnCall_->text());
    saved(incoming.SetPlaySound(playOnCall_->isChecked()), playOnCall_->text());
    saved(incoming.SetSound(sound_->currentText()), playOnCall_->text());
    saved(incoming.SetAnnounce(announce_->isChecked()), announce_->text());
    saved(incoming.SetAnnouncementSound(announcement_->currentData().toString()),
          announce_->text());
    saved(incoming.SetAnnounceWhileRecording(announceWhile_->isChecked()), announceWhile_->text());
}

void SettingsDialog::ShowRetention() {
    const RetentionSettings& stored = settings_.Retention();
    RetentionRules rules;
    rules.maxAgeDays = stored.MaxAgeDays();
    rules.maxFolderMB = stored.MaxFolderMB();
    rules.minSeconds = stored.MinSeconds();
    rules.keepMarkedOrNoted = stored.KeepMarkedOrNoted();
    retention_->Show(rules);
}

bool SettingsDialog::ConfirmRetention(bool* accepted) {
    *accepted = false;
    const RetentionRules rules = retention_->Rules();
    const QString folder = host_.callsFolder ? host_.callsFolder() : QString();
    // The preview is of the open folder's calls: rules for a folder chosen
    // on the General page now are stored, and wait to be accepted there.
    if (folder.isEmpty() || WithSlash(path_->text().trimmed()) != WithSlash(folder)) {
        return true;
    }
    const QString fingerprint = RulesFingerprint(rules, folder);
    if (!rules.Active() || settings_.Retention().Accepted() == fingerprint) {
        *accepted = true;
        return true;
    }
    const RetentionChoice choice =
        host_.retentionPreview ? host_.retentionPreview(rules) : RetentionChoice{};
    // Rules that remove nothing now are what the preview showed.
    if (!choice.IsEmpty() && ShowMessage(ReplaceMarker(Text(ids::kAskApplyRetention),
                                                       RetentionPage::PreviewTextOf(choice)),
                                         true) != kAnswerYes) {
        return false;
    }
    *accepted = true;
    return true;
}

void SettingsDialog::SaveRetention(const Saved& saved, bool accepted) {
    RetentionSettings& stored = settings_.Retention();
    const SettingsPage::Batch batch(stored);
    const RetentionRules rules = retention_->Rules();
    const QString caption = Text(ids::kPageRetention);
    // Only what differs is written: a page left as it was stores nothing,
    // also where the settings have no key for it yet.
    if (rules.maxAgeDays != stored.MaxAgeDays()) {
        saved(stored.SetMaxAgeDays(rules.maxAgeDays), caption);
    }
    if (rules.maxFolderMB != stored.MaxFolderMB()) {
        saved(stored.SetMaxFolderMB(rules.maxFolderMB), caption);
    }
    if (rules.minSeconds != stored.MinSeconds()) {
        saved(stored.SetMinSeconds(rules.minSeconds), caption);
    }
    if (rules.keepMarkedOrNoted != stored.KeepMarkedOrNoted()) {
        saved(stored.SetKeepMarkedOrNoted(rules.keepMarkedOrNoted), caption);
    }
    const QString fingerprint =
        host_.callsFolder ? RulesFingerprint(rules, host_.callsFolder()) : QString();
    if (accepted && rules.Active() && fingerprint != stored.Accepted()) {
        saved(stored.SetAccepted(fingerprint), caption);
    }
}

namespace {

// What the pages hold, as rows.
ScreeningForm FormOf(const RecordRulesPage& rules, const BlockingPage& blocking) {
    ScreeningForm form;
    rules.Fill(form);
    blocking.Fill(form);
    return form;
}

}  // namespace

bool SettingsDialog::CheckScreening() {
    ScreeningForm::BadRow bad;
    if (FormOf(*recordRules_, *blocking_).Rules(&bad)) {
        return true;
    }
    SelectPage(bad.list == ScreeningForm::List::kRecordRules ? kRecordRules : kBlocking);
    ScreeningTable& table = bad.list == ScreeningForm::List::kRecordRules ? recordRules_->Rules()
                            : bad.list == ScreeningForm::List::kBlockList ? blocking_->BlockList()
                                                                          : blocking_->AllowList();
    table.CheckRow(bad.row);
    return false;
}

void SettingsDialog::ShowScreening() {
    const ScreeningFile* file = host_.screening;
    const ScreeningForm form = ScreeningForm::Of(file ? file->Rules() : ScreeningRules());
    // A damaged file was read as far as it could be: the pages say so.
    QString note;
    if (file != nullptr && file->ReadOnly()) {
        note = Text(ids::kScreeningReadOnly);
    } else if (file != nullptr && !file->SetAsidePath().isEmpty()) {
        note = TextWithValue(ids::kScreeningSetAside, file->SetAsidePath());
    }
    const QStringList names = host_.contactNames ? host_.contactNames() : QStringList();
    for (ScreeningTable* table :
         {&recordRules_->Rules(), &blocking_->BlockList(), &blocking_->AllowList()}) {
        table->SetContactNames(names);
    }
    const ScreeningSettings& stored = settings_.Screening();
    recordRules_->Show(form, stored.ListUnrecorded(), note);
    blocking_->Show(form,
                    UserFirstNames(paths::UserSoundFolder(), paths::ShippedSoundFolder(),
                                   QStringList{kSoundPattern}),
                    stored.BlockMessage(), note);
}

bool SettingsDialog::SaveScreening(const Saved& saved) {
    // The running screener takes the rules at once; a page left as it was
    // writes nothing, so a damaged file kept read-only stays untouched.
    ScreeningFile* file = host_.screening;
    const std::optional<ScreeningRules> rules = FormOf(*recordRules_, *blocking_).Rules();
    if (file != nullptr && rules && *rules != file->Rules() && !file->Save(*rules)) {
        ShowMessage(ReplaceMarker(Text(ids::kMsgScreeningRulesNotSaved), file->LastError()), false);
        SelectPage(kRecordRules);
        return false;
    }
    ScreeningSettings& stored = settings_.Screening();
    const SettingsPage::Batch batch(stored);
    // Only what differs is written, also where the settings have no key
    // for it yet.
    if (recordRules_->ListUnrecorded() != stored.ListUnrecorded()) {
        saved(stored.SetListUnrecorded(recordRules_->ListUnrecorded()), Text(ids::kListUnrecorded));
    }
    if (blocking_->Message() != stored.BlockMessage()) {
        saved(stored.SetBlockMessage(blocking_->Message()), Text(ids::kLabelBlockMessage));
    }
    return true;
}

void SettingsDialog::Cancel() {
    hide();
    ShowSavedValues();
}

void SettingsDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (!busy_) {
        Cancel();
    }
}

void SettingsDialog::ChooseFolder() {
    const QString title = Text(ids::kFolderDialogTitle);
    const QString folder = FolderHook()
                               ? FolderHook()(title)
                               : QFileDialog::getExistingDirectory(this, title, path_->text());
    if (folder.isEmpty()) {
        return;
    }
    // Like every other choice here, it takes effect with OK.
    path_->setText(WithSlash(folder));
}

void SettingsDialog::PlaySound() {
    if (host_.playSound && !sound_->currentText().isEmpty()) {
        const QString path = AlertSoundPath(sound_->currentText());
        if (!path.isEmpty()) {
            host_.playSound(path);
        }
    }
}

void SettingsDialog::StopSound() {
    if (host_.stopSound) {
        host_.stopSound();
    }
}

void SettingsDialog::AddSound() {
    StopSound();
    // Added sounds are the user's: copied into the user's sound folder,
    // where a sound of a shipped one's name takes its place.
    MakePrivateFolders(paths::UserSoundFolder());
    const QString name = AddSoundFile(this, paths::UserSoundFolder());
    if (!name.isEmpty()) {
        FillSoundList(name);
        FillAnnouncementList(announcement_->currentData().toString());
    }
}

void SettingsDialog::DeleteSound() {
    StopSound();
    if (sound_->count() <= 1) {
        ShowMessage(Text(ids::kMsgOnlySoundLeft), false);
        return;
    }
    const QString name = sound_->currentText();
    // Only a plain name of the list, never a path out of the folder.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QStringLiteral("..")) {
        return;
    }
    // Only a sound the user added goes; the shipped ones stay.
    if (!HasPlainFile(paths::UserSoundFolder(), name)) {
        ShowMessage(ReplaceMarker(Text(ids::kMsgShippedSound), name), false);
        return;
    }
    if (ShowMessage(ReplaceMarker(Text(ids::kAskDeleteSound), name), true) != kAnswerYes) {
        return;
    }
    QFile::remove(paths::UserSoundFolder() + name);
    FillSoundList(QString());
    FillAnnouncementList(announcement_->currentData().toString());
}

void SettingsDialog::FillSoundList(const QString& name) {
    FillNameList(sound_,
                 UserFirstNames(paths::UserSoundFolder(), paths::ShippedSoundFolder(),
                                QStringList{kSoundPattern}),
                 name);
}

void SettingsDialog::ShowDeviceProperties() {
    const QString name = ChosenModem();
    const std::vector<LineDetails> lines =
        host_.lineDevices ? host_.lineDevices() : std::vector<LineDetails>();
    const qint32 index = FindLineDevice(lines, name);
    LineDetails details = index >= 0 ? lines[static_cast<size_t>(index)] : LineDetails();
    details.deviceName = name;
    // The language's label ends in its colon; the space before the value
    // is ours (a label that brings its own keeps it).
    const auto line = [](int label, const QString& value) {
        const QString text = Text(label);
        return text.isEmpty() || text.back().isSpace() ? text + value
                                                       : text + QLatin1Char(' ') + value;
    };
    const QStringList text = {
        line(ids::kInfoLineIndex, QString::number(index)),
        line(ids::kInfoDeviceName, details.deviceName),
        line(ids::kInfoTapiCapability, YesNo(details.tapiCapability)),
        line(ids::kInfoVoiceModem, YesNo(details.voiceCapability)),
        line(ids::kInfoMonitorDigits, YesNo(details.monitorDigits)),
        line(ids::kInfoGenerateDigits, YesNo(details.generateDigits)),
    };
    auto* box = new QMessageBox(QMessageBox::Information, name, text.join(QLatin1Char('\n')),
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("frmInformation"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    ApplyRightToLeft(box);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}

QWidget* SettingsDialog::BuildAnnouncement(QWidget* page) {
    auto* box = new QWidget(page);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 8, 0, 0);
    announce_ = new QCheckBox(box);
    announce_->setObjectName(QStringLiteral("chkAnnounce_IC"));
    announcement_ = new QComboBox(box);
    announcement_->setObjectName(QStringLiteral("CmbAnnounce_IC"));
    playAnnouncement_ = ToolButton("media-playback-start", box);
    playAnnouncement_->setObjectName(QStringLiteral("cmdPlayAnnounce_IC"));
    auto* stop = ToolButton("media-playback-stop", box);
    stop->setObjectName(QStringLiteral("cmdStopAnnounce_IC"));
    addAnnouncement_ = ToolButton("list-add", box);
    addAnnouncement_->setObjectName(QStringLiteral("cmdAddAnnounce_IC"));
    announceWhile_ = new QCheckBox(box);
    announceWhile_->setObjectName(QStringLiteral("chkAnnounceWhile_IC"));
    // The choices under the check box, indented as its parts.
    const int indent = style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                       style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    auto* soundRow = new QHBoxLayout;
    soundRow->addSpacing(indent);
    soundRow->addWidget(announcement_, 1);
    soundRow->addWidget(playAnnouncement_);
    soundRow->addWidget(stop);
    soundRow->addSpacing(8);
    soundRow->addWidget(addAnnouncement_);
    auto* whileRow = new QHBoxLayout;
    whileRow->addSpacing(indent);
    whileRow->addWidget(announceWhile_, 1);
    layout->addWidget(announce_);
    layout->addLayout(soundRow);
    layout->addLayout(whileRow);
    connect(announce_, &QCheckBox::toggled, this, &SettingsDialog::EnableAnnouncement);
    connect(playAnnouncement_, &QToolButton::clicked, this, &SettingsDialog::PlayAnnouncement);
    connect(stop, &QToolButton::clicked, this, &SettingsDialog::StopSound);
    connect(addAnnouncement_, &QToolButton::clicked, this, &SettingsDialog::AddAnnouncement);
    return box;
}

void SettingsDialog::EnableAnnouncement() {
    const bool on = announce_->isChecked();
    for (QWidget* part : std::initializer_list<QWidget*>{announcement_, playAnnouncement_,
                                                         addAnnouncement_, announceWhile_}) {
        part->setEnabled(on);
    }
}

void SettingsDialog::FillAnnouncementList(const QString& name) {
    announcement_->clear();
    announcement_->addItem(Text(ids::kAnnouncementShipped), QString());
    const QStringList names = UserFirstNames(paths::UserSoundFolder(), paths::ShippedSoundFolder(),
                                             QStringList{kSoundPattern});
    for (const QString& sound : names) {
        // The shipped tone is the first entry.
        if (sound != kDefaultAnnouncement) {
            announcement_->addItem(sound, sound);
        }
    }
    if (name != kDefaultAnnouncement && announcement_->findData(name) < 0) {
        announcement_->addItem(name, name);
    }
    announcement_->setCurrentIndex(
        name == kDefaultAnnouncement ? 0 : std::max(announcement_->findData(name), 0));
}

void SettingsDialog::PlayAnnouncement() {
    const QString name = announcement_->currentData().toString();
    const QString path = AlertSoundPath(name.isEmpty() ? kDefaultAnnouncement : name);
    // A stored name whose file is gone plays nothing.
    if (host_.playSound && !path.isEmpty() && QFileInfo(path).isFile()) {
        host_.playSound(path);
    }
}

void SettingsDialog::AddAnnouncement() {
    StopSound();
    MakePrivateFolders(paths::UserSoundFolder());
    const QString name = AddSoundFile(this, paths::UserSoundFolder());
    if (!name.isEmpty()) {
        // Both lists show the Sound folders; each keeps its choice.
        FillSoundList(sound_->currentText());
        FillAnnouncementList(name);
    }
}

}  // namespace orvane
