#include "SODaSEntry.h"

#include <algorithm>

namespace vorn {
namespace {

const std::string kClassesKey = "SOFTWARE\\Classes\\";
// Category of OPC Data Access 2.0 servers.
const std::string kOpcDa2Category = "{63D5F432-CFE4-11D1-B2C8-0060083BA1FB}";

std::string clsidKey(const RegisterInfo& info) {
    return kClassesKey + "CLSID\\" + info.clsid;
}
std::string categoryKey(const RegisterInfo& info) {
    return clsidKey(info) + "\\Implemented Categories\\" + kOpcDa2Category;
}

} // namespace

SODaSEntry::SODaSEntry() : nameSpace_(makeObject<SODaSNameSpaceRoot>()) {}

void SODaSEntry::setCreator(SODaSCreator* creator) {
    std::lock_guard lock(mutex_);
    creator_ = SOCmnPointer<SODaSCreator>::share(creator);
}

SOCmnPointer<SODaSCreator> SODaSEntry::getCreator() const {
    std::lock_guard lock(mutex_);
    return creator_;
}

bool SODaSEntry::initialize(int, const std::string& clsid, void*, int) {
    register_.clsid = clsid;
    return true;
}

void SODaSEntry::setup(int a, int b, int c, int d) {
    setup_[0] = a;
    setup_[1] = b;
    setup_[2] = c;
    setup_[3] = d;
}

void SODaSEntry::setRegisterInfo(const std::string& progIdVersioned, const std::string& progId,
                                 const std::string& description, const std::string&) {
    register_.progIdVersioned = progIdVersioned;
    register_.progId = progId;
    register_.description = description;
}

void SODaSEntry::setVersionInfo(uint16_t major, uint16_t minor, uint16_t build) {
    status_.major = major;
    status_.minor = minor;
    status_.build = build;
}

void SODaSEntry::setEventHandler(SOSrvEventHandler* handler) {
    std::lock_guard lock(mutex_);
    eventHandler_ = SOCmnPointer<SOSrvEventHandler>::share(handler);
}

bool SODaSEntry::registerServer(Registry& registry) {
    const RegisterInfo& r = register_;
    bool ok = registry.writeString(clsidKey(r), "Description", r.description) &&
              registry.writeString(clsidKey(r), "ProgID", r.progIdVersioned) &&
              registry.writeString(clsidKey(r), "VersionIndependentProgID", r.progId) &&
              registry.writeString(clsidKey(r), "LocalServer", r.programPath) &&
              registry.writeString(kClassesKey + r.progId, "CLSID", r.clsid) &&
              registry.writeString(kClassesKey + r.progId, "CurVer", r.progIdVersioned) &&
              registry.writeString(kClassesKey + r.progId, "Description", r.description) &&
              registry.writeString(kClassesKey + r.progIdVersioned, "CLSID", r.clsid) &&
              registry.writeString(kClassesKey + r.progIdVersioned, "Description", r.description);
    if (ok && !r.endpoint.empty())
        ok = registry.writeString(clsidKey(r), "Endpoint", r.endpoint);
    return ok;
}

bool SODaSEntry::unregisterServer(Registry& registry) {
    registry.deleteKey(kClassesKey + register_.progIdVersioned);
    registry.deleteKey(kClassesKey + register_.progId);
    registry.deleteKey(clsidKey(register_));
    return !registry.keyExists(clsidKey(register_));
}

bool SODaSEntry::registerCategories(Registry& registry) {
    return registry.writeString(categoryKey(register_), "Name",
                                "OPC Data Access Servers Version 2.0");
}

bool SODaSEntry::unregisterCategories(Registry& registry) {
    registry.deleteKey(categoryKey(register_));
    return !registry.keyExists(categoryKey(register_));
}

bool SODaSEntry::start() {
    if (!started_.exchange(true))
        objectRoot_.count_.fetch_add(1); // the toolkit's own server object
    return true;
}

void SODaSEntry::setShutdownListener(std::function<void(const std::string&)> listener) {
    std::lock_guard lock(mutex_);
    shutdownListener_ = std::move(listener);
}

void SODaSEntry::shutdownAllClients(const std::string& reason) {
    std::function<void(const std::string&)> listener;
    {
        std::lock_guard lock(mutex_);
        listener = shutdownListener_;
    }
    if (listener)
        listener(reason);
}

void SODaSEntry::terminate() {
    std::vector<SOCmnPointer<SODaSServer>> servers;
    {
        std::lock_guard lock(mutex_);
        servers.swap(servers_);
        shutdownListener_ = nullptr;
    }
    for (auto& server : servers)
        server->removeAllGroups();
    objectRoot_.count_.store(0);
    started_.store(false);
}

SOCmnPointer<SODaSNameSpaceRoot> SODaSEntry::getNameSpaceRoot(bool) const {
    std::lock_guard lock(mutex_);
    return nameSpace_;
}

SOCmnPointer<SODaSServer> SODaSEntry::openServerObject() {
    auto server = makeObject<SODaSServer>();
    std::lock_guard lock(mutex_);
    servers_.push_back(server);
    objectRoot_.count_.fetch_add(1);
    return server;
}

void SODaSEntry::releaseServerObject(SODaSServer* server) {
    SOCmnPointer<SOSrvEventHandler> handler;
    SOCmnPointer<SODaSServer> released;
    bool wasLast = false;
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(servers_.begin(), servers_.end(),
                               [server](const auto& held) { return held.get() == server; });
        if (it == servers_.end())
            return;
        released = std::move(*it);
        servers_.erase(it);
        objectRoot_.count_.fetch_sub(1);
        wasLast = servers_.empty();
        handler = eventHandler_;
    }
    released->removeAllGroups();
    if (wasLast && handler)
        handler->onReleasedLastOPCObject();
}

SOCmnPointer<SODaSEntry> getSODaSEntry() {
    static SOCmnPointer<SODaSEntry> entry = makeObject<SODaSEntry>();
    return entry;
}

} // namespace vorn
