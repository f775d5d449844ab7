// The toolkit's entry object: what a server configures at start (creator, registration data,
// status fields, event handler), the name space root, and the object root that counts the
// server objects clients hold.
#pragma once

#include "platform/Registry.h"
#include "toolkit/SODaSCreator.h"
#include "toolkit/SODaSNode.h"
#include "toolkit/SODaSServer.h"
#include "toolkit/SOSrvEventHandler.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vorn {

struct RegisterInfo {
    std::string clsid; // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
    std::string progIdVersioned;
    std::string progId;
    std::string description;
    std::string programPath;
    std::string endpoint;
};

struct ServerStatusInfo {
    std::string vendor;
    uint16_t major = 0;
    uint16_t minor = 0;
    uint16_t build = 0;
};

// Counts the server objects that exist: one of the toolkit's own once started, plus one per
// client session.
class SODaSObjectRoot {
public:
    size_t getBranchCount() const { return count_.load(); }

private:
    friend class SODaSEntry;
    std::atomic<size_t> count_{0};
};

class SODaSEntry : public SOCmnObject {
public:
    SODaSEntry();

    void setCreator(SODaSCreator* creator);
    SOCmnPointer<SODaSCreator> getCreator() const;
    // Initialization with the application type, the server's CLSID, the program instance and
    // flags; the set-up call's four values are kept as given.
    bool initialize(int appType, const std::string& clsid, void* instance, int flags);
    void setup(int a, int b, int c, int d);
    void setRegisterInfo(const std::string& progIdVersioned, const std::string& progId,
                         const std::string& description, const std::string& extra = {});
    void setVendorInfo(const std::string& vendor) { status_.vendor = vendor; }
    void setVersionInfo(uint16_t major, uint16_t minor, uint16_t build);
    void setStatusByte(uint8_t value) { statusByte_ = value; }
    void setTimingParameter(uint32_t value) { timing_ = value; }
    uint32_t getTimingParameter() const { return timing_; }
    void setEndpoint(const std::string& endpoint) { register_.endpoint = endpoint; }
    void setProgramPath(const std::string& path) { register_.programPath = path; }
    const RegisterInfo& getRegisterInfo() const { return register_; }
    const ServerStatusInfo& getStatusInfo() const { return status_; }

    void setEventHandler(SOSrvEventHandler* handler);

    // Registration records in the registry file (stand-in for COM registration).
    bool registerServer(Registry& registry);
    bool unregisterServer(Registry& registry);
    bool registerCategories(Registry& registry);
    bool unregisterCategories(Registry& registry);

    // Non-zero (true) when the toolkit serves clients.
    bool start();
    bool isStarted() const { return started_.load(); }
    // Asks every connected client to let go of the server, with a reason text.
    void shutdownAllClients(const std::string& reason);
    // Client fronts register here to pass shutdown requests on.
    void setShutdownListener(std::function<void(const std::string&)> listener);
    void terminate();

    SOCmnPointer<SODaSNameSpaceRoot> getNameSpaceRoot(bool create = false) const;
    const SODaSObjectRoot& getObjectRoot() const { return objectRoot_; }

    // Sessions: a client opens a server object and releases it when it leaves.
    SOCmnPointer<SODaSServer> openServerObject();
    void releaseServerObject(SODaSServer* server);

private:
    mutable std::mutex mutex_;
    SOCmnPointer<SODaSCreator> creator_;
    SOCmnPointer<SOSrvEventHandler> eventHandler_;
    SOCmnPointer<SODaSNameSpaceRoot> nameSpace_;
    std::vector<SOCmnPointer<SODaSServer>> servers_;
    std::function<void(const std::string&)> shutdownListener_;
    SODaSObjectRoot objectRoot_;
    RegisterInfo register_;
    ServerStatusInfo status_;
    int setup_[4] = {0, 0, 0, 0};
    uint8_t statusByte_ = 0;
    uint32_t timing_ = 50;
    std::atomic<bool> started_{false};
};

// The process's entry, as a counted reference to release after use.
SOCmnPointer<SODaSEntry> getSODaSEntry();

} // namespace vorn
