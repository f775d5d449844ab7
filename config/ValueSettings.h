// The settings that say how a device's registers become a tag's value: a device's default byte
// order, and a tag's own order, scaling bounds and unit. The file's rules and messages are
// those of fileformat/ValueSettings.h (Quillmar's too); here they become the model's
// modbus::ByteOrder and modbus::Scaling, with the element a bad setting is about.
#pragma once

#include "config/TagConfig.h"
#include "fileformat/ValueSettings.h"
#include "modbus/ByteOrder.h"
#include "platform/XmlDom.h"

#include <array>
#include <optional>
#include <string>

namespace vorn {

// A byte order's name ("CDAB"); none for any other text.
std::optional<modbus::ByteOrder> byteOrderNamed(const std::string& text);

// What makes a tag's settings unusable, and the element to name in the warning.
struct SettingProblem {
    std::string text;
    DomNode at;
};

// A tag's byteorder, rawlow, rawhigh, eulow, euhigh and units elements, collected while the
// loader reads the tag's children and applied once its type is known.
class TagValueSettings {
public:
    // Takes the element when it is one of these settings; false for any other element.
    bool take(const DomNode& field, const std::string& name, const std::string& text);
    // Sets the tag's byte order (its own, else its device's), scaling and unit. A setting that
    // would make the tag deliver a wrong value is a problem, and the tag must be skipped: an
    // unknown order, an order on a bit, bounds that make no scale, scaling of anything but a
    // number in registers. A unit without scaling is left out (ConfigCheck warns about it).
    std::optional<SettingProblem> applyTo(TagConfig& tag, const DomNode& tagElement) const;

private:
    std::optional<std::string> order_;
    DomNode orderAt_;
    format::ScalingTexts bounds_;
    std::array<DomNode, 4> boundAt_;
    std::string units_;
};

} // namespace vorn
