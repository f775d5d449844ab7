#include "ConfigCheck.h"

#include "config/ConfigLoader.h"
#include "config/ConfigTrace.h"
#include "config/DatatypeRules.h"
#include "config/ValueReader.h"
#include "fileformat/ValueSettings.h"
#include "modbus/ModbusTypeTable.h"
#include "modbus/RegisterKind.h"

#include <cctype>
#include <vector>

namespace vorn {
namespace {

constexpr const char* kDatatypeAttributes[] = {"name", "readcode", "writecode", "singlewrcode",
                                               nullptr};
constexpr const char* kTcpPlcAttributes[] = {"name",
                                             "address",
                                             "id",
                                             "timeout",
                                             "port",
                                             "byteorder",
                                             format::kMaxRegistersSetting.name,
                                             format::kMaxBitsSetting.name,
                                             format::kMaxRegisterHoleSetting.name,
                                             format::kMaxBitHoleSetting.name,
                                             format::kReducedAfterSetting.name,
                                             format::kReducedIntervalSetting.name,
                                             format::kConnectPauseSetting.name,
                                             format::kRequestPauseSetting.name,
                                             format::kBackupAddressSetting,
                                             format::kBackupPortSetting.name,
                                             format::kBackupAfterSetting.name,
                                             nullptr};
constexpr const char* kSerialSettings[] = {"name",
                                           "id",
                                           "com",
                                           "baudrate",
                                           "parity",
                                           "stopbits",
                                           "databits",
                                           "flowcontrol",
                                           "timeout",
                                           "silent",
                                           "byteorder",
                                           format::kMaxRegistersSetting.name,
                                           format::kMaxBitsSetting.name,
                                           format::kMaxRegisterHoleSetting.name,
                                           format::kMaxBitHoleSetting.name,
                                           format::kReducedAfterSetting.name,
                                           format::kReducedIntervalSetting.name,
                                           "tags",
                                           nullptr};

const format::DeviceNumberSetting* deviceNumberSetting(const std::string& name) {
    for (const format::DeviceNumberSetting* setting : format::kDeviceNumberSettings)
        if (name == setting->name && !setting->tcpOnly)
            return setting;
    return nullptr;
}
constexpr const char* kTagFields[] = {
    "name",      "comment", "address", "datatype", "accessrights", "databit", "elements",
    "byteorder", "rawlow",  "rawhigh", "eulow",    "euhigh",       "units",   nullptr};
constexpr const char* kNoAttributes[] = {nullptr};
constexpr const char* kParities[] = {"NO", "ODD", "EVEN", nullptr};
constexpr const char* kFlowControls[] = {"NONE", "HARDWARE", nullptr};

constexpr const char* kKindTokens[] = {"COIL", "INPUTSTATUS", "HREGISTER", "IREGISTER", nullptr};
constexpr const char* kTypeTokens[] = {"VT_BOOL", "VT_UI1",  "VT_UI2", "VT_UI4", "VT_UI8",
                                       "VT_I1",   "VT_I2",   "VT_I4",  "VT_I8",  "VT_R4",
                                       "VT_R8",   "VT_BSTR", nullptr};
constexpr const char* kKnownTypes =
    "VT_BOOL, VT_UI2, VT_UI4, VT_UI8, VT_I2, VT_I4, VT_I8, VT_R4, VT_R8, VT_BSTR, or an array "
    "such as VT_I2 ARRAY; see docs/configuration.md";

bool isOneOf(const std::string& text, const char* const* list) {
    for (; *list; ++list)
        if (text == *list)
            return true;
    return false;
}

std::string listOf(const char* const* list) {
    std::string out;
    for (; *list; ++list)
        out += (out.empty() ? "" : ", ") + std::string(*list);
    return out;
}

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text + " ") {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

const char* kindToken(uint8_t kind) {
    using namespace modbus::RegisterKind;
    switch (kind) {
    case kCoil:
        return "COIL";
    case kInputStatus:
        return "INPUTSTATUS";
    case kInputRegister:
        return "IREGISTER";
    default:
        return "HREGISTER";
    }
}

bool isBoolean(VARTYPE type) {
    return (type & ~VT_ARRAY) == VT_BOOL;
}

std::string elementText(const DomNode& element) {
    std::string text;
    readElementText(element, text);
    return text;
}

DomNode childNamed(const DomNode& element, const char* name) {
    for (const DomNode& child : element.children())
        if (child.isElement() && child.name() == name)
            return child;
    return {};
}

} // namespace

ConfigCheck::ConfigCheck(ServerKind kind, const DomDocument& document)
    : kind_(kind), document_(document) {}

void ConfigCheck::warn(const DomNode& at, const std::string& text) {
    if (++warnings_ <= kMaxWarningsShown)
        traceConfigWarning(&document_, at, text);
}

size_t ConfigCheck::check() {
    const char* rootName = rootElementOf(kind_);
    DomNode otherRoot;
    bool found = false;
    for (const DomNode& top : document_.topLevelNodes()) {
        if (!top.isElement())
            continue;
        if (top.name() == rootName) {
            found = true;
            checkRoot(top);
        } else if (otherRoot.isNull()) {
            otherRoot = top;
        }
    }
    if (!found && !otherRoot.isNull())
        warn(otherRoot, "root element " + quotedForTrace(otherRoot.name()) +
                            " is not read: " + nameOf(kind_) + " reads only a root named \"" +
                            rootName + "\", so no device is configured");
    if (warnings_ > kMaxWarningsShown)
        traceConfigWarning(nullptr, DomNode(),
                           std::to_string(warnings_ - kMaxWarningsShown) +
                               " more warnings about elements that load but may not work as "
                               "meant are not shown");
    return warnings_;
}

void ConfigCheck::checkRoot(const DomNode& root) {
    // The loader's own messages cover a root that does not start with MODBUS and OPC_DA.
    DomNode modbus = root.firstChild();
    if (!modbus.isElement() || modbus.name() != "MODBUS")
        return;
    checkModbus(modbus);
    DomNode opcDa = modbus.nextSibling();
    if (!opcDa.isElement() || opcDa.name() != "OPC_DA")
        return;
    for (DomNode extra = opcDa.nextSibling(); !extra.isNull(); extra = extra.nextSibling())
        if (extra.isElement())
            warn(extra, "element <" + extra.name() + "> after OPC_DA is not read");
    checkDevices(opcDa);
}

void ConfigCheck::checkModbus(const DomNode& modbus) {
    for (const DomNode& row : modbus.children()) {
        if (!row.isElement())
            continue;
        if (row.name() != "DATATYPE") {
            warn(row, "element <" + row.name() + "> in MODBUS is not read (only DATATYPE rows)");
            continue;
        }
        checkAttributes(row, "DATATYPE", kDatatypeAttributes);
        std::string name;
        if (readAttributeText(row, "name", name) != ValueState::present) {
            warn(row, "DATATYPE without \"name\" is not read");
            continue;
        }
        const uint8_t kind = registerKindOf(name);
        kindsWithRow_.insert(kind);
        if (!isOneOf(name, kKindTokens))
            warn(row, "DATATYPE name " + quotedForTrace(name) + " is not one of " +
                          listOf(kKindTokens) + ": its function codes are used for " +
                          kindToken(kind));
    }
}

void ConfigCheck::checkDevices(const DomNode& opcDa) {
    for (const DomNode& plc : opcDa.children()) {
        if (!plc.isElement())
            continue;
        if (plc.name() != "PLC")
            warn(plc, "element <" + plc.name() + "> in OPC_DA is not read (only PLC)");
        else if (kind_ == ServerKind::tarnvale)
            checkTcpDevice(plc);
        else
            checkSerialDevice(plc);
    }
}

void ConfigCheck::checkTcpDevice(const DomNode& plc) {
    checkAttributes(plc, "PLC", kTcpPlcAttributes);
    std::string name, address;
    const bool hasName = readAttributeText(plc, "name", name) == ValueState::present;
    const bool hasAddress = readAttributeText(plc, "address", address) == ValueState::present;
    const std::string what = "PLC" + (hasName ? " " + quotedForTrace(name) : std::string());
    const std::string skipped = !hasName      ? "without the attribute \"name\" it is skipped"
                                : !hasAddress ? "without the attribute \"address\" it is skipped"
                                              : "";
    std::string settings;
    for (const DomNode& child : plc.children())
        if (child.isElement() && child.name() != "tags")
            settings += (settings.empty() ? "<" : ", <") + child.name() + ">";
    if (!settings.empty())
        warn(plc, what + ": a Tarnvale PLC takes its settings as attributes (" +
                      listOf(kTcpPlcAttributes) + "); the child elements " + settings +
                      " are not read" + (skipped.empty() ? "" : ", and " + skipped));
    else if (!skipped.empty())
        warn(plc, what + ": " + skipped + " with its tags");
    if (!skipped.empty())
        return;
    for (const format::DeviceNumberSetting* setting : format::kDeviceNumberSettings) {
        std::string text;
        if (readAttributeText(plc, setting->name, text) == ValueState::present)
            checkDeviceNumber(plc, what, *setting, text);
    }
    if (std::string backup;
        readAttributeText(plc, format::kBackupAddressSetting, backup) == ValueState::present &&
        !format::isBackupAddress(backup))
        warn(plc, what + ": " + format::backupAddressMessage(backup, format::Wording::file) +
                      "; the device has no backup address");
    for (const DomNode& child : plc.children())
        if (child.isElement() && child.name() == "tags") {
            checkAttributes(child, "tags", kNoAttributes);
            checkTagContent(child, name, 1);
        }
}

void ConfigCheck::checkSerialDevice(const DomNode& plc) {
    DomNode name = childNamed(plc, "name");
    DomNode com = childNamed(plc, "com");
    const std::string deviceName = elementText(name);
    const std::string what = "PLC" + (deviceName.empty() ? "" : " " + quotedForTrace(deviceName));
    const bool hasPort = !com.isNull() && !elementText(com).empty();
    std::string attributes;
    for (const std::string& attribute : plc.attributeNames())
        attributes += (attributes.empty() ? "" : ", ") + attribute;
    if (!attributes.empty())
        warn(plc, what +
                      ": a Rennick PLC takes its settings as child elements (<name>, <com>, "
                      "<baudrate>, ...); the attributes " +
                      attributes + " are not read" +
                      (hasPort ? "" : ", and without <com> the device is skipped"));
    else if (!hasPort)
        warn(plc, what + ": without <com> the device is skipped with its tags");
    else if (deviceName.empty())
        warn(plc, "PLC on " + quotedForTrace(elementText(com)) +
                      " has no <name>: only its port settings are used, no device is added");

    DomNode lastTags;
    for (const DomNode& setting : plc.children()) {
        if (!setting.isElement())
            continue;
        const std::string settingName = setting.name();
        if (!isOneOf(settingName, kSerialSettings)) {
            warn(setting, what + ": element <" + settingName +
                              "> is not read (settings: " + listOf(kSerialSettings) + ")");
        } else if (settingName == "parity") {
            checkSerialText(setting, kParities, "the port runs without parity");
        } else if (settingName == "flowcontrol") {
            checkSerialText(setting, kFlowControls, "the port runs without flow control");
        } else if (const format::DeviceNumberSetting* number = deviceNumberSetting(settingName)) {
            checkDeviceNumber(setting, what, *number, elementText(setting));
        } else if (settingName == "tags") {
            if (!lastTags.isNull())
                warn(lastTags, what + ": only the last <tags> of a PLC is read; these are not");
            lastTags = setting;
        }
    }
    if (hasPort && !deviceName.empty() && !lastTags.isNull()) {
        checkAttributes(lastTags, "tags", kNoAttributes);
        checkTagContent(lastTags, deviceName, 1);
    }
}

void ConfigCheck::checkDeviceNumber(const DomNode& at, const std::string& what,
                                    const format::DeviceNumberSetting& setting,
                                    const std::string& text) {
    if (!format::deviceNumber(text, setting))
        warn(at, what + ": " + format::deviceNumberMessage(setting, text, format::Wording::file) +
                     "; the device keeps " + std::to_string(setting.defaultValue));
}

void ConfigCheck::checkSerialText(const DomNode& setting, const char* const* accepted,
                                  const std::string& consequence) {
    const std::string text = elementText(setting);
    if (!isOneOf(text, accepted))
        warn(setting, setting.name() + " " + quotedForTrace(text) + " is not one of " +
                          listOf(accepted) + ": " + consequence);
}

void ConfigCheck::checkTagContent(const DomNode& parent, const std::string& path, unsigned depth) {
    for (const DomNode& element : parent.children()) {
        if (element.isText() && element.value().find_first_not_of(" \t\r\n") != std::string::npos &&
            parent.name() != "tags")
            warn(parent, "branch " + quotedForTrace(path) + " holds text " +
                             quotedForTrace(element.value()) +
                             ", which is not read (a tag's values belong inside <tag>)");
        if (!element.isElement())
            continue;
        const std::string name = element.name();
        if (name == "tag") {
            checkTag(element, path);
            continue;
        }
        if (depth >= ConfigLoader::kMaxBranchDepth)
            continue; // the loader names the branch it cuts off
        const std::string branchPath = path + "." + name;
        if (name.size() == 3 && upper(name) == "TAG")
            warn(element, "element <" + name + "> makes a branch " + quotedForTrace(branchPath) +
                              ": tags are written <tag> (names are case-sensitive)");
        checkAttributes(element, "branch " + quotedForTrace(branchPath), kNoAttributes);
        checkTagContent(element, branchPath, depth + 1);
    }
}

void ConfigCheck::checkTag(const DomNode& tag, const std::string& path) {
    DomNode nameField = childNamed(tag, "name");
    const std::string what = "tag " + quotedForTrace(path + "." + elementText(nameField));
    checkAttributes(tag, what, kNoAttributes);
    for (const DomNode& field : tag.children())
        if (field.isElement() && !isOneOf(field.name(), kTagFields))
            warn(field, what + ": element <" + field.name() +
                            "> is not read (tag elements: " + listOf(kTagFields) + ")");

    DomNode datatypeField = childNamed(tag, "datatype");
    const std::string datatype = elementText(datatypeField);
    if (datatype.empty())
        warn(tag, what + " has no <datatype>: it loads as a holding register without a type "
                         "(VT_EMPTY) and carries no value");
    else
        checkDatatype(datatypeField, what, datatype);
    const uint8_t kind = registerKindOf(datatype);
    const VARTYPE type = nativeTypeOf(datatype);
    if (!datatype.empty())
        checkFunctionCodes(datatypeField, kind);

    DomNode accessField = childNamed(tag, "accessrights");
    const std::string access = elementText(accessField);
    if (accessRightsOf(access) == 0)
        warn(accessField.isNull() ? tag : accessField,
             what +
                 (access.empty() ? " has no <accessrights>"
                                 : ": accessrights " + quotedForTrace(access) +
                                       " is not READ, WRITE or READWRITE") +
                 ": clients can neither read nor write the tag");

    // Bounds that make no scale are the loader's to refuse; a unit without any loads unused.
    DomNode unitsField = childNamed(tag, format::kUnitsElement);
    bool hasBound = false;
    for (const format::ScalingBound& bound : format::kScalingBounds)
        hasBound = hasBound || !childNamed(tag, bound.element).isNull();
    if (!elementText(unitsField).empty() && !hasBound)
        warn(unitsField, what + ": " + format::unitsWithoutScalingMessage(format::Wording::file) +
                             "; the tag is served without it");

    DomNode bitField = childNamed(tag, "databit");
    uint32_t bit = 0;
    if (!bitField.isNull() && toUnsigned(elementText(bitField), 16, bit) == ValueState::present) {
        // A databit beyond a register's 16 bits is the loader's to refuse.
        if (type != VT_EMPTY && !isBoolean(type))
            warn(bitField, what + ": databit is used only by VT_BOOL tags in registers; this " +
                               vartypeName(type) + " tag ignores it");
    }

    DomNode elementsField = childNamed(tag, "elements");
    uint32_t elements = 0;
    const bool hasElements = !elementsField.isNull() && toUnsigned(elementText(elementsField), 16,
                                                                   elements) == ValueState::present;
    if (!elementsField.isNull() && !hasElements)
        return; // the loader names the bad number and skips the tag
    if ((type & VT_ARRAY) || type == VT_BSTR) {
        if (elements == 0)
            warn(elementsField.isNull() ? tag : elementsField,
                 what + ": a " + vartypeName(type) + " tag needs <elements> (" +
                     (type == VT_BSTR ? "characters" : "array elements") +
                     "); without it the tag holds nothing");
    } else if (hasElements && type != VT_EMPTY) {
        warn(elementsField, what + ": elements is used only by ARRAY and VT_BSTR tags; this " +
                                vartypeName(type) + " tag ignores it");
    }
}

void ConfigCheck::checkDatatype(const DomNode& at, const std::string& what,
                                const std::string& datatype) {
    const uint8_t kind = registerKindOf(datatype);
    const VARTYPE type = nativeTypeOf(datatype);
    std::string remarks;
    auto remark = [&](const std::string& text) { remarks += (remarks.empty() ? "" : "; ") + text; };

    bool unknownWord = false;
    for (const std::string& word : wordsOf(datatype)) {
        if (isOneOf(word, kKindTokens) || isOneOf(word, kTypeTokens) || word == "ARRAY")
            continue;
        unknownWord = true;
        const std::string meant = upper(word);
        if (isOneOf(meant, kKindTokens) || isOneOf(meant, kTypeTokens) || meant == "ARRAY")
            remark(quotedForTrace(word) +
                   " is not a token (they are case-sensitive: " + quotedForTrace(meant) + ")");
        else
            remark(quotedForTrace(word) + " is no register kind (" + listOf(kKindTokens) +
                   ") and no type token");
    }
    for (const std::string& word : wordsOf(datatype))
        if ((word == "VT_UI1" || word == "VT_I1") && !(type & VT_ARRAY))
            remark(word + " exists only as an ARRAY (" + word + " ARRAY)");
    if (type == VT_EMPTY) {
        remark(std::string("no known data type (") + kKnownTypes +
               "): the tag loads without a type (VT_EMPTY) and carries no value");
    } else {
        if (modbus::isBitKind(kind))
            for (const std::string& word : wordsOf(datatype))
                if (isOneOf(word, kTypeTokens) && word != "VT_BOOL")
                    remark(std::string("a ") + kindToken(kind) + " tag is always VT_BOOL; " +
                           quotedForTrace(word) + " is not used");
        if (datatype.find("ARRAY") != std::string::npos && !(type & VT_ARRAY))
            remark("\"ARRAY\" is not used: there is no array of " + vartypeName(type));
        if (unknownWord)
            remark(std::string("the tag loads as ") + kindToken(kind) + " " + vartypeName(type));
    }
    if (!remarks.empty())
        warn(at, what + ": datatype " + quotedForTrace(datatype) + ": " + remarks);
}

void ConfigCheck::checkFunctionCodes(const DomNode& at, uint8_t kind) {
    if (kindsWithRow_.count(kind) || !kindsReported_.insert(kind).second)
        return;
    const modbus::FunctionCodes codes = modbus::ModbusTypeTable().lookup(kind);
    std::string text = std::string("no DATATYPE row for ") + kindToken(kind) +
                       " in MODBUS: " + kindToken(kind) + " tags use the default function code";
    if (modbus::isWritableKind(kind)) {
        text += "s: read " + std::to_string(codes.read) + ", write " + std::to_string(codes.write) +
                (codes.singleWrite ? ", single write " + std::to_string(codes.singleWrite)
                                   : std::string(", no single write"));
    } else {
        text += " " + std::to_string(codes.read) + " to read";
    }
    warn(at, text);
}

void ConfigCheck::checkAttributes(const DomNode& element, const std::string& what,
                                  const char* const* known) {
    std::string unknown;
    for (const std::string& attribute : element.attributeNames())
        if (!isOneOf(attribute, known))
            unknown += (unknown.empty() ? "" : ", ") + attribute;
    if (unknown.empty())
        return;
    const std::string accepted = listOf(known);
    warn(element, what + ": attribute" + (unknown.find(',') == std::string::npos ? " " : "s ") +
                      unknown + " not read" +
                      (accepted.empty() ? " (it takes none)" : " (it takes " + accepted + ")"));
}

} // namespace vorn
