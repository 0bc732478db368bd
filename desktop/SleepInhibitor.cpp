#include "SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QThread>
#include <QVariantMap>
#include <unistd.h>
#include <utility>

namespace vemba::desktop {

namespace {

const QString kAppId = QStringLiteral("vemba-pc");
const QString kAppName = QStringLiteral("ヴェンバPC");
const QString kReason = QStringLiteral("蚊よけの音を鳴らしています");

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPowerManagement = QStringLiteral("org.freedesktop.PowerManagement");
const QString kGnomeSession = QStringLiteral("org.gnome.SessionManager");
const QString kLogin = QStringLiteral("org.freedesktop.login1");

// The portal's and GNOME's flag for suspend; 8, idle, would also keep the
// screen on, which nobody asked for.
constexpr uint kSuspendFlag = 4;
// A service that takes longer is as good as absent: the next one is asked.
constexpr int kAskTimeoutMs = 10'000;
// At exit: long enough for a service on a busy machine, short enough that a
// quit signal's two-second safety net is not reached.
constexpr int kExitWaitMs = 1'000;

// Waits on the window thread without running its event loop: the reply is
// taken in by Qt's D-Bus thread.
bool finishWithin(const QDBusPendingCall& call, const QDeadlineTimer& deadline) {
    while (!call.isFinished()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(5);
    }
    return true;
}

} // namespace

SleepInhibitor::SleepInhibitor(std::function<bool()> allowed, QObject* parent)
    : QObject(parent), m_allowed(std::move(allowed)) {}

SleepInhibitor::~SleepInhibitor() {
    releaseNow(kExitWaitMs);
}

void SleepInhibitor::setOn(bool on) {
    m_wanted = on && (!m_allowed || m_allowed());
    if (m_wanted) {
        // One held or on its way is all there may be.
        if (!m_held && m_asking == nullptr) {
            ask(Service::Portal);
        }
        return;
    }
    // One still being asked for is released when its answer comes.
    if (m_held) {
        if (auto sent = release(*std::exchange(m_held, std::nullopt))) {
            m_releasing.removeIf([](const QDBusPendingCall& call) { return call.isFinished(); });
            m_releasing << *sent;
        }
    }
}

void SleepInhibitor::releaseNow(int timeoutMs) {
    m_wanted = false;
    const QDeadlineTimer deadline(timeoutMs);
    if (m_asking != nullptr) {
        const QDBusPendingCall call = *m_asking;
        const Service service = m_askingService;
        delete std::exchange(m_asking, nullptr);
        if (finishWithin(call, deadline)) {
            if (auto held = heldFrom(service, call)) {
                m_held = std::move(held);
            }
        }
    }
    if (m_held) {
        if (auto sent = release(*std::exchange(m_held, std::nullopt))) {
            m_releasing << *sent;
        }
    }
    for (const QDBusPendingCall& call : std::as_const(m_releasing)) {
        finishWithin(call, deadline);
    }
    m_releasing.clear();
}

void SleepInhibitor::ask(Service service) {
    for (; service != Service::None;
         service = static_cast<Service>(static_cast<int>(service) + 1)) {
        QDBusMessage message;
        switch (service) {
        case Service::Portal:
            message = QDBusMessage::createMethodCall(
                kPortal, QStringLiteral("/org/freedesktop/portal/desktop"),
                QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
            message << QString() << kSuspendFlag
                    << QVariantMap{{QStringLiteral("reason"), kReason}};
            break;
        case Service::PowerManagement:
            message = QDBusMessage::createMethodCall(
                kPowerManagement, QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"),
                QStringLiteral("org.freedesktop.PowerManagement.Inhibit"),
                QStringLiteral("Inhibit"));
            message << kAppName << kReason;
            break;
        case Service::GnomeSession:
            message = QDBusMessage::createMethodCall(kGnomeSession,
                                                     QStringLiteral("/org/gnome/SessionManager"),
                                                     kGnomeSession, QStringLiteral("Inhibit"));
            message << kAppId << 0U << kReason << kSuspendFlag;
            break;
        case Service::Login:
            message = QDBusMessage::createMethodCall(
                kLogin, QStringLiteral("/org/freedesktop/login1"),
                QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
            message << QStringLiteral("sleep") << kAppName << kReason << QStringLiteral("block");
            break;
        case Service::None:
            return;
        }
        // Connected once, at the first ask; without a bus the next is tried.
        const QDBusConnection bus = service == Service::Login ? QDBusConnection::systemBus()
                                                              : QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            continue;
        }
        m_asking = new QDBusPendingCallWatcher(bus.asyncCall(message, kAskTimeoutMs), this);
        m_askingService = service;
        connect(m_asking, &QDBusPendingCallWatcher::finished, this,
                [this, service](QDBusPendingCallWatcher* watcher) {
                    if (watcher != m_asking) {
                        return;
                    }
                    m_asking = nullptr;
                    watcher->deleteLater();
                    answered(service, *watcher);
                });
        return;
    }
}

void SleepInhibitor::answered(Service service, const QDBusPendingCall& call) {
    auto held = heldFrom(service, call);
    if (!held) {
        // Not there, or it refused: the next service, if still wanted.
        if (m_wanted) {
            ask(static_cast<Service>(static_cast<int>(service) + 1));
        }
        return;
    }
    if (m_wanted) {
        m_held = std::move(held);
        return;
    }
    // The switch went OFF while it was asked for.
    if (auto sent = release(*held)) {
        m_releasing << *sent;
    }
}

std::optional<SleepInhibitor::Held> SleepInhibitor::heldFrom(Service service,
                                                             const QDBusPendingCall& call) const {
    const QDBusMessage reply = call.reply();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    const QVariant answer = reply.arguments().constFirst();
    Held held;
    held.service = service;
    switch (service) {
    case Service::Portal:
        held.request = answer.value<QDBusObjectPath>().path();
        if (held.request.isEmpty()) {
            return std::nullopt;
        }
        break;
    case Service::PowerManagement:
    case Service::GnomeSession:
        if (answer.metaType() != QMetaType::fromType<uint>()) {
            return std::nullopt;
        }
        held.cookie = answer.toUInt();
        break;
    case Service::Login: {
        // Our own copy: the reply's goes with the reply.
        const auto fd = answer.value<QDBusUnixFileDescriptor>();
        held.fd = fd.isValid() ? ::dup(fd.fileDescriptor()) : -1;
        if (held.fd < 0) {
            return std::nullopt;
        }
        break;
    }
    case Service::None:
        return std::nullopt;
    }
    return held;
}

std::optional<QDBusPendingCall> SleepInhibitor::release(Held held) {
    QDBusMessage message;
    switch (held.service) {
    case Service::Portal:
        message = QDBusMessage::createMethodCall(kPortal, held.request,
                                                 QStringLiteral("org.freedesktop.portal.Request"),
                                                 QStringLiteral("Close"));
        break;
    case Service::PowerManagement:
        message = QDBusMessage::createMethodCall(
            kPowerManagement, QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"),
            QStringLiteral("org.freedesktop.PowerManagement.Inhibit"), QStringLiteral("UnInhibit"));
        message << held.cookie;
        break;
    case Service::GnomeSession:
        message = QDBusMessage::createMethodCall(kGnomeSession,
                                                 QStringLiteral("/org/gnome/SessionManager"),
                                                 kGnomeSession, QStringLiteral("Uninhibit"));
        message << held.cookie;
        break;
    case Service::Login:
        ::close(held.fd);
        return std::nullopt;
    case Service::None:
        return std::nullopt;
    }
    return QDBusConnection::sessionBus().asyncCall(message, kAskTimeoutMs);
}

} // namespace vemba::desktop
