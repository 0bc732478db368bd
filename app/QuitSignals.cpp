#include "QuitSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace vemba {

namespace {

// The pipe's ends; -1 while no QuitSignals lives. Read by the handler, which
// may run on any thread.
std::array<int, 2> g_pipe{-1, -1};

// The normal way out (the window closes, stores its place, the channels fade)
// takes a fraction of this; a window thread stuck in a call that does not
// return would never take it.
constexpr unsigned kGraceSeconds = 2;
// Set by the first request to quit, which starts the grace time.
std::atomic<bool> g_quitting{false};
static_assert(std::atomic<bool>::is_always_lock_free, "used in a signal handler");

void onSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a request to quit: losing this one is harmless.
    // (A cast to void would not quiet _FORTIFY_SOURCE's warn_unused_result.)
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    if (!g_quitting.exchange(true)) {
        ::alarm(kGraceSeconds);
    }
    errno = saved;
}

// The grace time is over and the program still runs: it was asked to quit,
// so it ends as if it had, without running anything of the stuck program's.
void onGraceOver(int) {
    ::_exit(0);
}

void endGrace() {
    ::alarm(0);
    g_quitting = false;
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

    // Once the event loop has ended, the program is on its normal way out.
    if (QCoreApplication::instance() != nullptr) {
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &endGrace);
    }
    struct sigaction grace {};
    grace.sa_handler = &onGraceOver;
    sigemptyset(&grace.sa_mask);
    ::sigaction(SIGALRM, &grace, &m_previousAlarm);

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
    endGrace();
    ::sigaction(SIGALRM, &m_previousAlarm, nullptr);
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
