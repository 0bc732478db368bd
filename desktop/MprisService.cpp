#include "MprisService.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <algorithm>
#include <cmath>
#include <utility>

namespace vemba::desktop {

namespace {

const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.vemba_pc");
const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
// The program plays one endless "track": what is ticked.
const QString kTrackId = QStringLiteral("/org/vemba_pc/track/tones");
// RequestName's flags: none, so that a second copy of the program waits in
// the queue and is the player once the first has ended.
constexpr uint kQueueForName = 0;

QString titleText(const QString& title) {
    return title.isEmpty() ? QStringLiteral("チャンネルが選ばれていません") : title;
}

QVariantMap metadataOf(const QString& title) {
    return {{QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(kTrackId))},
            {QStringLiteral("xesam:title"), titleText(title)}};
}

QString statusOf(bool on) {
    return on ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool CanSetFullscreen READ no)
    Q_PROPERTY(bool Fullscreen READ no)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)

public:
    explicit RootAdaptor(MprisService& service)
        : QDBusAbstractAdaptor(&service), m_service(service) {}

    QString identity() const { return QStringLiteral("ヴェンバPC"); }
    QString desktopEntry() const { return QStringLiteral("vemba-pc"); }
    bool yes() const { return true; }
    bool no() const { return false; }
    QStringList none() const { return {}; }

public slots:
    void Raise() { m_service.later(m_service.player().raise); }
    void Quit() { m_service.later(m_service.player().quit); }

private:
    MprisService& m_service;
};

class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(bool CanGoNext READ no)
    Q_PROPERTY(bool CanGoPrevious READ no)
    Q_PROPERTY(bool CanPlay READ yes)
    Q_PROPERTY(bool CanPause READ yes)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)

public:
    explicit PlayerAdaptor(MprisService& service)
        : QDBusAbstractAdaptor(&service), m_service(service) {}

    QString playbackStatus() const { return statusOf(m_service.player().isOn()); }
    QVariantMap metadata() const { return metadataOf(m_service.player().title()); }
    double volume() const { return m_service.player().volume(); }
    void setVolume(double volume) {
        // Below 0 is silence; the slider goes no further than its right end.
        // A NaN, which D-Bus can carry, names no level at all.
        if (std::isnan(volume)) {
            return;
        }
        const double level = std::clamp(volume, 0.0, 1.0);
        m_service.later([this, level] { m_service.player().setVolume(level); });
    }
    qlonglong position() const { return 0; }
    double rate() const { return 1.0; }
    // The tones have one speed; a rate written is ignored.
    void setRate(double) {}
    bool yes() const { return true; }
    bool no() const { return false; }

public slots:
    void Play() { m_service.later(m_service.player().switchOn); }
    // Nothing can be paused: the switch goes OFF.
    void Pause() { m_service.later(m_service.player().switchOff); }
    void Stop() { m_service.later(m_service.player().switchOff); }
    void PlayPause() {
        m_service.later([this] {
            const MediaPlayer& player = m_service.player();
            if (player.isOn()) {
                player.switchOff();
            } else {
                player.switchOn();
            }
        });
    }
    // Endless tones have no next, no previous and no place to go to.
    void Next() {}
    void Previous() {}
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString&) {}

signals:
    void Seeked(qlonglong Position);

private:
    MprisService& m_service;
};

} // namespace

MprisService::MprisService(MediaPlayer player) : m_player(std::move(player)) {
    new RootAdaptor(*this);
    new PlayerAdaptor(*this);
}

MprisService::~MprisService() {
    if (m_published) {
        QDBusConnection::sessionBus().unregisterObject(kObjectPath);
    }
}

void MprisService::publish() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerObject(kObjectPath, this)) {
        return;
    }
    m_published = true;
    m_lastTitle = m_player.title();
    // Asked without waiting: the answer, the name or a place in the queue
    // behind another copy, needs nothing done.
    bus.asyncCall(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                 QStringLiteral("/org/freedesktop/DBus"),
                                                 QStringLiteral("org.freedesktop.DBus"),
                                                 QStringLiteral("RequestName"))
                  << kServiceName << kQueueForName);
}

void MprisService::switchChanged() {
    announce("PlaybackStatus", statusOf(m_player.isOn()));
}

void MprisService::titleChanged() {
    const QString title = m_player.title();
    if (title != m_lastTitle) {
        m_lastTitle = title;
        announce("Metadata", metadataOf(title));
    }
}

void MprisService::volumeChanged() {
    announce("Volume", m_player.volume());
}

void MprisService::later(const std::function<void()>& action) {
    QTimer::singleShot(0, this, action);
}

void MprisService::announce(const char* property, const QVariant& value) {
    if (!m_published) {
        return;
    }
    QDBusMessage changed =
        QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    changed << kPlayerInterface << QVariantMap{{QString::fromLatin1(property), value}}
            << QStringList();
    QDBusConnection::sessionBus().send(changed);
}

} // namespace vemba::desktop

#include "MprisService.moc"
