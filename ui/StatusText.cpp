#include "StatusText.h"

namespace vorn::ui {

std::string errorTextOrNumber(int code, const ErrorTextLookup& lookup) {
    if (lookup) {
        if (auto text = lookup(code))
            return *text;
    }
    return "Error " + std::to_string(code);
}

std::string statusText(const std::vector<const PlcDevice*>& devices, int code,
                       const PlcDevice* reported, const ErrorTextLookup& lookup) {
    std::string text;
    for (const PlcDevice* device : devices) {
        if (device == reported && code != 0)
            text += errorTextOrNumber(code, lookup) + " on " + device->name;
        text += '\n';
    }
    return text;
}

} // namespace vorn::ui
