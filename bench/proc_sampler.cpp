// CPU time and wake-ups of groups of processes, read from /proc while they
// run: proc_sampler SECONDS NAME=PID[,PID...] ...
//
// A group is its processes and all their descendants, every thread of each.
// CPU time is the scheduler's own nanosecond count of each thread
// (task/*/schedstat); wake-ups are each thread's voluntary and involuntary
// context switches (task/*/status), one per time the thread went to sleep or
// was put aside. Both are read every 100 ms and kept per thread, so a thread
// or a child process that ends (a paplay started again by its loop, the audio
// thread of a stream that closes) keeps what it had at the last reading.
//
// Prints one line a second, "second group cpu_percent wakeups", and at the
// end "total group cpu_percent wakeups_per_second"; percent of one core.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Reading {
    unsigned long long cpuNs = 0;
    unsigned long long switches = 0;
};

struct Group {
    std::string name;
    std::vector<int> roots;
    // Last reading of every thread ever seen, by thread id.
    std::map<int, Reading> threads;

    Reading total() const {
        Reading sum;
        for (const auto& [tid, reading] : threads) {
            sum.cpuNs += reading.cpuNs;
            sum.switches += reading.switches;
        }
        return sum;
    }
};

std::vector<int> numericEntries(const std::string& dir) {
    std::vector<int> out;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) {
        return out;
    }
    while (const dirent* entry = readdir(d)) {
        char* end = nullptr;
        const long value = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0') {
            out.push_back(static_cast<int>(value));
        }
    }
    closedir(d);
    return out;
}

// Parent of every process now running.
std::map<int, int> parents() {
    std::map<int, int> out;
    for (const int pid : numericEntries("/proc")) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line)) {
            continue;
        }
        // The command name may hold spaces and parentheses: skip past its end.
        std::istringstream rest(line.substr(line.rfind(')') + 2));
        char state = 0;
        int ppid = 0;
        rest >> state >> ppid;
        out[pid] = ppid;
    }
    return out;
}

std::set<int> treeOf(const std::vector<int>& roots, const std::map<int, int>& parentOf) {
    std::set<int> tree(roots.begin(), roots.end());
    bool grew = true;
    while (grew) {
        grew = false;
        for (const auto& [pid, ppid] : parentOf) {
            if (tree.count(ppid) != 0 && tree.insert(pid).second) {
                grew = true;
            }
        }
    }
    return tree;
}

void readThread(int pid, int tid, Reading& reading) {
    const std::string base = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid);
    Reading now;
    std::ifstream schedstat(base + "/schedstat");
    if (!(schedstat >> now.cpuNs)) {
        return; // gone meanwhile: keep the last reading
    }
    std::ifstream status(base + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.find("ctxt_switches:") != std::string::npos) {
            now.switches += std::strtoull(line.substr(line.find(':') + 1).c_str(), nullptr, 10);
        }
    }
    reading = now;
}

void sample(Group& group, const std::map<int, int>& parentOf) {
    for (const int pid : treeOf(group.roots, parentOf)) {
        for (const int tid : numericEntries("/proc/" + std::to_string(pid) + "/task")) {
            readThread(pid, tid, group.threads[tid]);
        }
    }
}

bool parseGroup(const char* argument, Group& group) {
    const std::string text(argument);
    const auto equals = text.find('=');
    if (equals == std::string::npos || equals == 0) {
        return false;
    }
    group.name = text.substr(0, equals);
    std::istringstream pids(text.substr(equals + 1));
    std::string pid;
    while (std::getline(pids, pid, ',')) {
        group.roots.push_back(std::atoi(pid.c_str()));
    }
    return !group.roots.empty();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SECONDS NAME=PID[,PID...] ...\n", argv[0]);
        return 2;
    }
    const int seconds = std::atoi(argv[1]);
    std::vector<Group> groups(static_cast<std::size_t>(argc - 2));
    for (int i = 2; i < argc; ++i) {
        if (!parseGroup(argv[i], groups[static_cast<std::size_t>(i - 2)])) {
            std::fprintf(stderr, "not NAME=PID[,PID...]: %s\n", argv[i]);
            return 2;
        }
    }
    using Clock = std::chrono::steady_clock;
    constexpr int kReadingsPerSecond = 10;
    const auto start = Clock::now();
    for (Group& group : groups) {
        sample(group, parents());
    }
    std::vector<Reading> first;
    std::vector<Reading> lastSecond;
    for (const Group& group : groups) {
        first.push_back(group.total());
    }
    lastSecond = first;
    for (int tick = 1; tick <= seconds * kReadingsPerSecond; ++tick) {
        std::this_thread::sleep_until(start +
                                      tick * std::chrono::milliseconds(1000) / kReadingsPerSecond);
        const std::map<int, int> parentOf = parents();
        for (Group& group : groups) {
            sample(group, parentOf);
        }
        if (tick % kReadingsPerSecond != 0) {
            continue;
        }
        for (std::size_t g = 0; g < groups.size(); ++g) {
            const Reading now = groups[g].total();
            std::printf("%d %s %.3f %llu\n", tick / kReadingsPerSecond, groups[g].name.c_str(),
                        static_cast<double>(now.cpuNs - lastSecond[g].cpuNs) * 1e-7,
                        now.switches - lastSecond[g].switches);
            lastSecond[g] = now;
        }
        std::fflush(stdout);
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const Reading end = groups[g].total();
        std::printf("total %s %.3f %.1f\n", groups[g].name.c_str(),
                    static_cast<double>(end.cpuNs - first[g].cpuNs) * 1e-7 / seconds,
                    static_cast<double>(end.switches - first[g].switches) / seconds);
    }
    return 0;
}
