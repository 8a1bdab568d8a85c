#include "audio/registration/class_registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string_view>
#include <thread>

namespace sonvel {

namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";
constexpr const char* kLineEnd = "\r\n";
constexpr mode_t kHiveMode = 0600;
constexpr mode_t kFolderMode = 0700;
// Another process holds the lock only for one small file write.
constexpr auto kLockTimeout = std::chrono::seconds(10);

std::string AbsoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return {};
    }
    std::string path = value;
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

char FoldChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Fold(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) {
        c = FoldChar(c);
    }
    return folded;
}

// One "[key]" section of the file, kept as the exact text it had.
struct Section {
    std::string key;  // below the root, as written
    std::string text;
};

struct ParsedHive {
    std::string prefix;  // everything before the first section
    std::vector<Section> sections;
};

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// The key path of a section line, or false when the line names another root.
bool SectionKey(const std::string& line, std::string* key) {
    std::string inner = line.substr(1);
    const size_t close = inner.rfind(']');
    if (close == std::string::npos) {
        return false;
    }
    inner.resize(close);
    const std::string root = kClassesRootName;
    if (Fold(inner.substr(0, root.size())) != root) {
        return false;
    }
    inner.erase(0, root.size());
    if (!inner.empty() && inner[0] != '\\') {
        return false;
    }
    *key = inner.empty() ? std::string() : inner.substr(1);
    return true;
}

// Splits the file into sections. False when it does not look like a hive of
// this root: such a file is somebody's hand work and is not rewritten.
bool ParseHive(const std::string& content, ParsedHive* hive) {
    std::string body = content;
    if (StartsWith(body, "\xEF\xBB\xBF")) {
        body.erase(0, 3);
    }
    if (!body.empty() && !StartsWith(body, kHeader)) {
        return false;
    }
    size_t position = 0;
    Section* current = nullptr;
    while (position < body.size()) {
        size_t end = body.find('\n', position);
        end = end == std::string::npos ? body.size() : end + 1;
        const std::string line = body.substr(position, end - position);
        if (!line.empty() && line[0] == '[') {
            Section section;
            if (!SectionKey(line, &section.key)) {
                return false;
            }
            hive->sections.push_back(section);
            current = &hive->sections.back();
        }
        (current != nullptr ? current->text : hive->prefix) += line;
        position = end;
    }
    return true;
}

bool IsAtOrBelow(const std::string& key, const std::string& top) {
    const std::string folded = Fold(key);
    const std::string foldedTop = Fold(top);
    return folded == foldedTop ||
           (StartsWith(folded, foldedTop) && folded.size() > foldedTop.size() &&
            folded[foldedTop.size()] == '\\');
}

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + '"';
}

bool PlainLine(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

std::string SectionText(const RegistryKeyEntry& key) {
    std::string text = std::string("[") + kClassesRootName + "\\" + key.path + "]" + kLineEnd;
    for (const RegistryText& value : key.values) {
        text += (value.name.empty() ? std::string("@") : Quote(value.name)) + "=" +
                Quote(value.text) + kLineEnd;
    }
    return text + kLineEnd;
}

int ReadFile(const std::string& path, std::string* content, bool* exists) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        *exists = false;
        return errno == ENOENT ? 0 : errno;
    }
    *exists = true;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return EINVAL;
    }
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            return error;
        }
        if (got == 0) {
            break;
        }
        content->append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return 0;
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

// Temporaries are named "<file>.tmp-<writer's pid>-<6 characters>", so a
// later save can tell those of a writer that was killed and remove them.
constexpr std::string_view kTemporaryInfix = ".tmp-";
constexpr size_t kTemporarySuffixLength = 6;
constexpr int kLinkAttempts = 16;

std::string TemporaryPrefix(const std::string& path) {
    return path + std::string(kTemporaryInfix) + std::to_string(::getpid()) + "-";
}

std::string RandomSuffix() {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[kTemporarySuffixLength] = {};
    if (::getrandom(random, sizeof random, GRND_NONBLOCK) != sizeof random) {
        // Only uniqueness matters; a clash is retried.
        struct timespec now {};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        std::memcpy(random, &now.tv_nsec, std::min(sizeof random, sizeof now.tv_nsec));
    }
    std::string suffix;
    for (unsigned char byte : random) {
        suffix += kAlphabet[byte % (sizeof kAlphabet - 1)];
    }
    return suffix;
}

bool WriterIsGone(pid_t pid) {
    return pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Removes the temporaries of `path` left by writers that no longer run.
void RemoveDeadWritersTemporaries(const std::string& folder, const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string base =
        (slash == std::string::npos ? path : path.substr(slash + 1)) + std::string(kTemporaryInfix);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (!name.starts_with(base)) {
            continue;
        }
        // "<pid>-<suffix>"
        const std::string_view rest = name.substr(base.size());
        const size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string_view::npos || dash > 9 ||
            rest.size() - dash - 1 != kTemporarySuffixLength ||
            rest.substr(0, dash).find_first_not_of("0123456789") != std::string_view::npos) {
            continue;
        }
        if (WriterIsGone(static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash)))))) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

// An unnamed file where the file system offers them (a crash while writing
// leaves nothing), else a named temporary; `named` is empty for the first.
int OpenTemporary(const std::string& folder, const std::string& path, std::string* named) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, kHiveMode);
    if (fd >= 0) {
        named->clear();
        return fd;
    }
    *named = TemporaryPrefix(path) + "XXXXXX";
    return ::mkostemp(named->data(), O_CLOEXEC);
}

// Gives an unnamed file a temporary name beside `path`, for the rename.
int LinkTemporary(int fd, const std::string& path, std::string* named) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < kLinkAttempts; ++attempt) {
        *named = TemporaryPrefix(path) + RandomSuffix();
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, named->c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return 0;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    const int error = errno;
    named->clear();
    return error;
}

// Temporary file, sync, rename: a crash or a full disk leaves the old file,
// and a crash leaves no temporary that the next save does not remove.
int ReplaceFile(const std::string& path, const std::string& content) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    RemoveDeadWritersTemporaries(folder, path);
    std::string temp;
    const int fd = OpenTemporary(folder, path, &temp);
    if (fd < 0) {
        return errno;
    }
    int error = 0;
    if (::fchmod(fd, kHiveMode) != 0 || !WriteAll(fd, content) || ::fsync(fd) != 0) {
        error = errno != 0 ? errno : EIO;
    }
    if (error == 0 && temp.empty()) {
        error = LinkTemporary(fd, path, &temp);
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        if (!temp.empty()) {
            ::unlink(temp.c_str());
        }
        return error;
    }
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return 0;
}

int MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), kFolderMode) != 0 && errno != EEXIST) {
            return errno;
        }
        if (slash == std::string::npos) {
            return 0;
        }
    }
}

std::string ProcessName() {
    char target[4096];
    const ssize_t length = ::readlink("/proc/self/exe", target, sizeof target - 1);
    if (length <= 0) {
        return {};
    }
    const std::string path(target, static_cast<size_t>(length));
    return path.substr(path.rfind('/') + 1);
}

// The lock beside the hive, taken the way the settings store takes it (an
// exclusively created file naming its owner), so the two never write at once.
class HiveLock {
  public:
    explicit HiveLock(std::string path) : path_(std::move(path)) {}
    ~HiveLock() {
        if (held_) {
            ::unlink(path_.c_str());
        }
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;

    int Take() {
        const auto deadline = std::chrono::steady_clock::now() + kLockTimeout;
        for (;;) {
            const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd >= 0) {
                char host[256] = {};
                ::gethostname(host, sizeof host - 1);
                const std::string owner =
                    std::to_string(::getpid()) + "\n" + ProcessName() + "\n" + host + "\n";
                WriteAll(fd, owner);
                ::close(fd);
                held_ = true;
                return 0;
            }
            if (errno != EEXIST) {
                return errno;
            }
            if (OwnerIsGone()) {
                ::unlink(path_.c_str());
                continue;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return ETIMEDOUT;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

  private:
    // A lock left by a process that died is stale.
    bool OwnerIsGone() const {
        std::ifstream file(path_);
        long pid = 0;
        if (!(file >> pid) || pid <= 0) {
            return false;
        }
        return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
    }

    std::string path_;
    bool held_ = false;
};

int Rewrite(const std::string& hivePath, const std::vector<std::string>& ownKeys,
            const std::vector<RegistryKeyEntry>& newKeys) {
    for (const RegistryKeyEntry& key : newKeys) {
        for (const RegistryText& value : key.values) {
            if (!PlainLine(value.name) || !PlainLine(value.text)) {
                return EINVAL;
            }
        }
    }
    const size_t slash = hivePath.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        if (const int error = MakeFolders(hivePath.substr(0, slash)); error != 0) {
            return error;
        }
    }
    HiveLock lock(hivePath + ".lock");
    if (const int error = lock.Take(); error != 0) {
        return error;
    }
    std::string content;
    bool exists = false;
    if (const int error = ReadFile(hivePath, &content, &exists); error != 0) {
        return error;
    }
    ParsedHive hive;
    if (!ParseHive(content, &hive)) {
        return EILSEQ;
    }
    std::string out =
        hive.prefix.empty() ? std::string(kHeader) + kLineEnd + kLineEnd : hive.prefix;
    for (const Section& section : hive.sections) {
        bool ours = false;
        for (const std::string& own : ownKeys) {
            ours = ours || IsAtOrBelow(section.key, own);
        }
        if (!ours) {
            out += section.text;
        }
    }
    for (const RegistryKeyEntry& key : newKeys) {
        out += SectionText(key);
    }
    if (exists && out == content) {
        return 0;
    }
    if (!exists && newKeys.empty()) {
        return 0;  // nothing to remove from a hive that is not there
    }
    return ReplaceFile(hivePath, out);
}

bool Unquote(const std::string& text, size_t* position, std::string* out) {
    if (*position >= text.size() || text[*position] != '"') {
        return false;
    }
    out->clear();
    for (size_t i = *position + 1; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            *out += text[++i];
        } else if (text[i] == '"') {
            *position = i + 1;
            return true;
        } else {
            *out += text[i];
        }
    }
    return false;
}

}  // namespace

std::string ConfigFolder() {
    const std::string forced = AbsoluteEnv("ORVANE_CONFIG_DIR");
    if (!forced.empty()) {
        return forced;
    }
    std::string config = AbsoluteEnv("XDG_CONFIG_HOME");
    if (config.empty()) {
        const std::string home = AbsoluteEnv("HOME");
        config = (home.empty() ? std::string() : home) + "/.config";
    }
    return config + "/orvane";
}

std::string ClassesHivePath() {
    return ConfigFolder() + "/" + kClassesRootName + ".reg";
}

int WriteClassKeys(const std::string& hivePath, const std::vector<RegistryKeyEntry>& keys) {
    std::vector<std::string> own;
    for (const RegistryKeyEntry& key : keys) {
        own.push_back(key.path);
    }
    return Rewrite(hivePath, own, keys);
}

int RemoveClassKeys(const std::string& hivePath, const std::vector<std::string>& keyPaths) {
    return Rewrite(hivePath, keyPaths, {});
}

bool ReadClassText(const std::string& hivePath, const std::string& keyPath, const std::string& name,
                   std::string* text) {
    std::string content;
    bool exists = false;
    ParsedHive hive;
    if (ReadFile(hivePath, &content, &exists) != 0 || !exists || !ParseHive(content, &hive)) {
        return false;
    }
    for (const Section& section : hive.sections) {
        if (Fold(section.key) != Fold(keyPath)) {
            continue;
        }
        std::istringstream lines(section.text);
        std::string line;
        std::getline(lines, line);  // the "[key]" line
        while (std::getline(lines, line)) {
            size_t position = 0;
            std::string lineName;
            if (StartsWith(line, "@=")) {
                position = 1;
            } else if (!Unquote(line, &position, &lineName)) {
                continue;
            }
            if (position >= line.size() || line[position] != '=' || Fold(lineName) != Fold(name)) {
                continue;
            }
            ++position;
            if (Unquote(line, &position, text)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace sonvel
