// The in-process client API over the toolkit's DA model: one object is one client session
// (a server object). The OPC UA front and the tests use exactly this.
#pragma once

#include "toolkit/SODaSEntry.h"
#include "toolkit/SODaSRequest.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace vorn {

struct ReadResult {
    HRESULT result = S_OK;
    Variant value;
    uint16_t quality = 0;
    std::chrono::system_clock::time_point timestamp;
};

struct WriteResult {
    HRESULT result = S_OK;
    uint16_t quality = 0; // meaningful when hasQuality
    bool hasQuality = false;
};

class DaClient {
public:
    explicit DaClient(SODaSEntry& entry);
    ~DaClient();
    DaClient(const DaClient&) = delete;
    DaClient& operator=(const DaClient&) = delete;

    SOCmnPointer<SODaSGroup> addGroup(const std::string& name, uint32_t updateRate);
    void setUpdateRate(SODaSGroup& group, uint32_t rate) { group.setUpdateRate(rate); }
    void removeGroup(SODaSGroup& group);

    // Null (and OPC_E_UNKNOWNITEMID in `result`) when the item ID names no tag.
    SOCmnPointer<SODaSItem> addItem(SODaSGroup& group, const std::string& itemId,
                                    HRESULT* result = nullptr);
    void setActive(SODaSItem& item, bool active) { item.setActive(active); }
    void removeItem(SODaSGroup& group, SODaSItem& item) { group.removeItem(&item); }

    ReadResult readFromCache(const std::string& itemId) const;
    // Hands a device read to the tag and waits for its completion at most `timeoutMs`;
    // the answer is then the tag's cache, good or bad.
    ReadResult readFromDevice(const std::string& itemId, uint32_t timeoutMs) const;
    // Converts `value` to the tag's native type and hands the write to the tag.
    WriteResult write(const std::string& itemId, const Variant& value, uint32_t timeoutMs) const;

    // Ends the session now (also done by the destructor).
    void close();

private:
    SOCmnPointer<SODaSTag> findTag(const std::string& itemId) const;

    SODaSEntry& entry_;
    SOCmnPointer<SODaSServer> server_;
};

} // namespace vorn
