#include "ElementValues.h"

#include "EditorError.h"
#include "FileText.h"

namespace vorn::editor {
namespace {

[[noreturn]] void throwMissing(const std::string& what, const char* name,
                               const std::string& context) {
    throw EditorError(kErrMissingValue,
                      "Missing value: " + what + " \"" + name + "\" of " + context);
}

} // namespace

std::string requiredAttribute(const DomNode& element, const char* name,
                              const std::string& context) {
    if (!element.hasAttribute(name))
        throwMissing("attribute", name, context);
    return element.attribute(name);
}

std::optional<std::string> optionalAttribute(const DomNode& element, const char* name) {
    if (!element.hasAttribute(name))
        return std::nullopt;
    return element.attribute(name);
}

DomNode childElement(const DomNode& element, const char* name) {
    for (DomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (child.isElement() && equalsNoCase(child.name(), name))
            return child;
    }
    return DomNode();
}

std::string elementText(const DomNode& element) {
    std::string text;
    element.textOfFirstChild(text);
    return text;
}

std::string requiredChildText(const DomNode& element, const char* name,
                              const std::string& context) {
    DomNode child = childElement(element, name);
    if (child.isNull())
        throwMissing("element", name, context);
    return elementText(child);
}

std::optional<std::string> optionalChildText(const DomNode& element, const char* name) {
    DomNode child = childElement(element, name);
    if (child.isNull())
        return std::nullopt;
    return elementText(child);
}

} // namespace vorn::editor
