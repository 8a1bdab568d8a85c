#pragma once
// Ids of the user-interface texts in the string table (string_table.h). An
// id is a line of every language file, so the numbers never change; code
// names them through these constants only. Where one text serves several
// places, one constant serves them all.

#include <array>

namespace orvane::ids {

// Settings dialog.
inline constexpr int kOk = 11;
inline constexpr int kCancel = 12;
inline constexpr int kPageGeneral = 541;       // also View menu item
inline constexpr int kPageDevices = 560;       // also View menu item
inline constexpr int kPageIncomingCall = 104;  // also View menu item
inline constexpr int kPageJournal = 109;       // also View menu item
inline constexpr int kFormatPcm = 236;         // record format choices, in list order
inline constexpr int kFormatMuLaw = 237;
inline constexpr int kFormatGsm610 = 238;
inline constexpr int kFormatTrueSpeech = 239;
inline constexpr int kTipPlaySound = 184;
inline constexpr int kTipStopSound = 183;
inline constexpr int kTipAddSound = 210;
inline constexpr int kJournalAgeOneMonth = 606;  // journal age choices, in list order
inline constexpr int kJournalAgeTwoMonths = 607;
inline constexpr int kJournalAgeThreeMonths = 608;
inline constexpr int kJournalAgeForever = 609;
inline constexpr int kMsgOnlySoundLeft = 840;
inline constexpr int kAskDeleteSound = 843;  // "<%S>": the sound's name
inline constexpr int kRunOnStart = 542;
inline constexpr int kLabelRecordFormat = 543;
inline constexpr int kLabelSavePath = 544;
inline constexpr int kTranslations = 992;
inline constexpr int kLabelModem = 561;
inline constexpr int kRecommendedOnly = 562;
inline constexpr int kLabelSoundDevice = 563;
inline constexpr int kDeviceProperties = 564;
inline constexpr int kInfoLineIndex = 565;  // the device information window, in order
inline constexpr int kInfoDeviceName = 566;
inline constexpr int kInfoTapiCapability = 567;
inline constexpr int kInfoVoiceModem = 568;
inline constexpr int kInfoMonitorDigits = 569;
inline constexpr int kInfoGenerateDigits = 570;
inline constexpr int kCallerBalloon = 105;
inline constexpr int kOpenAppOnCall = 106;
inline constexpr int kLogSystem = 110;
inline constexpr int kLogCalls = 111;
inline constexpr int kWarnBeforeDelete = 112;
inline constexpr int kLabelKeepJournals = 113;
inline constexpr int kDisplayJournal = 114;
inline constexpr int kFolderDialogTitle = 967;
inline constexpr int kPleaseWait = 968;
inline constexpr int kModemAbsent = 969;          // "<%S>": the stored device name
inline constexpr int kMsgSettingsNotSaved = 989;  // "<%S>": what was not saved, one per line
inline constexpr int kFormatNotAvailable = 990;   // "<%S>": the format's name
inline constexpr int kNeedsSystemTray = 991;

// Journal viewer.
inline constexpr int kJournalViewerTitle = 631;
inline constexpr int kJournalKindAll = 632;  // kind list, in list order
inline constexpr int kJournalKindSystem = 633;
inline constexpr int kJournalKindCalls = 634;
inline constexpr int kLabelDisplay = 636;
inline constexpr int kLabelDate = 637;
inline constexpr int kLabelDetails = 638;
inline constexpr int kSaveAs = 639;
inline constexpr int kDelete = 640;                // also the settings dialog's delete-sound tip
inline constexpr int kAskDeleteJournalFile = 994;  // "<%S>": the file's name
inline constexpr int kMsgJournalCopyFailed = 995;  // "<%S>": the place chosen

// Dialer.
inline constexpr int kDialer = 363;  // title; also File menu, main toolbar, call-back tip
inline constexpr int kMakeStandardCall = 364;
inline constexpr int kMakeRecordCall = 365;
inline constexpr int kEnd = 369;
inline constexpr int kStatusDialling = 366;   // followed by a blank and the number
inline constexpr int kStatusConnected = 367;  // also the main window's status bar
inline constexpr int kStatusNoCall = 801;
inline constexpr int kMsgStandardCallConnected = 370;
inline constexpr int kMsgNothingToDial = 984;  // "<%S>": the text in the number box
inline constexpr int kDialBusy = 985;          // how a dial-out ended, on both status bars
inline constexpr int kDialNoAnswer = 986;
inline constexpr int kDialNoDialTone = 987;
inline constexpr int kMsgCallNotPlaced = 988;  // "<%S>": the control's own text

// Main window: menu bar.
inline constexpr int kMenuFile = 21;
inline constexpr int kMenuNotes = 55;  // also main toolbar
inline constexpr int kMenuHide = 28;
inline constexpr int kMenuExit = 29;
inline constexpr int kMenuEdit = 35;
inline constexpr int kPreviousCall = 36;  // also calls-list toolbar tip
inline constexpr int kNextCall = 37;      // also calls-list toolbar tip
inline constexpr int kMenuEditNote = 155;
inline constexpr int kDeleteCalls = 24;  // also calls-list toolbar tip
inline constexpr int kSaveCopy = 42;     // also calls-list toolbar tip
inline constexpr int kMenuView = 66;     // also main toolbar: settings dialog
inline constexpr int kMenuHelp = 75;
inline constexpr int kMenuHelpContents = 76;
inline constexpr int kMenuProductPage = 77;
inline constexpr int kMenuAbout = 78;
inline constexpr int kMenuSupport = 79;
inline constexpr int kMenuCheckNewVersion = 80;
inline constexpr int kSaveDialogTitle = 975;
inline constexpr int kMsgSaveCopyFailed = 974;  // "<%S>": the file and the reason

// About box.
inline constexpr int kAboutVersion = 976;
inline constexpr int kAboutAudioEngine = 977;
inline constexpr int kAboutLicence = 978;
inline constexpr int kAboutLibraries = 979;

// Main window: tray menu.
inline constexpr int kTrayExit = 347;
inline constexpr int kTrayProperties = 32;
inline constexpr int kTrayCloseLine = 576;
inline constexpr int kTrayOpenLine = 575;
inline constexpr int kTrayShow = 88;

// Main window: main toolbar.
inline constexpr int kLineSwitchOpen = 100;
inline constexpr int kLineSwitchClosed = 101;
inline constexpr int kToolbarJournal = 67;
inline constexpr int kToolbarTitle = 972;  // names it in the window's context menu

// Main window: calls list.
inline constexpr int kHeaderCaller = 136;
inline constexpr int kHeaderDateTime = 137;
inline constexpr int kHeaderExtra = 138;
inline constexpr int kMarkAsRead = 40;
inline constexpr int kMarkAsUnread = 41;

// Main window: recorder toolbar tips and question.
inline constexpr int kTipRecord = 182;
inline constexpr int kTipPause = 700;
inline constexpr int kTipStopRecording = 185;
inline constexpr int kTipListen = 701;
inline constexpr int kTipEndCall = 674;
inline constexpr int kAskRecordCall = 703;

// Main window: status bar and tray balloon.
inline constexpr int kStatusRinging = 804;  // followed by a blank and the ring count
inline constexpr int kStatusLineOpen = 814;
inline constexpr int kStatusLineClosed = 815;
inline constexpr int kStatusLineOpening = 973;  // while the modem is set up
inline constexpr int kBalloonIncomingCall = 803;

// Main window: caller display and the calls area.
inline constexpr int kRingLabel = 970;  // followed by the ring count
inline constexpr int kCallsAreaEmpty = 971;
// The folder whose calls the list shows, above the list.
inline constexpr int kCallsFolderCaption = 500;
inline constexpr int kCallsFolderNone = 501;  // no recordings folder is set

// Call notes.
inline constexpr int kNoteFullTitle = 15;
inline constexpr int kNoteFullText = 864;
inline constexpr int kMsgNoteTooLong = 851;
inline constexpr int kNotesAdd = 980;
inline constexpr int kNoteBytesFullText = 981;
inline constexpr int kMsgNoteNotSaved = 982;
inline constexpr int kAskCloseNotesUnsaved = 983;

// Program messages.
inline constexpr int kMsgSettingsFileBroken = 950;  // "<%S>": what could not be read
inline constexpr int kMsgNoSystemTray = 951;
inline constexpr int kMsgCallIndexRefused = 475;        // "<%S>": the index file
inline constexpr int kMsgLanguageFileUnreadable = 476;  // "<%S>": the file and the reason

// Why the line is not open, on the status bar and in a tray balloon.
inline constexpr int kLineNoSuchPort = 960;
inline constexpr int kLinePortInUse = 961;
inline constexpr int kLineNoPermission = 962;  // with the hint about the dialout group
inline constexpr int kLineNoAnswer = 963;
inline constexpr int kLineLost = 964;
inline constexpr int kLineOtherProblem = 965;  // "<%S>": the control's own text
inline constexpr int kLineNoModem = 966;
inline constexpr int kLinePortHeldBy = 900;  // "<%S>": the program holding the port and its id

// Translation editor. Its captions, messages and grid headers are lists,
// one entry per line of the text, in the order translation_editor.cpp reads.
inline constexpr int kMenuTranslations = 997;  // View menu item
inline constexpr int kTranslatorCaptions = 998;
inline constexpr int kTranslatorMessages = 999;
inline constexpr int kTranslatorColumns = 1000;

// Recordings: quitting during one, a call that cannot be entered or
// recorded, calls entered after a crash.
inline constexpr int kAskQuitWhileRecording = 425;
inline constexpr int kMsgCallNotEntered = 426;  // "<%S>" twice: the reason, then the WAV file
inline constexpr int kMsgCannotRecord = 427;    // "<%S>" twice: the reason, then the WAV file
inline constexpr int kMsgInterruptedCallEntered = 428;  // "<%S>": the WAV file
inline constexpr int kMsgSidecarUnusable = 429;         // "<%S>": the sidecar file
// Deleting calls and bringing them back.
inline constexpr int kAskBeforeDeletingCalls = 400;  // settings dialog, General page
inline constexpr int kAskDeleteOneCall = 401;        // "<%S>": the call as its row shows it
inline constexpr int kAskDeleteCalls = 402;          // "<%S>": how many
inline constexpr int kMenuUndoDelete = 403;          // Edit menu
inline constexpr int kMsgCallsNotDeleted = 404;
inline constexpr int kMsgCallsNotRestored = 405;
inline constexpr int kMsgCallsLostFromTrash = 406;  // "<%S>": how many
inline constexpr int kAskDeleteTranslation = 407;   // "<%S>": the translation's name
// Recorder toolbar indicators, device properties, recording problems and
// the libraries the about box names.
inline constexpr int kIndicatorRec = 705;
inline constexpr int kIndicatorPauseRec = 706;
inline constexpr int kYes = 707;
inline constexpr int kNo = 708;
inline constexpr int kMsgNoRecordingsFolder = 709;
inline constexpr int kMsgRecordingFailed = 710;  // "<%S>" twice: the reason, then the WAV file
inline constexpr int kMsgTrueSpeechAsGsm = 711;
inline constexpr int kMsgRecordingNotStarted = 712;  // "<%S>" twice: the reason, then the WAV file
inline constexpr int kMsgDiskFullRecording = 713;    // "<%S>": the WAV file
inline constexpr int kMsgNoSoundStored = 714;        // "<%S>": the WAV file
inline constexpr int kMsgNoCall = 715;
inline constexpr int kAboutLibraryQt = 716;  // "<%S>": Qt's version
inline constexpr int kAboutLibraryGsm = 717;
inline constexpr int kAboutLibraryAlsa = 718;
// The player bar's buttons and slider, and the calls list's icon headers.
inline constexpr int kPlayerPause = 770;
inline constexpr int kPlayerPlay = 771;
inline constexpr int kPlayerStop = 772;
inline constexpr int kPlayerPosition = 773;
inline constexpr int kHeaderUserMark = 774;
inline constexpr int kHeaderKind = 775;
inline constexpr int kMsgCallIndexDamaged =
    750;  // "<%S>": how many records, "<%S>": the index file
// Help pages in the program's own window; the journal viewer's note.
inline constexpr int kHelpShownHere = 805;
inline constexpr int kMsgJournalsOff = 806;  // "<%S>": the clear boxes, then the settings page
inline constexpr int kMsgShippedTranslation = 875;  // "<%S>": the translation's name
inline constexpr int kMsgShippedSound = 876;        // "<%S>": the sound's name
// The calls list's context menu and copies of several calls.
inline constexpr int kMenuResume = 610;
inline constexpr int kMenuCallBack = 611;
inline constexpr int kMenuAddUserMark = 612;
inline constexpr int kMenuRemoveUserMark = 613;
inline constexpr int kMenuCallNotes = 614;
inline constexpr int kMenuSaveCopy = 615;
inline constexpr int kMenuSaveCopies = 616;
inline constexpr int kSaveCopiesTitle = 617;
inline constexpr int kMsgCopiesNotSaved = 618;  // "<%S>": each file that failed and why
// The calls list's search bar and its count in the status bar.
inline constexpr int kSearchPlaceholder = 430;  // the calls list's search field
inline constexpr int kSearchUnread = 431;
inline constexpr int kSearchMarked = 432;
inline constexpr int kSearchKindAll = 433;  // the kind choices, in list order
inline constexpr int kSearchKindIncoming = 434;
inline constexpr int kSearchKindOutgoing = 435;
inline constexpr int kSearchKindAnswered = 436;
inline constexpr int kSearchDates = 437;
inline constexpr int kSearchDatesTo = 438;      // between the two days
inline constexpr int kCallsShownOfTotal = 439;  // "<%S>" twice: the calls shown, then all calls
inline constexpr int kMenuFind = 440;           // Edit menu
inline constexpr int kSearchNoMatch = 441;      // the calls list when nothing matches
inline constexpr int kSearchTip = 442;
inline constexpr int kSearchKindTip = 443;
// Export of the calls as CSV and of recordings as Ogg Opus or FLAC.
inline constexpr int kMenuExportCsv = 577;
inline constexpr int kMenuExportRecording = 578;
inline constexpr int kExportCsvTitle = 579;
inline constexpr int kExportRecordingTitle = 580;
inline constexpr int kExportRecordingsTitle =
    581;  // "<%S>": how many; the copies go into the folder chosen
inline constexpr int kExportFormatOpus = 582;
inline constexpr int kExportFormatOpusCompact = 583;
inline constexpr int kExportFormatFlac = 584;
inline constexpr int kExportFormatCsv = 585;
inline constexpr int kMsgExportCsvFailed = 586;  // "<%S>": the file and the reason
inline constexpr int kMsgExportFailed = 587;     // "<%S>": each file that failed and why
inline constexpr int kAskExportReplace = 588;    // "<%S>": how many, then the folder
inline constexpr int kAboutLibraryExport = 589;
inline constexpr int kAskExportReplaceOne = 590;  // "<%S>": the file, then its folder

// The phone book: its window, "Name this number", the import's report
// and the number plan on the settings dialog's General page.
inline constexpr int kMenuPhoneBook = 450;  // File menu
inline constexpr int kPhoneBookTitle = 451;
inline constexpr int kPhoneBookFilter = 452;  // the filter field's hint
inline constexpr int kPhoneBookAdd = 453;
inline constexpr int kPhoneBookEdit = 454;
inline constexpr int kPhoneBookRemove = 455;
inline constexpr int kPhoneBookImport = 456;
inline constexpr int kPhoneBookClose = 457;
inline constexpr int kPhoneBookName = 458;             // column and field
inline constexpr int kPhoneBookNumbers = 459;          // column
inline constexpr int kNameThisNumber = 460;            // the calls list's context menu
inline constexpr int kAskNameForNumber = 461;          // "<%S>": the number
inline constexpr int kPhoneBookNumbersOneALine = 462;  // the edit dialog
inline constexpr int kImportDone = 463;             // "<%S>" three times: cards, contacts, numbers
inline constexpr int kImportUnchanged = 464;        // "<%S>": how many
inline constexpr int kImportKeptByHand = 465;       // "<%S>": how many
inline constexpr int kImportSkippedNoNumber = 466;  // "<%S>": how many
inline constexpr int kImportSkippedNoName = 467;    // "<%S>": how many
inline constexpr int kImportLongProperties = 468;   // "<%S>": how many
inline constexpr int kImportNestedCards = 469;      // "<%S>": how many
inline constexpr int kImportNotText = 470;
inline constexpr int kImportNotVCard = 471;
inline constexpr int kImportTooLarge = 472;        // "<%S>": the most megabytes read
inline constexpr int kImportTooManyCards = 473;    // "<%S>": the cards read
inline constexpr int kImportTooDeep = 474;         // "<%S>": the deepest nesting read
inline constexpr int kImportUnreadable = 477;      // "<%S>": the reason
inline constexpr int kMsgPhoneBookNotSaved = 478;  // "<%S>": the file and the reason
inline constexpr int kMsgPhoneBookSetAside = 479;  // "<%S>" twice: the file, and where it was kept
inline constexpr int kPhoneNumbersGroup = 480;     // settings dialog, General page
inline constexpr int kPhoneCountry = 481;
inline constexpr int kPhoneAreaCode = 482;
inline constexpr int kPhoneCountryNone = 483;  // no country chosen
inline constexpr int kVCardFileFilter = 484;   // the file dialog's filter
inline constexpr int kAskRemoveContact = 485;  // "<%S>": the contact's name
inline constexpr int kPhoneBookCount = 486;    // "<%S>" twice: shown, all

// The settings dialog's Retention page, its question and the window's notice.
inline constexpr int kPageRetention = 502;
inline constexpr int kLabelRetentionAge = 503;
inline constexpr int kLabelRetentionSize = 504;
inline constexpr int kLabelRetentionShort = 505;
inline constexpr int kRetentionKeepMarked = 506;
inline constexpr int kRetentionOff = 507;
inline constexpr int kRetentionDaysSuffix = 508;
inline constexpr int kRetentionGbSuffix = 509;
inline constexpr int kRetentionSecondsSuffix = 510;
inline constexpr int kRetentionPreviewMany = 511;  // "<%S>": how many calls, then their size
inline constexpr int kRetentionPreviewOne = 512;   // "<%S>": its size
inline constexpr int kRetentionPreviewNone = 513;
inline constexpr int kAskApplyRetention = 514;  // "<%S>": the preview
inline constexpr int kRetentionWaiting = 515;
inline constexpr int kRetentionReview = 516;
inline constexpr int kRetentionExplain = 517;
// Screening.
inline constexpr int kBlockThisNumber = 642;
inline constexpr int kMsgNumberBlocked = 643;         // "<%S>": the number
inline constexpr int kMsgNumberAlreadyBlocked = 644;  // "<%S>": the number
inline constexpr int kMsgScreeningNotSaved = 645;     // "<%S>": why
// The "ask" rule's question in the caller display and the notice.
inline constexpr int kAskRecordThisCall = 619;
inline constexpr int kAskKeepButton = 620;
inline constexpr int kAskDontRecordButton = 621;
inline constexpr int kAskRecordingKept = 622;
inline constexpr int kAskRecordingNotKept = 623;
// The Devices page: the call limits and the caller-ID standard.
inline constexpr int kLabelSilenceLimit = 877;
inline constexpr int kLabelLongestCall = 878;
inline constexpr int kLabelCallerIdStandard = 879;
inline constexpr int kCallerIdStandardOwn = 880;
inline constexpr int kCallerIdBellFsk = 881;
inline constexpr int kCallerIdV23 = 882;
inline constexpr int kCallerIdEtsiFsk = 883;
inline constexpr int kCallerIdUk = 884;
inline constexpr int kCallerIdEtsiDtmf = 885;
inline constexpr int kCallerIdStandardHint = 886;
inline constexpr int kCallLimitsHint = 887;
// The announcement on the Incoming call page.
inline constexpr int kAnnounce = 751;
inline constexpr int kAnnouncementShipped = 752;
inline constexpr int kAnnounceWhileRecording = 753;
// The record rules and blocking pages.
inline constexpr int kPageRecordRules = 646;
inline constexpr int kPageBlocking = 647;
inline constexpr int kScreenWhoNumber = 648;
inline constexpr int kScreenWhoContact = 649;
inline constexpr int kScreenWhoWithheld = 650;
inline constexpr int kScreenWhoUnknown = 651;
inline constexpr int kRecordAlways = 652;
inline constexpr int kRecordNever = 653;
inline constexpr int kRecordAsk = 654;
inline constexpr int kColumnWho = 655;
inline constexpr int kColumnNumberOrName = 656;
inline constexpr int kColumnRecording = 657;
inline constexpr int kLabelEveryoneElse = 658;
inline constexpr int kListUnrecorded = 659;
inline constexpr int kScreenAdd = 660;
inline constexpr int kScreenRemove = 661;
inline constexpr int kScreenUp = 662;
inline constexpr int kScreenDown = 663;
inline constexpr int kLabelBlockList = 664;
inline constexpr int kLabelAllowList = 665;
inline constexpr int kAllowListMode = 666;
inline constexpr int kColumnThen = 667;
inline constexpr int kBlockHangUp = 668;
inline constexpr int kBlockPlayMessage = 669;
inline constexpr int kLabelBlockMessage = 670;
inline constexpr int kBadNumberPattern = 671;  // "<%S>": what was typed
inline constexpr int kNoContactName = 672;
inline constexpr int kScreeningSetAside = 673;  // "<%S>": the copy
inline constexpr int kScreeningReadOnly = 719;
inline constexpr int kMsgNumberBlockedUnallowed = 720;  // "<%S>": the number
inline constexpr int kRecordRulesExplain = 721;
inline constexpr int kBlockingExplain = 722;
inline constexpr int kMsgScreeningRulesNotSaved = 723;  // "<%S>": why
inline constexpr int kPatternHint = 724;                // "<%S>": examples
// Calls without a recording in the calls list.
inline constexpr int kSearchKindBlocked = 591;
inline constexpr int kSearchKindNotRecorded = 592;
inline constexpr int kMsgNoRecording = 593;
inline constexpr int kAskDeleteUnrecorded = 594;  // "<%S>": how many
// A row's kind in place of its length (the kind choice's words are plural).
inline constexpr int kCallBlocked = 595;
inline constexpr int kCallNotRecorded = 596;

// Every id above, for tests that check the shipped language files.
inline constexpr std::array kAllIds = {
    kOk,
    kCancel,
    kPageGeneral,
    kPageDevices,
    kPageIncomingCall,
    kPageJournal,
    kFormatPcm,
    kFormatMuLaw,
    kFormatGsm610,
    kFormatTrueSpeech,
    kTipPlaySound,
    kTipStopSound,
    kTipAddSound,
    kJournalAgeOneMonth,
    kJournalAgeTwoMonths,
    kJournalAgeThreeMonths,
    kJournalAgeForever,
    kMsgOnlySoundLeft,
    kAskDeleteSound,
    kRunOnStart,
    kLabelRecordFormat,
    kLabelSavePath,
    kTranslations,
    kLabelModem,
    kRecommendedOnly,
    kLabelSoundDevice,
    kDeviceProperties,
    kInfoLineIndex,
    kInfoDeviceName,
    kInfoTapiCapability,
    kInfoVoiceModem,
    kInfoMonitorDigits,
    kInfoGenerateDigits,
    kCallerBalloon,
    kOpenAppOnCall,
    kLogSystem,
    kLogCalls,
    kWarnBeforeDelete,
    kLabelKeepJournals,
    kDisplayJournal,
    kFolderDialogTitle,
    kPleaseWait,
    kModemAbsent,
    kMsgSettingsNotSaved,
    kFormatNotAvailable,
    kNeedsSystemTray,
    kJournalViewerTitle,
    kJournalKindAll,
    kJournalKindSystem,
    kJournalKindCalls,
    kLabelDisplay,
    kLabelDate,
    kLabelDetails,
    kSaveAs,
    kDelete,
    kDialer,
    kMakeStandardCall,
    kMakeRecordCall,
    kEnd,
    kStatusDialling,
    kStatusConnected,
    kStatusNoCall,
    kMsgStandardCallConnected,
    kMsgNothingToDial,
    kDialBusy,
    kDialNoAnswer,
    kDialNoDialTone,
    kMsgCallNotPlaced,
    kMenuFile,
    kMenuNotes,
    kMenuHide,
    kMenuExit,
    kMenuEdit,
    kPreviousCall,
    kNextCall,
    kMenuEditNote,
    kDeleteCalls,
    kSaveCopy,
    kMenuView,
    kMenuHelp,
    kMenuHelpContents,
    kMenuProductPage,
    kMenuAbout,
    kMenuSupport,
    kMenuCheckNewVersion,
    kSaveDialogTitle,
    kMsgSaveCopyFailed,
    kAboutVersion,
    kAboutAudioEngine,
    kAboutLicence,
    kAboutLibraries,
    kTrayExit,
    kTrayProperties,
    kTrayCloseLine,
    kTrayOpenLine,
    kTrayShow,
    kLineSwitchOpen,
    kLineSwitchClosed,
    kToolbarJournal,
    kHeaderCaller,
    kHeaderDateTime,
    kHeaderExtra,
    kMarkAsRead,
    kMarkAsUnread,
    kTipRecord,
    kTipPause,
    kTipStopRecording,
    kTipListen,
    kTipEndCall,
    kAskRecordCall,
    kStatusRinging,
    kStatusLineOpen,
    kStatusLineClosed,
    kStatusLineOpening,
    kBalloonIncomingCall,
    kRingLabel,
    kCallsAreaEmpty,
    kToolbarTitle,
    kNoteFullTitle,
    kNoteFullText,
    kMsgNoteTooLong,
    kNotesAdd,
    kNoteBytesFullText,
    kMsgNoteNotSaved,
    kAskCloseNotesUnsaved,
    kMsgSettingsFileBroken,
    kMsgNoSystemTray,
    kLineNoSuchPort,
    kLinePortInUse,
    kLineNoPermission,
    kLineNoAnswer,
    kLineLost,
    kLineOtherProblem,
    kLineNoModem,
    kMenuTranslations,
    kTranslatorCaptions,
    kTranslatorMessages,
    kTranslatorColumns,
    kAskDeleteJournalFile,
    kMsgJournalCopyFailed,
    kMsgCallIndexRefused,
    kMsgLanguageFileUnreadable,
    kCallsFolderCaption,
    kCallsFolderNone,
    kAskQuitWhileRecording,
    kMsgCallNotEntered,
    kMsgCannotRecord,
    kMsgInterruptedCallEntered,
    kMsgSidecarUnusable,
    kAskBeforeDeletingCalls,
    kAskDeleteOneCall,
    kAskDeleteCalls,
    kMenuUndoDelete,
    kMsgCallsNotDeleted,
    kMsgCallsNotRestored,
    kMsgCallsLostFromTrash,
    kAskDeleteTranslation,
    kIndicatorRec,
    kIndicatorPauseRec,
    kYes,
    kNo,
    kMsgNoRecordingsFolder,
    kMsgRecordingFailed,
    kMsgTrueSpeechAsGsm,
    kMsgRecordingNotStarted,
    kMsgDiskFullRecording,
    kMsgNoSoundStored,
    kMsgNoCall,
    kAboutLibraryQt,
    kAboutLibraryGsm,
    kAboutLibraryAlsa,
    kPlayerPause,
    kPlayerPlay,
    kPlayerStop,
    kPlayerPosition,
    kHeaderUserMark,
    kHeaderKind,
    kMsgCallIndexDamaged,
    kHelpShownHere,
    kMsgJournalsOff,
    kMsgShippedTranslation,
    kMsgShippedSound,
    kLinePortHeldBy,
    kMenuResume,
    kMenuCallBack,
    kMenuAddUserMark,
    kMenuRemoveUserMark,
    kMenuCallNotes,
    kMenuSaveCopy,
    kMenuSaveCopies,
    kSaveCopiesTitle,
    kMsgCopiesNotSaved,
    kSearchPlaceholder,
    kSearchUnread,
    kSearchMarked,
    kSearchKindAll,
    kSearchKindIncoming,
    kSearchKindOutgoing,
    kSearchKindAnswered,
    kSearchDates,
    kSearchDatesTo,
    kCallsShownOfTotal,
    kMenuFind,
    kSearchNoMatch,
    kSearchTip,
    kSearchKindTip,
    kMenuExportCsv,
    kMenuExportRecording,
    kExportCsvTitle,
    kExportRecordingTitle,
    kExportRecordingsTitle,
    kExportFormatOpus,
    kExportFormatOpusCompact,
    kExportFormatFlac,
    kExportFormatCsv,
    kMsgExportCsvFailed,
    kMsgExportFailed,
    kAskExportReplace,
    kAboutLibraryExport,
    kAskExportReplaceOne,
    kMenuPhoneBook,
    kPhoneBookTitle,
    kPhoneBookFilter,
    kPhoneBookAdd,
    kPhoneBookEdit,
    kPhoneBookRemove,
    kPhoneBookImport,
    kPhoneBookClose,
    kPhoneBookName,
    kPhoneBookNumbers,
    kNameThisNumber,
    kAskNameForNumber,
    kPhoneBookNumbersOneALine,
    kImportDone,
    kImportUnchanged,
    kImportKeptByHand,
    kImportSkippedNoNumber,
    kImportSkippedNoName,
    kImportLongProperties,
    kImportNestedCards,
    kImportNotText,
    kImportNotVCard,
    kImportTooLarge,
    kImportTooManyCards,
    kImportTooDeep,
    kImportUnreadable,
    kMsgPhoneBookNotSaved,
    kMsgPhoneBookSetAside,
    kPhoneNumbersGroup,
    kPhoneCountry,
    kPhoneAreaCode,
    kPhoneCountryNone,
    kVCardFileFilter,
    kAskRemoveContact,
    kPhoneBookCount,
    kPageRetention,
    kLabelRetentionAge,
    kLabelRetentionSize,
    kLabelRetentionShort,
    kRetentionKeepMarked,
    kRetentionOff,
    kRetentionDaysSuffix,
    kRetentionGbSuffix,
    kRetentionSecondsSuffix,
    kRetentionPreviewMany,
    kRetentionPreviewOne,
    kRetentionPreviewNone,
    kAskApplyRetention,
    kRetentionWaiting,
    kRetentionReview,
    kRetentionExplain,
    kBlockThisNumber,
    kMsgNumberBlocked,
    kMsgNumberAlreadyBlocked,
    kMsgScreeningNotSaved,
    kAskRecordThisCall,
    kAskKeepButton,
    kAskDontRecordButton,
    kAskRecordingKept,
    kAskRecordingNotKept,
    kLabelSilenceLimit,
    kLabelLongestCall,
    kLabelCallerIdStandard,
    kCallerIdStandardOwn,
    kCallerIdBellFsk,
    kCallerIdV23,
    kCallerIdEtsiFsk,
    kCallerIdUk,
    kCallerIdEtsiDtmf,
    kCallerIdStandardHint,
    kCallLimitsHint,
    kAnnounce,
    kAnnouncementShipped,
    kAnnounceWhileRecording,
    kPageRecordRules,
    kPageBlocking,
    kScreenWhoNumber,
    kScreenWhoContact,
    kScreenWhoWithheld,
    kScreenWhoUnknown,
    kRecordAlways,
    kRecordNever,
    kRecordAsk,
    kColumnWho,
    kColumnNumberOrName,
    kColumnRecording,
    kLabelEveryoneElse,
    kListUnrecorded,
    kScreenAdd,
    kScreenRemove,
    kScreenUp,
    kScreenDown,
    kLabelBlockList,
    kLabelAllowList,
    kAllowListMode,
    kColumnThen,
    kBlockHangUp,
    kBlockPlayMessage,
    kLabelBlockMessage,
    kBadNumberPattern,
    kNoContactName,
    kScreeningSetAside,
    kScreeningReadOnly,
    kMsgNumberBlockedUnallowed,
    kRecordRulesExplain,
    kBlockingExplain,
    kMsgScreeningRulesNotSaved,
    kPatternHint,
    kSearchKindBlocked,
    kSearchKindNotRecorded,
    kMsgNoRecording,
    kAskDeleteUnrecorded,
    kCallBlocked,
    kCallNotRecorded,
};

}  // namespace orvane::ids
