#include "telephony/serial_link.h"

#include <poll.h>
#include <unistd.h>

#include <QPointer>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>

#include "telephony/line_backend.h"
#include "telephony/modem/dle_codec.h"
#include "telephony/port_lock.h"

namespace orvane {
namespace {

// Ten minutes of an 8 kHz 8-bit voice stream: far beyond any stall of the
// program, small beside its memory.
constexpr qsizetype kMaxWaitingBytes = 8 * 1024 * 1024;
// One read takes what a batch holds at any modem's rate (16-bit sound is
// 1600 bytes in 100 ms) and more after a stall.
constexpr qsizetype kReadChunk = 16 * 1024;
constexpr int kReadsPerHandOff =
    static_cast<int>(SerialLink::kBatchHandOffInterval / SerialLink::kBatchReadInterval);

}  // namespace

struct SerialLink::Shared {
    std::mutex mutex;
    std::condition_variable arrived;
    QByteArray waiting;
    bool open = false;
    bool lost = false;
    qint64 dropped = 0;
    bool notifyPending = false;
    QPointer<QObject> context;
    std::function<void()> notify;

    // Called with the mutex held.
    void NotifyLocked(const std::shared_ptr<Shared>& self) {
        arrived.notify_all();
        if (notifyPending || context.isNull() || !notify) {
            return;
        }
        notifyPending = true;
        QMetaObject::invokeMethod(
            context.data(),
            [self] {
                std::function<void()> call;
                {
                    std::lock_guard lock(self->mutex);
                    self->notifyPending = false;
                    call = self->notify;
                }
                if (call) {
                    call();
                }
            },
            Qt::QueuedConnection);
    }
};

// Lives on the link's thread and owns the port there.
class SerialLink::Worker : public QObject {
  public:
    explicit Worker(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

    qint32 OpenPort(const QString& path) {
        holder_.clear();
        // Another program's lock is honoured before the port is touched:
        // opening a modem resets nothing, but a getty or fax program in the
        // middle of a call must not see our commands.
        if (!lock_.Check(path)) {
            holder_ = lock_.Holder();
            return line_error::kPortInUse;
        }
        port_ = new QSerialPort(this);
        port_->setPortName(path);
        // The port class also sets TIOCEXCL, so that nobody but root opens
        // the port after us.
        if (!port_->open(QIODevice::ReadWrite)) {
            // Qt reports a held lock file or an exclusive port as a
            // permission error; real permission problems are caught before.
            const bool held = port_->error() == QSerialPort::PermissionError;
            delete port_;
            port_ = nullptr;
            if (held) {
                holder_ = PortHolder(path);
            }
            return held ? line_error::kPortInUse : line_error::kPortFailed;
        }
        lock_.Take();
        port_->setBaudRate(QSerialPort::Baud115200);
        port_->setDataBits(QSerialPort::Data8);
        port_->setParity(QSerialPort::NoParity);
        port_->setStopBits(QSerialPort::OneStop);
        // No flow control on our side: a modem or cable that never raises
        // CTS would otherwise block every write.
        port_->setFlowControl(QSerialPort::NoFlowControl);
        port_->clear();
        connect(port_, &QSerialPort::readyRead, this, [this] { ReadPort(); });
        batchTimer_.setInterval(kBatchReadInterval);
        connect(&batchTimer_, &QTimer::timeout, this, [this] { ReadBatch(false); });
        connect(port_, &QSerialPort::errorOccurred, this,
                [this](QSerialPort::SerialPortError error) { CheckError(error); });
        std::lock_guard lock(shared_->mutex);
        shared_->open = true;
        shared_->lost = false;
        shared_->waiting.clear();
        return line_error::kNone;
    }

    void ClosePort() {
        batchTimer_.stop();
        readNotifier_ = nullptr;
        unannounced_ = false;
        readsSinceHandOff_ = 0;
        afterDle_ = false;
        if (port_ != nullptr) {
            port_->disconnect(this);
            port_->close();
            delete port_;
            port_ = nullptr;
        }
        lock_.Release();
    }

    QString Holder() const { return holder_; }

    bool Write(const QByteArray& bytes) {
        if (port_ == nullptr) {
            return false;
        }
        const qint64 written = port_->write(bytes);
        port_->flush();
        return written == bytes.size();
    }

    bool SetDtr(bool high) { return port_ != nullptr && port_->setDataTerminalReady(high); }

    // The port's own read notifier wakes this thread for every piece that
    // arrives; while batched it is off and a timer reads the port instead.
    // Without a notifier to turn off, the bytes are read as they come.
    void SetBatched(bool batched) {
        if (port_ == nullptr || batched == batchTimer_.isActive()) {
            return;
        }
        if (batched) {
            readNotifier_ = FindReadNotifier();
            if (readNotifier_ == nullptr) {
                return;
            }
            // What the port object holds is older than what the port holds.
            ReadPort();
            afterDle_ = false;
            readNotifier_->setEnabled(false);
            batchTimer_.start();
        } else {
            batchTimer_.stop();
            ReadBatch(true);
            if (readNotifier_ != nullptr) {
                readNotifier_->setEnabled(true);
            }
        }
    }

  private:
    QSocketNotifier* FindReadNotifier() const {
        const auto notifiers = port_->findChildren<QSocketNotifier*>();
        for (QSocketNotifier* notifier : notifiers) {
            if (notifier->type() == QSocketNotifier::Read && notifier->isEnabled() &&
                notifier->socket() == port_->handle()) {
                return notifier;
            }
        }
        return nullptr;
    }

    // True when `data` holds a modem event (<DLE> and a code; <DLE><DLE>
    // is a shielded sound byte), which may end the call: it is handed on
    // at once, so a hang-up still ends the recording at once.
    bool HoldsEvent(const QByteArray& data) {
        bool event = false;
        for (const char byte : data) {
            const auto code = static_cast<uint8_t>(byte);
            if (afterDle_) {
                afterDle_ = false;
                event = event || code != modem::kDle;
            } else {
                afterDle_ = code == modem::kDle;
            }
        }
        return event;
    }

    // Everything the port holds, in one read while a batch is small; handed
    // on every kReadsPerHandOff reads, at once when the stream pauses, an
    // event came or `handOff` says so.
    void ReadBatch(bool handOff) {
        if (port_ == nullptr) {
            return;
        }
        const int descriptor = static_cast<int>(port_->handle());
        QByteArray data;
        ssize_t got = 0;
        int error = 0;
        do {
            const qsizetype at = data.size();
            data.resize(at + kReadChunk);
            got = ::read(descriptor, data.data() + at, static_cast<size_t>(kReadChunk));
            error = errno;
            data.resize(at + std::max<ssize_t>(got, 0));
        } while (got == kReadChunk);
        const bool event = HoldsEvent(data);
        unannounced_ = unannounced_ || !data.isEmpty();
        const bool announce = unannounced_ && (handOff || data.isEmpty() || event ||
                                               ++readsSinceHandOff_ >= kReadsPerHandOff);
        if (announce) {
            unannounced_ = false;
            readsSinceHandOff_ = 0;
        }
        Append(data, announce);
        if (got > 0) {
            return;
        }
        // A raw port with nothing to read answers 0 or EAGAIN; only a tty
        // that has hung up is gone.
        bool gone = got < 0 && error != EAGAIN && error != EINTR;
        if (!gone) {
            pollfd polled{descriptor, POLLIN, 0};
            const int ready = ::poll(&polled, 1, 0);
            gone = (ready < 0 && errno != EINTR) ||
                   (polled.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        }
        if (gone) {
            Lose();
        }
    }

    // Keeps what was read for the user of the link; a command's wait sees
    // it at once, the link's user hears of it when `announce`.
    void Append(const QByteArray& data, bool announce) {
        std::lock_guard lock(shared_->mutex);
        if (!data.isEmpty()) {
            shared_->waiting.append(data);
            if (shared_->waiting.size() > kMaxWaitingBytes) {
                const qsizetype excess = shared_->waiting.size() - kMaxWaitingBytes;
                shared_->waiting.remove(0, excess);
                shared_->dropped += excess;
            }
            shared_->arrived.notify_all();
        }
        if (announce) {
            shared_->NotifyLocked(shared_);
        }
    }

    void Lose() {
        ClosePort();
        std::lock_guard lock(shared_->mutex);
        shared_->lost = true;
        shared_->NotifyLocked(shared_);
    }

    void ReadPort() {
        if (port_ == nullptr) {
            return;
        }
        const QByteArray data = port_->readAll();
        if (!data.isEmpty()) {
            Append(data, true);
        }
    }

    void CheckError(QSerialPort::SerialPortError error) {
        if (port_ == nullptr) {
            return;
        }
        bool gone = error == QSerialPort::ResourceError;
        if (error == QSerialPort::ReadError) {
            // Qt also reports a read that found nothing as a read error;
            // only a tty that has hung up is gone.
            port_->clearError();
            pollfd descriptor{static_cast<int>(port_->handle()), POLLIN, 0};
            const int ready = ::poll(&descriptor, 1, 0);
            gone = (ready < 0 && errno != EINTR) ||
                   (descriptor.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        }
        if (!gone) {
            return;
        }
        // What was read before the failure is still handed on.
        ReadPort();
        Lose();
    }

    std::shared_ptr<Shared> shared_;
    QSerialPort* port_ = nullptr;
    PortLock lock_;
    QString holder_;  // who held the port at a refused open
    QTimer batchTimer_{this};
    QSocketNotifier* readNotifier_ = nullptr;  // the port's, off while batched
    bool unannounced_ = false;                 // read while batched, not yet handed on
    int readsSinceHandOff_ = 0;
    bool afterDle_ = false;  // the last byte read while batched was a lone <DLE>
};

SerialLink::SerialLink() : shared_(std::make_shared<Shared>()) {}

SerialLink::~SerialLink() {
    Close();
}

qint32 SerialLink::Open(const QString& path) {
    Close();
    holder_.clear();
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("serial link"));
    worker_ = new Worker(shared_);
    worker_->moveToThread(thread_);
    thread_->start();
    qint32 result = line_error::kPortFailed;
    QMetaObject::invokeMethod(
        worker_, [this, path] { return worker_->OpenPort(path); }, Qt::BlockingQueuedConnection,
        &result);
    if (result != line_error::kNone) {
        holder_ = worker_->Holder();
        Close();
    }
    return result;
}

void SerialLink::Close() {
    if (thread_ == nullptr) {
        return;
    }
    Worker* worker = worker_;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->ClosePort(); }, Qt::BlockingQueuedConnection);
    QMetaObject::invokeMethod(
        worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    worker_ = nullptr;
    batched_ = false;
    std::lock_guard lock(shared_->mutex);
    shared_->open = false;
    shared_->lost = false;
    shared_->waiting.clear();
    shared_->notify = nullptr;
    shared_->context = nullptr;
}

bool SerialLink::IsOpen() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->open && !shared_->lost;
}

bool SerialLink::Lost() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->lost;
}

bool SerialLink::Write(const QByteArray& bytes) {
    if (!IsOpen()) {
        return false;
    }
    // Waits for the bytes to be handed to the port, so that what follows
    // (a wait for the reply) follows the command.
    bool written = false;
    Worker* worker = worker_;
    QMetaObject::invokeMethod(
        worker, [worker, bytes] { return worker->Write(bytes); }, Qt::BlockingQueuedConnection,
        &written);
    return written;
}

bool SerialLink::SetDataTerminalReady(bool high) {
    if (!IsOpen()) {
        return false;
    }
    bool done = false;
    Worker* worker = worker_;
    QMetaObject::invokeMethod(
        worker, [worker, high] { return worker->SetDtr(high); }, Qt::BlockingQueuedConnection,
        &done);
    return done;
}

void SerialLink::SetBatched(bool batched) {
    if (worker_ == nullptr || batched == batched_) {
        return;
    }
    batched_ = batched;
    Worker* worker = worker_;
    QMetaObject::invokeMethod(
        worker, [worker, batched] { worker->SetBatched(batched); }, Qt::QueuedConnection);
}

QByteArray SerialLink::Take() {
    std::lock_guard lock(shared_->mutex);
    return std::exchange(shared_->waiting, QByteArray());
}

bool SerialLink::WaitForBytes(QDeadlineTimer deadline) {
    std::unique_lock lock(shared_->mutex);
    const auto ready = [this] { return !shared_->waiting.isEmpty() || shared_->lost; };
    if (deadline.isForever()) {
        shared_->arrived.wait(lock, ready);
    } else {
        shared_->arrived.wait_until(lock, deadline.deadline<std::chrono::steady_clock>(), ready);
    }
    return !shared_->waiting.isEmpty();
}

void SerialLink::SetNotify(QObject* context, std::function<void()> notify) {
    std::lock_guard lock(shared_->mutex);
    shared_->context = context;
    shared_->notify = std::move(notify);
    shared_->notifyPending = false;
    if (!shared_->waiting.isEmpty() || shared_->lost) {
        shared_->NotifyLocked(shared_);
    }
}

qint64 SerialLink::Dropped() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->dropped;
}

}  // namespace orvane
