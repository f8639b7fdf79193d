#include "support/xml_nesting.h"

#include <cstring>
#include <vector>

namespace orvella {
namespace {

// TinyXML's lexical helpers, protected members of TiXmlBase, made callable.
// Never instantiated (TiXmlBase is abstract).
class TinyXmlLexer : TiXmlBase {
public:
    using TiXmlBase::GetChar;
    using TiXmlBase::IsAlpha;
    using TiXmlBase::IsAlphaNum;
    using TiXmlBase::IsWhiteSpace;
    using TiXmlBase::SkipWhiteSpace;
    using TiXmlBase::StringEqual;
};

// The walk of TiXmlDocument::Parse, TiXmlNode::Identify, TiXmlElement::Parse
// and TiXmlElement::ReadValue, with the recursion into child elements turned
// into a stack of open elements and no tree built. Bytes are read by
// TinyXML's own code: its lexical helpers, the Parse of the rarer nodes that
// hold no elements (comments, CDATA, declarations, unknown "<!...>" nodes),
// and, for text and attributes, the steps of TiXmlBase::ReadName, ReadText
// and TiXmlAttribute::Parse without the copying. So white space is the
// locale's isspace, UTF-8 lead bytes swallow what follows them, character
// references skip what they skip, and quoted attribute values, comments and
// CDATA end where the parser ends them, exactly as in the parse that
// follows. Where the parser stops with an error, so does this walk; the one
// error it does not detect (an attribute named twice) lets it go on past
// where the parser stops, which can only add depth.
class ElementNesting {
public:
    ElementNesting(TiXmlEncoding encoding, std::size_t limit) : encoding_(encoding), limit_(limit) {
        cdata_.SetCDATA(true);
    }

    std::size_t of(const char* p) {
        if (p == nullptr || *p == '\0') return 0;
        const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
        if (encoding_ == TIXML_ENCODING_UNKNOWN && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF)
            encoding_ = TIXML_ENCODING_UTF8;
        p = TinyXmlLexer::SkipWhiteSpace(p, encoding_);
        while (p != nullptr && *p != '\0' && deepest_ <= limit_) {
            const Kind kind = identify(p);
            if (kind == Kind::none) break;
            if (kind == Kind::element) {
                p = element(p);
            } else if (kind == Kind::declaration) {
                p = declaration_.Parse(p, nullptr, encoding_);
                // Only the document's first declaration sets the encoding.
                if (encoding_ == TIXML_ENCODING_UNKNOWN) encoding_ = declared(declaration_.Encoding());
            } else {
                p = leaf(kind, p);
            }
            p = TinyXmlLexer::SkipWhiteSpace(p, encoding_);
        }
        return deepest_;
    }

private:
    enum class Kind { none, declaration, comment, cdata, unknown, element };

    struct Open {
        const char* name;
        std::size_t length;
    };

    static TiXmlEncoding declared(const char* encoding) {
        if (*encoding == '\0') return TIXML_ENCODING_UTF8;
        if (TinyXmlLexer::StringEqual(encoding, "UTF-8", true, TIXML_ENCODING_UNKNOWN)) return TIXML_ENCODING_UTF8;
        if (TinyXmlLexer::StringEqual(encoding, "UTF8", true, TIXML_ENCODING_UNKNOWN)) return TIXML_ENCODING_UTF8;
        return TIXML_ENCODING_LEGACY;
    }

    Kind identify(const char* p) const {
        p = TinyXmlLexer::SkipWhiteSpace(p, encoding_);
        if (p == nullptr || *p != '<') return Kind::none;
        if (TinyXmlLexer::StringEqual(p, "<?xml", true, encoding_)) return Kind::declaration;
        if (TinyXmlLexer::StringEqual(p, "<!--", false, encoding_)) return Kind::comment;
        if (TinyXmlLexer::StringEqual(p, "<![CDATA[", false, encoding_)) return Kind::cdata;
        if (TinyXmlLexer::StringEqual(p, "<!", false, encoding_)) return Kind::unknown;
        if (TinyXmlLexer::IsAlpha(static_cast<unsigned char>(p[1]), encoding_) || p[1] == '_') return Kind::element;
        return Kind::unknown;
    }

    // TiXmlBase::ReadName.
    const char* read_name(const char* p) const {
        if (p == nullptr || *p == '\0') return nullptr;
        if (!TinyXmlLexer::IsAlpha(static_cast<unsigned char>(*p), encoding_) && *p != '_') return nullptr;
        while (p != nullptr && *p != '\0' &&
               (TinyXmlLexer::IsAlphaNum(static_cast<unsigned char>(*p), encoding_) || *p == '_' ||
                *p == '-' || *p == '.' || *p == ':'))
            ++p;
        return p;
    }

    // TiXmlBase::ReadText up to and past the one-character end tag `end`
    // (where its StringEqual is a comparison of that character), keeping
    // nothing.
    const char* read_text(const char* p, char end, bool trim_white_space) const {
        char character[4];
        int length = 0;
        if (!trim_white_space || !TiXmlBase::IsWhiteSpaceCondensed()) {
            while (p != nullptr && *p != '\0' && *p != end)
                p = TinyXmlLexer::GetChar(p, character, &length, encoding_);
        } else {
            p = TinyXmlLexer::SkipWhiteSpace(p, encoding_);
            while (p != nullptr && *p != '\0' && *p != end) {
                if (*p == '\r' || *p == '\n' || TinyXmlLexer::IsWhiteSpace(*p))
                    ++p;
                else
                    p = TinyXmlLexer::GetChar(p, character, &length, encoding_);
            }
        }
        if (p != nullptr) ++p;
        return p;
    }

    // TiXmlAttribute::Parse.
    const char* attribute(const char* p) const {
        p = TinyXmlLexer::SkipWhiteSpace(p, encoding_);
        if (p == nullptr || *p == '\0') return nullptr;
        p = read_name(p);
        if (p == nullptr || *p == '\0') return nullptr;
        p = TinyXmlLexer::SkipWhiteSpace(p, encoding_);
        if (p == nullptr || *p != '=') return nullptr;
        p = TinyXmlLexer::SkipWhiteSpace(p + 1, encoding_);
        if (p == nullptr || *p == '\0') return nullptr;
        if (*p == '\'') return read_text(p + 1, '\'', false);
        if (*p == '"') return read_text(p + 1, '"', false);
        while (p != nullptr && *p != '\0' && !TinyXmlLexer::IsWhiteSpace(*p) && *p != '\n' &&
               *p != '\r' && *p != '/' && *p != '>') {
            if (*p == '\'' || *p == '"') return nullptr;
            ++p;
        }
        return p;
    }

    // A node that holds no element, read by its own class.
    const char* leaf(Kind kind, const char* p) {
        switch (kind) {
            case Kind::declaration: return declaration_.Parse(p, nullptr, encoding_);
            case Kind::comment: return comment_.Parse(p, nullptr, encoding_);
            case Kind::cdata: return cdata_.Parse(p, nullptr, encoding_);
            default: return unknown_.Parse(p, nullptr, encoding_);
        }
    }

    // From the '<' of an element to just past its end (or to where the parse
    // stops: null, or past the limit with deepest_ above it).
    const char* element(const char* p) {
        open_.clear();
        for (;;) {
            // TiXmlElement::Parse of the element starting at p.
            if (open_.size() + 1 > deepest_) deepest_ = open_.size() + 1;
            if (deepest_ > limit_) return nullptr;
            p = TinyXmlLexer::SkipWhiteSpace(p + 1, encoding_);
            const char* name = p;
            p = read_name(p);
            if (p == nullptr || *p == '\0') return nullptr;
            const std::size_t name_length = static_cast<std::size_t>(p - name);
            bool has_content = false;
            for (;;) {
                p = TinyXmlLexer::SkipWhiteSpace(p, encoding_);
                if (p == nullptr || *p == '\0') return nullptr;
                if (*p == '/') {
                    if (p[1] != '>') return nullptr;
                    p += 2;
                    break;
                }
                if (*p == '>') {
                    ++p;
                    has_content = true;
                    break;
                }
                p = attribute(p);
                if (p == nullptr || *p == '\0') return nullptr;
            }
            if (has_content) {
                open_.push_back({name, name_length});
            } else if (open_.empty()) {
                return p;
            }
            // TiXmlElement::ReadValue of the innermost open element, from p.
            const char* with_white_space = p;
            p = TinyXmlLexer::SkipWhiteSpace(p, encoding_);
            for (;;) {
                if (p == nullptr || *p == '\0') return nullptr;
                if (*p != '<') {
                    // TiXmlText::Parse, which keeps the '<' that ends the text.
                    p = read_text(TiXmlBase::IsWhiteSpaceCondensed() ? p : with_white_space, '<', true);
                    if (p != nullptr) --p;
                } else if (TinyXmlLexer::StringEqual(p, "</", false, encoding_)) {
                    const Open& closing = open_.back();
                    if (std::strncmp(p + 2, closing.name, closing.length) != 0) return nullptr;
                    p = TinyXmlLexer::SkipWhiteSpace(p + 2 + closing.length, encoding_);
                    if (p == nullptr || *p != '>') return nullptr;
                    ++p;
                    open_.pop_back();
                    if (open_.empty()) return p;
                } else {
                    const Kind kind = identify(p);
                    if (kind == Kind::element) break;
                    p = leaf(kind, p);
                }
                with_white_space = p;
                p = TinyXmlLexer::SkipWhiteSpace(p, encoding_);
            }
        }
    }

    TiXmlEncoding encoding_;
    const std::size_t limit_;
    std::size_t deepest_ = 0;
    std::vector<Open> open_;
    // Reused for every node of their kind: their Parse starts afresh.
    TiXmlText cdata_{""};
    TiXmlComment comment_;
    TiXmlUnknown unknown_;
    TiXmlDeclaration declaration_;
};

}  // namespace

std::size_t xml_element_depth(const char* text, TiXmlEncoding encoding, std::size_t limit) {
    return ElementNesting(encoding, limit).of(text);
}

}  // namespace orvella
