#include "ValueReader.h"

#include "platform/Variant.h"

namespace vorn {

ValueState readAttributeText(const DomNode& element, const char* name, std::string& text) {
    // An empty attribute has no text node, so it is absent like a missing one.
    if (!element.hasAttribute(name))
        return ValueState::absent;
    text = element.attribute(name);
    return text.empty() ? ValueState::absent : ValueState::present;
}

ValueState readElementText(const DomNode& element, std::string& text) {
    return element.textOfFirstChild(text) ? ValueState::present : ValueState::absent;
}

ValueState toUnsigned(const std::string& text, unsigned bits, uint32_t& value) {
    const VARTYPE type = bits == 8 ? VT_UI1 : bits == 16 ? VT_UI2 : VT_UI4;
    Variant number = Variant::bstrFromUtf8(text);
    if (number.changeType(type) != ChangeResult::ok)
        return ValueState::invalid;
    value = static_cast<uint32_t>(number.asInt64());
    return ValueState::present;
}

} // namespace vorn
