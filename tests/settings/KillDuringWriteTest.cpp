// A write killed at any of its system calls leaves the old file or the new
// one, never a mix, and the switch happens at the rename. Kills at random
// moments, inside system calls too, are scripts/settings-kill-test's long run.

#include "Files.h"
#include "iniEdit.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace vemba;

// Forked children draw the same temporary names: clears what a kill left.
void clearLeftovers(const QString& dir) {
    for (const QString& name : QDir(dir).entryList({"setting.ini.*"}, QDir::Files | QDir::Hidden)) {
        QFile::remove(dir + "/" + name);
    }
}

#if defined(PTRACE_GET_SYSCALL_INFO)
// One write in a traced child, killed on entry to its killAt-th system call
// (0: never). Returns the write's system calls; none where tracing fails.
std::vector<unsigned long long> traceWrite(const QString& dir, std::size_t killAt) {
    clearLeftovers(dir);
    const pid_t pid = fork();
    if (pid == 0) {
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
            _exit(127);
        }
        ::raise(SIGSTOP); // the tracer starts counting here
        // Long, so that a torn write cannot pass for the old or the new file.
        _exit(iniEdit::WriteSetting(dir, "Volume", "V", QString(3000, u'n')).ok() ? 0 : 4);
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

TEST(KillDuringWrite, TheFileSwitchesFromOldToNewAtTheRenameOnly) {
    QTemporaryDir dir;
    const QString path = iniEdit::settingsPath(dir.path());
    const QByteArray before =
        "[Position]\nTop=1\n[Volume]\nV=" + QByteArray(3000, 'o') + "\n[W]\nF=2\n";
    ASSERT_TRUE(writeFile(path, before));
    const auto calls = traceWrite(dir.path(), 0);
    if (calls.empty()) {
        GTEST_SKIP() << "cannot trace a child process here";
    }
    const QByteArray after = readFile(path);
    ASSERT_EQ(after, QByteArray(before).replace(QByteArray(3000, 'o'), QByteArray(3000, 'n')));
    const auto rename = std::find_if(calls.begin(), calls.end(), isRename);
    ASSERT_NE(rename, calls.end()) << "the new file must replace the old one by a rename";
    EXPECT_TRUE(std::any_of(calls.begin(), rename, isSync))
        << "the new file must reach the disk before it replaces the old one";
    EXPECT_TRUE(std::any_of(rename, calls.end(), isSync))
        << "the rename must reach the disk before the write returns";
    for (std::size_t k = 1; k <= calls.size(); ++k) {
        ASSERT_TRUE(writeFile(path, before));
        // Judged on this run's own calls (the allocator may add one here and
        // there): those before the killed one have completed.
        const auto run = traceWrite(dir.path(), k);
        const auto done = run.end() - (run.size() == k ? 1 : 0);
        const bool renamed = std::any_of(run.begin(), done, isRename);
        EXPECT_TRUE(readFile(path) == (renamed ? after : before))
            << (renamed ? "not the new file" : "not the old file")
            << ": killed on entry to system call " << k << " of " << run.size() << " (number "
            << (run.empty() ? 0 : run.back()) << ")";
    }
}
#endif

} // namespace
