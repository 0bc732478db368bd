#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

namespace vemba {

// The one place that tells the user about a failure nobody handled: a device
// that would not open, a tone file that would not load, a settings file that
// could not be written. The message box is shown from the event loop, after
// the handler that failed has returned, never inside a signal emission.
class ErrorPresenter : public QObject {
    Q_OBJECT

public:
    explicit ErrorPresenter(QObject* parent = nullptr);

    // The window the message boxes belong to.
    void setWindow(QWidget* window);
    // Off in tests: the message is reported but no box opens.
    void setShowsMessageBoxes(bool shows) { m_showsBoxes = shows; }

    void report(const QString& message);

signals:
    // Emitted at once for every report.
    void reported(const QString& message);

private:
    void show(const QString& message);

    QPointer<QWidget> m_window;
    bool m_showsBoxes = true;
};

} // namespace vemba
