// The program as a process: what it does before it has a window, and how a
// signal that asks it to quit ends it even when its window thread is stuck.

#include "QuitSignals.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>
#include <array>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
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

// The built program with nothing but PATH and HOME, as from a console
// without a desktop, and SIGPIPE as a shell leaves it; its stderr a pipe that
// nobody reads when `readerGone`. The process ends within ten seconds.
std::unique_ptr<QProcess> runWithoutDisplay(bool readerGone) {
    auto program = std::make_unique<QProcess>();
    QProcessEnvironment env;
    for (const char* name : {"PATH", "HOME"}) {
        env.insert(name, qEnvironmentVariable(name));
    }
    program->setProcessEnvironment(env);
    program->setChildProcessModifier([readerGone] {
        ::signal(SIGPIPE, SIG_DFL);
        std::array<int, 2> err{};
        if (readerGone && ::pipe(err.data()) == 0) {
            ::close(err[0]);
            ::dup2(err[1], STDERR_FILENO);
        }
    });
    program->start(qEnvironmentVariable("VEMBA_PROGRAM_DIR") + "/vemba-pc");
    if (!program->waitForFinished(10'000)) {
        program->kill();
        program->waitForFinished();
        ADD_FAILURE() << "still running";
    }
    return program;
}

// Also when nobody reads stderr (`vemba-pc 2>&1 | true`): the line is lost,
// the program is not killed for it.
TEST(ProgramProcess, WithoutADisplayItSaysSoOnOneLineAndEndsWithStatus1) {
    for (const bool readerGone : {false, true}) {
        const auto told = runWithoutDisplay(readerGone);
        EXPECT_EQ(told->exitStatus(), QProcess::NormalExit) << readerGone;
        EXPECT_EQ(told->exitCode(), 1) << readerGone;
    }
    const QByteArray err = runWithoutDisplay(false)->readAllStandardError();
    EXPECT_EQ(err.count('\n'), 1) << err.data();
    EXPECT_TRUE(err.startsWith("vemba-pc: ") && err.endsWith("\n")) << err.data();
}

// In a child of this test: QuitSignals, the quit signal `signal`, then `then`
// on the window thread; the child's wait status.
std::optional<int> childAfterQuitSignal(int signal, const std::function<void()>& then) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        QuitSignals quitSignals;
        ::raise(signal);
        then();
        ::_exit(7);
    }
    return pid > 0 ? waitBounded(pid) : std::nullopt;
}

TEST(ProgramProcess, AQuitSignalEndsTheProgramWhenTheWindowThreadIsStuck) {
    // Stuck in a call that never returns: nothing reads the pipe, so only
    // the safety net can end the child, with status 0.
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        const std::optional<int> stuck = childAfterQuitSignal(signal, [] {
            std::array<int, 2> never{};
            char byte = 0;
            if (::pipe(never.data()) == 0) {
                (void)::read(never[0], &byte, 1);
            }
        });
        ASSERT_TRUE(stuck.has_value()) << "a stuck program outlived signal " << signal;
        EXPECT_TRUE(WIFEXITED(*stuck) && WEXITSTATUS(*stuck) == 0) << signal << ": " << *stuck;
    }

    // Once the event loop has ended the normal way, the net is off: what
    // comes after it (a test's own checks) runs to its end.
    const std::optional<int> ended = childAfterQuitSignal(SIGTERM, [] {
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
        std::this_thread::sleep_for(std::chrono::seconds(3));
    });
    ASSERT_TRUE(ended.has_value());
    EXPECT_TRUE(WIFEXITED(*ended) && WEXITSTATUS(*ended) == 7) << *ended;
}

} // namespace
} // namespace vemba
