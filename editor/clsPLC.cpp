#include "clsPLC.h"

#include "EditorError.h"
#include "ElementValues.h"
#include "FileText.h"
#include "NodeTree.h"
#include "ServerKind.h"

#include <functional>
#include <utility>

namespace vorn::editor {
namespace {

std::string quoted(const std::string& value) {
    return "\"" + value + "\"";
}

std::string settingLine(const char* element, const std::string& value) {
    return indent(3) + "<" + element + ">" + value + "</" + element + ">" + kLineEnd;
}

} // namespace

void clsPLC::SetByXml(const DomNode& element, const std::string& serverKind) {
    if (serverKind == kTarnvale) {
        name_ = requiredAttribute(element, "name", "PLC");
        const std::string context = "PLC " + name_;
        address_ = requiredAttribute(element, "address", context);
        ui_ = toByte(requiredAttribute(element, "id", context), "id of " + context);
        timeout_ = toLong(requiredAttribute(element, "timeout", context), "timeout of " + context);
        if (auto port = optionalAttribute(element, "port"))
            port_ = toPort(*port, "port of " + context);
    } else {
        // Settings come in any order; missing ones keep their value, except the name, which
        // is the device's key.
        if (childElement(element, "name").isNull())
            throw EditorError(kErrMissingValue, "Missing value: element \"name\" of PLC");
        using Setter = std::function<void(const std::string&, const std::string&)>;
        const std::pair<const char*, Setter> settings[] = {
            {"NAME", [this](const std::string& v, const std::string&) { name_ = v; }},
            {"ID",
             [this](const std::string& v, const std::string& c) { ui_ = toByte(v, "id of " + c); }},
            {"COM", [this](const std::string& v, const std::string&) { com_ = v; }},
            {"BAUDRATE", [this](const std::string& v,
                                const std::string& c) { baud_ = toLong(v, "baudrate of " + c); }},
            {"PARITY", [this](const std::string& v, const std::string&) { parity_ = v; }},
            {"STOPBITS",
             [this](const std::string& v, const std::string& c) {
                 stopBits_ = toByte(v, "stopbits of " + c);
             }},
            {"DATABITS",
             [this](const std::string& v, const std::string& c) {
                 dataBits_ = toByte(v, "databits of " + c);
             }},
            {"FLOWCONTROL", [this](const std::string& v, const std::string&) { flowCtl_ = v; }},
            {"TIMEOUT", [this](const std::string& v,
                               const std::string& c) { timeout_ = toLong(v, "timeout of " + c); }},
            {"SILENT", [this](const std::string& v,
                              const std::string& c) { silent_ = toLong(v, "silent of " + c); }},
        };
        name_ = elementText(childElement(element, "name"));
        const std::string context = "PLC " + name_;
        for (DomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling()) {
            if (!child.isElement())
                continue;
            for (const auto& [name, set] : settings) {
                if (equalsNoCase(child.name(), name)) {
                    set(elementText(child), context);
                    break;
                }
            }
        }
    }
    if (name_.empty())
        throw EditorError(kErrMissingValue, "Missing value: PLC without a name");
    key_ = name_;
}

void clsPLC::AddToListView(ListView& list) const {
    ListRow& row = list.addRow(name_, name_);
    row.setSubItem(1, std::to_string(ui_));
    row.largeIcon = kTagPlc;
    row.smallIcon = kTagPlc;
}

std::string clsPLC::GetXmlTag(const std::string& serverKind) const {
    if (serverKind == kTarnvale) {
        std::string line = indent(2) + "<PLC name=" + quoted(fileAttribute(name_)) +
                           " address = " + quoted(fileAttribute(address_)) +
                           " id=" + quoted(std::to_string(ui_)) +
                           " timeout=" + quoted(std::to_string(timeout_));
        if (port_ != kDefaultModbusPort)
            line += " port=" + quoted(std::to_string(port_));
        return line + ">" + kLineEnd;
    }
    return indent(2) + "<PLC>" + kLineEnd + settingLine("name", fileText(name_)) +
           settingLine("id", std::to_string(ui_)) + settingLine("com", fileText(com_)) +
           settingLine("baudrate", std::to_string(baud_)) +
           settingLine("parity", fileText(parity_)) +
           settingLine("stopbits", std::to_string(stopBits_)) +
           settingLine("databits", std::to_string(dataBits_)) +
           settingLine("flowcontrol", fileText(flowCtl_)) +
           settingLine("timeout", std::to_string(timeout_)) +
           settingLine("silent", std::to_string(silent_));
}

} // namespace vorn::editor
