#pragma once

#include <QObject>
#include <array>
#include <csignal>

class QSocketNotifier;

namespace vemba {

// Hands SIGTERM, SIGINT and SIGHUP over to the GUI thread: the handler only
// writes the signal's number into a pipe, and `received` is emitted from the
// event loop, where the program may close its window the normal way. A
// signal ignored from the start stays ignored. One at a time; the previous
// handlers come back when it goes.
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
};

} // namespace vemba
