#pragma once

#include <QDBusPendingCall>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QDBusPendingCallWatcher;

namespace vemba::desktop {

// Keeps the computer from going to sleep while the tones play: a night's
// mosquito guard that stops when the machine suspends guards nothing. Holds
// at most one sleep inhibitor (never an idle or screen-saver one, so the
// screen still blanks), asked of the first service that answers: the desktop
// portal, freedesktop PowerManagement, GNOME's session manager, then logind
// on the system bus. Without a bus or any of them it does nothing, silently.
//
// Never waits for the bus while running: an answer that comes after the
// switch went OFF again is released at once.
class SleepInhibitor : public QObject {
    Q_OBJECT

public:
    // `allowed` is asked at every switch ON; false leaves the computer free to
    // sleep (the user's opt-out). Without it, always allowed.
    explicit SleepInhibitor(std::function<bool()> allowed = {}, QObject* parent = nullptr);
    // Releases what is held, waiting a moment for the service to hear it.
    ~SleepInhibitor() override;
    SleepInhibitor(const SleepInhibitor&) = delete;
    SleepInhibitor& operator=(const SleepInhibitor&) = delete;

    // The switch went ON or OFF.
    void setOn(bool on);
    // Releases at once and waits at most `timeoutMs` for the services to
    // hear it, also for an inhibitor still being asked for: the process is
    // about to end, and the event loop may not run again.
    void releaseNow(int timeoutMs);

private:
    enum class Service { Portal, PowerManagement, GnomeSession, Login, None };
    struct Held {
        Service service = Service::None;
        QString request; // the portal's request object
        uint cookie = 0;
        int fd = -1; // logind's, our own copy: closing it releases
    };

    void ask(Service service);
    void answered(Service service, const QDBusPendingCall& call);
    std::optional<Held> heldFrom(Service service, const QDBusPendingCall& call) const;
    // The release's call, sent; none for logind's, released by closing.
    std::optional<QDBusPendingCall> release(Held held);

    std::function<bool()> m_allowed;
    bool m_wanted = false;
    std::optional<Held> m_held;
    QDBusPendingCallWatcher* m_asking = nullptr;
    Service m_askingService = Service::None;
    QList<QDBusPendingCall> m_releasing;
};

} // namespace vemba::desktop
