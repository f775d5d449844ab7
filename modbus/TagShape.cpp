#include "TagShape.h"

#include "RegisterKind.h"

namespace vorn::modbus {

size_t elementBytes(VARTYPE elementType) {
    switch (elementType) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_R4:
        return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
        return 8;
    default:
        return 0;
    }
}

VARTYPE servedType(const TagShape& tag) {
    return tag.scaling ? static_cast<VARTYPE>((tag.nativeType & VT_ARRAY) | VT_R8) : tag.nativeType;
}

size_t orderedWidth(VARTYPE type) {
    if (type == VT_BSTR)
        return 2;
    const size_t width = elementBytes(type & ~VT_ARRAY);
    return width == 1 ? 2 : width;
}

size_t unitCount(const TagShape& tag) {
    return unitCountForLength(tag, tag.elements);
}

size_t unitCountForLength(const TagShape& tag, size_t length) {
    if (!isKnownKind(tag.kind))
        return 0;
    const bool isArray = (tag.nativeType & VT_ARRAY) != 0;
    if (isBitKind(tag.kind))
        return isArray ? length : 1;
    switch (tag.nativeType) {
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 1;
    case VT_I4:
    case VT_UI4:
    case VT_R4:
        return 2;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
        return 4;
    case VT_BSTR:
    case VT_ARRAY | VT_I1:
    case VT_ARRAY | VT_UI1:
        return (length + 1) / 2;
    case VT_ARRAY | VT_I2:
    case VT_ARRAY | VT_UI2:
        return length;
    case VT_ARRAY | VT_I4:
    case VT_ARRAY | VT_UI4:
    case VT_ARRAY | VT_R4:
        return 2 * length;
    case VT_ARRAY | VT_I8:
    case VT_ARRAY | VT_UI8:
    case VT_ARRAY | VT_R8:
        return 4 * length;
    case VT_ARRAY | VT_BOOL:
        return (length + tag.bitNumber + 15) / 16;
    default:
        return 0;
    }
}

} // namespace vorn::modbus
