#pragma once

#include <QObject>
#include <QString>

namespace vemba {

class Form1;

// What the desktop sees of the player: whether the switch is ON and what it
// plays, read from the window's controls, and the switch worked as a user
// works it. Services outside the window (media keys, the sleep inhibitor,
// the sound server's stream name) follow its signals, so that they hear of
// every change however it is made.
class PlayerStatus : public QObject {
    Q_OBJECT

public:
    explicit PlayerStatus(Form1& form);

    bool isOn() const;
    // The ticked channels with their variants, as the window names them:
    // 「トンボの羽音 30Hz・オスの蚊の羽音 7.5KHz」.
    QString title() const;

    // Clicks "ON" or "OFF", so that the same events run as for a user's
    // click; a click on the side already pressed changes nothing.
    void switchOn();
    void switchOff();

signals:
    void switchChanged(bool on);
    void titleChanged(const QString& title);

private:
    Form1& m_form;
};

} // namespace vemba
