#include "engine/storage/crypto/xml_element.h"

#include "engine/error.h"

#include <gtest/gtest.h>

namespace engine::storage {
namespace {

constexpr const char* kOuter = "urn:outer";
constexpr const char* kInner = "urn:inner";

TEST(XmlElement, matchesByNamespaceWhateverThePrefix) {
    const char* documents[] = {
        "<?xml version=\"1.0\"?>\r\n<root xmlns=\"urn:outer\" xmlns:i=\"urn:inner\">"
        "<i:item a=\"1\" b='two'/><other/></root>",
        "<o:root xmlns:o='urn:outer'>\n  <!-- a comment -->\n  <x:item  b = \"two\"\ta=\"1\" "
        "xmlns:x=\"urn:inner\" ></x:item>\n  <o:other></o:other>\n</o:root>\n",
        "\xEF\xBB\xBF<root xmlns=\"urn:outer\"><item xmlns=\"urn:inner\" a=\"1\" b=\"two\"/>"
        "<other/></root>",
    };
    for (const char* document : documents) {
        XmlElement root = parseXml(document);
        EXPECT_EQ(root.namespaceUri, kOuter) << document;
        EXPECT_EQ(root.name, "root") << document;
        auto items = root.childrenNamed(kInner, "item");
        ASSERT_EQ(items.size(), 1u) << document;
        ASSERT_NE(items[0]->attribute("a"), nullptr) << document;
        EXPECT_EQ(*items[0]->attribute("a"), "1");
        EXPECT_EQ(*items[0]->attribute("b"), "two");
        EXPECT_EQ(items[0]->attribute("c"), nullptr);
        EXPECT_EQ(root.childrenNamed(kOuter, "other").size(), 1u) << document;
        EXPECT_TRUE(root.childrenNamed(kOuter, "item").empty()) << document;
    }
}

TEST(XmlElement, replacesReferencesInAttributeValues) {
    XmlElement root = parseXml("<r v=\"&lt;&amp;&gt;&quot;&apos;&#65;&#x42;&#xE4;\"/>");
    EXPECT_EQ(*root.attribute("v"), "<&>\"'AB\xC3\xA4");
}

TEST(XmlElement, keepsPrefixedAttributesApartFromPlainOnes) {
    XmlElement root = parseXml("<r xmlns:p=\"urn:p\" p:v=\"prefixed\" v=\"plain\"/>");
    EXPECT_EQ(*root.attribute("v"), "plain");
    ASSERT_EQ(root.attributes.size(), 2u);
    EXPECT_EQ(root.attributes[0].namespaceUri, "urn:p");
}

TEST(XmlElement, rejectsWhatIsNotWellFormed) {
    const char* bad[] = {
        "",
        "   ",
        "<r>",
        "<r></s>",
        "<r/><r/>",
        "<r/>text",
        "<r>text</r>",
        "<r a=\"1\" a=\"2\"/>",
        "<r xmlns:p=\"urn:p\" xmlns:q=\"urn:p\" p:a=\"1\" q:a=\"2\"/>",
        "<p:r/>",
        "<r a=1/>",
        "<r a=\"1\"b=\"2\"/>",
        "<r a=\"<\"/>",
        "<r a=\"&unknown;\"/>",
        "<r a=\"&#0;\"/>",
        "<r a=\"&#x110000;\"/>",
        "<r a=\"&#xD800;\"/>",
        "<r a=\"&amp\"/>",
        "<!DOCTYPE r [<!ENTITY e \"x\">]><r/>",
        "<r><![CDATA[x]]></r>",
        "<r><!-- open",
        "<?xml version=\"1.0\"",
        "<1r/>",
        "<r:/>",
        "<r a=\"1",
    };
    for (const char* document : bad) {
        try {
            parseXml(document);
            ADD_FAILURE() << "accepted: " << document;
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::Corrupt) << document;
            EXPECT_NE(std::string(error.what()).find("offset"), std::string::npos) << document;
        }
    }
}

TEST(XmlElement, limitsNestingInsteadOfExhaustingTheStack) {
    auto nested = [](size_t depth) {
        std::string document;
        for (size_t level = 0; level < depth; ++level) document += "<e>";
        for (size_t level = 0; level < depth; ++level) document += "</e>";
        return document;
    };
    EXPECT_NO_THROW(parseXml(nested(kXmlMaxDepth)));
    EXPECT_THROW(parseXml(nested(kXmlMaxDepth + 1)), EngineError);
    EXPECT_THROW(parseXml(nested(100000)), EngineError);
}

TEST(XmlElement, everyTruncationOfADocumentFailsCleanly) {
    std::string document =
        "<?xml version=\"1.0\"?><a xmlns=\"urn:a\"><b c=\"&amp;d\"/><!--x--><e></e></a>";
    EXPECT_NO_THROW(parseXml(document));
    for (size_t length = 0; length < document.size(); ++length) {
        EXPECT_THROW(parseXml(std::string_view(document).substr(0, length)), EngineError) << length;
    }
}

}  // namespace
}  // namespace engine::storage
