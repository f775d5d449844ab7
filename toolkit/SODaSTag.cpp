#include "SODaSTag.h"

#include "toolkit/SODaSRequest.h"

namespace vorn {

void SODaSProperty::setConstantValue(const Variant& value) {
    std::lock_guard lock(mutex_);
    value_ = value;
}

Variant SODaSProperty::getConstantValue() const {
    std::lock_guard lock(mutex_);
    return value_;
}

SODaSTag::SODaSTag() : cache_(makeObject<SODaSCache>()) {}

SOCmnPointer<SODaSProperty> SODaSTag::addProperty(uint32_t id, const std::string& name) {
    std::lock_guard lock(mutex_);
    auto& slot = properties_[id];
    if (!slot)
        slot = makeObject<SODaSProperty>(id, name);
    return slot;
}

SOCmnPointer<SODaSProperty> SODaSTag::getProperty(uint32_t id) const {
    std::lock_guard lock(mutex_);
    auto it = properties_.find(id);
    return it == properties_.end() ? nullptr : it->second;
}

std::vector<uint32_t> SODaSTag::getPropertyIds() const {
    std::lock_guard lock(mutex_);
    std::vector<uint32_t> ids;
    for (const auto& [id, property] : properties_)
        ids.push_back(id);
    return ids;
}

SOCmnPointer<SODaSCache> SODaSTag::getCache() const {
    std::lock_guard lock(mutex_);
    return cache_;
}

void SODaSTag::setCache(SODaSCache* cache) {
    std::lock_guard lock(mutex_);
    cache_ = SOCmnPointer<SODaSCache>::share(cache);
}

void SODaSTag::handleRequest(SODaSRequest& request) {
    request.complete(S_OK, false, Quality::kGood);
}

} // namespace vorn
