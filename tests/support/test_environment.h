#pragma once
// A private, throw-away world for one test: program folder, settings,
// autostart, data and runtime folders all live in one temporary folder, and
// the environment variables that point at them are restored afterwards.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <map>

namespace orvane::testing {

// CI machines log in no user session, so XDG_RUNTIME_DIR may be unset; Qt
// then warns on every start. Points it at a private temporary folder.
void EnsurePrivateRuntimeFolder();

class TestEnvironment {
  public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    QString root() const { return dir_.path(); }
    QString programFolder() const { return root() + QStringLiteral("/program"); }
    QString configHome() const { return root() + QStringLiteral("/config"); }
    QString dataHome() const { return root() + QStringLiteral("/data"); }
    QString runtimeFolder() const { return root() + QStringLiteral("/runtime"); }

    // Makes program/Trans, Sound, Journal and Help, as the installer would.
    void makeProgramFolders() const;

    // Writes a file below root() (folders made as needed); returns its path.
    QString writeFile(const QString& relativePath, const QByteArray& content) const;

    // Sets a variable for the life of this object.
    void setVariable(const char* name, const QString& value);

  private:
    QTemporaryDir dir_;
    std::map<QByteArray, std::pair<bool, QByteArray>> saved_;
};

}  // namespace orvane::testing
