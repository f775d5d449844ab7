#include "clsModBusType.h"

#include "EditorError.h"
#include "ElementValues.h"
#include "FileText.h"
#include "NodeTree.h"
#include "TypeNames.h"

namespace vorn::editor {
namespace {

std::string quoted(const std::string& value) {
    return "\"" + value + "\"";
}

} // namespace

void clsModBusType::SetByXml(const DomNode& element) {
    const std::string context = "DATATYPE";
    std::string kind = requiredAttribute(element, "name", context);
    std::string display = TypeToDisplay(kind);
    if (display.empty() || display.find(':') != std::string::npos)
        throw EditorError(kErrInvalidValue, "Invalid property value: DATATYPE name \"" + kind +
                                                "\" is not a register kind");
    name_ = display;
    readCode_ =
        toByte(requiredAttribute(element, "readcode", context), "readcode of DATATYPE " + kind);
    writeCode_ =
        toByte(requiredAttribute(element, "writecode", context), "writecode of DATATYPE " + kind);
    singleWrCode_ = toByte(requiredAttribute(element, "singlewrcode", context),
                           "singlewrcode of DATATYPE " + kind);
}

std::string clsModBusType::GetXmlTag() const {
    return indent(2) + "<DATATYPE name=" + quoted(fileAttribute(TypeToFile(name_))) +
           " readcode = " + quoted(std::to_string(readCode_)) +
           " writecode=" + quoted(std::to_string(writeCode_)) +
           " singlewrcode=" + quoted(std::to_string(singleWrCode_)) + "/>" + kLineEnd;
}

void clsModBusType::AddToListView(ListView& list) const {
    ListRow& row = list.addRow(name_, name_);
    row.setSubItem(1, std::to_string(readCode_));
    if (writeCode_ != 0)
        row.setSubItem(2, std::to_string(writeCode_));
    if (singleWrCode_ != 0)
        row.setSubItem(3, std::to_string(singleWrCode_));
    row.largeIcon = list.largeIconKeys.empty() ? std::string() : list.largeIconKeys.front();
    row.smallIcon = kTagItem;
}

} // namespace vorn::editor
