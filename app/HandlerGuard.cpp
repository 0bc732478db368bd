#include "HandlerGuard.h"

#include "ErrorPresenter.h"
#include "Form1.h"
#include "SoundEngine.h"

#include <QAbstractButton>

namespace vemba {

void HandlerGuard::run(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const SoundError& error) {
        m_errors.report(error.message());
        if (error.kind() == SoundError::Kind::Device) {
            // No device: the switch goes back to OFF, so the lamp does not
            // stay red over silence.
            m_form.optMediaMode(1)->setChecked(true);
        }
    } catch (const std::exception& error) {
        m_errors.report(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        m_errors.report(QStringLiteral("予期しないエラーが発生しました。"));
    }
}

} // namespace vemba
