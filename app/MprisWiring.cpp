#include "MprisWiring.h"

#include "ProgramWindow.h"

#include <QSlider>

namespace vemba {

desktop::MediaPlayer mediaPlayerOf(ProgramWindow& window) {
    PlayerStatus& status = window.status();
    QSlider* slider = window.form().Slider1();
    return {
        .isOn = [&status] { return status.isOn(); },
        .title = [&status] { return status.title(); },
        .switchOn = [&status] { status.switchOn(); },
        .switchOff = [&status] { status.switchOff(); },
        .volume =
            [slider] {
                return double(slider->value() - slider->minimum()) /
                       (slider->maximum() - slider->minimum());
            },
        // Moved as a user moves it: the slider's own event runs, which sets
        // the channels' volume and stores the entry.
        .setVolume =
            [slider](double level) {
                slider->setValue(slider->minimum() +
                                 qRound(level * (slider->maximum() - slider->minimum())));
            },
        .raise = [&window] { window.bringForward(); },
        .quit = [&window] { window.quit(); },
    };
}

void connectMpris(ProgramWindow& window, desktop::MprisService& mpris) {
    PlayerStatus& status = window.status();
    QObject::connect(&status, &PlayerStatus::switchChanged, &mpris,
                     &desktop::MprisService::switchChanged);
    QObject::connect(&status, &PlayerStatus::titleChanged, &mpris,
                     &desktop::MprisService::titleChanged);
    QObject::connect(window.form().Slider1(), &QSlider::valueChanged, &mpris,
                     &desktop::MprisService::volumeChanged);
}

} // namespace vemba
