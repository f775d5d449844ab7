#include "ProductInfo.h"

namespace vorn::editor {

std::string mainWindowCaption() {
    return std::string(kCompanyName) + " - " + kProductName;
}

std::string productVersion() {
    return std::to_string(VORN_VERSION_MAJOR) + "." + std::to_string(VORN_VERSION_MINOR) + "." +
           std::to_string(VORN_VERSION_PATCH);
}

const std::vector<std::string>& makerContactLines() {
    static const std::vector<std::string> lines{
        "Vorn Automation, Hollin Quay 14, D-28197 Bremen", "Tel. +49 421 5550 140",
        "Fax +49 421 5550 149", "www.vorn-automation.example", "support@vorn-automation.example"};
    return lines;
}

} // namespace vorn::editor
