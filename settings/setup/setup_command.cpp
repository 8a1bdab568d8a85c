#include "settings/setup/setup_command.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

#include "audio/sonvel.h"
#include "core/atomic_file.h"
#include "core/paths.h"
#include "core/private_folder.h"
#include "core/product.h"
#include "core/user_files.h"
#include "settings/names/devices.h"
#include "settings/names/disconnect_call.h"
#include "settings/names/general.h"
#include "settings/names/incoming_call.h"
#include "settings/names/language.h"
#include "settings/names/log.h"
#include "settings/names/retention.h"
#include "settings/names/screening.h"
#include "settings/setup/portable_upgrade.h"
#include "settings/setup/user_files_upgrade.h"
#include "settings/store/autostart.h"
#include "settings/store/registry_store.h"
#include "settings/store/registry_types.h"

namespace orvane::setup {

namespace {

// Full key paths below the settings root.
QString UnderRoot(const QString& subkey) {
    return product::kRootKey + QLatin1Char('\\') + subkey;
}
const QString kGeneralKey = UnderRoot(kTabGeneral);
const QString kLanguageFullKey = UnderRoot(kLanguageKey);
const QString kEnglish = QStringLiteral("English");
// One of the sounds the build makes (tools/sounds).
const QString kShippedRing = QStringLiteral("Ring.wav");

// Every key the program expects, below its root.
const QList<std::pair<quint32, QString>>& SchemaKeys() {
    static const QList<std::pair<quint32, QString>> keys{
        {kHkeyLocalMachine, product::kRootKey},
        {kHkeyLocalMachine, kLanguageFullKey},
        {kHkeyLocalMachine, UnderRoot(kTabDevices)},
        {kHkeyLocalMachine, kGeneralKey},
        {kHkeyLocalMachine, UnderRoot(kTabLog)},
        {kHkeyLocalMachine, UnderRoot(kTabIncomingCall)},
        {kHkeyLocalMachine, UnderRoot(kTabDisconnectCall)},
        {kHkeyLocalMachine, UnderRoot(kTabRetention)},
        {kHkeyLocalMachine, UnderRoot(kTabScreening)},
        {kHkeyCurrentUser, product::kRunKey},
    };
    return keys;
}

QString Usage() {
    return QStringLiteral(
        "Usage: orvane-setup [--program-dir DIR] [--recordings DIR] [--language NAME]\n"
        "\n"
        "Makes the user's folders, the settings keys, a recordings folder, the language\n"
        "choice and the application-menu entry, and brings over the journals, notes and\n"
        "last numbers an older copy kept in the program folder. Values that exist are kept.\n"
        "  --program-dir DIR  the program folder (default: the folder of this program)\n"
        "  --recordings DIR   the recordings folder, when none is set yet\n"
        "                     (default: $XDG_DATA_HOME/orvane/Recordings/)\n"
        "  --language NAME    a translation file, when none is chosen yet\n"
        "                     (default: from the system's language)\n");
}

struct Options {
    std::optional<QString> programDir;
    std::optional<QString> recordings;
    std::optional<QString> language;
    bool help = false;
};

// The program folder is read from the environment by every part of the
// store; the option sets it for this run only.
class ScopedProgramFolder {
  public:
    explicit ScopedProgramFolder(const std::optional<QString>& folder) {
        if (!folder.has_value()) {
            return;
        }
        active_ = true;
        wasSet_ = qEnvironmentVariableIsSet(kVariable);
        old_ = qgetenv(kVariable);
        qputenv(kVariable, QFile::encodeName(QDir(*folder).absolutePath()));
    }
    ~ScopedProgramFolder() {
        if (active_ && wasSet_) {
            qputenv(kVariable, old_);
        } else if (active_) {
            qunsetenv(kVariable);
        }
    }
    ScopedProgramFolder(const ScopedProgramFolder&) = delete;
    ScopedProgramFolder& operator=(const ScopedProgramFolder&) = delete;

  private:
    static constexpr const char* kVariable = "ORVANE_PROGRAM_DIR";
    bool active_ = false;
    bool wasSet_ = false;
    QByteArray old_;
};

class Installer {
  public:
    Installer(QTextStream& out, QTextStream& err) : out_(out), err_(err) {}

    int Run(const QStringList& arguments, QLocale::Language systemLanguage) {
        Options options;
        if (!Parse(arguments, &options)) {
            err_ << "Type \"orvane-setup --help\" for usage.\n";
            return 1;
        }
        if (options.help) {
            out_ << Usage();
            return 0;
        }
        ScopedProgramFolder programFolder(options.programDir);
        if (options.language.has_value() && !IsLanguageFile(*options.language)) {
            err_ << "orvane-setup: there is no language file \"" << *options.language << "\" in "
                 << paths::UserTransFolder() << " or " << paths::ShippedTransFolder() << '\n';
            return 1;
        }
        bool ok = SetUpUser(options, systemLanguage);
        ok = WriteMenuEntry() && ok;
        return ok ? 0 : 1;
    }

    // All of the set-up but the menu entry: what the program does at start.
    bool SetUpUser(const Options& options, QLocale::Language systemLanguage) {
        bool ok = true;
        // The user's folders only: the program folder may be read-only.
        for (const QString& folder :
             {paths::UserFolder() + QLatin1Char('/'), paths::UserTransFolder(),
              paths::UserSoundFolder(), paths::JournalFolder()}) {
            ok = MakeFolder(folder) && ok;
        }
        for (const QString& line : BringOverUserFiles(paths::ProgramFolder())) {
            out_ << line << '\n';
        }
        const bool machineKeys = MakeKeys(kHkeyLocalMachine);
        ok = MakeKeys(kHkeyCurrentUser) && machineKeys && ok;
        if (machineKeys) {
            ok = SetRecordingsFolder(options.recordings) && ok;
            ok = SetLanguage(options.language.value_or(LanguageFileFor(systemLanguage))) && ok;
            ok = SetIncomingCallSound() && ok;
        }
        ok = RegisterAudioControl() && ok;
        const UpgradeReport upgrade = BringOldUserFiles();
        for (const QString& path : upgrade.brought) {
            out_ << "Brought over " << path << '\n';
        }
        for (const QString& line : upgrade.left) {
            err_ << "orvane-setup: " << line << '\n';
        }
        return ok;
    }

  private:
    bool Parse(const QStringList& arguments, Options* options) {
        for (qsizetype i = 0; i < arguments.size(); ++i) {
            QString name = arguments[i];
            std::optional<QString> value;
            if (name.startsWith(QLatin1String("--")) && name.contains(QLatin1Char('='))) {
                value = name.section(QLatin1Char('='), 1);
                name = name.section(QLatin1Char('='), 0, 0);
            }
            if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
                options->help = true;
                continue;
            }
            std::optional<QString>* slot =
                name == QLatin1String("--program-dir")  ? &options->programDir
                : name == QLatin1String("--recordings") ? &options->recordings
                : name == QLatin1String("--language")   ? &options->language
                                                        : nullptr;
            if (slot == nullptr) {
                err_ << "orvane-setup: unknown option \"" << arguments[i] << "\"\n";
                return false;
            }
            if (!value.has_value() && i + 1 < arguments.size()) {
                value = arguments[++i];
            }
            if (!value.has_value() || value->isEmpty()) {
                err_ << "orvane-setup: " << name << " needs a value\n";
                return false;
            }
            *slot = value;
        }
        return true;
    }

    // The user's own translations first, then the shipped ones.
    static bool IsLanguageFile(const QString& name) {
        return QFileInfo(UserFirstPath(paths::UserTransFolder(), paths::ShippedTransFolder(), name))
            .isFile();
    }

    bool MakeFolder(const QString& folder) {
        if (QFileInfo(folder).isDir()) {
            return true;
        }
        if (!MakePrivateFolders(folder)) {
            err_ << "orvane-setup: cannot make the folder " << folder << '\n';
            return false;
        }
        out_ << "Created folder " << folder << '\n';
        return true;
    }

    void ReportStoreError(const RegistryStore& store, qint32 code, const QString& what) {
        err_ << "orvane-setup: cannot " << what << " (error " << code << ")";
        if (code == kErrorBadDb) {
            err_ << ": " << store.FilePath() << " has errors; fix them first:\n";
            for (const QString& problem : HiveFor(store.Root())->Problems()) {
                err_ << "    " << problem << '\n';
            }
        } else {
            err_ << '\n';
        }
    }

    // Each missing key is made parent first, so every change gets its line.
    bool MakeKeys(quint32 root) {
        const auto store = HiveFor(root);
        for (const auto& [keyRoot, key] : SchemaKeys()) {
            if (keyRoot != root) {
                continue;
            }
            const QStringList parts = SplitKeyPath(key);
            for (qsizetype depth = 1; depth <= parts.size(); ++depth) {
                const QString path = parts.mid(0, depth).join(QLatin1Char('\\'));
                bool created = false;
                const qint32 code = store->CreateKey(path, &created);
                const QString fullName = RootKeyName(root) + QLatin1Char('\\') + path;
                if (code != kErrorSuccess) {
                    ReportStoreError(*store, code, QStringLiteral("make the key ") + fullName);
                    return false;
                }
                if (created) {
                    out_ << "Created key " << fullName << '\n';
                }
            }
        }
        return true;
    }

    bool ValueExists(const QString& key, const QString& name) {
        quint32 size = 0;
        return HiveFor(kHkeyLocalMachine)->QueryValue(key, name, nullptr, nullptr, &size) ==
               kErrorSuccess;
    }

    bool SetText(const QString& key, const QString& name, const QString& text) {
        const auto store = HiveFor(kHkeyLocalMachine);
        bool written = false;
        const QString fullName = RootKeyName(kHkeyLocalMachine) + QLatin1Char('\\') + key;
        const qint32 code =
            store->SetValueIfAbsent(key, RegValue{name, kRegSz, EncodeRegString(text)}, &written);
        if (code != kErrorSuccess) {
            ReportStoreError(*store, code, QStringLiteral("set \"%1\" in %2").arg(name, fullName));
            return false;
        }
        if (written) {
            out_ << "Set " << fullName << " \"" << name << "\" = \"" << text << "\"\n";
        }
        return true;
    }

    bool SetRecordingsFolder(const std::optional<QString>& chosen) {
        const QString& name = setting::kTxtPath;
        if (ValueExists(kGeneralKey, name)) {
            return true;
        }
        const QString folder =
            QDir::cleanPath(QDir(chosen.value_or(paths::DefaultRecordingsFolder())).absolutePath());
        return MakeFolder(folder + QLatin1Char('/')) &&
               SetText(kGeneralKey, name,
                       folder == QLatin1String("/") ? folder : folder + QLatin1Char('/'));
    }

    bool SetLanguage(QString file) {
        const QString& name = setting::kSelect;
        if (ValueExists(kLanguageFullKey, name)) {
            return true;
        }
        if (!IsLanguageFile(file)) {
            file = kEnglish;
        }
        if (!IsLanguageFile(file)) {
            err_ << "orvane-setup: no language file in " << paths::ShippedTransFolder()
                 << "; the program will start without one\n";
            return true;
        }
        return SetText(kLanguageFullKey, name, file);
    }

    // The shipped ring, only where no sound was chosen (an empty choice is
    // one) and it is there.
    bool SetIncomingCallSound() {
        const QString key = UnderRoot(kTabIncomingCall);
        if (ValueExists(key, setting::kCmbPlayWhenIc) ||
            !QFileInfo(
                 UserFirstPath(paths::UserSoundFolder(), paths::ShippedSoundFolder(), kShippedRing))
                 .isFile()) {
            return true;
        }
        return SetText(key, setting::kCmbPlayWhenIc, kShippedRing);
    }

    // The audio library this installer ships with writes its own class
    // entries; registering again when nothing changed writes nothing.
    bool RegisterAudioControl() {
        const QString hive = HivePath(kHkeyClassesRoot);
        QFile before(hive);
        const QByteArray old = before.open(QIODevice::ReadOnly) ? before.readAll() : QByteArray();
        before.close();
        if (DllRegisterServer() != kSonvelOk) {
            err_ << "orvane-setup: cannot register the audio control Sonvel.Wave in " << hive
                 << '\n';
            return false;
        }
        QFile after(hive);
        if (!after.open(QIODevice::ReadOnly) || after.readAll() != old) {
            out_ << "Registered the audio control Sonvel.Wave in " << hive << '\n';
        }
        return true;
    }

    // The desktop's application menu lists the program from this entry; it
    // is ours, so it is brought up to date whenever it differs. It has the
    // package's desktop id, so only one entry shows: the program set up
    // last. The installed program has the package's entry and writes none.
    bool WriteMenuEntry() {
        if (QDir(paths::DataFolder()) != QDir(paths::ProgramFolder())) {
            return true;
        }
        const QString folder = paths::DataHome() + QStringLiteral("/applications");
        const QString path =
            folder + QLatin1Char('/') + product::kDesktopId + QStringLiteral(".desktop");
        const QByteArray content = MenuEntryContent(paths::ProgramFolder());
        QFile current(path);
        bool ok = true;
        if (!current.open(QIODevice::ReadOnly) || current.readAll() != content) {
            current.close();
            if (!QDir().mkpath(folder) || ReplaceFileContent(path, content, UsersFileMode()) != 0) {
                err_ << "orvane-setup: cannot write the menu entry " << path << '\n';
                return false;
            }
            out_ << "Wrote menu entry " << path << '\n';
        }
        // Earlier versions named the entry orvane.desktop; with both, the
        // menu would list the program twice. Only an entry that starts an
        // Orvane program is ours to remove.
        const QString old = folder + QStringLiteral("/orvane.desktop");
        QFile oldEntry(old);
        if (oldEntry.open(QIODevice::ReadOnly) && StartsOrvane(oldEntry.readAll())) {
            oldEntry.close();
            if (QFile::remove(old)) {
                out_ << "Removed the old menu entry " << old << '\n';
            } else {
                err_ << "orvane-setup: cannot remove the old menu entry " << old << '\n';
                ok = false;
            }
        }
        return ok;
    }

    // Whether a menu entry's Exec line runs a program named orvane.
    static bool StartsOrvane(const QByteArray& entry) {
        for (const QByteArray& line : entry.split('\n')) {
            if (!line.startsWith("Exec=")) {
                continue;
            }
            QString command = QString::fromUtf8(line.mid(5)).trimmed();
            QString program;
            if (command.startsWith(QLatin1Char('"'))) {
                program = command.mid(1, command.indexOf(QLatin1Char('"'), 1) - 1);
            } else {
                program = command.section(QLatin1Char(' '), 0, 0);
            }
            return QFileInfo(program).fileName() == product::kExecutableName;
        }
        return false;
    }

    QTextStream& out_;
    QTextStream& err_;
};

}  // namespace

QByteArray MenuEntryContent(const QString& programFolder) {
    const QString program = programFolder + QLatin1Char('/') + product::kExecutableName;
    QByteArray entry;
    entry += "[Desktop Entry]\n";
    entry += "Type=Application\n";
    entry += "Name=Orvane\n";
    entry += "GenericName=Call Recorder\n";
    entry += "Comment=Record telephone calls from a voice modem\n";
    entry += "Exec=" + autostart::ExecValue(program).toUtf8() + "\n";
    entry += "TryExec=" + program.toUtf8() + "\n";
    entry += "Icon=" + (programFolder + QStringLiteral("/orvane.svg")).toUtf8() + "\n";
    entry += "Terminal=false\n";
    entry += "Categories=AudioVideo;Audio;Recorder;Qt;\n";
    entry += "Keywords=phone;call;recorder;modem;caller ID;\n";
    entry += "StartupWMClass=orvane\n";
    entry += "Actions=tray;\n";
    entry += "\n[Desktop Action tray]\n";
    entry += "Name=Start in the Tray\n";
    entry += "Exec=" + autostart::ExecValue(program).toUtf8() + " -st\n";
    return entry;
}

QString LanguageFileFor(QLocale::Language language) {
    switch (language) {
        case QLocale::German:
            return QStringLiteral("German");
        case QLocale::Hebrew:
            return QStringLiteral("Hebrew");
        default:
            return kEnglish;
    }
}

bool RunUserSetup(QTextStream& err, QLocale::Language systemLanguage) {
    QString discarded;
    QTextStream quiet(&discarded);
    const bool ok = Installer(quiet, err).SetUpUser(Options{}, systemLanguage);
    err.flush();
    return ok;
}

int RunSetup(const QStringList& arguments, QTextStream& out, QTextStream& err,
             QLocale::Language systemLanguage) {
    const int code = Installer(out, err).Run(arguments, systemLanguage);
    out.flush();
    err.flush();
    return code;
}

}  // namespace orvane::setup
