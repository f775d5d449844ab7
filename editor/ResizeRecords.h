// What form resizing remembers: per form its reference size, per control a "|"-separated
// record of the reference size, the control's geometry and its font size. Controls are always
// scaled from these first values, so repeated resizing accumulates no rounding.
#pragma once

#include "KeyedCollection.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorn::editor {

class clsResizeControl {
public:
    std::string Ctrl_Index; // index within a control array; empty for a single control
    std::string Ctrl_Name;
    std::string Tag; // "refWidth|refHeight|left|top|width|height|fontSize"

    std::string key() const { return controlKey(Ctrl_Name, Ctrl_Index); }
    static std::string controlKey(const std::string& name, const std::string& index) {
        return name + "_" + index;
    }
};

class clsResizeForm {
public:
    int32_t Form_Width = 0;
    int32_t Form_Height = 0;
    std::string Form_Name;

    // Null when the form has no record for `key`.
    clsResizeControl* GetControl(const std::string& key) const;
    // Adds the record under its key; throws EditorError (457) when the key is taken.
    void SetControl(const clsResizeControl& control);

private:
    KeyedCollection<clsResizeControl> controls_;
};

// The records of every form, by form name.
using ResizeRecords = KeyedCollection<clsResizeForm>;

// Splits `text` at every "|" into `parts`; returns their number.
int SplitTag(const std::string& text, std::vector<std::string>& parts);

// A control's place and size in its container, and its font size in points when it has one.
struct ControlGeometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::optional<double> fontSize;
    bool operator==(const ControlGeometry&) const = default;
};

std::string geometryTag(int referenceWidth, int referenceHeight, const ControlGeometry& geometry);
// The geometry recorded in a tag; none when the tag is not one of ours.
std::optional<ControlGeometry> geometryOfTag(const std::string& tag);

// Fonts shrink with the form down to this size in points and no further, so a small window
// stays readable; a font designed smaller keeps its own size.
inline constexpr double kMinimumFontPoints = 8.0;

// Change of the form's size against its reference, in percent; fonts follow the smaller one.
struct SizeChange {
    double widthPercent = 0;
    double heightPercent = 0;
    double fontPercent() const {
        return widthPercent < heightPercent ? widthPercent : heightPercent;
    }
};
SizeChange sizeChange(int referenceWidth, int referenceHeight, int width, int height);

// The recorded geometry grown by the change: left and width with the width change, top and
// height with the height change (rounded down to whole pixels), the font with the font change
// but not below kMinimumFontPoints.
ControlGeometry scaledGeometry(const ControlGeometry& recorded, const SizeChange& change);

} // namespace vorn::editor
