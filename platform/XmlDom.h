// A small read-only DOM over pugixml: exactly what the configuration readers need of a
// document (top-level nodes, node type, name, value, ordered children, attributes by name).
#pragma once

#include <pugixml.hpp>
#include <string>
#include <vector>

namespace vorn {

enum class DomNodeType { none, element, text, comment, processingInstruction, other };

// Documents are parsed with the text that opens an element stored in the element itself
// (much less memory for files of many small elements); DomNode shows that text as the
// element's first child, so callers see the same tree either way.
class DomNode {
public:
    DomNode() = default;
    explicit DomNode(pugi::xml_node node, bool embeddedText = false)
        : node_(node), embeddedText_(embeddedText) {}

    bool isNull() const { return !node_; }
    DomNodeType type() const;
    bool isElement() const { return type() == DomNodeType::element; }
    bool isText() const { return type() == DomNodeType::text; }
    // Element name; empty for other nodes.
    std::string name() const;
    // Text of a text, comment or processing-instruction node.
    std::string value() const;
    DomNode firstChild() const;
    DomNode nextSibling() const;
    std::vector<DomNode> children() const;
    size_t childCount() const;

    bool hasAttribute(const char* name) const { return static_cast<bool>(node_.attribute(name)); }
    // Value of the attribute; empty when absent.
    std::string attribute(const char* name) const { return node_.attribute(name).value(); }
    // Text of the first child when that child is a text node; false otherwise.
    bool textOfFirstChild(std::string& text) const;

private:
    bool hasEmbeddedText() const;

    pugi::xml_node node_;
    bool embeddedText_ = false; // this is the text stored in the element node_
};

class DomDocument {
public:
    // Loads synchronously. A missing, unreadable or not well-formed file leaves the document
    // empty; the result and parseError() tell what happened for callers that report it.
    bool load(const std::string& path);
    bool loadText(const std::string& text);
    std::vector<DomNode> topLevelNodes() const;
    const std::string& parseError() const { return error_; }

private:
    bool takeResult(const pugi::xml_parse_result& result);

    pugi::xml_document document_;
    std::string error_;
};

} // namespace vorn
