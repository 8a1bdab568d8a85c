#include "ui/desktop_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "core/product.h"

namespace orvane {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// A service that hangs must not hold the notice back for long.
constexpr int kCallTimeoutMs = 5000;

}  // namespace

DesktopNotifier::DesktopNotifier(QObject* parent)
    : DesktopNotifier(QDBusConnection::sessionBus(), parent) {}

DesktopNotifier::DesktopNotifier(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {
    if (bus_.isConnected()) {
        // Any sender: the service's unique name changes when it restarts,
        // and only our own notice's id is acted on.
        bus_.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                     SLOT(OnActionInvoked(uint, QString)));
        bus_.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                     SLOT(OnClosed(uint, uint)));
    }
}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::Show(const Notice& notice, std::function<void()> fallback) {
    if (!bus_.isConnected()) {
        fallback();
        return;
    }
    if (waiting_) {
        next_ = Pending{notice, std::move(fallback)};
        return;
    }
    Send(Pending{notice, std::move(fallback)});
}

void DesktopNotifier::Send(Pending pending) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), product::kDesktopId},
        {QStringLiteral("category"), QStringLiteral("im.received")},
    };
    QStringList actions{QStringLiteral("default"), pending.notice.showLabel, QStringLiteral("show"),
                        pending.notice.showLabel};
    actions += pending.notice.choices;
    QStringList choiceKeys;
    for (qsizetype i = 0; i + 1 < pending.notice.choices.size(); i += 2) {
        choiceKeys << pending.notice.choices[i];
    }
    // Servers may read the body as markup; a caller's name is plain text.
    call << product::kApplicationTitle << id_ << product::kDesktopId << pending.notice.title
         << pending.notice.text.toHtmlEscaped() << actions << hints << pending.notice.timeoutMs;
    waiting_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, fallback = std::move(pending.fallback), choiceKeys](QDBusPendingCallWatcher* w) {
                Answered(w, fallback, choiceKeys);
            });
}

void DesktopNotifier::Answered(QDBusPendingCallWatcher* watcher,
                               const std::function<void()>& fallback,
                               const QStringList& choiceKeys) {
    watcher->deleteLater();
    waiting_ = false;
    const QDBusPendingReply<uint> reply = *watcher;
    if (reply.isError()) {
        fallback();
    } else {
        id_ = reply.value();
        choiceKeys_ = choiceKeys;
    }
    if (next_.has_value()) {
        Pending next = std::move(*next_);
        next_.reset();
        Send(std::move(next));
    }
}

void DesktopNotifier::OnActionInvoked(uint id, const QString& action) {
    if (id == 0 || id != id_) {
        return;
    }
    if (action == QLatin1String("default") || action == QLatin1String("show")) {
        Q_EMIT Activated();
    } else if (choiceKeys_.contains(action)) {
        Q_EMIT Chosen(action);
    }
}

void DesktopNotifier::OnClosed(uint id, uint /*reason*/) {
    if (id != 0 && id == id_) {
        id_ = 0;
        choiceKeys_.clear();
    }
}

}  // namespace orvane
