// The program as a process: what it does before it has a window, and how a
// signal that asks it to quit ends it even when its window thread is stuck.

#include "QuitSignals.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vemba {
namespace {

// The wait status of `pid` once it has ended; nullopt, and the process
// killed, when it is still running after ten seconds.
std::optional<int> waitBounded(pid_t pid) {
    for (int waited = 0; waited < 10'000; waited += 20) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return std::nullopt;
}

struct Ended {
    std::optional<int> status;
    std::string err; // what it wrote to stderr
};

// The built program with nothing but PATH and HOME, as from a console
// without a desktop; its stderr a pipe that nobody reads when `readerGone`.
Ended runWithoutDisplay(bool readerGone) {
    const QByteArray program =
        QFile::encodeName(qEnvironmentVariable("VEMBA_PROGRAM_DIR")) + "/vemba-pc";
    const QByteArray path = "PATH=" + qgetenv("PATH");
    const QByteArray home = "HOME=" + qgetenv("HOME");
    std::array argv{const_cast<char*>(program.constData()), static_cast<char*>(nullptr)};
    std::array envp{const_cast<char*>(path.constData()), const_cast<char*>(home.constData()),
                    static_cast<char*>(nullptr)};
    std::array<int, 2> err{};
    EXPECT_EQ(::pipe2(err.data(), O_CLOEXEC), 0);
    if (readerGone) {
        ::close(err[0]);
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        // As a shell starts it, whatever this test process does with SIGPIPE.
        ::signal(SIGPIPE, SIG_DFL);
        ::dup2(err[1], STDERR_FILENO);
        ::execve(program.constData(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(err[1]);
    Ended ended;
    if (pid < 0) {
        ADD_FAILURE() << "cannot start " << program.constData();
        return ended;
    }
    if (!readerGone) {
        pollfd fd{err[0], POLLIN, 0};
        std::array<char, 4096> buffer{};
        ssize_t n = 0;
        while (::poll(&fd, 1, 10'000) == 1 &&
               (n = ::read(err[0], buffer.data(), buffer.size())) > 0) {
            ended.err.append(buffer.data(), static_cast<std::size_t>(n));
        }
        ::close(err[0]);
    }
    ended.status = waitBounded(pid);
    return ended;
}

TEST(ProgramProcess, WithoutADisplayItSaysSoOnOneLineAndEndsWithStatus1) {
    const Ended told = runWithoutDisplay(false);
    ASSERT_TRUE(told.status.has_value()) << "still running";
    EXPECT_TRUE(WIFEXITED(*told.status) && WEXITSTATUS(*told.status) == 1) << *told.status;
    EXPECT_EQ(std::count(told.err.begin(), told.err.end(), '\n'), 1) << told.err;
    EXPECT_TRUE(told.err.starts_with("vemba-pc: ") && told.err.ends_with("\n")) << told.err;

    // Nobody reads stderr (`vemba-pc 2>&1 | true`): the line is lost, the
    // program is not killed for it.
    const Ended unread = runWithoutDisplay(true);
    ASSERT_TRUE(unread.status.has_value()) << "still running";
    EXPECT_TRUE(WIFEXITED(*unread.status) && WEXITSTATUS(*unread.status) == 1) << *unread.status;
}

// In a child of this test: QuitSignals, a quit signal, then `then` on the
// window thread; the child's wait status.
std::optional<int> childAfterQuitSignal(const std::function<void()>& then) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        QuitSignals quitSignals;
        ::raise(SIGTERM);
        then();
        ::_exit(7);
    }
    return pid > 0 ? waitBounded(pid) : std::nullopt;
}

TEST(ProgramProcess, AQuitSignalEndsTheProgramWhenTheWindowThreadIsStuck) {
    // Stuck in a call that never returns: nothing reads the pipe, so only
    // the safety net can end the child, with status 0.
    const std::optional<int> stuck = childAfterQuitSignal([] {
        std::array<int, 2> never{};
        char byte = 0;
        if (::pipe(never.data()) == 0) {
            (void)::read(never[0], &byte, 1);
        }
    });
    ASSERT_TRUE(stuck.has_value()) << "a stuck program outlived its quit signal";
    EXPECT_TRUE(WIFEXITED(*stuck) && WEXITSTATUS(*stuck) == 0) << *stuck;

    // Once the event loop has ended the normal way, the net is off: what
    // comes after it (a test's own checks) runs to its end.
    const std::optional<int> ended = childAfterQuitSignal([] {
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
        std::this_thread::sleep_for(std::chrono::seconds(3));
    });
    ASSERT_TRUE(ended.has_value());
    EXPECT_TRUE(WIFEXITED(*ended) && WEXITSTATUS(*ended) == 7) << *ended;
}

} // namespace
} // namespace vemba
