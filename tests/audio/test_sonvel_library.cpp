// The shared library as its hosts meet it: the exported control, and the four
// C entry points found with dlopen/dlsym, registering into a private config
// folder. Linked against libsonvel.so itself, not the static engine.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <sstream>
#include <string>

#include "audio/host/event_loop_window.h"
#include "audio/sonvel.h"
#include "audio/wave/wave.h"
#include "tests/audio/audio_test_support.h"

namespace sonvel {
namespace {

const bool kNoAlsa = setenv("SONVEL_NO_ALSA", "1", 1) == 0;

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

using EntryPoint = int32_t (*)();
using GetClassObject = int32_t (*)(const SonvelGuid*, const SonvelGuid*, void**);

class SonvelLibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(kNoAlsa);
        ASSERT_EQ(setenv("ORVANE_CONFIG_DIR", folder_.File("config").c_str(), 1), 0);
        // Already loaded through the link: dlopen hands back the same copy,
        // which is what a run-time host finds.
        library_ = dlopen(SONVEL_LIBRARY_PATH, RTLD_NOW);
        ASSERT_NE(library_, nullptr) << dlerror();
        registerServer_ = reinterpret_cast<EntryPoint>(dlsym(library_, "DllRegisterServer"));
        unregisterServer_ = reinterpret_cast<EntryPoint>(dlsym(library_, "DllUnregisterServer"));
        canUnloadNow_ = reinterpret_cast<EntryPoint>(dlsym(library_, "DllCanUnloadNow"));
        getClassObject_ = reinterpret_cast<GetClassObject>(dlsym(library_, "DllGetClassObject"));
        ASSERT_TRUE(registerServer_ && unregisterServer_ && canUnloadNow_ && getClassObject_);
    }
    void TearDown() override {
        unsetenv("ORVANE_CONFIG_DIR");
        if (library_ != nullptr) {
            dlclose(library_);
        }
    }
    std::string Hive() const { return folder_.File("config/HKEY_CLASSES_ROOT.reg"); }

    test_support::TempFolder folder_;
    void* library_ = nullptr;
    EntryPoint registerServer_ = nullptr;
    EntryPoint unregisterServer_ = nullptr;
    EntryPoint canUnloadNow_ = nullptr;
    GetClassObject getClassObject_ = nullptr;
};

TEST_F(SonvelLibraryTest, RegisteringWritesTheClassAndTheLibraryPathIntoTheClassesHive) {
    ASSERT_EQ(registerServer_(), kSonvelOk);
    const std::string hive = ReadText(Hive());
    char library[PATH_MAX];
    ASSERT_NE(realpath(SONVEL_LIBRARY_PATH, library), nullptr);

    EXPECT_EQ(hive.rfind("Windows Registry Editor Version 5.00\r\n\r\n", 0), 0u);
    EXPECT_NE(hive.find("[HKEY_CLASSES_ROOT\\Sonvel.Wave\\CLSID]\r\n"
                        "@=\"{BB8AD211-E684-4E22-A2D8-2D89D61F772F}\"\r\n"),
              std::string::npos);
    const std::string server =
        "[HKEY_CLASSES_ROOT\\CLSID\\{BB8AD211-E684-4E22-A2D8-2D89D61F772F}\\InprocServer32]\r\n"
        "@=\"";
    const size_t at = hive.find(server);
    ASSERT_NE(at, std::string::npos) << hive;
    const size_t start = at + server.size();
    const std::string registered = hive.substr(start, hive.find('"', start) - start);
    char resolved[PATH_MAX];
    ASSERT_EQ(registered.front(), '/');
    ASSERT_NE(realpath(registered.c_str(), resolved), nullptr) << registered;
    EXPECT_STREQ(resolved, library);

    // Registering twice leaves one copy of each key.
    ASSERT_EQ(registerServer_(), kSonvelOk);
    EXPECT_EQ(ReadText(Hive()), hive);
}

TEST_F(SonvelLibraryTest, OtherClassesSurviveRegistrationAndUnregistrationByteForByte) {
    ASSERT_EQ(mkdir(folder_.File("config").c_str(), 0700), 0);
    const std::string others =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CLASSES_ROOT\\Other.Control]\r\n@=\"Another control\"\r\n"
        "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
        "  16,17\r\n\r\n"
        "[HKEY_CLASSES_ROOT\\Sonvel.Wave.Old]\r\n@=\"not ours: only a prefix\"\r\n\r\n";
    WriteText(Hive(), others);

    ASSERT_EQ(registerServer_(), kSonvelOk);
    EXPECT_EQ(ReadText(Hive()).rfind(others, 0), 0u);
    ASSERT_EQ(unregisterServer_(), kSonvelOk);
    EXPECT_EQ(ReadText(Hive()), others);
    // Unregistering what is not there is no error and writes nothing new.
    ASSERT_EQ(unregisterServer_(), kSonvelOk);
    EXPECT_EQ(ReadText(Hive()), others);
}

TEST_F(SonvelLibraryTest, AHandEditedFileThatIsNoHiveIsNeverRewritten) {
    ASSERT_EQ(mkdir(folder_.File("config").c_str(), 0700), 0);
    const std::string notes = "my notes\n[HKEY_CLASSES_ROOT\\Sonvel.Wave]\n";
    WriteText(Hive(), notes);
    EXPECT_EQ(registerServer_(), kSonvelRegisterClassFailed);
    EXPECT_EQ(unregisterServer_(), kSonvelRegisterClassFailed);
    EXPECT_EQ(ReadText(Hive()), notes);

    // A section of another root is somebody else's file too.
    const std::string mixed =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\r\n";
    WriteText(Hive(), mixed);
    EXPECT_EQ(registerServer_(), kSonvelRegisterClassFailed);
    EXPECT_EQ(ReadText(Hive()), mixed);
}

TEST_F(SonvelLibraryTest, ALockLeftByADeadProcessDoesNotBlockRegistration) {
    ASSERT_EQ(mkdir(folder_.File("config").c_str(), 0700), 0);
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    WriteText(Hive() + ".lock", std::to_string(child) + "\norvane-reg\nhost\n");

    EXPECT_EQ(registerServer_(), kSonvelOk);
    EXPECT_NE(access((Hive() + ".lock").c_str(), F_OK), 0);
}

TEST_F(SonvelLibraryTest, RegistrationRemovesTheTemporariesOfKilledWritersOnly) {
    ASSERT_EQ(mkdir(folder_.File("config").c_str(), 0700), 0);
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    const std::string dead = Hive() + ".tmp-" + std::to_string(child) + "-AbC123";
    const std::string running = Hive() + ".tmp-" + std::to_string(getppid()) + "-AbC123";
    WriteText(dead, "x");
    WriteText(running, "x");

    ASSERT_EQ(registerServer_(), kSonvelOk);
    EXPECT_NE(access(dead.c_str(), F_OK), 0);
    EXPECT_EQ(access(running.c_str(), F_OK), 0);
    EXPECT_NE(ReadText(Hive()).find("[HKEY_CLASSES_ROOT\\Sonvel.Wave]"), std::string::npos);
}

TEST_F(SonvelLibraryTest, TheFactoryMakesControlsAndTheLibraryStaysWhileAnyLives) {
    void* none = reinterpret_cast<void*>(1);
    const SonvelGuid other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(getClassObject_(&other, &kSonvelClassFactoryInterfaceId, &none),
              kSonvelClassNotAvailable);
    EXPECT_EQ(none, nullptr);
    ASSERT_EQ(canUnloadNow_(), kSonvelOk);

    void* made = nullptr;
    ASSERT_EQ(getClassObject_(&kSonvelWaveClassId, &kSonvelClassFactoryInterfaceId, &made),
              kSonvelOk);
    auto* factory = static_cast<SonvelClassFactory*>(made);
    EXPECT_EQ(canUnloadNow_(), kSonvelFalse);

    void* object = nullptr;
    SonvelUnknown outer{};
    EXPECT_EQ(factory->vtbl->CreateInstance(factory, &outer, &kSonvelWaveInterfaceId, &object),
              kSonvelNoAggregation);
    EXPECT_EQ(factory->vtbl->CreateInstance(factory, nullptr, &other, &object), kSonvelNoInterface);
    ASSERT_EQ(factory->vtbl->CreateInstance(factory, nullptr, &kSonvelWaveInterfaceId, &object),
              kSonvelOk);
    factory->vtbl->Release(factory);

    auto* waveObject = static_cast<SonvelWaveObject*>(object);
    auto* control = static_cast<Wave*>(waveObject->wave);
    EXPECT_EQ(canUnloadNow_(), kSonvelFalse);

    // Unsited, the control has no window to register on; sited, it works.
    const HostError unsited = control->InitC();
    EXPECT_EQ(unsited.number & 0xFFFF, static_cast<uint32_t>(kErrInvalidWindow));
    EventLoopWindow window;
    control->SetWindow(&window);
    EXPECT_FALSE(control->InitC());
    EXPECT_EQ(control->DonePlay(), kTrue);
    EXPECT_FALSE(control->UnInitC());

    auto* unknown = reinterpret_cast<SonvelUnknown*>(waveObject);
    void* again = nullptr;
    ASSERT_EQ(unknown->vtbl->QueryInterface(unknown, &kSonvelUnknownInterfaceId, &again),
              kSonvelOk);
    EXPECT_EQ(again, object);
    EXPECT_EQ(unknown->vtbl->Release(unknown), 1u);
    EXPECT_EQ(canUnloadNow_(), kSonvelFalse);
    EXPECT_EQ(unknown->vtbl->Release(unknown), 0u);
    EXPECT_EQ(canUnloadNow_(), kSonvelOk);

    ASSERT_EQ(getClassObject_(&kSonvelWaveClassId, &kSonvelClassFactoryInterfaceId, &made),
              kSonvelOk);
    factory = static_cast<SonvelClassFactory*>(made);
    factory->vtbl->LockServer(factory, 1);
    factory->vtbl->Release(factory);
    EXPECT_EQ(canUnloadNow_(), kSonvelFalse);
    factory->vtbl->LockServer(factory, 0);
    EXPECT_EQ(canUnloadNow_(), kSonvelOk);
}

TEST(SonvelLibrary, TheExportedControlWorksForALinkedHost) {
    ASSERT_TRUE(kNoAlsa);
    EventLoopWindow window;
    Wave control(&window);
    EXPECT_FALSE(control.InitC());
    EXPECT_STREQ(Version(), SONVEL_EXPECTED_VERSION);
    EXPECT_EQ(BitReversalTable()[1], 512);
    INOUT direction = WAVEOUT;
    WaveFormat pcm = Pcm16Format(8000, 1);
    EXPECT_EQ(control.CheckDeviceFormat(WAVE_MAPPER, direction, pcm), 0);
    EXPECT_FALSE(control.UnInitC());
}

}  // namespace
}  // namespace sonvel
