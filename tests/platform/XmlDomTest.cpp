#include "platform/XmlDom.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

using namespace vorn;

TEST(XmlDom, KeepsCommentsAndOrderAndIgnoresBlankText) {
    DomDocument doc;
    ASSERT_TRUE(doc.loadText("<?xml version=\"1.0\"?>\r\n<root a=\"1\" e=\"\">\r\n\t<!--c-->"
                             "\r\n\t<x>text</x>\r\n\t<y><z/>after</y>\r\n</root>"));
    auto top = doc.topLevelNodes();
    DomNode root;
    for (const DomNode& n : top)
        if (n.isElement())
            root = n;
    ASSERT_FALSE(root.isNull());
    EXPECT_EQ(root.name(), "root");
    auto children = root.children();
    ASSERT_EQ(children.size(), 3u) << "whitespace between elements is no node";
    EXPECT_EQ(children[0].type(), DomNodeType::comment);
    EXPECT_EQ(children[1].name(), "x");
    std::string text;
    EXPECT_TRUE(children[1].textOfFirstChild(text));
    EXPECT_EQ(text, "text");
    EXPECT_FALSE(children[2].textOfFirstChild(text)) << "first child is an element";
    EXPECT_TRUE(root.hasAttribute("a"));
    EXPECT_EQ(root.attribute("a"), "1");
    EXPECT_FALSE(root.hasAttribute("b"));
    EXPECT_EQ(root.attribute("b"), "");
}

TEST(XmlDom, BrokenOrMissingFilesGiveAnEmptyDocumentWithAReason) {
    DomDocument doc;
    EXPECT_FALSE(doc.loadText("<root><open></root>"));
    EXPECT_TRUE(doc.topLevelNodes().empty());
    EXPECT_NE(doc.parseError().find("offset"), std::string::npos);
    EXPECT_FALSE(doc.load("/nonexistent/file.xml"));
    EXPECT_TRUE(doc.topLevelNodes().empty());
    EXPECT_FALSE(doc.parseError().empty());
}

TEST(XmlDom, Latin1FilesArriveAsUtf8) {
    DomDocument doc;
    ASSERT_TRUE(doc.loadText("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>Stra\xDF"
                             "e</r>"));
    std::string text;
    for (const DomNode& n : doc.topLevelNodes())
        if (n.isElement())
            n.textOfFirstChild(text);
    EXPECT_EQ(text, "Stra\xC3\x9F"
                    "e");
}

TEST(XmlDom, TextOpeningAnElementIsItsFirstChildInEveryView) {
    DomDocument doc;
    ASSERT_TRUE(doc.loadText("<a>text<!--c-->more<b>x</b></a>"));
    DomNode a = doc.topLevelNodes().at(0);
    auto children = a.children();
    ASSERT_EQ(children.size(), 4u);
    EXPECT_EQ(a.childCount(), 4u);
    EXPECT_TRUE(children[0].isText());
    EXPECT_EQ(children[0].value(), "text");
    EXPECT_EQ(children[1].type(), DomNodeType::comment);
    EXPECT_EQ(children[2].value(), "more");
    EXPECT_EQ(children[3].name(), "b");
    EXPECT_EQ(a.value(), "") << "an element has a name, not a value";

    DomNode first = a.firstChild();
    EXPECT_EQ(first.value(), "text");
    EXPECT_TRUE(first.children().empty());
    EXPECT_EQ(first.nextSibling().type(), DomNodeType::comment);
    EXPECT_EQ(first.nextSibling().nextSibling().nextSibling().name(), "b");
    EXPECT_TRUE(first.nextSibling().nextSibling().nextSibling().nextSibling().isNull());
}

TEST(XmlDom, NodesAndParseErrorsHaveTheirLineAndColumn) {
    DomDocument doc;
    // High Latin-1 bytes take two bytes each once parsed; lines must still match the file.
    ASSERT_TRUE(doc.loadText("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<r>\r\n"
                             "\t<a>\xE9\xE9\xE9\xE9</a>\r\n\t<b/>\r\n\r\n\t<c/></r>"));
    DomNode root = doc.topLevelNodes().back();
    auto children = root.children();
    ASSERT_EQ(children.size(), 3u);
    EXPECT_EQ(doc.positionOf(root).line, 2u);
    EXPECT_EQ(doc.positionOf(children[0]).line, 3u);
    EXPECT_EQ(doc.positionOf(children[1]).line, 4u);
    EXPECT_EQ(doc.positionOf(children[2]).line, 6u);
    EXPECT_EQ(doc.positionOf(DomNode()).line, 0u);

    EXPECT_FALSE(doc.loadText("<r>\n  <a>\xE9\xE9</a>\n  <b></c>\n</r>"));
    EXPECT_EQ(doc.parseErrorPosition().line, 3u);
    EXPECT_GE(doc.parseErrorPosition().column, 6u);
    EXPECT_FALSE(doc.load("/nonexistent/file.xml"));
    EXPECT_EQ(doc.parseErrorPosition().line, 0u);
}

TEST(XmlDom, LinesOfALoadedFileAreCountedFromTheFile) {
    const std::string path = ::testing::TempDir() + "xmldom-lines.xml";
    {
        std::ofstream file(path, std::ios::binary);
        file << "<r>\n\n\n<x/>\n</r>\n";
    }
    DomDocument doc;
    ASSERT_TRUE(doc.load(path));
    EXPECT_EQ(doc.positionOf(doc.topLevelNodes().back().firstChild()).line, 4u);
    std::remove(path.c_str());
}
