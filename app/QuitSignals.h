#pragma once

#include <QObject>
#include <array>
#include <csignal>

class QSocketNotifier;

namespace vemba {

// Hands SIGTERM, SIGINT and SIGHUP over to the GUI thread: the handler only
// writes the signal's number into a pipe, and `received` is emitted from the
// event loop, where the program may close its window the normal way. Should
// the event loop not have ended two seconds after the first of them (its
// thread stuck in a call), the program ends at once with status 0 (through
// SIGALRM). A signal ignored from the start stays ignored. One at a time; the
// previous handlers come back when it goes.
class QuitSignals : public QObject {
    Q_OBJECT

public:
    static constexpr std::array kSignals{SIGTERM, SIGINT, SIGHUP};

    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

signals:
    void received(int signal);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
    std::array<struct sigaction, kSignals.size()> m_previous{};
    struct sigaction m_previousAlarm {};
};

} // namespace vemba
