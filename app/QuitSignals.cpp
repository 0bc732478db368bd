#include "QuitSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace vemba {

namespace {

// The pipe's ends; -1 while no QuitSignals lives. Read by the handler, which
// may run on any thread.
std::array<int, 2> g_pipe{-1, -1};

void onSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a request to quit: losing this one is harmless.
    // (A cast to void would not quiet _FORTIFY_SOURCE's warn_unused_result.)
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    if (g_pipe[0] != -1) {
        throw std::logic_error("QuitSignals: only one at a time");
    }
    if (::pipe2(g_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe = {-1, -1};
        throw std::runtime_error("QuitSignals: no pipe");
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::drain);

    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals.at(i), nullptr, &m_previous.at(i));
        // Ignored when started (nohup, a background job): it stays ignored.
        if (m_previous.at(i).sa_handler != SIG_IGN) {
            ::sigaction(kSignals.at(i), &action, nullptr);
        }
    }
}

QuitSignals::~QuitSignals() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals.at(i), &m_previous.at(i), nullptr);
    }
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe = {-1, -1};
}

void QuitSignals::drain() {
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1) {
        emit received(byte);
    }
}

} // namespace vemba
