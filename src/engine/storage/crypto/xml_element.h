// A small XML reader for the agile encryption description: elements, attributes and
// namespaces, nothing more. Names are matched by namespace URI and local name, so a document
// may use any prefixes, attribute order and white space. Text content, CDATA sections and
// document types are not accepted (the description has none); entity references are limited
// to the five predefined ones and character references.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace engine::storage {

struct XmlAttribute {
    std::string namespaceUri;  // empty for an attribute without prefix
    std::string name;          // local name
    std::string value;         // references already replaced
};

struct XmlElement {
    std::string namespaceUri;
    std::string name;  // local name
    std::vector<XmlAttribute> attributes;
    std::vector<XmlElement> children;

    // The attribute without prefix called name, or nullptr.
    const std::string* attribute(std::string_view name) const;
    std::vector<const XmlElement*> childrenNamed(std::string_view namespaceUri,
                                                 std::string_view name) const;
};

inline constexpr size_t kXmlMaxDepth = 32;

// The document's root element. Throws Corrupt, naming the offset, for text that is not
// well-formed or nests deeper than kXmlMaxDepth.
XmlElement parseXml(std::string_view text);

}  // namespace engine::storage
