#include "PolledTag.h"

#include "toolkit/StripedLock.h"

#include <algorithm>

namespace vorn::modbus {
namespace {

// Before the first poll the cache is uncertain: arrays hold `elements` zeros, strings
// `elements` blanks, every other type no value at all.
Variant initialValue(VARTYPE type, uint16_t elements) {
    if (type & VT_ARRAY)
        return Variant::array(type & ~VT_ARRAY, elements);
    if (type == VT_BSTR)
        return Variant::bstr(std::u16string(elements, u' '));
    return Variant();
}

} // namespace

PolledTag::PolledTag(const TagConfig& config)
    : device_(config.device), address_(config.address), bitNumber_(config.bitNumber),
      kind_(config.kind), elements_(config.elements) {
    setName(config.name);
    setAccessRights(config.accessRights);
    setNativeDatatype(config.nativeType);
    setDeviceIOMode(kDeviceIOModeRequest);
    setDescription(config.description);
    getCache()->setValueAndQuality(initialValue(config.nativeType, config.elements),
                                   Quality::kUncertain);
}

void ActiveItems::add(SODaSItem* item) {
    std::lock_guard guard(stripedLock(this));
    items_.push_back(item);
}

bool ActiveItems::removeObject(SODaSItem* item) {
    std::lock_guard guard(stripedLock(this));
    auto at = std::find(items_.begin(), items_.end(), item);
    if (at == items_.end())
        return false;
    items_.erase(at);
    if (items_.empty())
        items_.shrink_to_fit(); // a tag no client watches keeps nothing
    return true;
}

size_t ActiveItems::getCount() const {
    std::lock_guard guard(stripedLock(this));
    return items_.size();
}

TagShape PolledTag::shape() const {
    return TagShape{getNativeDatatype(), elements(), bitNumber_, address_, kind_};
}

} // namespace vorn::modbus
