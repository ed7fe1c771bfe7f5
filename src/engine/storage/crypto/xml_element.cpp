#include "engine/storage/crypto/xml_element.h"

#include "engine/error.h"
#include "engine/storage/unicode.h"

#include <algorithm>
#include <array>
#include <utility>

namespace engine::storage {

namespace {

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

struct Entity {
    std::string_view name;
    char character;
};
constexpr std::array<Entity, 5> kEntities = {
    {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}}};

bool isSpace(char character) {
    return character == ' ' || character == '\t' || character == '\r' || character == '\n';
}

bool isNameStart(char character) {
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z') ||
           character == '_';
}

bool isNameCharacter(char character) {
    return isNameStart(character) || (character >= '0' && character <= '9') || character == '-' ||
           character == '.' || character == ':';
}

struct RawAttribute {
    std::string name;
    std::string value;
};

class XmlParser {
public:
    explicit XmlParser(std::string_view text) : m_text(text) {}

    XmlElement document() {
        if (m_text.starts_with("\xEF\xBB\xBF")) m_position = 3;
        skipMisc();
        if (!lookingAt("<")) fail("no root element");
        XmlElement root = element(1);
        skipMisc();
        if (m_position != m_text.size()) fail("content after the root element");
        return root;
    }

private:
    [[noreturn]] void fail(const std::string& reason) const {
        throw EngineError(ErrorCode::Corrupt,
                          "The encryption description is not well-formed XML: " + reason +
                              " at offset " + std::to_string(m_position) + ".");
    }

    bool lookingAt(std::string_view token) const {
        return m_text.substr(m_position).starts_with(token);
    }

    void expect(std::string_view token) {
        if (!lookingAt(token)) fail("expected '" + std::string(token) + "'");
        m_position += token.size();
    }

    bool skipSpace() {
        size_t start = m_position;
        while (m_position < m_text.size() && isSpace(m_text[m_position])) ++m_position;
        return m_position != start;
    }

    // Moves past the next occurrence of terminator.
    void skipPast(std::string_view terminator, const char* what) {
        size_t end = m_text.find(terminator, m_position);
        if (end == std::string_view::npos) fail(std::string("unterminated ") + what);
        m_position = end + terminator.size();
    }

    // White space, comments and processing instructions (the XML declaration among them).
    void skipMisc() {
        while (true) {
            skipSpace();
            if (lookingAt("<!--")) {
                skipPast("-->", "comment");
            } else if (lookingAt("<?")) {
                skipPast("?>", "processing instruction");
            } else {
                return;
            }
        }
    }

    std::string name() {
        size_t start = m_position;
        if (m_position >= m_text.size() || !isNameStart(m_text[m_position])) {
            fail("expected a name");
        }
        while (m_position < m_text.size() && isNameCharacter(m_text[m_position])) ++m_position;
        return std::string(m_text.substr(start, m_position - start));
    }

    void appendReference(std::string& out) {
        size_t end = m_text.find(';', m_position);
        if (end == std::string_view::npos || end - m_position > 10) fail("bad reference");
        std::string_view reference = m_text.substr(m_position + 1, end - m_position - 1);
        if (reference.starts_with('#')) {
            appendUtf8(out, characterReference(reference));
        } else {
            auto entity =
                std::find_if(kEntities.begin(), kEntities.end(),
                             [&](const Entity& known) { return known.name == reference; });
            if (entity == kEntities.end()) fail("unknown entity");
            out += entity->character;
        }
        m_position = end + 1;
    }

    char32_t characterReference(std::string_view reference) const {
        bool hex = reference.starts_with("#x");
        std::string_view digits = reference.substr(hex ? 2 : 1);
        if (digits.empty()) fail("bad character reference");
        char32_t value = 0;
        for (char digit : digits) {
            int number = -1;
            if (digit >= '0' && digit <= '9') {
                number = digit - '0';
            } else if (hex && digit >= 'a' && digit <= 'f') {
                number = digit - 'a' + 10;
            } else if (hex && digit >= 'A' && digit <= 'F') {
                number = digit - 'A' + 10;
            }
            if (number < 0) fail("bad character reference");
            value = value * (hex ? 16 : 10) + static_cast<char32_t>(number);
            if (value > 0x10FFFF) fail("character reference out of range");
        }
        if (value == 0 || isSurrogate(value)) fail("bad character reference");
        return value;
    }

    std::string attributeValue() {
        if (m_position >= m_text.size() ||
            (m_text[m_position] != '"' && m_text[m_position] != '\'')) {
            fail("expected a quoted value");
        }
        char quote = m_text[m_position++];
        std::string value;
        while (true) {
            if (m_position >= m_text.size()) fail("unterminated attribute value");
            char character = m_text[m_position];
            if (character == quote) break;
            if (character == '<') fail("'<' in an attribute value");
            if (character == '&') {
                appendReference(value);
            } else {
                value += character;
                ++m_position;
            }
        }
        ++m_position;
        return value;
    }

    std::string resolve(std::string_view prefix) const {
        if (prefix == "xml") return std::string(kXmlNamespace);
        for (auto scope = m_scopes.rbegin(); scope != m_scopes.rend(); ++scope) {
            if (scope->first == prefix) return scope->second;
        }
        if (!prefix.empty()) fail("undeclared prefix '" + std::string(prefix) + "'");
        return {};
    }

    // Splits "p:local" into its prefix and local name.
    std::pair<std::string, std::string> split(const std::string& qualified) const {
        size_t colon = qualified.find(':');
        if (colon == std::string::npos) return {"", qualified};
        std::string local = qualified.substr(colon + 1);
        if (colon == 0 || local.empty() || !isNameStart(local[0]) ||
            local.find(':') != std::string::npos) {
            fail("bad name '" + qualified + "'");
        }
        return {qualified.substr(0, colon), local};
    }

    XmlElement element(size_t depth) {
        if (depth > kXmlMaxDepth) fail("elements nested too deeply");
        expect("<");
        std::string qualifiedName = name();
        std::vector<RawAttribute> raw;
        size_t scopesBefore = m_scopes.size();
        bool selfClosing = false;
        while (true) {
            bool spaced = skipSpace();
            if (lookingAt("/>")) {
                m_position += 2;
                selfClosing = true;
                break;
            }
            if (lookingAt(">")) {
                ++m_position;
                break;
            }
            if (!spaced) fail("expected white space before an attribute");
            std::string attributeName = name();
            skipSpace();
            expect("=");
            skipSpace();
            std::string value = attributeValue();
            for (const RawAttribute& earlier : raw) {
                if (earlier.name == attributeName) {
                    fail("duplicate attribute '" + attributeName + "'");
                }
            }
            if (attributeName == "xmlns") {
                m_scopes.emplace_back("", value);
            } else if (attributeName.starts_with("xmlns:")) {
                m_scopes.emplace_back(split(attributeName).second, value);
            }
            raw.push_back({std::move(attributeName), std::move(value)});
        }

        XmlElement result;
        auto [prefix, local] = split(qualifiedName);
        result.namespaceUri = resolve(prefix);
        result.name = std::move(local);
        for (RawAttribute& attribute : raw) {
            if (attribute.name == "xmlns" || attribute.name.starts_with("xmlns:")) continue;
            auto [attributePrefix, attributeLocal] = split(attribute.name);
            std::string uri = attributePrefix.empty() ? std::string() : resolve(attributePrefix);
            for (const XmlAttribute& earlier : result.attributes) {
                if (earlier.namespaceUri == uri && earlier.name == attributeLocal) {
                    fail("duplicate attribute '" + attribute.name + "'");
                }
            }
            result.attributes.push_back({uri, attributeLocal, std::move(attribute.value)});
        }

        if (!selfClosing) content(result, qualifiedName, depth);
        m_scopes.resize(scopesBefore);
        return result;
    }

    void content(XmlElement& parent, const std::string& qualifiedName, size_t depth) {
        while (true) {
            skipSpace();
            if (m_position >= m_text.size()) fail("element '" + qualifiedName + "' is not closed");
            if (lookingAt("</")) {
                m_position += 2;
                if (name() != qualifiedName) fail("end tag does not match '" + qualifiedName + "'");
                skipSpace();
                expect(">");
                return;
            }
            if (lookingAt("<!--")) {
                skipPast("-->", "comment");
            } else if (lookingAt("<?")) {
                skipPast("?>", "processing instruction");
            } else if (lookingAt("<!")) {
                fail("CDATA sections and document types are not accepted");
            } else if (lookingAt("<")) {
                parent.children.push_back(element(depth + 1));
            } else {
                fail("text content is not accepted");
            }
        }
    }

    std::string_view m_text;
    size_t m_position = 0;
    std::vector<std::pair<std::string, std::string>> m_scopes;  // prefix, URI; innermost last
};

}  // namespace

const std::string* XmlElement::attribute(std::string_view attributeName) const {
    for (const XmlAttribute& candidate : attributes) {
        if (candidate.namespaceUri.empty() && candidate.name == attributeName) {
            return &candidate.value;
        }
    }
    return nullptr;
}

std::vector<const XmlElement*> XmlElement::childrenNamed(std::string_view uri,
                                                         std::string_view childName) const {
    std::vector<const XmlElement*> found;
    for (const XmlElement& child : children) {
        if (child.namespaceUri == uri && child.name == childName) found.push_back(&child);
    }
    return found;
}

XmlElement parseXml(std::string_view text) { return XmlParser(text).document(); }

}  // namespace engine::storage
