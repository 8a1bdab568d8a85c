#pragma once
// Short text messages between running copies of the program, by channel
// number: every copy that joined a channel receives what any other member
// sends on it. Members are Unix domain sockets in a folder that only the
// user can enter, and a connection from another user is refused.

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace orvane {

class AppComm : public QObject {
    Q_OBJECT
  public:
    explicit AppComm(QObject* parent = nullptr);
    ~AppComm() override;

    // Becomes a member of channel `channel`; false when the runtime folder
    // or the socket cannot be made. A second join leaves the first channel.
    bool Join(int channel);
    void Leave();
    bool IsJoined() const;

    // Delivers `text` to every other member of the joined channel, before
    // returning; gives the number of members reached. Members that died
    // without leaving are cleaned up on the way.
    int Send(const QString& text);

    // Longest text a member accepts; longer frames are dropped whole.
    static constexpr int kMaxMessageBytes = 64 * 1024;

  Q_SIGNALS:
    // Raised once per text received; the connection it came on is closed.
    void Received(const QString& text);

  private:
    void acceptConnections();
    void readFrames(QLocalSocket* socket);

    QLocalServer* server_ = nullptr;
    QString channelFolder_;
    QString ownSocket_;
};

// The folder that holds the member sockets of `channel`; empty when no safe
// runtime folder exists.
QString ChannelFolder(int channel);

}  // namespace orvane
