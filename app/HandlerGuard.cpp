#include "HandlerGuard.h"

#include "ErrorPresenter.h"
#include "SoundEngine.h"

namespace vemba {

void HandlerGuard::run(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const SoundError& error) {
        m_errors.report(error.message());
    } catch (const std::exception& error) {
        m_errors.report(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        m_errors.report(QStringLiteral("予期しないエラーが発生しました。"));
    }
}

} // namespace vemba
