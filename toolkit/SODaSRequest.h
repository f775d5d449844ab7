// A client's read or write of one tag's device value, handed to the tag and completed later
// (by the server's communication thread) with a result and a quality.
#pragma once

#include "platform/Event.h"
#include "platform/Variant.h"
#include "toolkit/SOCmnObject.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace vorn {

class SODaSTag;

using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
// The request was given up because the server stops.
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_TIMEDOUT = static_cast<HRESULT>(0x800705B4u);
constexpr HRESULT OPC_E_BADTYPE = static_cast<HRESULT>(0xC0040004u);
constexpr HRESULT OPC_E_BADRIGHTS = static_cast<HRESULT>(0xC0040006u);
constexpr HRESULT OPC_E_UNKNOWNITEMID = static_cast<HRESULT>(0xC0040007u);
constexpr HRESULT OPC_E_RANGE = static_cast<HRESULT>(0xC004000Bu);
constexpr bool succeeded(HRESULT r) {
    return r >= 0;
}

class SODaSRequest : public SOCmnObject {
public:
    enum Type : uint8_t { read = 0, write = 1 };

    // Operation codes: the device value of a synchronous or asynchronous client call, and the
    // cache-side operations that never need a device transfer.
    static constexpr uint16_t kSyncDevice = 0x1005;
    static constexpr uint16_t kAsyncDevice = 0x1006;
    static constexpr uint16_t kSyncCache = 0x1009;
    static constexpr uint16_t kAsyncCache = 0x100A;

    // Bit of the state that is set while the request is being processed.
    static constexpr uint8_t kStateStarted = 0x02;
    static constexpr uint8_t kStateCompleted = 0x04;

    SODaSRequest(Type type, uint16_t operation, SODaSTag* tag, Variant writeValue = {});
    ~SODaSRequest() override;

    Type getType() const { return type_; }
    uint16_t getOperation() const { return operation_; }
    SOCmnPointer<SODaSTag> getItemTag() const;
    const Variant& getWriteValue() const { return writeValue_; }

    void start();
    uint8_t getState() const { return state_.load(); }

    // Ends the request once; later calls are ignored. `useQuality` says whether `quality` is
    // the outcome's quality; `notify` wakes whoever waits for the request.
    void complete(HRESULT result, bool useQuality = false, uint16_t quality = 0x40,
                  bool changeCache = false, bool notify = true);
    bool isCompleted() const { return (state_.load() & kStateCompleted) != 0; }
    // True when completed within `timeoutMs`.
    bool waitForCompletion(uint32_t timeoutMs);
    // Called once when the request completes, by the completing thread after the waiters were
    // woken; at once when it already has. It must not block: it runs on the engine's thread.
    void onCompletion(std::function<void()> callback);
    HRESULT getResult() const;
    // The completion's quality, when it gave one.
    bool getQuality(uint16_t& quality) const;

private:
    const Type type_;
    const uint16_t operation_;
    SODaSTag* const tag_; // counted: the request holds a reference
    const Variant writeValue_;
    std::atomic<uint8_t> state_{0};
    mutable std::mutex mutex_;
    HRESULT result_ = S_OK;
    bool hasQuality_ = false;
    uint16_t quality_ = 0;
    Event completed_{Event::Reset::manual};
    std::function<void()> onCompletion_;
};

} // namespace vorn
