#include "PolledTag.h"

#include "toolkit/EngineeringUnits.h"
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

VARTYPE servedType(const TagConfig& config) {
    return config.scaling ? static_cast<VARTYPE>((config.nativeType & VT_ARRAY) | VT_R8)
                          : config.nativeType;
}

} // namespace

PolledTag::PolledTag(const TagConfig& config)
    : device_(config.device), address_(config.address), bitNumber_(config.bitNumber),
      kind_(config.kind), byteOrder_(config.byteOrder), elements_(config.elements),
      scaled_(config.scaling
                  ? std::make_unique<const ScaledRegisters>(*config.scaling, config.nativeType)
                  : nullptr) {
    setName(config.name);
    setAccessRights(config.accessRights);
    setNativeDatatype(servedType(config));
    setDeviceIOMode(kDeviceIOModeRequest);
    setDescription(config.description);
    if (config.scaling)
        setEngineeringUnits(
            *this, EngineeringUnits{config.scaling->euLow, config.scaling->euHigh, config.units});
    getCache()->setValueAndQuality(initialValue(servedType(config), config.elements),
                                   Quality::kUncertain);
}

TagConfig PolledTag::config() const {
    TagConfig config;
    config.name = getName();
    getDescription(config.description);
    config.address = address_;
    config.bitNumber = bitNumber_;
    config.kind = kind_;
    config.nativeType = registerType();
    config.elements = elements();
    config.accessRights = getAccessRights();
    config.device = device_;
    config.byteOrder = byteOrder_;
    if (scaled_) {
        config.scaling = scaled_->scaling;
        if (auto units = engineeringUnitsOf(*this))
            config.units = units->units;
    }
    return config;
}

void ActiveItems::add(SODaSItem* item) {
    std::lock_guard guard(stripedLock(this));
    if (!first_ && more_.empty())
        first_ = item;
    else
        more_.push_back(item);
}

bool ActiveItems::removeObject(SODaSItem* item) {
    std::lock_guard guard(stripedLock(this));
    if (first_ && first_ == item) {
        // The next in order takes the first place.
        first_ = more_.empty() ? nullptr : more_.front();
        if (!more_.empty())
            more_.erase(more_.begin());
    } else {
        auto at = std::find(more_.begin(), more_.end(), item);
        if (at == more_.end())
            return false;
        more_.erase(at);
    }
    if (more_.empty())
        more_.shrink_to_fit(); // a tag watched by one item or none keeps nothing
    return true;
}

std::vector<SOCmnPointer<SODaSItem>> ActiveItems::snapshot() const {
    // An item leaves the list before it is released, so each is alive while the lock is held.
    std::lock_guard guard(stripedLock(this));
    std::vector<SOCmnPointer<SODaSItem>> items;
    if (first_)
        items.push_back(SOCmnPointer<SODaSItem>::share(first_));
    for (SODaSItem* item : more_)
        items.push_back(SOCmnPointer<SODaSItem>::share(item));
    return items;
}

size_t ActiveItems::getCount() const {
    std::lock_guard guard(stripedLock(this));
    return (first_ ? 1 : 0) + more_.size();
}

TagShape PolledTag::shape() const {
    return TagShape{registerType(), elements(), bitNumber_, address_, kind_, byteOrder_, scaling()};
}

} // namespace vorn::modbus
