// The server's group and item classes and the creator that makes the toolkit build them.
// Item activation keeps each tag's list of active items, which tells the engine whether any
// client still wants the tag polled.
#pragma once

#include "toolkit/SODaSCreator.h"

namespace vorn {

class ModbusItem : public SODaSItem {
protected:
    void onSetActive(bool active) override;
};

class ModbusGroup : public SODaSGroup {
protected:
    void onSetUpdateRate(uint32_t rate) override;
};

class ModbusCreator : public SODaSCreator {
public:
    SOCmnPointer<SODaSGroup> createGroup() override { return makeObject<ModbusGroup>(); }
    SOCmnPointer<SODaSItem> createItem() override { return makeObject<ModbusItem>(); }
};

} // namespace vorn
