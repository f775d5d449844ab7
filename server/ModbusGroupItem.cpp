#include "ModbusGroupItem.h"

#include "server/ModbusTag.h"

namespace vorn {
namespace {

ModbusTag* modbusTagOf(const SOCmnPointer<SODaSTag>& tag) {
    return dynamic_cast<ModbusTag*>(tag.get());
}

} // namespace

void ModbusItem::onSetActive(bool active) {
    SOCmnPointer<SODaSTag> tag = getItemTag();
    ModbusTag* modbusTag = modbusTagOf(tag);
    if (!modbusTag)
        return;
    uint32_t rate = 0;
    if (active) {
        rate = getGroup() ? getGroup()->getUpdateRate() : 0;
        modbusTag->activeItems().add(this);
    } else {
        modbusTag->activeItems().removeObject(this);
    }
    modbusTag->queues().appendActivation(modbus::ActivationChange{
        active, false, rate, SOCmnPointer<modbus::PolledTag>::share(modbusTag)});
}

void ModbusGroup::onSetUpdateRate(uint32_t rate) {
    if (rate == getUpdateRate())
        return;
    for (const SOCmnPointer<SODaSItem>& item : getItems()) {
        SOCmnPointer<SODaSTag> tag = item->getItemTag();
        if (ModbusTag* modbusTag = modbusTagOf(tag))
            modbusTag->queues().appendActivation(modbus::ActivationChange{
                false, true, rate, SOCmnPointer<modbus::PolledTag>::share(modbusTag)});
    }
}

} // namespace vorn
