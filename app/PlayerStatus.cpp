#include "PlayerStatus.h"

#include "Form1.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QStringList>

namespace vemba {

namespace {

constexpr int kChannels = 3;
constexpr int kVariants = 5;

} // namespace

PlayerStatus::PlayerStatus(Form1& form) : m_form(form) {
    connect(form.mediaModeGroup(), &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) {
            emit switchChanged(id == 0);
        }
    });
    const auto announceTitle = [this] { emit titleChanged(title()); };
    for (int channel = 1; channel <= kChannels; ++channel) {
        connect(form.Check(channel), &QCheckBox::toggled, this, announceTitle);
        connect(form.optionGroup(channel), &QButtonGroup::idToggled, this,
                [announceTitle](int, bool checked) {
                    if (checked) {
                        announceTitle();
                    }
                });
    }
}

bool PlayerStatus::isOn() const {
    return m_form.optMediaMode(0)->isChecked();
}

QString PlayerStatus::title() const {
    QStringList parts;
    for (int channel = 1; channel <= kChannels; ++channel) {
        if (!m_form.Check(channel)->isChecked()) {
            continue;
        }
        QString part = m_form.Check(channel)->text();
        for (int member = 0; member < kVariants; ++member) {
            if (m_form.Option(channel, member)->isChecked()) {
                part += u' ' + m_form.Option(channel, member)->text();
            }
        }
        parts << part;
    }
    return parts.join(u'・');
}

void PlayerStatus::switchOn() {
    if (!isOn()) {
        m_form.optMediaMode(0)->click();
    }
}

void PlayerStatus::switchOff() {
    if (isOn()) {
        m_form.optMediaMode(1)->click();
    }
}

} // namespace vemba
