// The byte order lists of the unit and item dialogs: the four orders with what each means
// ("CDAB - low word first"), and for an item "Device default" first. Items and units keep the
// order's name as the file writes it ("CDAB"); an item following its unit keeps none.
#pragma once

#include <string>
#include <vector>

namespace vorn::editor {

inline constexpr const char* kDeviceDefaultChoice = "Device default";

// The unit dialog's list (ABCD first, the default), or the item dialog's with "Device default"
// before it.
const std::vector<std::string>& byteOrderChoices(bool withDeviceDefault);
// "CDAB" for "CDAB - low word first"; empty for "Device default" and any other text.
std::string byteOrderOfChoice(const std::string& choice);
// The entry showing the order named `name`; "Device default" for an empty name.
std::string choiceOfByteOrder(const std::string& name);

} // namespace vorn::editor
