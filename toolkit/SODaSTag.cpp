#include "SODaSTag.h"

#include "toolkit/SODaSRequest.h"
#include "toolkit/StripedLock.h"

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

std::mutex& SODaSTag::lock() const {
    return stripedLock(this);
}

namespace {

bool precedes(const SOCmnPointer<SODaSProperty>& property, uint32_t id) {
    return property->getPropertyId() < id;
}

} // namespace

void SODaSTag::setDescription(std::string description) {
    std::lock_guard guard(lock());
    description_ = std::move(description);
    hasDescription_ = true;
}

bool SODaSTag::getDescription(std::string& description) const {
    std::lock_guard guard(lock());
    auto at = std::lower_bound(properties_.begin(), properties_.end(), kPropertyItemDescription,
                               precedes);
    if (at != properties_.end() && (*at)->getPropertyId() == kPropertyItemDescription) {
        description = (*at)->getConstantValue().toUtf8();
        return true;
    }
    description = description_;
    return hasDescription_;
}

SOCmnPointer<SODaSProperty> SODaSTag::addProperty(uint32_t id, const std::string& name) {
    std::lock_guard guard(lock());
    auto at = std::lower_bound(properties_.begin(), properties_.end(), id, precedes);
    if (at == properties_.end() || (*at)->getPropertyId() != id) {
        auto property = makeObject<SODaSProperty>(id, name);
        if (id == kPropertyItemDescription && hasDescription_) {
            property->setConstantValue(Variant::bstrFromUtf8(description_));
            hasDescription_ = false;
            description_ = std::string();
        }
        at = properties_.insert(at, std::move(property));
    }
    return *at;
}

SOCmnPointer<SODaSProperty> SODaSTag::getProperty(uint32_t id) const {
    std::lock_guard guard(lock());
    auto at = std::lower_bound(properties_.begin(), properties_.end(), id, precedes);
    if (at != properties_.end() && (*at)->getPropertyId() == id)
        return *at;
    if (id != kPropertyItemDescription || !hasDescription_)
        return nullptr;
    auto description = makeObject<SODaSProperty>(id, std::string());
    description->setConstantValue(Variant::bstrFromUtf8(description_));
    return description;
}

std::vector<uint32_t> SODaSTag::getPropertyIds() const {
    std::lock_guard guard(lock());
    std::vector<uint32_t> ids;
    for (const auto& property : properties_)
        ids.push_back(property->getPropertyId());
    if (hasDescription_)
        ids.insert(std::lower_bound(ids.begin(), ids.end(), kPropertyItemDescription),
                   kPropertyItemDescription);
    return ids;
}

SOCmnPointer<SODaSCache> SODaSTag::getCache() const {
    std::lock_guard guard(lock());
    return cache_;
}

void SODaSTag::setCache(SODaSCache* cache) {
    std::lock_guard guard(lock());
    cache_ = SOCmnPointer<SODaSCache>::share(cache);
}

void SODaSTag::handleRequest(SODaSRequest& request) {
    request.complete(S_OK, false, Quality::kGood);
}

} // namespace vorn
