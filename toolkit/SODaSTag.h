// A tag: a leaf of the name space with access rights, native data type, properties with
// constant values, and a value cache. Clients' reads and writes of the device reach the tag
// as requests through handleRequest.
#pragma once

#include "platform/Variant.h"
#include "toolkit/SODaSCache.h"
#include "toolkit/SODaSNode.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace vorn {

class SODaSRequest;

namespace AccessRights {
constexpr uint32_t kReadable = 1;
constexpr uint32_t kWritable = 2;
} // namespace AccessRights

// Property id of the item description.
constexpr uint32_t kPropertyItemDescription = 101;

class SODaSProperty : public SOCmnObject {
public:
    SODaSProperty(uint32_t id, std::string name) : id_(id), name_(std::move(name)) {}
    uint32_t getPropertyId() const { return id_; }
    const std::string& getName() const { return name_; }
    void setConstantValue(const Variant& value);
    Variant getConstantValue() const;

private:
    const uint32_t id_;
    const std::string name_;
    mutable std::mutex mutex_;
    Variant value_;
};

// How requests for device values are served: the toolkit's own cache, or handleRequest.
enum : uint8_t { kDeviceIOModeCache = 0, kDeviceIOModeRequest = 1 };

class SODaSTag : public SODaSElement {
public:
    SODaSTag();

    void setAccessRights(uint32_t rights) { accessRights_ = rights; }
    uint32_t getAccessRights() const { return accessRights_; }
    void setNativeDatatype(VARTYPE type) { nativeDatatype_ = type; }
    VARTYPE getNativeDatatype() const { return nativeDatatype_; }
    void setDeviceIOMode(uint8_t mode) { deviceIOMode_ = mode; }
    uint8_t getDeviceIOMode() const { return deviceIOMode_; }

    // Adds (or returns the existing) property; the tag keeps its own reference.
    SOCmnPointer<SODaSProperty> addProperty(uint32_t id, const std::string& name = {});
    SOCmnPointer<SODaSProperty> getProperty(uint32_t id) const;
    std::vector<uint32_t> getPropertyIds() const;
    // The item description (property 101, UTF-8) kept as the tag's own text: every tag of a
    // plant has one, and a property object apiece would cost more than the tag. getProperty
    // makes a property holding it; addProperty(101) turns it into a stored property.
    void setDescription(std::string description);
    // The item description as UTF-8 (of the stored property when there is one); false when the
    // tag has none. Cheaper than getProperty for a reader that wants only the text.
    bool getDescription(std::string& description) const;

    // A reload took the tag out of the name space: clients still watching it are told it is
    // gone. Any thread.
    void markRemoved() { removed_.store(true); }
    bool isRemoved() const { return removed_.load(); }

    SOCmnPointer<SODaSCache> getCache() const;
    void setCache(SODaSCache* cache);

    // Serves a client's read or write of the device. The toolkit's own behaviour completes
    // the request at once; servers override it to queue the request for their devices.
    virtual void handleRequest(SODaSRequest& request);

private:
    // A lock shared by a few tags (striped by address): a server holds 100,000s of tags, and
    // what it guards is held only for a copy.
    std::mutex& lock() const;

    uint32_t accessRights_ = 0;
    VARTYPE nativeDatatype_ = VT_EMPTY;
    uint8_t deviceIOMode_ = kDeviceIOModeCache;
    bool hasDescription_ = false;
    std::atomic<bool> removed_{false};
    std::string description_;
    // Ascending ids. A tag has one or two properties, and a server holds 100,000s of tags: a
    // sorted vector costs a fraction of a map's nodes.
    std::vector<SOCmnPointer<SODaSProperty>> properties_;
    SOCmnPointer<SODaSCache> cache_;
};

} // namespace vorn
