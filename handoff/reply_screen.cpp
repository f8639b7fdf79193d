#include "handoff/reply_screen.h"

#include <string.h>  // memmem

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

namespace orvella {
namespace {

// How TinyXML reads an attribute value, byte by byte from its opening quote:
// a byte other than '&' stands for itself (in a UTF-8 reading a lead byte
// takes the following ones as they are, a '&' among them); at a '&' it reads
// a reference if it recognises one, and otherwise drops the '&'. A value
// that equals the name is therefore the name's bytes taken in order from the
// reply, where a stretch of the name may come from a reference. The search
// below follows every such reading from every place, so it finds at least
// every value TinyXML could read, and more.

struct NamedEntity {
    std::string_view text;
    char byte;
};
constexpr NamedEntity kNamedEntities[] = {
    {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''},
};

// The bytes a reference reads as: zero to four.
struct Decoding {
    char bytes[4] = {};
    std::size_t size = 0;
};

// TinyXML's conversion of a character number to UTF-8, to the byte: numbers
// from 0x200000 on read as nothing.
Decoding utf8_of(unsigned long number) {
    Decoding d;
    if (number < 0x80)
        d.size = 1;
    else if (number < 0x800)
        d.size = 2;
    else if (number < 0x10000)
        d.size = 3;
    else if (number < 0x200000)
        d.size = 4;
    else
        return d;
    static const unsigned long kFirstByteMark[5] = {0x00, 0x00, 0xC0, 0xE0, 0xF0};
    for (std::size_t i = d.size - 1; i > 0; --i) {
        d.bytes[i] = static_cast<char>((number | 0x80) & 0xBF);
        number >>= 6;
    }
    d.bytes[0] = static_cast<char>(number | kFirstByteMark[d.size]);
    return d;
}

// A recognised reference: where its text ends and the readings it may have.
struct Reference {
    std::size_t end = 0;
    Decoding decodings[2];
    std::size_t count = 0;  // 0: not recognised, the '&' reads as nothing
};

// Generous limits: past them the answer is "may name", and the reply is
// parsed. They keep a reply full of references from costing more than a
// small part of its parse.
constexpr std::size_t kStepsPerByte = 4;
constexpr std::size_t kSpareSteps = 64 * 1024;
// References followed at once, one call each: the hand-off thread's stack is small.
constexpr std::size_t kDeepest = 256;

class NameSearch {
public:
    NameSearch(std::string_view reply, std::string_view name)
        : reply_(reply), name_(name),
          steps_left_(kStepsPerByte * reply.size() + kSpareSteps),
          deepest_(std::min<std::size_t>(2 * name.size() + 16, kDeepest)) {}

    bool may_name() {
        const std::size_t n = reply_.size();
        const std::size_t length = name_.size();
        // A name whose bytes all stand for themselves.
        if (::memmem(reply_.data(), n, name_.data(), length) != nullptr) return true;
        // Otherwise a value that reads as the name holds a '&': for each,
        // every stretch before it that could begin the name, back to the
        // '&' before it.
        std::size_t run_start = 0;
        for (std::size_t amp = reply_.find('&'); amp != std::string_view::npos;
             amp = reply_.find('&', amp + 1)) {
            const std::size_t longest = std::min(length - 1, amp - run_start);
            for (std::size_t k = 0; k <= longest; ++k) {
                if (!spend(1 + k)) return true;
                if (k > 0 && (reply_[amp - 1] != name_[k - 1] ||
                              reply_.compare(amp - k, k, name_.substr(0, k)) != 0))
                    continue;
                if (continues(amp, k, 0)) return true;
            }
            run_start = amp + 1;
        }
        return false;
    }

private:
    bool spend(std::size_t steps) {
        if (steps > steps_left_) {
            steps_left_ = 0;
            return false;
        }
        steps_left_ -= steps;
        return true;
    }

    // Whether the reply from `at` can read as the name's bytes from
    // `matched` on. True also when the limits are reached.
    bool continues(std::size_t at, std::size_t matched, std::size_t depth) {
        if (depth > deepest_) return true;
        for (;;) {
            if (matched == name_.size()) return true;
            if (at >= reply_.size()) return false;
            if (!spend(1)) return true;
            const char c = reply_[at];
            if (c != '&') {
                if (c != name_[matched]) return false;
                ++at;
                ++matched;
                continue;
            }
            // Inside a multi-byte UTF-8 sequence the '&' is itself.
            if (name_[matched] == '&' && continues(at + 1, matched + 1, depth + 1)) return true;
            const Reference reference = reference_at(at);
            if (steps_left_ == 0) return true;
            const std::size_t rest = name_.size() - matched;
            for (std::size_t i = 0; i < reference.count; ++i) {
                const Decoding& d = reference.decodings[i];
                const std::size_t common = std::min(rest, d.size);
                if (std::memcmp(name_.data() + matched, d.bytes, common) != 0) continue;
                if (d.size >= rest) return true;
                if (continues(reference.end, matched + d.size, depth + 1)) return true;
            }
            // Unrecognised, the '&' reads as nothing. Tried for every '&',
            // which only widens the search.
            ++at;
        }
    }

    // The first ';' at or after `from`, as strchr finds it; npos when none.
    // Remembers the last answer: no ';' lies between a search's start and
    // what it found, so a search from there on finds the same.
    std::size_t semicolon_from(std::size_t from) {
        if (searched_ && from >= searched_from_ && from <= semicolon_) return semicolon_;
        const std::size_t found = reply_.find(';', from);
        spend((found == std::string_view::npos ? reply_.size() : found) - from);
        searched_ = true;
        searched_from_ = from;
        semicolon_ = found;
        return found;
    }

    // What TinyXML reads a '&' at `at` as (TiXmlBase::GetEntity), under both
    // decodings of a character number.
    Reference reference_at(std::size_t at) {
        Reference r;
        const std::string_view s = reply_;
        const std::size_t n = s.size();
        if (at + 2 < n && s[at + 1] == '#') {
            // The number is read backwards from the next ';' to the nearest
            // 'x' (hexadecimal) or '#' (decimal), whatever lies before that;
            // any other byte on the way makes the value unreadable.
            const bool hex = s[at + 2] == 'x';
            if (hex && at + 3 >= n) return r;
            const std::size_t semicolon = semicolon_from(at + (hex ? 3 : 2));
            if (semicolon == std::string_view::npos) return r;
            unsigned long number = 0;
            unsigned weight = 1;
            const char stop = hex ? 'x' : '#';
            for (std::size_t i = semicolon - 1; s[i] != stop; --i) {
                if (!spend(1)) return r;
                const char c = s[i];
                if (c >= '0' && c <= '9')
                    number += weight * static_cast<unsigned>(c - '0');
                else if (hex && c >= 'a' && c <= 'f')
                    number += weight * static_cast<unsigned>(c - 'a' + 10);
                else if (hex && c >= 'A' && c <= 'F')
                    number += weight * static_cast<unsigned>(c - 'A' + 10);
                else
                    return r;
                weight *= hex ? 16 : 10;
            }
            r.end = semicolon + 1;
            r.decodings[0].bytes[0] = static_cast<char>(number);  // one byte each
            r.decodings[0].size = 1;
            r.decodings[1] = utf8_of(number);
            r.count = 2;
            return r;
        }
        for (const NamedEntity& entity : kNamedEntities) {
            if (s.compare(at, entity.text.size(), entity.text) != 0) continue;
            r.end = at + entity.text.size();
            r.decodings[0].bytes[0] = entity.byte;
            r.decodings[0].size = 1;
            r.count = 1;
            return r;
        }
        return r;
    }

    const std::string_view reply_;
    const std::string_view name_;
    std::size_t steps_left_;
    const std::size_t deepest_;
    bool searched_ = false;
    std::size_t searched_from_ = 0;
    std::size_t semicolon_ = 0;  // npos (the largest size) when none
};

}  // namespace

bool reply_may_name(std::string_view reply, const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) return true;
    reply = reply.substr(0, reply.find('\0'));
    return NameSearch(reply, name).may_name();
}

void ReplyMemory::forget_last() {
    std::string().swap(last_);
    has_last_ = false;
}

void ReplyMemory::remember_unconfirmed() {
    // The buffers trade places: the next reply is copied into the older one,
    // whose pages are already there.
    std::swap(current_, last_);
    has_last_ = true;
}

}  // namespace orvella
