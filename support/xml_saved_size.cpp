#include "support/xml_saved_size.h"

#include <cstring>
#include <string>

namespace orvella {
namespace {

// Each level of nesting is printed as this many spaces.
constexpr std::size_t kIndentBytes = 4;

// TinyXML prints names, comments and the like with "%s": up to the first NUL.
std::size_t raw(const std::string& text) { return std::strlen(text.c_str()); }

// The length of TiXmlBase::EncodeString's output: the five reserved
// characters as named references, control characters as "&#xNN;".
std::size_t encoded(const std::string& text) {
    std::size_t size = 0;
    for (const char c : text) {
        switch (c) {
            case '&': size += 5; break;            // &amp;
            case '<': case '>': size += 4; break;  // &lt; &gt;
            case '"': case '\'': size += 6; break; // &quot; &apos;
            default: size += static_cast<unsigned char>(c) < 32 ? 6 : 1;
        }
    }
    return size;
}

// Adds up the bytes each node's Print writes, in the order it writes them,
// and gives up as soon as the sum passes the limit.
class SavedSize {
public:
    explicit SavedSize(std::size_t limit) : limit_(limit) {}

    std::size_t total() const { return total_; }

    // Each child of the document, followed by a newline.
    bool document(const TiXmlDocument& document) {
        for (const TiXmlNode* node = document.FirstChild(); node; node = node->NextSibling())
            if (!this->node(*node, 0) || !add(1)) return false;
        return true;
    }

private:
    bool add(std::size_t bytes) {
        total_ += bytes;
        return total_ <= limit_;
    }
    bool indent(std::size_t depth) { return add(kIndentBytes * depth); }

    bool node(const TiXmlNode& node, std::size_t depth) {
        switch (node.Type()) {
            case TiXmlNode::TINYXML_ELEMENT: return element(*node.ToElement(), depth);
            case TiXmlNode::TINYXML_TEXT: return text(*node.ToText(), depth);
            case TiXmlNode::TINYXML_COMMENT:  // <!--value-->
                return indent(depth) && add(4 + raw(node.ValueStr()) + 3);
            case TiXmlNode::TINYXML_UNKNOWN:  // <value>
                return indent(depth) && add(1 + raw(node.ValueStr()) + 1);
            case TiXmlNode::TINYXML_DECLARATION: return declaration(*node.ToDeclaration());
            default: return true;
        }
    }

    bool element(const TiXmlElement& element, std::size_t depth) {
        const std::size_t name = raw(element.ValueStr());
        if (!indent(depth) || !add(1 + name)) return false;  // <name
        for (const TiXmlAttribute* a = element.FirstAttribute(); a; a = a->Next()) {
            // ' name="value"' (or 'value' in single quotes: as long)
            if (!add(1 + encoded(a->NameTStr()) + 2 + encoded(a->ValueStr()) + 1)) return false;
        }
        const TiXmlNode* first = element.FirstChild();
        if (!first) return add(3);  // " />"
        if (first == element.LastChild() && first->ToText()) {
            // <name>text</name> on one line
            return add(1) && text(*first->ToText(), depth + 1) && add(2 + name + 1);
        }
        if (!add(1)) return false;  // ">"
        for (const TiXmlNode* child = first; child; child = child->NextSibling()) {
            if (!child->ToText() && !add(1)) return false;  // each on a line of its own
            if (!node(*child, depth + 1)) return false;
        }
        return add(1) && indent(depth) && add(2 + name + 1);  // "\n", indent, </name>
    }

    bool text(const TiXmlText& text, std::size_t depth) {
        if (!text.CDATA()) return add(encoded(text.ValueStr()));
        // "\n", indent, <![CDATA[value]]> and "\n"
        return add(1) && indent(depth) && add(9 + raw(text.ValueStr()) + 3 + 1);
    }

    bool declaration(const TiXmlDeclaration& declaration) {
        // <?xml version="v" encoding="e" standalone="s" ?>, each part only
        // when it is not empty.
        std::size_t size = 6 + 2;
        const std::size_t version = std::strlen(declaration.Version());
        const std::size_t encoding = std::strlen(declaration.Encoding());
        const std::size_t standalone = std::strlen(declaration.Standalone());
        if (version) size += 9 + version + 2;
        if (encoding) size += 10 + encoding + 2;
        if (standalone) size += 12 + standalone + 2;
        return add(size);
    }

    std::size_t limit_;
    std::size_t total_ = 0;
};

}  // namespace

std::size_t xml_saved_size(const TiXmlDocument& document, std::size_t limit) {
    SavedSize size(limit);
    size.document(document);
    return size.total();
}

}  // namespace orvella
