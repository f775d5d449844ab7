#include "ResizeRecords.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace vorn::editor {
namespace {

template <class T> std::optional<T> numberOf(const std::string& text) {
    T value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string shortest(double value) {
    char buffer[32];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string("0");
}

int grown(int value, double percent) {
    return static_cast<int>(std::floor(value + value * percent / 100.0));
}

} // namespace

clsResizeControl* clsResizeForm::GetControl(const std::string& key) const {
    return controls_.find(key).get();
}

void clsResizeForm::SetControl(const clsResizeControl& control) {
    controls_.add(control.key(), std::make_shared<clsResizeControl>(control));
}

int SplitTag(const std::string& text, std::vector<std::string>& parts) {
    parts.clear();
    size_t start = 0;
    for (size_t bar = text.find('|'); bar != std::string::npos; bar = text.find('|', start)) {
        parts.push_back(text.substr(start, bar - start));
        start = bar + 1;
    }
    parts.push_back(text.substr(start));
    return static_cast<int>(parts.size());
}

std::string geometryTag(int referenceWidth, int referenceHeight, const ControlGeometry& geometry) {
    std::string tag = std::to_string(referenceWidth) + "|" + std::to_string(referenceHeight) + "|" +
                      std::to_string(geometry.left) + "|" + std::to_string(geometry.top) + "|" +
                      std::to_string(geometry.width) + "|" + std::to_string(geometry.height) + "|";
    if (geometry.fontSize)
        tag += shortest(*geometry.fontSize);
    return tag;
}

std::optional<ControlGeometry> geometryOfTag(const std::string& tag) {
    std::vector<std::string> parts;
    if (SplitTag(tag, parts) != 7)
        return std::nullopt;
    auto left = numberOf<int>(parts[2]);
    auto top = numberOf<int>(parts[3]);
    auto width = numberOf<int>(parts[4]);
    auto height = numberOf<int>(parts[5]);
    if (!left || !top || !width || !height)
        return std::nullopt;
    ControlGeometry geometry{*left, *top, *width, *height, std::nullopt};
    if (!parts[6].empty())
        geometry.fontSize = numberOf<double>(parts[6]);
    return geometry;
}

SizeChange sizeChange(int referenceWidth, int referenceHeight, int width, int height) {
    SizeChange change;
    if (referenceWidth > 0)
        change.widthPercent = (width - referenceWidth) * 100.0 / referenceWidth;
    if (referenceHeight > 0)
        change.heightPercent = (height - referenceHeight) * 100.0 / referenceHeight;
    return change;
}

ControlGeometry scaledGeometry(const ControlGeometry& recorded, const SizeChange& change) {
    ControlGeometry scaled;
    scaled.left = grown(recorded.left, change.widthPercent);
    scaled.width = grown(recorded.width, change.widthPercent);
    scaled.top = grown(recorded.top, change.heightPercent);
    scaled.height = grown(recorded.height, change.heightPercent);
    if (recorded.fontSize) {
        const double floor = std::min(*recorded.fontSize, kMinimumFontPoints);
        scaled.fontSize =
            std::max(floor, *recorded.fontSize + *recorded.fontSize * change.fontPercent() / 100.0);
    }
    return scaled;
}

} // namespace vorn::editor
