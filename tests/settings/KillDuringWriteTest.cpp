#include "iniEdit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace vemba;

// Step n of the writer stores round n / entryCount into entry n % entryCount, so at
// any moment the first entries hold round R and the rest round R-1. A torn,
// lost or half-applied write breaks that pattern.
const char* const entries[][2] = {{"Position", "Top"}, {"Position", "Left"}, {"Sound1", "Active"},
                                  {"Sound2", "Freq"},  {"WaveForm", "Form"}, {"Volume", "V"}};
constexpr int entryCount = int(std::size(entries));

// Long and made of its round throughout, so a cut or mixed value cannot pass.
QString roundValue(int round) {
    return QStringLiteral("%1:").arg(round).repeated(40);
}

// The next step the file asks for, or -1 when it does not hold the pattern.
int stepOf(const QString& dir) {
    int rounds[entryCount];
    for (int i = 0; i < entryCount; ++i) {
        const QString value = iniEdit::ReadSetting(dir, entries[i][0], entries[i][1]);
        bool ok = false;
        rounds[i] = value.section(u':', 0, 0).toInt(&ok);
        if (!ok || value != roundValue(rounds[i])) {
            return -1;
        }
    }
    const int j = int(std::count(rounds, rounds + entryCount, rounds[0]));
    for (int i = 0; i < entryCount; ++i) {
        if (rounds[i] != rounds[0] - (i >= j)) {
            return -1;
        }
    }
    return rounds[0] * entryCount + j;
}

// Runs in a forked child: steps from n on, count of them or forever.
[[noreturn]] void writeSteps(const QString& dir, int n, int count) {
    for (; count != 0; --count, ++n) {
        const auto& e = entries[n % entryCount];
        if (!iniEdit::WriteSetting(dir, e[0], e[1], roundValue(n / entryCount)).ok()) {
            _exit(4);
        }
    }
    _exit(0);
}

class KillDuringWrite : public testing::Test {
protected:
    void SetUp() override {
        for (const auto& e : entries) {
            ASSERT_TRUE(iniEdit::WriteSetting(dir.path(), e[0], e[1], roundValue(0)).ok());
        }
    }

    // After a kill every entry must hold its old or its new value. Returns
    // the writes completed since the last check.
    int expectIntact() {
        const int now = stepOf(dir.path());
        if (now < step) {
            ADD_FAILURE() << "torn, mixed or lost entries after step " << step;
            return 0;
        }
        return now - std::exchange(step, now);
    }

    QTemporaryDir dir;
    int step = entryCount; // the next write to do
};

TEST_F(KillDuringWrite, RandomMomentsLeaveOldOrNewValues) {
    const int asked = qEnvironmentVariableIntValue("VEMBA_SETTINGS_KILLS");
    const int kills = asked > 0 ? asked : 200;
    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> delayUs(0, 10000);
    int writes = 0;
    int i = 0;
    for (; i < kills && !HasFailure(); ++i) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            writeSteps(dir.path(), step, -1);
        }
        ::usleep(useconds_t(delayUs(rng)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";
        writes += expectIntact();
    }
    std::printf("%d kills, %d writes completed (seed %u)\n", i, writes, seed);
    EXPECT_GT(writes, 0) << "no write got done: the kills tested nothing";
}

#if defined(PTRACE_GET_SYSCALL_INFO)
// One write in a traced child, killed on entry to its killAt-th system call
// (0: never). Returns the write's system calls; none where tracing fails.
std::vector<unsigned long long> traceWrite(const QString& dir, int step, std::size_t killAt) {
    // Forked children draw the same temporary names: clear what a kill left.
    for (const QString& name : QDir(dir).entryList({"setting.ini.*"}, QDir::Files | QDir::Hidden)) {
        QFile::remove(dir + "/" + name);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
            _exit(127);
        }
        ::raise(SIGSTOP); // the tracer starts counting here
        writeSteps(dir, step, 1);
    }
    std::vector<unsigned long long> calls;
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status)) {
        return calls;
    }
    ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    while (::ptrace(PTRACE_SYSCALL, pid, nullptr, nullptr) == 0 &&
           ::waitpid(pid, &status, 0) == pid && WIFSTOPPED(status)) {
        __ptrace_syscall_info info{};
        ::ptrace(PTRACE_GET_SYSCALL_INFO, pid, reinterpret_cast<void*>(sizeof info), &info);
        if (info.op != PTRACE_SYSCALL_INFO_ENTRY) {
            continue;
        }
        calls.push_back(info.entry.nr);
        if (calls.size() == killAt) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
    }
    return calls;
}

bool isRename(unsigned long long nr) {
    return nr == SYS_rename || nr == SYS_renameat || nr == SYS_renameat2;
}

bool isSync(unsigned long long nr) {
    return nr == SYS_fsync || nr == SYS_fdatasync;
}

// The file must switch from the old to the new value exactly at the rename.
TEST_F(KillDuringWrite, EverySystemCallOfAWrite) {
    const auto calls = traceWrite(dir.path(), step, 0);
    if (calls.empty()) {
        GTEST_SKIP() << "cannot trace a child process here";
    }
    ASSERT_EQ(expectIntact(), 1);
    const auto rename = std::find_if(calls.begin(), calls.end(), isRename);
    ASSERT_NE(rename, calls.end()) << "the new file must replace the old one by a rename";
    EXPECT_TRUE(std::any_of(calls.begin(), rename, isSync))
        << "the new file must reach the disk before it replaces the old one";
    EXPECT_TRUE(std::any_of(rename, calls.end(), isSync))
        << "the rename must reach the disk before the write returns";
    for (std::size_t k = 1; k <= calls.size(); ++k) {
        // Judged on this run's own calls (the allocator may add one here and
        // there): those before the killed one have completed.
        const auto run = traceWrite(dir.path(), step, k);
        const auto done = run.end() - (run.size() == k ? 1 : 0);
        EXPECT_EQ(expectIntact(), std::any_of(run.begin(), done, isRename) ? 1 : 0)
            << "killed on entry to system call " << k << " of " << run.size() << " (number "
            << (run.empty() ? 0 : run.back()) << ")";
    }
}
#endif

} // namespace
