#include "core/app_comm.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRandomGenerator>

#include "core/paths.h"

namespace orvane {
namespace {

constexpr int kConnectTimeoutMs = 1000;
constexpr int kWriteTimeoutMs = 1000;
const QString kSocketSuffix = QStringLiteral(".sock");

// Only the user who owns the runtime folder may talk to us; the folder's
// mode already says so, the peer's credentials make sure of it.
bool PeerIsSameUser(const QLocalSocket* socket) {
    struct ucred credentials {};
    socklen_t length = sizeof(credentials);
    const int fd = static_cast<int>(socket->socketDescriptor());
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) {
        return false;
    }
    return credentials.uid == ::getuid();
}

QByteArray Frame(const QString& text) {
    const QByteArray payload = text.toUtf8();
    QByteArray frame;
    QDataStream stream(&frame, QIODevice::WriteOnly);
    stream << static_cast<quint32>(payload.size());
    frame.append(payload);
    return frame;
}

}  // namespace

QString ChannelFolder(int channel) {
    const QString runtime = paths::RuntimeFolder();
    if (runtime.isEmpty()) {
        return {};
    }
    return runtime + QStringLiteral("/channel-") + QString::number(channel);
}

AppComm::AppComm(QObject* parent) : QObject(parent) {}

AppComm::~AppComm() {
    Leave();
}

bool AppComm::Join(int channel) {
    Leave();
    const QString folder = ChannelFolder(channel);
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        return false;
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const QString name = QString::number(::getpid()) + QLatin1Char('-') +
                         QString::number(QRandomGenerator::global()->generate(), 16) +
                         kSocketSuffix;
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(folder + QLatin1Char('/') + name)) {
        delete server;
        return false;
    }
    connect(server, &QLocalServer::newConnection, this, &AppComm::acceptConnections);
    server_ = server;
    channelFolder_ = folder;
    ownSocket_ = name;
    return true;
}

void AppComm::Leave() {
    if (server_ != nullptr) {
        server_->close();  // also removes the socket file
        delete server_;
        server_ = nullptr;
    }
    channelFolder_.clear();
    ownSocket_.clear();
}

bool AppComm::IsJoined() const {
    return server_ != nullptr;
}

int AppComm::Send(const QString& text) {
    if (channelFolder_.isEmpty()) {
        return 0;
    }
    const QByteArray frame = Frame(text);
    if (frame.size() - 4 > kMaxMessageBytes) {
        return 0;
    }
    int reached = 0;
    const QStringList members = QDir(channelFolder_)
                                    .entryList({QStringLiteral("*") + kSocketSuffix},
                                               QDir::System | QDir::Files | QDir::Hidden);
    for (const QString& member : members) {
        if (member == ownSocket_) {
            continue;
        }
        const QString path = channelFolder_ + QLatin1Char('/') + member;
        QLocalSocket socket;
        socket.connectToServer(path);
        if (!socket.waitForConnected(kConnectTimeoutMs)) {
            // Nobody listens: a member that ended without leaving.
            if (socket.error() == QLocalSocket::ConnectionRefusedError ||
                socket.error() == QLocalSocket::ServerNotFoundError) {
                QFile::remove(path);
            }
            continue;
        }
        socket.write(frame);
        if (socket.waitForBytesWritten(kWriteTimeoutMs) || socket.bytesToWrite() == 0) {
            ++reached;
        }
        socket.disconnectFromServer();
        if (socket.state() != QLocalSocket::UnconnectedState) {
            socket.waitForDisconnected(kWriteTimeoutMs);
        }
    }
    return reached;
}

void AppComm::acceptConnections() {
    while (server_ != nullptr && server_->hasPendingConnections()) {
        QLocalSocket* socket = server_->nextPendingConnection();
        if (!PeerIsSameUser(socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrames(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0) {
            readFrames(socket);
        }
    }
}

void AppComm::readFrames(QLocalSocket* socket) {
    while (socket->bytesAvailable() >= 4) {
        QByteArray header = socket->peek(4);
        QDataStream stream(header);
        quint32 length = 0;
        stream >> length;
        if (length > static_cast<quint32>(kMaxMessageBytes)) {
            socket->abort();
            return;
        }
        if (socket->bytesAvailable() < 4 + static_cast<qint64>(length)) {
            return;
        }
        socket->read(4);
        const QString text = QString::fromUtf8(socket->read(length));
        Q_EMIT Received(text);
    }
}

}  // namespace orvane
