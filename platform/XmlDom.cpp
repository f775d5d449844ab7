#include "XmlDom.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace vorn {
namespace {

// Comments and processing instructions are kept: they count as nodes where order matters.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_embed_pcdata;

} // namespace

bool DomNode::hasEmbeddedText() const {
    return !embeddedText_ && node_.type() == pugi::node_element && *node_.value() != '\0';
}

DomNode DomNode::firstChild() const {
    if (embeddedText_)
        return DomNode();
    if (hasEmbeddedText())
        return DomNode(node_, true);
    return DomNode(node_.first_child());
}

DomNode DomNode::nextSibling() const {
    if (embeddedText_)
        return DomNode(node_.first_child());
    return DomNode(node_.next_sibling());
}

DomNodeType DomNode::type() const {
    if (embeddedText_)
        return DomNodeType::text;
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

std::string DomNode::name() const {
    return isElement() ? node_.name() : std::string();
}

std::string DomNode::value() const {
    if (!embeddedText_ && node_.type() == pugi::node_element)
        return {};
    return node_.value();
}

std::vector<DomNode> DomNode::children() const {
    std::vector<DomNode> nodes;
    if (embeddedText_)
        return nodes;
    if (hasEmbeddedText())
        nodes.emplace_back(node_, true);
    for (pugi::xml_node child : node_.children())
        nodes.emplace_back(child);
    return nodes;
}

size_t DomNode::childCount() const {
    if (embeddedText_)
        return 0;
    size_t count = hasEmbeddedText() ? 1 : 0;
    for (auto it = node_.begin(); it != node_.end(); ++it)
        ++count;
    return count;
}

std::vector<std::string> DomNode::attributeNames() const {
    std::vector<std::string> names;
    if (embeddedText_)
        return names;
    for (pugi::xml_attribute attribute : node_.attributes())
        names.emplace_back(attribute.name());
    return names;
}

bool DomNode::textOfFirstChild(std::string& text) const {
    DomNode first = firstChild();
    if (!first.isText())
        return false;
    text = first.value();
    return true;
}

bool DomDocument::load(const std::string& path) {
    path_ = path;
    text_.clear();
    return takeResult(document_.load_file(path.c_str(), kParseOptions));
}

bool DomDocument::loadText(const std::string& text) {
    path_.clear();
    text_ = text;
    return takeResult(document_.load_buffer(text.data(), text.size(), kParseOptions));
}

bool DomDocument::takeResult(const pugi::xml_parse_result& result) {
    latin1_ = result.encoding == pugi::encoding_latin1;
    lineStarts_.clear();
    indexed_ = false;
    errorPosition_ = {};
    if (result) {
        error_.clear();
        return true;
    }
    error_ = result.description();
    if (result.status != pugi::status_file_not_found && result.status != pugi::status_io_error) {
        error_ += " at offset " + std::to_string(result.offset);
        errorPosition_ = positionOf(result.offset);
    }
    document_.reset();
    return false;
}

const std::vector<size_t>& DomDocument::lineStarts() const {
    if (indexed_)
        return lineStarts_;
    indexed_ = true;
    std::string fileText;
    if (!path_.empty()) {
        // Read in one piece: a large plant's file has millions of lines.
        std::ifstream file(path_, std::ios::binary | std::ios::ate);
        const std::streamoff size = file ? static_cast<std::streamoff>(file.tellg()) : 0;
        fileText.resize(size > 0 ? static_cast<size_t>(size) : 0);
        file.seekg(0);
        if (!file.read(fileText.data(), static_cast<std::streamsize>(fileText.size())))
            fileText.resize(static_cast<size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    }
    const std::string& text = path_.empty() ? text_ : fileText;
    lineStarts_.push_back(0);
    if (!latin1_) {
        for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
            lineStarts_.push_back(at + 1);
        return lineStarts_;
    }
    size_t offset = 0;
    for (char c : text) {
        offset += static_cast<unsigned char>(c) >= 0x80 ? 2 : 1;
        if (c == '\n')
            lineStarts_.push_back(offset);
    }
    return lineStarts_;
}

TextPosition DomDocument::positionOf(ptrdiff_t offset) const {
    if (offset < 0)
        return {};
    const std::vector<size_t>& starts = lineStarts();
    auto after = std::upper_bound(starts.begin(), starts.end(), static_cast<size_t>(offset));
    const size_t line = static_cast<size_t>(after - starts.begin());
    return {line, static_cast<size_t>(offset) - starts[line - 1] + 1};
}

std::vector<DomNode> DomDocument::topLevelNodes() const {
    return DomNode(document_).children();
}

} // namespace vorn
