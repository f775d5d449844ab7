#include "clsPLC.h"

#include "ConnectionText.h"
#include "EditorError.h"
#include "ElementValues.h"
#include "FileText.h"
#include "NodeTree.h"
#include "fileformat/ConfigFormat.h"
#include "fileformat/ValueSettings.h"

namespace vorn::editor {
namespace {

std::string quoted(const std::string& value) {
    return "\"" + value + "\"";
}

// The servers skip a unit whose address or port they cannot read, so such a file is refused
// here rather than shown as if it would run. What they read otherwise than it looks is kept
// as written and named when the file is opened.
void checkAddress(const std::string& address, const std::string& context) {
    if (!servedIpv4Address(address))
        throw EditorError(kErrInvalidValue, "Invalid property value: address of " + context +
                                                " \"" + address + "\" is not an IPv4 address");
}

void checkComPort(const std::string& com, const std::string& context) {
    if (!isServedPortName(com))
        throw EditorError(kErrInvalidValue, "Invalid property value: com of " + context + " \"" +
                                                com + "\" is no port name of 1 to 9 characters");
}

// A unit whose byte order the servers do not know is skipped by them with all its tags.
void checkByteOrder(const std::string& order, const std::string& context) {
    if (!format::byteOrderIndex(order))
        throw EditorError(kErrInvalidValue,
                          "Invalid property value: " + context + ": " +
                              format::unknownByteOrderMessage(order, format::Wording::file));
}

std::string settingLine(const char* element, const std::string& value) {
    return indent(3) + "<" + element + ">" + value + "</" + element + ">" + kLineEnd;
}

} // namespace

void clsPLC::SetByXml(const DomNode& element, const std::string& serverKind) {
    if (serverKind == format::kTarnvaleName) {
        name_ = requiredAttribute(element, "name", "PLC");
        const std::string context = "PLC " + name_;
        address_ = requiredAttribute(element, "address", context);
        // The servers take an empty attribute for a missing one.
        if (auto id = optionalAttribute(element, "id"); id && !id->empty())
            ui_ = toByte(*id, "id of " + context);
        if (auto timeout = optionalAttribute(element, "timeout"); timeout && !timeout->empty())
            timeout_ = toMilliseconds(*timeout, "timeout of " + context);
        if (auto port = optionalAttribute(element, "port"))
            port_ = toPort(*port, "port of " + context);
        if (auto order = optionalAttribute(element, format::kByteOrderSetting))
            byteOrder_ = *order;
        for (const AdvancedSetting& setting : DeviceAdvanced::settingsFor(serverKind))
            if (auto value = optionalAttribute(element, setting.name.c_str()))
                advanced_.take(setting.name, *value);
        checkAddress(address_, context);
    } else {
        // Settings come in any order; missing ones keep their value, except the name, which
        // is the device's key.
        if (childElement(element, "name").isNull())
            throw EditorError(kErrMissingValue, "Missing value: element \"name\" of PLC");
        name_ = elementText(childElement(element, "name"));
        const std::string context = "PLC " + name_;
        for (DomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling()) {
            // An empty setting is a missing one to the servers.
            const std::string value = child.isElement() ? elementText(child) : std::string();
            if (!value.empty() && !equalsNoCase(child.name(), "NAME"))
                applySerialSetting(child.name(), value, context);
        }
        checkComPort(com_, context);
    }
    checkByteOrder(byteOrder_, "PLC " + name_);
    if (name_.empty())
        throw EditorError(kErrMissingValue, "Missing value: PLC without a name");
    key_ = name_;
}

void clsPLC::applySerialSetting(const std::string& element, const std::string& value,
                                const std::string& context) {
    if (equalsNoCase(element, "NAME"))
        name_ = value;
    else if (equalsNoCase(element, "ID"))
        ui_ = toByte(value, "id of " + context);
    else if (equalsNoCase(element, "COM"))
        com_ = value;
    else if (equalsNoCase(element, "BAUDRATE"))
        baud_ = toLong(value, "baudrate of " + context);
    else if (equalsNoCase(element, "PARITY"))
        parity_ = value;
    else if (equalsNoCase(element, "STOPBITS"))
        stopBits_ = toByte(value, "stopbits of " + context);
    else if (equalsNoCase(element, "DATABITS"))
        dataBits_ = toByte(value, "databits of " + context);
    else if (equalsNoCase(element, "FLOWCONTROL"))
        flowCtl_ = value;
    else if (equalsNoCase(element, "TIMEOUT"))
        timeout_ = toMilliseconds(value, "timeout of " + context);
    else if (equalsNoCase(element, "SILENT"))
        silent_ = toMilliseconds(value, "silent of " + context);
    else if (equalsNoCase(element, format::kByteOrderSetting))
        byteOrder_ = value;
    else
        advanced_.take(element, value);
}

void clsPLC::AddToListView(ListView& list) const {
    ListRow& row = list.addRow(name_, name_);
    row.setSubItem(1, std::to_string(ui_));
    row.largeIcon = kTagPlc;
    row.smallIcon = kTagPlc;
}

std::string clsPLC::GetXmlTag(const std::string& serverKind) const {
    if (serverKind == format::kTarnvaleName) {
        std::string line = indent(2) + "<PLC name=" + quoted(fileAttribute(servedName())) +
                           " address = " + quoted(fileAttribute(address_)) +
                           " id=" + quoted(std::to_string(ui_)) +
                           " timeout=" + quoted(std::to_string(timeout_));
        if (port_ != format::kDefaultModbusTcpPort)
            line += " port=" + quoted(std::to_string(port_));
        if (byteOrder_ != format::kDefaultByteOrder)
            line += std::string(" ") + format::kByteOrderSetting + "=" + quoted(byteOrder_);
        return line + advanced_.attributesText() + ">" + kLineEnd;
    }
    // Settings at their defaults are not written, so that older files re-save unchanged.
    const std::string order = byteOrder_ != format::kDefaultByteOrder
                                  ? settingLine(format::kByteOrderSetting, byteOrder_)
                                  : std::string();
    return indent(2) + "<PLC>" + kLineEnd + settingLine("name", fileText(servedName())) +
           settingLine("id", std::to_string(ui_)) + settingLine("com", fileText(com_)) +
           settingLine("baudrate", std::to_string(baud_)) +
           settingLine("parity", fileText(parity_)) +
           settingLine("stopbits", std::to_string(stopBits_)) +
           settingLine("databits", std::to_string(dataBits_)) +
           settingLine("flowcontrol", fileText(flowCtl_)) +
           settingLine("timeout", std::to_string(timeout_)) +
           settingLine("silent", std::to_string(silent_)) + order +
           advanced_.elementLines(indent(3), kLineEnd);
}

} // namespace vorn::editor
