#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace vemba::desktop {

// What the media player service reads of the player and asks of it; the
// program fills it from its window.
struct MediaPlayer {
    std::function<bool()> isOn;
    std::function<QString()> title;
    std::function<void()> switchOn;
    std::function<void()> switchOff;
    // 0.0 (the slider's left end) to 1.0 (its right end).
    std::function<double()> volume;
    std::function<void(double)> setVolume;
    std::function<void()> raise;
    std::function<void()> quit;
};

// The player as desktops and media keys see it: the name
// org.mpris.MediaPlayer2.vemba_pc on the session bus, with the object
// /org/mpris/MediaPlayer2. The switch ON is "Playing", OFF "Stopped"; there
// is no paused state. Without a session bus there is no service and nothing
// is said; a second copy of the program is the player once the first ends.
class MprisService : public QObject {
    Q_OBJECT

public:
    explicit MprisService(MediaPlayer player);
    ~MprisService() override;
    MprisService(const MprisService&) = delete;
    MprisService& operator=(const MprisService&) = delete;

    // Exports the object and asks for the name without waiting for the bus.
    void publish();

    // What changed in the player, announced to the bus.
    void switchChanged();
    void titleChanged();
    void volumeChanged();

    const MediaPlayer& player() const { return m_player; }
    // The player's actions run from the event loop once the caller's reply
    // is on its way: Quit ends the program, which must not take the reply
    // with it; the others wait their turn behind it, in the order asked.
    void later(const std::function<void()>& action);

private:
    void announce(const char* property, const QVariant& value);

    MediaPlayer m_player;
    QString m_lastTitle;
    bool m_published = false;
};

} // namespace vemba::desktop
