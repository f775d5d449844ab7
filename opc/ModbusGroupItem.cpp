#include "ModbusGroupItem.h"

#include "opc/ModbusTag.h"

namespace vorn {

void ModbusItem::onSetActive(bool active) {
    SOCmnPointer<SODaSTag> tag = getItemTag();
    auto* modbusTag = dynamic_cast<ModbusTag*>(tag.get());
    if (!modbusTag)
        return;
    if (active)
        modbusTag->activeItems().add(this);
    else
        modbusTag->activeItems().removeObject(this);
}

void ModbusGroup::onSetUpdateRate(uint32_t rate) {
    (void)rate; // the engine moves the group's tags to blocks of the new rate
}

} // namespace vorn
