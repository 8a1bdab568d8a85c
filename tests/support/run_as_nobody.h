#pragma once
// For tests whose point is a refusal that root does not get (a read-only
// folder, a terminal another client holds): run as root (CI), the test runs
// once more as "nobody" in a child process, and the child's result is the
// test's. The child runs copies of the test executable, of libsonvel and of
// any programs it starts, in a folder every user can reach, since the build
// folder may not be (a checkout under /root).
//
//     if (orvane::testing::RanAsNobody()) {
//         return;
//     }
//     ... the test as an ordinary user ...

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace orvane::testing {

// Set in the child; a program the test starts is found through the
// variable a Companion names.
inline constexpr const char* kAsNobodyVariable = "ORVANE_TEST_AS_NOBODY";

struct Companion {
    std::string path;      // the program in the build folder
    std::string variable;  // where the child finds its copy
};

// Not root, or the child itself: false, the caller runs the test. Root: runs
// this test as "nobody" and returns true; a failure or a skip there fails it.
inline bool RanAsNobody(const std::vector<Companion>& companions = {}) {
    if (::geteuid() != 0 || std::getenv(kAsNobodyVariable) != nullptr) {
        return false;
    }
    namespace fs = std::filesystem;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string(info->test_suite_name()) + "." + info->name();

    std::string pattern = "/tmp/orvane-as-nobody-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "no temporary folder for the child";
        return true;
    }
    const fs::path folder = pattern;
    const auto executable = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(folder, executable);
    const auto copy = [&](const fs::path& from, const std::string& name) {
        const fs::path to = folder / name;
        fs::copy_file(from, to);
        fs::permissions(to, executable);
        return to.string();
    };
    const std::string test = copy(fs::read_symlink("/proc/self/exe"), "test");
    // Found through the run path $ORIGIN beside the copy.
    const fs::path library = fs::path(ORVANE_BUILT_PROGRAM_DIR) / "libsonvel.so.2";
    if (fs::exists(library)) {
        copy(library, library.filename().string());
    }
    std::vector<std::string> environment;
    for (const Companion& companion : companions) {
        const std::string path = copy(companion.path, fs::path(companion.path).filename().string());
        environment.push_back(companion.variable + "=" + path);
    }
    const fs::path home = folder / "home";
    fs::create_directory(home);
    if (::chown(home.c_str(), 65534, 65534) != 0) {
        ADD_FAILURE() << "cannot give the child a home";
    }
    environment.push_back(std::string(kAsNobodyVariable) + "=1");
    environment.push_back("HOME=" + home.string());
    environment.push_back("TMPDIR=/tmp");
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string entry = *variable;
        const std::string name = entry.substr(0, entry.find('='));
        // Root's runtime folder is closed to the child: it makes its own.
        if (name == "HOME" || name == "TMPDIR" || name == "XDG_RUNTIME_DIR" ||
            name == kAsNobodyVariable) {
            continue;
        }
        // The sanitizer pass names a suppressions file in the checkout.
        const std::string key = "suppressions=";
        const size_t at = entry.find(key);
        if (name == "LSAN_OPTIONS" && at != std::string::npos) {
            const size_t from = at + key.size();
            const size_t end = std::min(entry.find(':', from), entry.size());
            const std::string copied = copy(entry.substr(from, end - from), "suppressions.txt");
            environment.push_back(entry.substr(0, from) + copied + entry.substr(end));
            continue;
        }
        environment.push_back(entry);
    }

    std::vector<std::string> args = {"setpriv",
                                     "--reuid=65534",
                                     "--regid=65534",
                                     "--clear-groups",
                                     test,
                                     "--gtest_filter=" + filter,
                                     "--gtest_color=no"};
    const fs::path output = folder / "output";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawnp(&pid, "setpriv", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    int status = -1;
    if (spawned == 0) {
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    std::ostringstream text;
    text << std::ifstream(output).rdbuf();
    const std::string said = text.str();
    std::error_code ignored;
    fs::remove_all(folder, ignored);

    EXPECT_EQ(spawned, 0) << "setpriv did not start";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << said;
    // Ran, and was not skipped: a child that finds no test also exits 0.
    EXPECT_NE(said.find("[  PASSED  ] 1 test."), std::string::npos) << said;
    EXPECT_EQ(said.find("[  SKIPPED ]"), std::string::npos) << said;
    return true;
}

}  // namespace orvane::testing
