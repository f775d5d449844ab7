#include "XmlDom.h"

namespace vorn {
namespace {

// Comments and processing instructions are kept: they count as nodes where order matters.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi;

} // namespace

DomNodeType DomNode::type() const {
    switch (node_.type()) {
    case pugi::node_null:
        return DomNodeType::none;
    case pugi::node_element:
        return DomNodeType::element;
    case pugi::node_pcdata:
    case pugi::node_cdata:
        return DomNodeType::text;
    case pugi::node_comment:
        return DomNodeType::comment;
    case pugi::node_pi:
        return DomNodeType::processingInstruction;
    default:
        return DomNodeType::other;
    }
}

std::string DomNode::name() const { return isElement() ? node_.name() : std::string(); }

std::string DomNode::value() const { return node_.value(); }

std::vector<DomNode> DomNode::children() const {
    std::vector<DomNode> nodes;
    for (pugi::xml_node child : node_.children())
        nodes.emplace_back(child);
    return nodes;
}

size_t DomNode::childCount() const {
    size_t count = 0;
    for (auto it = node_.begin(); it != node_.end(); ++it)
        ++count;
    return count;
}

bool DomNode::textOfFirstChild(std::string& text) const {
    DomNode first = firstChild();
    if (!first.isText())
        return false;
    text = first.value();
    return true;
}

bool DomDocument::load(const std::string& path) {
    return takeResult(document_.load_file(path.c_str(), kParseOptions));
}

bool DomDocument::loadText(const std::string& text) {
    return takeResult(document_.load_buffer(text.data(), text.size(), kParseOptions));
}

bool DomDocument::takeResult(const pugi::xml_parse_result& result) {
    if (result) {
        error_.clear();
        return true;
    }
    error_ = result.description();
    if (result.status != pugi::status_file_not_found && result.status != pugi::status_io_error)
        error_ += " at offset " + std::to_string(result.offset);
    document_.reset();
    return false;
}

std::vector<DomNode> DomDocument::topLevelNodes() const { return DomNode(document_).children(); }

} // namespace vorn
