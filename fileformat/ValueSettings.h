// How a device's registers become a tag's value, as the configuration file names it: the byte
// order of a device and of a tag, and a tag's linear scaling to engineering units with its unit
// text. The servers' loader and Quillmar apply these rules and give these messages, so that a
// file one of them accepts the other reads the same way. Header only, like ConfigFormat.h.
//
// All settings are optional: without them a tag is read as it always was (ABCD, unscaled).
#pragma once

#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::format {

// The device default (attribute of a Tarnvale PLC, element of a Rennick PLC) and a tag's
// own order (element of a tag) share this name.
inline constexpr const char* kByteOrderSetting = "byteorder";
inline constexpr const char* kUnitsElement = "units";

struct ByteOrderName {
    const char* name;    // the four bytes of 0xAABBCCDD as they come on the wire
    const char* meaning; // for choice lists: "CDAB - low word first"
};

// In the order of modbus::ByteOrder; the first is the default.
inline constexpr std::array<ByteOrderName, 4> kByteOrders{{
    {"ABCD", "high word first"},
    {"CDAB", "low word first"},
    {"BADC", "bytes swapped in each register"},
    {"DCBA", "low word first, bytes swapped"},
}};
inline constexpr const char* kDefaultByteOrder = "ABCD";

// The index of a byte order's name in kByteOrders; none for any other text (names are
// upper case, as written).
inline std::optional<size_t> byteOrderIndex(std::string_view name) {
    for (size_t at = 0; at < kByteOrders.size(); ++at)
        if (name == kByteOrders[at].name)
            return at;
    return std::nullopt;
}

// "CDAB - low word first", as a list offers it.
inline std::string byteOrderChoice(const ByteOrderName& order) {
    return std::string(order.name) + " - " + order.meaning;
}

// Names in messages: the file's element names for the servers' trace, the dialog's titles
// for Quillmar's message boxes.
enum class Wording { file, dialog };

inline std::string unknownByteOrderMessage(std::string_view text, Wording wording) {
    return std::string(wording == Wording::file ? "byteorder" : "Byte order") + " \"" +
           std::string(text) + "\" is not one of ABCD, CDAB, BADC, DCBA";
}

inline std::string byteOrderOnBitsMessage(Wording wording) {
    return wording == Wording::file
               ? "byteorder does not apply to a bit: bits are numbered in the register's value"
               : "A byte order does not apply to bits: they are numbered in the register's value";
}

// ---- Scaling --------------------------------------------------------------------------------

struct ScalingBound {
    const char* element; // in the file
    const char* title;   // in the item dialog
};

// Scaling applies when all four are given: the raw range maps onto the engineering range.
inline constexpr std::array<ScalingBound, 4> kScalingBounds{{
    {"rawlow", "Raw low"},
    {"rawhigh", "Raw high"},
    {"eulow", "EU low"},
    {"euhigh", "EU high"},
}};

struct ScalingBounds {
    double rawLow = 0;
    double rawHigh = 0;
    double euLow = 0;
    double euHigh = 0;
};

// A decimal number as the file writes it: optional sign, digits with a decimal point "."
// (never ","), an optional exponent, blanks around it. Whatever the program's locale.
inline std::optional<double> decimalNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    // Words ("inf", "nan") and commas are refused before from_chars sees them.
    if (text.empty() || text.find_first_not_of("0123456789.-eE+") != std::string_view::npos)
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The four bounds' texts in the order of kScalingBounds, each absent or as written.
using ScalingTexts = std::array<std::optional<std::string>, 4>;

struct ScalingCheck {
    bool scaled = false; // all four bounds given and valid
    ScalingBounds bounds;
    std::string problem;             // set when the bounds cannot make a scaling
    std::optional<size_t> offending; // the bound the problem is about; none for a missing one
};

inline std::string numberText(double value) {
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

// None given: no scaling, no problem. Some but not all, a bound that is no number, equal raw
// bounds or equal engineering bounds: a problem, and the tag must not be served.
inline ScalingCheck checkScaling(const ScalingTexts& texts, Wording wording) {
    auto name = [wording](size_t at) {
        return std::string(wording == Wording::file ? kScalingBounds[at].element
                                                    : kScalingBounds[at].title);
    };
    ScalingCheck check;
    std::string missing;
    size_t given = 0;
    std::array<double, 4> values{};
    for (size_t at = 0; at < texts.size(); ++at) {
        if (!texts[at]) {
            missing += (missing.empty() ? "" : ", ") + name(at);
            continue;
        }
        ++given;
        const std::optional<double> value = decimalNumber(*texts[at]);
        if (!value) {
            check.problem = name(at) + " \"" + *texts[at] +
                            "\" is not a number (digits with a decimal point \".\")";
            check.offending = at;
            return check;
        }
        values[at] = *value;
    }
    if (given == 0)
        return check;
    if (given < texts.size()) {
        check.problem = "scaling needs all four of " + name(0) + ", " + name(1) + ", " + name(2) +
                        ", " + name(3) + "; missing: " + missing;
        if (wording == Wording::dialog)
            check.problem[0] = 'S';
        return check;
    }
    if (values[0] == values[1] || values[2] == values[3]) {
        const size_t low = values[0] == values[1] ? 0 : 2;
        check.problem = name(low) + " and " + name(low + 1) + " are equal (" +
                        numberText(values[low]) + "): they make no scale";
        check.offending = low + 1;
        return check;
    }
    check.scaled = true;
    check.bounds = ScalingBounds{values[0], values[1], values[2], values[3]};
    return check;
}

inline std::string scalingOnBitsOrTextMessage(Wording wording) {
    return wording == Wording::file
               ? "scaling applies only to numbers in registers, not to a bit or a string"
               : "Scaling applies only to numbers in registers, not to bits or strings";
}

inline std::string unitsWithoutScalingMessage(Wording wording) {
    return wording == Wording::file
               ? "units are served only with scaling (rawlow, rawhigh, eulow, euhigh)"
               : "Units need the scaling: fill in Raw low, Raw high, EU low and EU high";
}

} // namespace vorn::format
