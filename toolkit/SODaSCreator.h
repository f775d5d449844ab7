// The factory through which the toolkit builds the objects that servers specialise.
#pragma once

#include "toolkit/SODaSGroup.h"

namespace vorn {

class SODaSCreator : public SOCmnObject {
public:
    // Both throw SOCmnException ("Out of memory") when the allocation fails.
    virtual SOCmnPointer<SODaSGroup> createGroup() { return makeObject<SODaSGroup>(); }
    virtual SOCmnPointer<SODaSItem> createItem() { return makeObject<SODaSItem>(); }
};

} // namespace vorn
