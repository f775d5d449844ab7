#include "ValueSettings.h"

#include "modbus/RegisterKind.h"
#include "modbus/TagShape.h"

namespace vorn {
namespace {

using format::Wording;

bool isBitTag(const TagConfig& tag) {
    return modbus::isBitKind(tag.kind) || (tag.nativeType & ~VT_ARRAY) == VT_BOOL;
}

// Numbers in registers: every type with a width of its own except bits, bytes of strings.
bool isNumberInRegisters(const TagConfig& tag) {
    return !isBitTag(tag) && tag.nativeType != VT_BSTR &&
           modbus::elementBytes(tag.nativeType & ~VT_ARRAY) != 0;
}

} // namespace

std::optional<modbus::ByteOrder> byteOrderNamed(const std::string& text) {
    const std::optional<size_t> index = format::byteOrderIndex(text);
    if (!index)
        return std::nullopt;
    constexpr modbus::ByteOrder kOrders[] = {modbus::ByteOrder::abcd, modbus::ByteOrder::cdab,
                                             modbus::ByteOrder::badc, modbus::ByteOrder::dcba};
    return kOrders[*index];
}

bool TagValueSettings::take(const DomNode& field, const std::string& name,
                            const std::string& text) {
    if (name == format::kByteOrderSetting) {
        order_ = text;
        orderAt_ = field;
        return true;
    }
    if (name == format::kUnitsElement) {
        units_ = text;
        return true;
    }
    for (size_t at = 0; at < format::kScalingBounds.size(); ++at) {
        if (name == format::kScalingBounds[at].element) {
            bounds_[at] = text;
            boundAt_[at] = field;
            return true;
        }
    }
    return false;
}

std::optional<SettingProblem> TagValueSettings::applyTo(TagConfig& tag,
                                                        const DomNode& tagElement) const {
    if (order_) {
        const std::optional<modbus::ByteOrder> order = byteOrderNamed(*order_);
        if (!order)
            return SettingProblem{format::unknownByteOrderMessage(*order_, Wording::file),
                                  orderAt_};
        if (isBitTag(tag))
            return SettingProblem{format::byteOrderOnBitsMessage(Wording::file), orderAt_};
        tag.byteOrder = *order;
    } else if (tag.device) {
        tag.byteOrder = tag.device->byteOrder;
    }

    const format::ScalingCheck check = format::checkScaling(bounds_, Wording::file);
    if (!check.problem.empty()) {
        const DomNode at = check.offending ? boundAt_[*check.offending] : tagElement;
        return SettingProblem{check.problem, at};
    }
    if (!check.scaled)
        return std::nullopt;
    if (!isNumberInRegisters(tag))
        return SettingProblem{format::scalingOnBitsOrTextMessage(Wording::file), boundAt_[0]};
    tag.scaling = modbus::Scaling{check.bounds.rawLow, check.bounds.rawHigh, check.bounds.euLow,
                                  check.bounds.euHigh};
    tag.units = units_;
    return std::nullopt;
}

} // namespace vorn
