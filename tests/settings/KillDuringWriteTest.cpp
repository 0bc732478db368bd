#include "WriterRounds.h"
#include "iniEdit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace vemba;

int stepIndex(const test::Step& s) {
    return s.round * test::kEntryCount + s.entry;
}

QByteArray fileText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Files beside setting.ini: temporary files a kill left behind.
int strayFiles(const QString& dir) {
    return int(QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System).size()) - 1;
}

class KillDuringWrite : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QFile f(iniEdit::SettingsPath(dir.path()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(test::seedText());
        f.close();
        const auto first = test::nextStep(dir.path());
        ASSERT_TRUE(first) << "the seed itself must hold the pattern";
        lastStep = stepIndex(*first);
    }

    // After a kill the file must parse, hold every entry at its old or its
    // new value, and keep every other byte. Returns the writes completed
    // since the last check.
    int expectIntact(const char* when) {
        const QByteArray text = fileText(iniEdit::SettingsPath(dir.path()));
        EXPECT_EQ(test::skeleton(text), test::skeleton(test::seedText())) << when;
        const auto step = test::nextStep(dir.path());
        EXPECT_TRUE(step) << when << ": torn or mixed entries:\n" << text.toStdString();
        if (!step)
            return 0;
        const int done = stepIndex(*step) - lastStep;
        EXPECT_GE(done, 0) << when << ": a completed write went missing";
        lastStep = stepIndex(*step);
        return done;
    }

    QTemporaryDir dir;
    int lastStep = 0;
};

TEST_F(KillDuringWrite, RandomMomentsLeaveOldOrNewValues) {
    const int kills = qEnvironmentVariableIsSet("VEMBA_SETTINGS_KILLS")
                          ? qEnvironmentVariableIntValue("VEMBA_SETTINGS_KILLS")
                          : 200;
    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    // Long enough for the child to start and do a few writes, short enough
    // that most kills land in the middle of one.
    std::uniform_int_distribution<int> delayUs(0, 25000);
    QByteArray exe = VEMBA_SETTINGS_CHILD;
    QByteArray mode = "loop";
    QByteArray path = QFile::encodeName(dir.path());
    char* argv[] = {exe.data(), mode.data(), path.data(), nullptr};

    int writes = 0, killedMidRun = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kills; ++i) {
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, exe.constData(), nullptr, nullptr, argv, environ), 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(rng)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status))
            << "the writer stopped by itself with " << WEXITSTATUS(status) << " (seed " << seed
            << ", kill " << i << ")";
        const int done = expectIntact("after a random kill");
        writes += done;
        killedMidRun += done > 0;
        if (HasFailure())
            FAIL() << "seed " << seed << ", kill " << i;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d kills, %d writes completed, %d kills after at least one write, "
                "%d temporary files left, %.1f s (seed %u)\n",
                kills, writes, killedMidRun, strayFiles(dir.path()), seconds, seed);
    EXPECT_GT(writes, 0) << "the writer never got a write done: the kills tested nothing";
}

// Deterministic kill points: the writer is traced and killed on entry to each
// system call of one write in turn. The file must switch from the old to the
// new value exactly at the rename, never before and never half.
#if defined(PTRACE_GET_SYSCALL_INFO)
struct Trace {
    std::vector<unsigned long long> calls; // system calls inside the write
    bool stoppedByUs = false;
    int exitCode = -1;
};

// Runs the writer once; killAt is the 1-based system call to kill it on, or 0.
std::optional<Trace> traceWrite(const QString& dir, std::size_t killAt) {
    QByteArray exe = VEMBA_SETTINGS_CHILD;
    QByteArray path = QFile::encodeName(dir);
    const pid_t pid = fork();
    if (pid == 0) {
        ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        char once[] = "once";
        char* argv[] = {exe.data(), once, path.data(), nullptr};
        ::execv(exe.constData(), argv);
        _exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFSTOPPED(status)) // not traceable here
        return std::nullopt;
    ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);

    Trace trace;
    bool inWrite = false;
    int signal = 0;
    for (;;) {
        ::ptrace(PTRACE_SYSCALL, pid, nullptr, reinterpret_cast<void*>(long(signal)));
        signal = 0;
        ::waitpid(pid, &status, 0);
        if (WIFEXITED(status)) {
            trace.exitCode = WEXITSTATUS(status);
            return trace;
        }
        if (WIFSIGNALED(status))
            return trace;
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            signal = WSTOPSIG(status);
            continue;
        }
        __ptrace_syscall_info info{};
        ::ptrace(PTRACE_GET_SYSCALL_INFO, pid, reinterpret_cast<void*>(sizeof info), &info);
        if (info.op != PTRACE_SYSCALL_INFO_ENTRY)
            continue;
        if (info.entry.nr == SYS_getppid && !inWrite) {
            inWrite = true;
            continue;
        }
        if (info.entry.nr == SYS_getppid) {
            // The write is over; the rest runs untraced, as a leak checker
            // at exit cannot work under a tracer.
            ::ptrace(PTRACE_DETACH, pid, nullptr, nullptr);
            ::waitpid(pid, &status, 0);
            trace.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return trace;
        }
        if (!inWrite)
            continue;
        trace.calls.push_back(info.entry.nr);
        if (trace.calls.size() == killAt) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            trace.stoppedByUs = true;
            return trace;
        }
    }
}

bool isRename(unsigned long long nr) {
    return nr == SYS_rename || nr == SYS_renameat || nr == SYS_renameat2;
}

TEST_F(KillDuringWrite, EverySystemCallOfAWrite) {
    const auto plain = traceWrite(dir.path(), 0);
    if (!plain)
        GTEST_SKIP() << "cannot trace a child process here";
    ASSERT_EQ(plain->exitCode, 0);
    ASSERT_EQ(expectIntact("after an untraced write"), 1);

    const auto& calls = plain->calls;
    const auto rename = std::find_if(calls.begin(), calls.end(), isRename);
    ASSERT_NE(rename, calls.end()) << "the new file must replace the old one by a rename";
    const std::size_t renameAt = std::size_t(rename - calls.begin()) + 1;
    EXPECT_TRUE(std::find_if(calls.begin(), rename,
                             [](unsigned long long nr) {
                                 return nr == SYS_fsync || nr == SYS_fdatasync;
                             }) != rename)
        << "the new file must reach the disk before it replaces the old one";

    std::printf("one write makes %zu system calls; the rename is number %zu\n", calls.size(),
                renameAt);
    for (std::size_t k = 1; k <= calls.size(); ++k) {
        const auto killed = traceWrite(dir.path(), k);
        ASSERT_TRUE(killed && killed->stoppedByUs) << "system call " << k;
        // Killed on entry to the rename, the rename has not happened.
        const int expected = k > renameAt ? 1 : 0;
        EXPECT_EQ(expectIntact("after a kill at a fixed point"), expected)
            << "killed on entry to system call " << k << " of " << calls.size() << " (number "
            << calls[k - 1] << ")";
    }
}
#endif

} // namespace
