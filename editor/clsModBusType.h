// One Modbus type: the function codes used for one register kind. Its name is the kind's
// display name ("holding register"), which is also its key.
#pragma once

#include "ListView.h"
#include "platform/XmlDom.h"

#include <cstdint>
#include <string>

namespace vorn::editor {

class clsModBusType {
public:
    void setName(const std::string& name) { name_ = name; }
    const std::string& getName() const { return name_; }
    void setReadCode(uint8_t code) { readCode_ = code; }
    uint8_t getReadCode() const { return readCode_; }
    void setWriteCode(uint8_t code) { writeCode_ = code; }
    uint8_t getWriteCode() const { return writeCode_; }
    void setSingleWrCode(uint8_t code) { singleWrCode_ = code; }
    uint8_t getSingleWrCode() const { return singleWrCode_; }

    // Fills the type from a "DATATYPE" element; every attribute is required. Throws EditorError.
    void SetByXml(const DomNode& element);
    // The "DATATYPE" line of the file, with its line end.
    std::string GetXmlTag() const;
    void AddToListView(ListView& list) const;

private:
    std::string name_;
    uint8_t readCode_ = 0;
    uint8_t writeCode_ = 0;
    uint8_t singleWrCode_ = 0;
};

} // namespace vorn::editor
