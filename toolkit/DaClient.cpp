#include "DaClient.h"

namespace vorn {

DaClient::DaClient(SODaSEntry& entry) : entry_(entry), server_(entry.openServerObject()) {}

DaClient::~DaClient() {
    close();
}

void DaClient::close() {
    if (server_) {
        SOCmnPointer<SODaSServer> server = std::move(server_);
        entry_.releaseServerObject(server.get());
    }
}

SOCmnPointer<SODaSGroup> DaClient::addGroup(const std::string& name, uint32_t updateRate) {
    SOCmnPointer<SODaSCreator> creator = entry_.getCreator();
    SOCmnPointer<SODaSGroup> group = creator ? creator->createGroup() : makeObject<SODaSGroup>();
    group->setName(name);
    group->setUpdateRate(updateRate);
    if (server_)
        server_->addGroup(group.get());
    return group;
}

void DaClient::removeGroup(SODaSGroup& group) {
    if (server_)
        server_->removeGroup(&group);
}

SOCmnPointer<SODaSTag> DaClient::findTag(const std::string& itemId) const {
    SOCmnPointer<SODaSNameSpaceRoot> root = entry_.getNameSpaceRoot();
    return root ? root->findTag(itemId) : nullptr;
}

SOCmnPointer<SODaSItem> DaClient::addItem(SODaSGroup& group, const std::string& itemId,
                                          HRESULT* result) {
    SOCmnPointer<SODaSTag> tag = findTag(itemId);
    if (!tag) {
        if (result)
            *result = OPC_E_UNKNOWNITEMID;
        return nullptr;
    }
    SOCmnPointer<SODaSCreator> creator = entry_.getCreator();
    SOCmnPointer<SODaSItem> item = creator ? creator->createItem() : makeObject<SODaSItem>();
    group.addItem(item.get(), tag.get());
    if (result)
        *result = S_OK;
    return item;
}

ReadResult DaClient::readFromCache(const std::string& itemId) const {
    ReadResult out;
    SOCmnPointer<SODaSTag> tag = findTag(itemId);
    if (!tag) {
        out.result = OPC_E_UNKNOWNITEMID;
        return out;
    }
    if (!(tag->getAccessRights() & AccessRights::kReadable)) {
        out.result = OPC_E_BADRIGHTS;
        return out;
    }
    CacheSnapshot snapshot = tag->getCache()->snapshot();
    out.value = std::move(snapshot.value);
    out.quality = snapshot.quality;
    out.timestamp = snapshot.timestamp;
    return out;
}

ReadResult DaClient::readFromDevice(const std::string& itemId, uint32_t timeoutMs) const {
    SOCmnPointer<SODaSTag> tag = findTag(itemId);
    if (!tag)
        return ReadResult{OPC_E_UNKNOWNITEMID, {}, 0, {}};
    if (!(tag->getAccessRights() & AccessRights::kReadable))
        return ReadResult{OPC_E_BADRIGHTS, {}, 0, {}};
    if (tag->getDeviceIOMode() == kDeviceIOModeRequest) {
        auto request =
            makeObject<SODaSRequest>(SODaSRequest::read, SODaSRequest::kSyncDevice, tag.get());
        tag->handleRequest(*request);
        if (!request->waitForCompletion(timeoutMs))
            return ReadResult{E_TIMEDOUT, {}, 0, {}};
        if (!succeeded(request->getResult()))
            return ReadResult{request->getResult(), {}, 0, {}};
    }
    return readFromCache(itemId);
}

WriteResult DaClient::write(const std::string& itemId, const Variant& value,
                            uint32_t timeoutMs) const {
    WriteResult out;
    SOCmnPointer<SODaSTag> tag = findTag(itemId);
    if (!tag) {
        out.result = OPC_E_UNKNOWNITEMID;
        return out;
    }
    if (!(tag->getAccessRights() & AccessRights::kWritable)) {
        out.result = OPC_E_BADRIGHTS;
        return out;
    }
    Variant native = value;
    if (tag->getNativeDatatype() != VT_EMPTY) {
        ChangeResult change = native.changeType(tag->getNativeDatatype());
        if (change != ChangeResult::ok) {
            out.result = change == ChangeResult::overflow ? OPC_E_RANGE : OPC_E_BADTYPE;
            return out;
        }
    }
    auto request = makeObject<SODaSRequest>(SODaSRequest::write, SODaSRequest::kSyncDevice,
                                            tag.get(), std::move(native));
    tag->handleRequest(*request);
    if (!request->waitForCompletion(timeoutMs)) {
        out.result = E_TIMEDOUT;
        return out;
    }
    out.result = request->getResult();
    out.hasQuality = request->getQuality(out.quality);
    return out;
}

} // namespace vorn
