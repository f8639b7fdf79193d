#include "support/xml_nesting.h"

#include <array>
#include <cstdint>
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

// Classes of bytes that every locale and encoding treat alike, for the runs
// the walk passes without TinyXML's per-byte helpers (what the locale may
// change is left to them):
enum ByteClass : unsigned char {
    // ' ', '\t', '\n', '\v', '\f', '\r': white space to isspace everywhere.
    kSpace = 1,
    // '!' to '~': never white space.
    kGraph = 2,
    // ASCII letters.
    kLetter = 4,
    // ASCII letters and digits, '_', '-', '.', ':': always part of a name.
    kName = 8,
    // NUL, white space and ASCII punctuation but '_', '-', '.', ':': where a
    // name ends (neither alphabetic nor a digit in any locale).
    kEndsName = 16,
    // 0x01 to 0x7F but '&' and the end character ('<', '"', '\'' in turn):
    // a byte GetChar returns as itself, one byte on, in every encoding,
    // before the end of a text or quoted value.
    kInText = 32,
    kInDoubleQuoted = 64,
    kInSingleQuoted = 128,
};

constexpr std::array<unsigned char, 256> byte_classes() {
    std::array<unsigned char, 256> classes{};
    classes[0] = kEndsName;
    for (int c = 1; c < 0x80; ++c) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        const bool space = c == ' ' || (c >= '\t' && c <= '\r');
        const bool name = letter || digit || c == '_' || c == '-' || c == '.' || c == ':';
        int is = 0;
        if (space) is |= kSpace;
        if (c >= '!' && c <= '~') is |= kGraph;
        if (letter) is |= kLetter;
        if (name) is |= kName;
        if (space || (c >= '!' && c <= '~' && !name)) is |= kEndsName;
        if (c != '&') {
            if (c != '<') is |= kInText;
            if (c != '"') is |= kInDoubleQuoted;
            if (c != '\'') is |= kInSingleQuoted;
        }
        classes[c] = static_cast<unsigned char>(is);
    }
    return classes;
}

constexpr std::array<unsigned char, 256> kByteClasses = byte_classes();

inline bool is(char c, ByteClass what) {
    return (kByteClasses[static_cast<unsigned char>(c)] & what) != 0;
}

// Eight bytes at a time where the first of them in memory is the lowest.
constexpr bool kWordRuns = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kHighs = 0x8080808080808080u;

// The high bit of each zero byte of x, and of none below the lowest.
inline std::uint64_t zero_bytes(std::uint64_t x) {
    return (x - kOnes) & ~x & kHighs;
}

// From p, in a text whose first NUL is at `nul`, past the run of bytes in
// class `in` (kInText, kInDoubleQuoted or kInSingleQuoted, that of `end`):
// whole words that hold no `end`, '&' or byte above 0x7F, then one byte at
// a time.
inline const char* past_run(const char* p, const char* nul, char end, ByteClass in) {
    if constexpr (kWordRuns) {
        const std::uint64_t ends = kOnes * static_cast<unsigned char>(end);
        const std::uint64_t ampersands = kOnes * static_cast<unsigned char>('&');
        for (; nul - p >= 8; p += 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            const std::uint64_t stops = zero_bytes(word ^ ends) | zero_bytes(word ^ ampersands) | (word & kHighs);
            if (stops != 0) return p + __builtin_ctzll(stops) / 8;
        }
    }
    while (is(*p, in)) ++p;
    return p;
}

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
// follows. With `runs`, it passes runs of bytes that TinyXML's helpers
// would take one at a time, whatever the locale and encoding (white space,
// names, text and quoted values in ASCII without '&'), in a tight loop
// instead, and hands every other byte to those helpers: the same positions,
// at a fraction of the cost. Without, it is the plain replay the runs are
// held to. Where the parser stops with an error, so does this walk; the one
// error it does not detect (an attribute named twice) lets it go on past
// where the parser stops, which can only add depth.
template <bool runs>
class ElementNesting {
public:
    ElementNesting(TiXmlEncoding encoding, std::size_t limit) : encoding_(encoding), limit_(limit) {
        cdata_.SetCDATA(true);
    }

    std::size_t of(const char* p) {
        if (p == nullptr || *p == '\0') return 0;
        nul_ = p + std::strlen(p);
        const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
        if (encoding_ == TIXML_ENCODING_UNKNOWN && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF)
            encoding_ = TIXML_ENCODING_UTF8;
        p = skip_white_space(p);
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
            p = skip_white_space(p);
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

    // TiXmlBase::SkipWhiteSpace.
    const char* skip_white_space(const char* p) const {
        if constexpr (runs) {
            if (p == nullptr) return nullptr;
            if (is(*p, kGraph)) return p;
            if (*p == '\0') return nullptr;
            while (is(*p, kSpace)) ++p;
            if (*p == '\0' || is(*p, kGraph)) return p;
        }
        return TinyXmlLexer::SkipWhiteSpace(p, encoding_);
    }

    Kind identify(const char* p) const {
        p = skip_white_space(p);
        if (p == nullptr || *p != '<') return Kind::none;
        // No letter, whatever its case, is '?' or '!', and every ASCII
        // letter is alphabetic to isalpha: an element.
        if (runs && (is(p[1], kLetter) || p[1] == '_')) return Kind::element;
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
        if (!(runs && is(*p, kLetter)) && !TinyXmlLexer::IsAlpha(static_cast<unsigned char>(*p), encoding_) &&
            *p != '_')
            return nullptr;
        for (;;) {
            if constexpr (runs) {
                while (is(*p, kName)) ++p;
                if (is(*p, kEndsName)) return p;
            }
            if (*p == '\0' || !(TinyXmlLexer::IsAlphaNum(static_cast<unsigned char>(*p), encoding_) ||
                                *p == '_' || *p == '-' || *p == '.' || *p == ':'))
                return p;
            ++p;
        }
    }

    // TiXmlBase::ReadText up to and past the one-character end tag `end`
    // (where its StringEqual is a comparison of that character), keeping
    // nothing.
    // A run of bytes in ByteClass `in` is one that both of its steps, the
    // GetChar and (with white space condensed) the plain ++p, take one byte
    // at a time.
    const char* read_text(const char* p, char end, bool trim_white_space) const {
        const ByteClass in = end == '<' ? kInText : end == '"' ? kInDoubleQuoted : kInSingleQuoted;
        char character[4];
        int length = 0;
        if (!trim_white_space || !TiXmlBase::IsWhiteSpaceCondensed()) {
            while (p != nullptr && *p != '\0' && *p != end) {
                if (runs && is(*p, in)) {
                    p = past_run(p, nul_, end, in);
                    continue;
                }
                p = TinyXmlLexer::GetChar(p, character, &length, encoding_);
            }
        } else {
            p = skip_white_space(p);
            while (p != nullptr && *p != '\0' && *p != end) {
                if (runs && is(*p, in)) {
                    p = past_run(p, nul_, end, in);
                    continue;
                }
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
        p = skip_white_space(p);
        if (p == nullptr || *p == '\0') return nullptr;
        p = read_name(p);
        if (p == nullptr || *p == '\0') return nullptr;
        p = skip_white_space(p);
        if (p == nullptr || *p != '=') return nullptr;
        p = skip_white_space(p + 1);
        if (p == nullptr || *p == '\0') return nullptr;
        if (*p == '\'' || *p == '"') {
            const char quote = *p++;
            if constexpr (runs) {
                // Most values are short, and end at the first byte that
                // needs more than the run.
                p = past_run(p, nul_, quote, quote == '"' ? kInDoubleQuoted : kInSingleQuoted);
                if (*p == quote) return p + 1;
            }
            return read_text(p, quote, false);
        }
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
            p = skip_white_space(p + 1);
            const char* name = p;
            p = read_name(p);
            if (p == nullptr || *p == '\0') return nullptr;
            const std::size_t name_length = static_cast<std::size_t>(p - name);
            bool has_content = false;
            for (;;) {
                p = skip_white_space(p);
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
            p = skip_white_space(p);
            for (;;) {
                if (p == nullptr || *p == '\0') return nullptr;
                if (*p != '<') {
                    // TiXmlText::Parse, which keeps the '<' that ends the text.
                    p = read_text(TiXmlBase::IsWhiteSpaceCondensed() ? p : with_white_space, '<', true);
                    if (p != nullptr) --p;
                } else if (p[1] == '/') {  // StringEqual(p, "</")
                    const Open& closing = open_.back();
                    if (std::strncmp(p + 2, closing.name, closing.length) != 0) return nullptr;
                    p = skip_white_space(p + 2 + closing.length);
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
                p = skip_white_space(p);
            }
        }
    }

    TiXmlEncoding encoding_;
    const std::size_t limit_;
    const char* nul_ = nullptr;
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
    return ElementNesting<true>(encoding, limit).of(text);
}

std::size_t xml_element_depth_stepwise(const char* text, TiXmlEncoding encoding, std::size_t limit) {
    return ElementNesting<false>(encoding, limit).of(text);
}

}  // namespace orvella
