#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

// Ends the test program when a step that could hang has not returned in time:
// a hang then fails at once, naming the step, instead of holding the suite.
class Deadline {
public:
    explicit Deadline(const char* step, std::chrono::seconds limit = std::chrono::seconds(30))
        : m_watch([this, step, limit] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, limit, [this] { return m_returned; })) {
                  std::fprintf(stderr, "%s did not return within %llds\n", step,
                               static_cast<long long>(limit.count()));
                  std::_Exit(1);
              }
          }) {}
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;
    ~Deadline() {
        {
            const std::lock_guard lock(m_mutex);
            m_returned = true;
        }
        m_done.notify_one();
        m_watch.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_returned = false;
    std::thread m_watch;
};
