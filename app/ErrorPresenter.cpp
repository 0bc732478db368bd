#include "ErrorPresenter.h"

#include <QMessageBox>
#include <QTimer>

namespace vemba {

ErrorPresenter::ErrorPresenter(QObject* parent) : QObject(parent) {}

void ErrorPresenter::setWindow(QWidget* window) {
    m_window = window;
}

void ErrorPresenter::report(const QString& message) {
    emit reported(message);
    if (m_showsBoxes) {
        QTimer::singleShot(0, this, [this, message] { show(message); });
    }
}

void ErrorPresenter::show(const QString& message) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("ヴェンバPC"), message,
                                QMessageBox::Ok, m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace vemba
