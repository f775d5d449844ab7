// Runs a server's configuration reloads on a thread of their own: a reload waits for the engine
// to be between two cycles, and the engine may be waiting for the window's thread to show a
// communication status. Asks that come during a reload give one more reload once it ends, of
// the file as it is then.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vorn {

class ReloadThread {
public:
    explicit ReloadThread(std::function<void()> reload);
    // Waits for a reload under way; one only asked for is dropped.
    ~ReloadThread();
    ReloadThread(const ReloadThread&) = delete;
    ReloadThread& operator=(const ReloadThread&) = delete;

    // Any thread.
    void request();

private:
    void run();

    std::function<void()> reload_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool pending_ = false;
    bool ending_ = false;
    std::thread thread_; // last: starts once the rest is set up
};

} // namespace vorn
