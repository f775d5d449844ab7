#include "SODaSTag.h"

#include "toolkit/SODaSRequest.h"

#include <algorithm>

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

namespace {

bool precedes(const SOCmnPointer<SODaSProperty>& property, uint32_t id) {
    return property->getPropertyId() < id;
}

} // namespace

SOCmnPointer<SODaSProperty> SODaSTag::addProperty(uint32_t id, const std::string& name) {
    std::lock_guard lock(mutex_);
    auto at = std::lower_bound(properties_.begin(), properties_.end(), id, precedes);
    if (at == properties_.end() || (*at)->getPropertyId() != id)
        at = properties_.insert(at, makeObject<SODaSProperty>(id, name));
    return *at;
}

SOCmnPointer<SODaSProperty> SODaSTag::getProperty(uint32_t id) const {
    std::lock_guard lock(mutex_);
    auto at = std::lower_bound(properties_.begin(), properties_.end(), id, precedes);
    return at == properties_.end() || (*at)->getPropertyId() != id ? nullptr : *at;
}

std::vector<uint32_t> SODaSTag::getPropertyIds() const {
    std::lock_guard lock(mutex_);
    std::vector<uint32_t> ids;
    for (const auto& property : properties_)
        ids.push_back(property->getPropertyId());
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
