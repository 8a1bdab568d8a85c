// Export from the real window: recordings of the calls list as FLAC and
// Ogg Opus (read back by flac and opusdec), several into one folder with a
// question before a file there is replaced, the list as CSV, and a failure
// named in a message. The file dialogs are answered by the dialog hook.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QTimer>
#include <cmath>

#include "app/calls_list/calls_list_view.h"
#include "app/export/export_commands.h"
#include "app/main_window.h"
#include "app/program.h"
#include "calls/export/recording_export.h"
#include "calls/list/calls_list_model.h"
#include "core/product.h"
#include "settings/names/language.h"
#include "settings/names/main_menus.h"
#include "settings/store/registry_routines.h"
#include "tests/support/scripted_line_backend.h"
#include "tests/support/test_environment.h"
#include "tests/telephony/telephony_test_support.h"
#include "translation/show_message.h"
#include "translation/string_table.h"
#include "ui/common_widgets.h"
#include "ui/tray_icon.h"

namespace orvane {
namespace {

// 16-bit mono 8 kHz PCM of a tone, `samples` long.
QByteArray PcmWav(int samples) {
    QByteArray data;
    for (int i = 0; i < samples; ++i) {
        const auto value = static_cast<qint16>(8000.0 * std::sin(i * 0.3));
        data.append(static_cast<char>(value & 0xFF)).append(static_cast<char>((value >> 8) & 0xFF));
    }
    const auto le = [](quint32 value, int bytes) {
        QByteArray out;
        for (int i = 0; i < bytes; ++i) {
            out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
        }
        return out;
    };
    return "RIFF" + le(36 + data.size(), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) +
           le(8000, 4) + le(16000, 4) + le(2, 2) + le(16, 2) + "data" + le(data.size(), 4) + data;
}

QString RunTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    process.waitForFinished(30000);
    EXPECT_EQ(process.exitCode(), 0)
        << program.toStdString() << ": " << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

class ExportCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env_.makeProgramFolders();
        for (const QString& subkey : {QString(), kLanguageKey, kTabDevices, kTabGeneral, kTabLog,
                                      kTabIncomingCall, kTabDisconnectCall}) {
            RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey).CreateKey();
        }
        ResetStringTableForTesting();
        LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"));
        ResetMessageSeam();
        TrayIcon::OverrideAvailability(true);
        env_.setVariable("SONVEL_NO_ALSA", QStringLiteral("1"));
        Program::SetTapiFactory(
            [this](QObject* parent) { return testing::CreateScriptedTapi(backend_, parent); });
        SetFileDialogHook([this](const FileDialogRequest& request) {
            requests_ << request.title + " | " + request.proposedName;
            if (request.selectedFilter != nullptr && !filter_.isEmpty()) {
                const QStringList filters = request.filter.split(";;");
                const auto found = std::find_if(filters.begin(), filters.end(),
                                                [this](auto& f) { return f.startsWith(filter_); });
                EXPECT_NE(found, filters.end()) << request.filter.toStdString();
                *request.selectedFilter = found != filters.end() ? *found : QString();
            }
            return chosen_;
        });
    }
    void TearDown() override {
        SetFileDialogHook({});
        Program::SetTapiFactory({});
        TrayIcon::OverrideAvailability(std::nullopt);
        ResetMessageSeam();
    }

    // Three calls with recordings of 1.5, 2.25 and 3 s; the list's rows in order.
    void ThreeCalls(Program& program) {
        const struct {
            const char* name;
            const char* number;
            const char* time;
            const char* iso;
            int samples;
        } calls[] = {{"ANN", "+1 555 0100", "10:00:00 AM", "2026-12-07T10:00:00", 12000},
                     {"=HYPERLINK(1)", "0301234", "11:00:00 AM", "2026-12-07T11:00:00", 18000},
                     {"UNKNOWN", "UNKNOWN", "12:00:00 PM", "2026-12-07T12:00:00", 24000}};
        std::vector<CallRecord> records;
        for (const auto& call : calls) {
            CallRecord record;
            record.Set(CallField::CallKind, QStringLiteral("3"));
            record.Set(CallField::CallerName, QString::fromUtf8(call.name));
            record.Set(CallField::CallerNumber, QString::fromUtf8(call.number));
            record.Set(CallField::CallDate, QStringLiteral("12/7/26"));
            record.Set(CallField::CallTime, QString::fromUtf8(call.time));
            record.Set(CallField::Duration, QStringLiteral("0:00:02"));
            record.Set(CallField::ReadFlag, QStringLiteral("1"));
            record.Set(CallField::ExtraText, QString::fromUtf8(call.iso));
            records.push_back(record);
            env_.writeFile("calls/" + CallFileName(record), PcmWav(call.samples));
            lengths_[CallFileName(record)] = call.samples;
        }
        program.CallsList().SetRecords(records, env_.root() + "/calls/");
        program.Window().SetCallerNames([](const QString& number) {
            return number == "+1 555 0100" ? QStringLiteral("Ann Example") : QString();
        });
    }

    // Runs the context menu's command and waits for its copies.
    void ExportFromContextMenu(MainWindow& window, bool expectCopies = true) {
        QAction* action = window.Exports()->RecordingAction();
        ASSERT_TRUE(std::count(window.CallsList()->ContextActions().begin(),
                               window.CallsList()->ContextActions().end(), action));
        RecordingExport& copies = window.Exports()->Export();
        bool finished = false;
        QEventLoop loop;
        const auto done = QObject::connect(&copies, &RecordingExport::finished, &loop, [&] {
            finished = true;
            loop.quit();
        });
        const auto step =
            QObject::connect(&copies, &RecordingExport::progress, &loop, [this] { ++steps_; });
        action->trigger();
        if (expectCopies && copies.Running()) {
            QTimer::singleShot(30000, &loop, &QEventLoop::quit);
            loop.exec();
            EXPECT_TRUE(finished);
        }
        QObject::disconnect(done);
        QObject::disconnect(step);
    }

    QString Out(const QString& name = {}) const { return env_.root() + "/out/" + name; }

    testing::TestEnvironment env_;
    testing::ScriptedLineBackend* backend_ = nullptr;
    QStringList requests_;
    QString chosen_;
    QString filter_;
    std::map<QString, int> lengths_;
    int steps_ = 0;
};

TEST_F(ExportCommandsTest, RecordingsBecomeFlacAndOpusCopiesWithTheCallsTags) {
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    ThreeCalls(program);
    CallsListView* view = window.CallsList()->View();
    ASSERT_TRUE(QDir().mkpath(Out()));
    const QString first = program.CallsList().CellText(0, calls_column::kMsgFile);
    const auto row = [&](const QString& name) {
        for (int r = 0; r < program.CallsList().rowCount(); ++r) {
            if (program.CallsList().CellText(r, calls_column::kMsgFile) == name) {
                return r;
            }
        }
        return -1;
    };

    // One call, FLAC: the name typed gets the extension; the samples and
    // the phone-book name are in the copy.
    const QString ann = CallFileName(program.CallsList().Store().Record(1));
    view->SetCurrentRow(row(ann));
    chosen_ = Out("ann");
    filter_ = "FLAC";
    ExportFromContextMenu(window);
    EXPECT_EQ(requests_.takeFirst(), "Export the recording | " + ann.chopped(4) + ".opus");
    const QString decoded = env_.root() + "/decoded.wav";
    RunTool("flac", {"-s", "-d", "-f", "-o", decoded, Out("ann.flac")});
    QFile wav(decoded);
    ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
    EXPECT_EQ(wav.readAll().mid(44), PcmWav(12000).mid(44));
    EXPECT_TRUE(RunTool("metaflac", {"--export-tags-to=-", Out("ann.flac")})
                    .contains("TITLE=Ann Example - +1 555 0100\nDATE=2026-12-07T10:00:00\n"));

    // All three, compact Opus, into the folder; one copy is there already
    // and the user keeps it.
    view->selectAll();
    const QString kept = ExportFileName(first, sonvel::ExportFormat::kOpus);
    env_.writeFile("out/" + kept, "older");
    chosen_ = Out("whatever.opus");
    filter_ = "Ogg Opus compact";
    SetNextMessageAnswer(kAnswerNo);
    auto* progress = window.findChild<QProgressBar*>(QStringLiteral("progressBar"));
    ASSERT_NE(progress, nullptr);
    steps_ = 0;
    ExportFromContextMenu(window);
    EXPECT_EQ(requests_.takeFirst(),
              "Export 3 recordings into a folder, each named after its recording | " +
                  ExportFileName(first, sonvel::ExportFormat::kOpus));
    const std::vector<ShownMessage> asked = TakeShownMessages();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].text.startsWith("1 of the copies are already in " + Out().chopped(1)));
    EXPECT_EQ(steps_, 2);  // the progress bar's steps
    EXPECT_EQ(progress->maximum(), 2);
    EXPECT_FALSE(progress->isVisible());
    QFile older(Out(kept));
    ASSERT_TRUE(older.open(QIODevice::ReadOnly));
    EXPECT_EQ(older.readAll(), "older");
    int made = 0;
    for (const auto& [name, samples] : lengths_) {
        const QString copy = Out(ExportFileName(name, sonvel::ExportFormat::kOpus));
        if (copy == Out(kept)) {
            continue;
        }
        ++made;
        RunTool("opusdec", {"--quiet", "--rate", "8000", copy, decoded});
        EXPECT_NEAR(static_cast<double>(QFileInfo(decoded).size() - 44) / 16000.0, samples / 8000.0,
                    0.1);
        EXPECT_TRUE(RunTool("opusinfo", {copy}).contains("Average bitrate")) << name.toStdString();
    }
    EXPECT_EQ(made, 2);
    EXPECT_EQ(QDir(Out()).entryList(QDir::Files | QDir::Hidden).size(), 4);  // nothing else
    window.UnLoadApp();
}

TEST_F(ExportCommandsTest, TheListBecomesCsvAndAFailureNamesTheFile) {
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    ThreeCalls(program);
    CallsListView* view = window.CallsList()->View();
    ASSERT_TRUE(QDir().mkpath(Out()));

    // One row selected: every call the list shows; two: those two.
    const auto rowOf = [&](qint32 record) {
        for (int r = 0; r < program.CallsList().rowCount(); ++r) {
            if (program.CallsList().RecordNumber(r) == record) {
                return r;
            }
        }
        return -1;
    };
    for (const int selected : {1, 2}) {
        view->clearSelection();
        view->SetCurrentRow(rowOf(1));
        if (selected == 2) {
            view->selectionModel()->select(program.CallsList().index(rowOf(2), 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        chosen_ = Out(QStringLiteral("calls%1").arg(selected));
        window.MenuClick("ExportCsv");
        EXPECT_EQ(requests_.takeFirst(), "Export the calls as CSV | calls.csv");
        QFile csv(chosen_ + ".csv");
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
        const QByteArray text = csv.readAll();
        EXPECT_EQ(text.count("\r\n"), selected == 1 ? 4 : 3);
        EXPECT_TRUE(
            text.contains("2026-12-07T10:00:00,ANN,+1 555 0100,Ann Example,incoming,2,1,0,"));
        EXPECT_TRUE(text.contains(",'=HYPERLINK(1),0301234,,"));
        EXPECT_EQ(text.contains(",UNKNOWN,UNKNOWN,"), selected == 1);
    }

    // A name typed without its extension, where the file with it exists:
    // asked, and No keeps it.
    env_.writeFile("out/calls1.csv", "kept");
    chosen_ = Out("calls1");
    SetNextMessageAnswer(kAnswerNo);
    window.MenuClick("ExportCsv");
    requests_.clear();
    const std::vector<ShownMessage> asked = TakeShownMessages();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "calls1.csv is already in " + Out().chopped(1) + ". Replace it?");
    QFile kept(Out("calls1.csv"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "kept");

    // A recording gone from the disk: the message names it, nothing is left.
    view->clearSelection();
    view->SetCurrentRow(1);
    const QString gone =
        env_.root() + "/calls/" + program.CallsList().CellText(1, calls_column::kMsgFile);
    ASSERT_TRUE(QFile::remove(gone));
    chosen_ = Out("gone.opus");
    filter_.clear();
    SetNextMessageAnswer(kAnswerOk);
    ExportFromContextMenu(window);
    const std::vector<ShownMessage> shown = TakeShownMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.startsWith("Orvane could not export these recordings:\n" + gone))
        << shown[0].text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(chosen_));
    window.UnLoadApp();
}

}  // namespace
}  // namespace orvane
