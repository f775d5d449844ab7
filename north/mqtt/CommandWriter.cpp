#include "CommandWriter.h"

#include "toolkit/SODaSRequest.h"

namespace vorn::north::mqtt {

CommandWriter::CommandWriter(DaClient& client, ChangeInbox& inbox, uint32_t timeoutMs,
                             std::function<void(const std::string&)> log)
    : client_(client), inbox_(inbox), timeoutMs_(timeoutMs), log_(std::move(log)),
      thread_([this] { run(); }) {}

CommandWriter::~CommandWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool CommandWriter::enqueue(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (jobs_.size() >= kMaxQueued)
            return false;
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
    return true;
}

void CommandWriter::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        const WriteResult written = client_.write(job.itemId, job.value, timeoutMs_);
        const std::string what = job.itemId + " = " + job.value.toUtf8() + " from " + job.from;
        if (written.result != S_OK) {
            log_("MQTT: write " + what + " failed (result 0x" + [&] {
                char hex[9];
                std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(written.result));
                return std::string(hex);
            }() + ")");
            continue;
        }
        log_("MQTT: write " + what + " done");
        // The answer is the value the device holds now, sent even when it did not change.
        const ReadResult read = client_.readFromDevice(job.itemId, timeoutMs_);
        inbox_.push(
            {ChangeRecord::Kind::value, job.tag, read.quality, unixMs(read.timestamp), read.value});
    }
}

} // namespace vorn::north::mqtt
