// Responses kept for the test to look at, from whichever thread answers: the dispatcher's
// caller, the parked calls' thread, the admission checks' threads.
#pragma once

#include "toolkit/ua/ServiceCall.h"
#include "toolkit/ua/UaIds.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace vorn::ua::test {

struct Answer {
    uint64_t connectionId;
    uint32_t requestId;
    uint32_t typeId;
    StatusCode serviceResult;
    std::vector<StatusCode> results; // of a Read or Write response
    std::string body;                // the whole response
};

struct WaitingSink : ResponseSink {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Answer> answers;

    void sendResponse(uint64_t connectionId, uint32_t requestId, uint32_t typeId,
                      std::string body) override {
        Decoder d(body);
        d.dateTime();
        d.u32();
        Answer a{connectionId, requestId, typeId, d.statusCode(), {}, body};
        d.skipDiagnosticInfo();
        d.arrayLength();
        d.extensionObject();
        if (typeId == TypeId::kReadResponse || typeId == TypeId::kWriteResponse) {
            uint32_t count = d.arrayLength();
            for (uint32_t i = 0; i < count && d.ok(); ++i)
                a.results.push_back(typeId == TypeId::kReadResponse ? d.dataValue().status
                                                                    : d.statusCode());
        }
        {
            std::lock_guard lock(mutex);
            answers.push_back(std::move(a));
        }
        arrived.notify_all();
    }
    bool waitFor(size_t count, std::chrono::milliseconds within) {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, within, [&] { return answers.size() >= count; });
    }
    // The answer to one request, once it came (an empty Answer when it did not in time).
    Answer waitForAnswer(uint32_t requestId, std::chrono::milliseconds within) {
        std::unique_lock lock(mutex);
        auto answered = [&] {
            for (const Answer& a : answers)
                if (a.requestId == requestId)
                    return true;
            return false;
        };
        if (!arrived.wait_for(lock, within, answered))
            return {};
        for (const Answer& a : answers)
            if (a.requestId == requestId)
                return a;
        return {};
    }
    size_t size() {
        std::lock_guard lock(mutex);
        return answers.size();
    }
    Answer of(uint32_t requestId) {
        std::lock_guard lock(mutex);
        for (const Answer& a : answers)
            if (a.requestId == requestId)
                return a;
        return {};
    }
};

} // namespace vorn::ua::test
