#include "ByteOrderChoices.h"

#include "fileformat/ValueSettings.h"

namespace vorn::editor {

const std::vector<std::string>& byteOrderChoices(bool withDeviceDefault) {
    static const std::vector<std::string> orders = [] {
        std::vector<std::string> choices;
        for (const format::ByteOrderName& order : format::kByteOrders)
            choices.push_back(format::byteOrderChoice(order));
        return choices;
    }();
    static const std::vector<std::string> forItems = [] {
        std::vector<std::string> choices{kDeviceDefaultChoice};
        choices.insert(choices.end(), orders.begin(), orders.end());
        return choices;
    }();
    return withDeviceDefault ? forItems : orders;
}

std::string byteOrderOfChoice(const std::string& choice) {
    for (const format::ByteOrderName& order : format::kByteOrders)
        if (choice == format::byteOrderChoice(order))
            return order.name;
    return {};
}

std::string choiceOfByteOrder(const std::string& name) {
    if (const std::optional<size_t> at = format::byteOrderIndex(name))
        return format::byteOrderChoice(format::kByteOrders[*at]);
    return kDeviceDefaultChoice;
}

} // namespace vorn::editor
