// A small read-only DOM over pugixml: exactly what the configuration readers need of a
// document (top-level nodes, node type, name, value, ordered children, attributes by name).
#pragma once

#include <pugixml.hpp>
#include <string>
#include <vector>

namespace vorn {

enum class DomNodeType { none, element, text, comment, processingInstruction, other };

// Where something sits in a document's file, both 1-based; line 0 when it is not known.
struct TextPosition {
    size_t line = 0;
    size_t column = 0;
};

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
    // Names of the element's attributes in file order.
    std::vector<std::string> attributeNames() const;
    // Value of the attribute; empty when absent.
    std::string attribute(const char* name) const { return node_.attribute(name).value(); }
    // Text of the first child when that child is a text node; false otherwise.
    bool textOfFirstChild(std::string& text) const;
    // Offset of the node in the parsed text (as UTF-8), -1 when unknown; DomDocument turns
    // it into a line.
    ptrdiff_t offset() const { return node_ ? node_.offset_debug() : -1; }

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
    // Where the parser stopped in a document that did not load; line 0 when there was no
    // text to parse (missing or unreadable file).
    TextPosition parseErrorPosition() const { return errorPosition_; }
    // Line and column of a node of this document.
    TextPosition positionOf(const DomNode& node) const { return positionOf(node.offset()); }

private:
    bool takeResult(const pugi::xml_parse_result& result);
    TextPosition positionOf(ptrdiff_t offset) const;
    // Start offsets of the lines of the parsed text, built on first use from the file (or
    // text) again, so that a file without remarks costs no memory for them.
    const std::vector<size_t>& lineStarts() const;

    pugi::xml_document document_;
    std::string error_;
    TextPosition errorPosition_;
    std::string path_;
    std::string text_;    // only for loadText
    bool latin1_ = false; // the parser stored it as UTF-8: offsets count two bytes per high byte
    mutable std::vector<size_t> lineStarts_;
    mutable bool indexed_ = false;
};

} // namespace vorn
