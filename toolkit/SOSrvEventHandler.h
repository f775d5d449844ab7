// Server-side events of the toolkit that a server may hook.
#pragma once

#include "toolkit/SOCmnObject.h"

namespace vorn {

class SOSrvEventHandler : public SOCmnObject {
public:
    // The clients have released the last OPC object (server object) they held.
    virtual void onReleasedLastOPCObject() {}
};

} // namespace vorn
