#include "DatatypeRules.h"

#include "fileformat/DatatypeText.h"
#include "modbus/RegisterKind.h"
#include "toolkit/SOCmnString.h"
#include "toolkit/SODaSTag.h"

namespace vorn {

uint8_t registerKindOf(const std::string& datatype) {
    using namespace modbus::RegisterKind;
    const std::string_view kind = format::kindTokenOf(datatype);
    if (kind == "COIL")
        return kCoil;
    if (kind == "INPUTSTATUS")
        return kInputStatus;
    if (kind == "IREGISTER")
        return kInputRegister;
    return kHoldingRegister;
}

VARTYPE nativeTypeOf(const std::string& datatype) {
    struct Rule {
        std::string_view token;
        VARTYPE type;
    };
    static const Rule rules[] = {
        {"VT_BOOL ARRAY", VT_ARRAY | VT_BOOL},
        {"COIL ARRAY", VT_ARRAY | VT_BOOL},
        {"INPUTSTATUS ARRAY", VT_ARRAY | VT_BOOL},
        {"VT_UI1 ARRAY", VT_ARRAY | VT_UI1},
        {"VT_UI2 ARRAY", VT_ARRAY | VT_UI2},
        {"VT_UI4 ARRAY", VT_ARRAY | VT_UI4},
        {"VT_I1 ARRAY", VT_ARRAY | VT_I1},
        {"VT_I2 ARRAY", VT_ARRAY | VT_I2},
        {"VT_I4 ARRAY", VT_ARRAY | VT_I4},
        {"VT_R4 ARRAY", VT_ARRAY | VT_R4},
        {"VT_UI8 ARRAY", VT_ARRAY | VT_UI8},
        {"VT_I8 ARRAY", VT_ARRAY | VT_I8},
        {"VT_R8 ARRAY", VT_ARRAY | VT_R8},
        {"VT_BSTR", VT_BSTR},
        {"VT_BOOL", VT_BOOL},
        {"COIL", VT_BOOL},
        {"INPUTSTATUS", VT_BOOL},
        {"VT_UI2", VT_UI2},
        {"VT_UI4", VT_UI4},
        {"VT_I2", VT_I2},
        {"VT_I4", VT_I4},
        {"VT_R4", VT_R4},
        {"VT_UI8", VT_UI8},
        {"VT_I8", VT_I8},
        {"VT_R8", VT_R8},
    };
    // The token found decides; which token comes first is the file format's rule.
    const std::string_view token = format::typeTokenOf(datatype);
    for (const Rule& rule : rules)
        if (!token.empty() && rule.token == token)
            return rule.type;
    return VT_EMPTY;
}

uint32_t accessRightsOf(const std::string& text) {
    if (SOCmnString::areEqual(text, "WRITE"))
        return AccessRights::kWritable;
    if (SOCmnString::areEqual(text, "READ"))
        return AccessRights::kReadable;
    if (SOCmnString::areEqual(text, "READWRITE"))
        return AccessRights::kReadable | AccessRights::kWritable;
    return 0;
}

} // namespace vorn
