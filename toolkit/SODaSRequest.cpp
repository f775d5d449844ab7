#include "SODaSRequest.h"

#include "toolkit/SODaSTag.h"

namespace vorn {

SODaSRequest::SODaSRequest(Type type, uint16_t operation, SODaSTag* tag, Variant writeValue)
    : type_(type), operation_(operation), tag_(tag), writeValue_(std::move(writeValue)) {
    if (tag_)
        tag_->addRef();
}

SODaSRequest::~SODaSRequest() {
    if (tag_)
        tag_->release();
}

SOCmnPointer<SODaSTag> SODaSRequest::getItemTag() const {
    return SOCmnPointer<SODaSTag>::share(tag_);
}

void SODaSRequest::start() {
    state_.fetch_or(kStateStarted);
}

void SODaSRequest::complete(HRESULT result, bool useQuality, uint16_t quality, bool, bool notify) {
    std::function<void()> callback;
    {
        std::lock_guard lock(mutex_);
        if (isCompleted())
            return;
        result_ = result;
        hasQuality_ = useQuality;
        quality_ = quality;
        // Completed and no longer in progress.
        state_.store(static_cast<uint8_t>((state_.load() & ~kStateStarted) | kStateCompleted));
        callback.swap(onCompletion_);
    }
    if (notify)
        completed_.set();
    if (callback)
        callback();
}

void SODaSRequest::onCompletion(std::function<void()> callback) {
    {
        std::lock_guard lock(mutex_);
        if (!isCompleted()) {
            onCompletion_ = std::move(callback);
            return;
        }
    }
    callback();
}

bool SODaSRequest::waitForCompletion(uint32_t timeoutMs) {
    return completed_.wait(timeoutMs);
}

HRESULT SODaSRequest::getResult() const {
    std::lock_guard lock(mutex_);
    return result_;
}

bool SODaSRequest::getQuality(uint16_t& quality) const {
    std::lock_guard lock(mutex_);
    quality = quality_;
    return hasQuality_;
}

} // namespace vorn
