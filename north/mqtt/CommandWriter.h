// Writes asked for by MQTT commands, on a thread of their own so that a device's timeout never
// holds up publishing: each write goes through the toolkit like an OPC client's, is logged with
// the command that asked for it, and its outcome read back from the device is handed to the
// publisher to go out as data.
#pragma once

#include "north/mqtt/ChangeInbox.h"
#include "toolkit/DaClient.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace vorn::north::mqtt {

class CommandWriter {
public:
    // Writes waiting beyond this are refused (and logged): a flood of commands cannot queue
    // without end.
    static constexpr size_t kMaxQueued = 1000;

    struct Job {
        uint32_t tag;
        std::string itemId;
        Variant value;
        std::string from; // the command's topic, for the log
    };

    CommandWriter(DaClient& client, ChangeInbox& inbox, uint32_t timeoutMs,
                  std::function<void(const std::string&)> log);
    ~CommandWriter(); // stops: writes still queued are dropped, the one under way ends first

    // False when the queue is full.
    bool enqueue(Job job);

private:
    void run();

    DaClient& client_;
    ChangeInbox& inbox_;
    const uint32_t timeoutMs_;
    std::function<void(const std::string&)> log_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace vorn::north::mqtt
