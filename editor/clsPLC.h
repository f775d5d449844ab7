// One device (a "unit" to the user). Tarnvale devices use the address and port, Rennick
// devices the serial settings and the silent interval; the other fields keep their initial
// values, the servers' defaults.
#pragma once

#include "DeviceAdvanced.h"
#include "ListView.h"
#include "fileformat/ConfigFormat.h"
#include "fileformat/ValueSettings.h"
#include "platform/XmlDom.h"

#include <cstdint>
#include <string>

namespace vorn::editor {

class clsPLC {
public:
    void setAddress(const std::string& address) { address_ = address; }
    const std::string& getAddress() const { return address_; }
    // The key equals the name; SetByXml sets it.
    const std::string& sKey() const { return key_; }
    void setUI(uint8_t ui) { ui_ = ui; }
    uint8_t getUI() const { return ui_; }
    void setName(const std::string& name) { name_ = name; }
    const std::string& getName() const { return name_; }
    void setCom(const std::string& com) { com_ = com; }
    const std::string& getCom() const { return com_; }
    void setBaud(int32_t baud) { baud_ = baud; }
    int32_t getBaud() const { return baud_; }
    void setParity(const std::string& parity) { parity_ = parity; }
    const std::string& getParity() const { return parity_; }
    void setStopBits(uint8_t bits) { stopBits_ = bits; }
    uint8_t getStopBits() const { return stopBits_; }
    void setDataBits(uint8_t bits) { dataBits_ = bits; }
    uint8_t getDataBits() const { return dataBits_; }
    void setTimeout(uint32_t ms) { timeout_ = ms; }
    uint32_t getTimeout() const { return timeout_; }
    void setSilent(uint32_t ms) { silent_ = ms; }
    uint32_t getSilent() const { return silent_; }
    void setFlowCtl(const std::string& flow) { flowCtl_ = flow; }
    const std::string& getFlowCtl() const { return flowCtl_; }
    // TCP port of a Tarnvale device.
    void setPort(uint16_t port) { port_ = port; }
    uint16_t getPort() const { return port_; }
    // The order of the device's multi-byte values, by name ("CDAB"); ABCD unless set.
    void setByteOrder(const std::string& order) { byteOrder_ = order; }
    const std::string& getByteOrder() const { return byteOrder_; }
    // Read limits, reduced rate, pauses and backup address ("Advanced..." in the unit dialog).
    void setAdvanced(const DeviceAdvanced& advanced) { advanced_ = advanced; }
    const DeviceAdvanced& getAdvanced() const { return advanced_; }

    // Fills the device from a "PLC" element of a configuration of `serverKind`. Throws
    // EditorError for a missing required value or a number that does not convert.
    void SetByXml(const DomNode& element, const std::string& serverKind);
    void AddToListView(ListView& list) const;
    // The "PLC" start tag and, for Rennick, its setting lines; with line ends.
    std::string GetXmlTag(const std::string& serverKind) const;

    // Makes the key follow the name (after a rename by a dialog).
    void keyFromName() { key_ = name_; }
    // The name the file and the servers give the unit. It differs from the name shown only for
    // a second unit of one name, which the editor shows under a name of its own.
    void setServedName(const std::string& name) { servedName_ = name; }
    const std::string& servedName() const { return servedName_.empty() ? name_ : servedName_; }

private:
    // One child element of a Rennick "PLC"; other names are ignored.
    void applySerialSetting(const std::string& element, const std::string& value,
                            const std::string& context);

    // A setting the file leaves out keeps the value the servers take for it.
    std::string address_;
    std::string key_;
    uint8_t ui_ = format::kDefaultUnitId;
    std::string name_;
    std::string servedName_; // empty: the name shown
    std::string com_;
    int32_t baud_ = format::kDefaultBaudRate;
    std::string parity_ = format::kDefaultParity;
    uint8_t stopBits_ = format::kDefaultStopBits;
    uint8_t dataBits_ = format::kDefaultDataBits;
    uint32_t timeout_ = format::kDefaultTimeoutMs;
    uint32_t silent_ = format::kDefaultSilentMs;
    std::string flowCtl_ = format::kDefaultFlowControl;
    uint16_t port_ = 502;
    std::string byteOrder_ = format::kDefaultByteOrder;
    DeviceAdvanced advanced_;
};

} // namespace vorn::editor
