#pragma once
// A serial port read on a thread of its own. What the modem sends is taken
// off the port as it comes, whatever the thread that uses the port is
// doing: a voice call streams 8000 bytes a second into a kernel buffer of a
// few kilobytes, so a window busy for a moment (a modal dialog, a slow disk)
// would otherwise lose sound. Writes, DTR and closing go to that thread;
// what was read waits in a buffer until the user of the link takes it.
//
// A voice stream comes in pieces of 20 ms; taking each off the port as it
// comes and announcing it wakes two threads fifty times a second, which
// costs far more than encoding the sound. While batched, the port is read
// every kBatchReadInterval instead, all that waits in one read (so a modem
// that counts unread sound as its own buffer never holds much), and what
// was read is announced every kBatchHandOffInterval, or at once when the
// stream pauses.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QtGlobal>
#include <chrono>
#include <functional>
#include <memory>

class QThread;

namespace orvane {

class SerialLink {
  public:
    SerialLink();
    ~SerialLink();
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // Opens `path` at 115200 8N1, raw, without flow control, held
    // exclusively (a UUCP lock file and TIOCEXCL), stale input dropped.
    // A line error code: kPortInUse when another program holds it,
    // kPortFailed otherwise.
    qint32 Open(const QString& path);
    // Who held the port when Open gave kPortInUse ("minicom (PID 1234)"),
    // or empty when nobody was found.
    QString Holder() const { return holder_; }
    void Close();
    bool IsOpen() const;
    // The port failed (the device went away); it is closed on its thread.
    bool Lost() const;

    // Hands bytes to the port (its thread writes them). False when not open.
    bool Write(const QByteArray& bytes);
    // False when the port has no DTR line (a pseudo-terminal).
    bool SetDataTerminalReady(bool high);

    // Everything read since the last call.
    QByteArray Take();
    // Until bytes are waiting, the port is lost or `deadline` passes; true
    // when bytes are waiting.
    bool WaitForBytes(QDeadlineTimer deadline);

    // `notify` runs on `context`'s thread once bytes wait or the port is
    // lost; several arrivals before it runs make one call.
    void SetNotify(QObject* context, std::function<void()> notify);

    // Batched or as the bytes come (the default). A command's wait sees
    // the bytes as they are read in either case.
    static constexpr std::chrono::milliseconds kBatchReadInterval{100};
    static constexpr std::chrono::milliseconds kBatchHandOffInterval{200};
    void SetBatched(bool batched);

    // Bytes dropped because nobody took them for longer than the buffer
    // holds (minutes of sound).
    qint64 Dropped() const;

  private:
    struct Shared;
    class Worker;

    std::shared_ptr<Shared> shared_;
    QThread* thread_ = nullptr;
    Worker* worker_ = nullptr;
    bool batched_ = false;
    QString holder_;
};

}  // namespace orvane
