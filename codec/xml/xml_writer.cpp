#include "codec/xml/xml_writer.h"

#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codec/error_codes.h"
#include "codec/limits.h"
#include "codec/xml/base64.h"
#include "codec/xml/text_convert.h"

namespace zk {
namespace {

using namespace std::string_view_literals;

// One table lookup per byte decides whether it is copied or replaced, which
// keeps the common run of plain bytes a tight loop.
struct EscapeTable {
    uint8_t entity[256] = {};
    constexpr EscapeTable() {
        entity[static_cast<uint8_t>('<')] = 1;
        entity[static_cast<uint8_t>('>')] = 2;
        entity[static_cast<uint8_t>('&')] = 3;
        entity[static_cast<uint8_t>('\'')] = 4;
        entity[static_cast<uint8_t>('"')] = 5;
    }
};
constexpr EscapeTable kEscape;
constexpr std::string_view kEntities[] = {{}, "&lt;", "&gt;", "&amp;", "&apos;", "&quot;"};

inline void Append(OutputStream& out, const char* p, size_t n) { out.write(p, n); }
inline void Append(ByteString& out, const char* p, size_t n) { out.append(p, n); }

// The length of the leading run of s that needs no replacement. Sixteen
// bytes at a time where SSE2 is there (every x86-64): text is mostly such
// runs, and the table loop takes one byte at a time.
template <bool kStopAtZero>
size_t PlainRun(const char* s, size_t n) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i lt = _mm_set1_epi8('<'), gt = _mm_set1_epi8('>'), amp = _mm_set1_epi8('&');
    const __m128i apos = _mm_set1_epi8('\''), quot = _mm_set1_epi8('"');
    for (; i + 16 <= n; i += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, gt)),
                                   _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, amp), _mm_cmpeq_epi8(v, apos)),
                                                _mm_cmpeq_epi8(v, quot)));
        if (kStopAtZero) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_setzero_si128()));
        if (int mask = _mm_movemask_epi8(hit)) return i + static_cast<size_t>(__builtin_ctz(mask));
    }
#endif
    while (i < n && !kEscape.entity[static_cast<uint8_t>(s[i])] && !(kStopAtZero && s[i] == 0)) ++i;
    return i;
}

// The five replacements; every other byte (CR, LF, TAB, 0x80 and up) is
// copied as it is. One core serves the stream and the in-place forms.
template <bool kStopAtZero = false, class Sink>
void AppendEscaped(Sink& out, std::string_view s) {
    const char* p = s.data();
    const char* end = p + s.size();
    while (p < end) {
        size_t run = PlainRun<kStopAtZero>(p, static_cast<size_t>(end - p));
        Append(out, p, run);
        p += run;
        if (p == end || (kStopAtZero && *p == 0)) break;
        std::string_view entity = kEntities[kEscape.entity[static_cast<uint8_t>(*p++)]];
        Append(out, entity.data(), entity.size());
    }
}

// Bytes below 0x20 are no XML characters, and from 0x80 up the bytes of a
// string not marked as text need not be UTF-8: either sends the whole string
// to base64. 0x7F is kept.
bool NeedsBase64(std::string_view s) {
    for (unsigned char c : s)
        if (static_cast<unsigned char>(c - 0x20) >= 0x60) return true;
    return false;
}

// Encodes in blocks of whole 3-byte groups, so the text equals the base64 of
// the whole string without holding a copy of it. Kept out of line: the block
// buffer must not sit in the frames of the recursive writer.
[[gnu::noinline]] void WriteBase64(OutputStream& out, std::string_view s) {
    constexpr size_t kBlock = 768;
    char text[kBlock / 3 * 4 + 1];
    for (size_t i = 0; i < s.size(); i += kBlock) {
        size_t len = sizeof text;
        size_t n = s.size() - i < kBlock ? s.size() - i : kBlock;
        Base64EncodeBuffer(text, len, s.data() + i, n);
        out.write(text, len);
    }
}

// The free-form text of a value: up to its first zero byte, GBK on request.
[[gnu::noinline]] void WriteValue(OutputStream& out, std::string_view s, bool gbk) {
    if (!gbk) return AppendEscaped<true>(out, s);
    if (const void* zero = std::memchr(s.data(), 0, s.size()))
        s = s.substr(0, static_cast<const char*>(zero) - s.data());
    ByteString converted;
    Utf8ToGbk(s.data(), s.size(), converted);
    AppendEscaped(out, converted.view());
}

bool IsAttributeKey(std::string_view key) { return !key.empty() && key.back() == '@'; }

bool HasAttributeKeys(const MapValue& map) {
    for (const MapValue::Entry& e : map)
        if (IsAttributeKey(e.key.view())) return true;
    return false;
}

// The attribute entry "name@" of element name, or null.
[[gnu::noinline]] const NodeRef* FindAttributes(const MapValue& map, std::string_view name) {
    ByteString key(name);
    key.push_back('@');
    return map.find(key.view());
}

// Line start: NL and IND(level) in one write for the levels real documents
// reach.
[[gnu::noinline]] void LineStart(OutputStream& out, bool compact, int level) {
    if (compact) return;
    static constexpr std::string_view kIndent = "\r\n\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t"sv;
    size_t tabs = level > 0 ? static_cast<size_t>(level) : 0;
    if (tabs + 2 <= kIndent.size()) return out.writeShort(kIndent.substr(0, tabs + 2));
    out.write("\r\n", 2);
    out.fill('\t', tabs);
}

// The recursion runs through node() and the five functions after it alone;
// everything that writes bytes lives in the out-of-line helpers below them:
// their buffers and temporaries then occupy the stack only while they run,
// not once per level (under AddressSanitizer each would add a padded slot to
// every level's frame).
class XmlWriter {
public:
    XmlWriter(OutputStream& out, bool compact, bool freeForm, bool gbk)
        : out_(out), compact_(compact), freeForm_(freeForm), gbk_(gbk) {}

    // depth counts the calls above this one, which bounds the recursion;
    // levels alone do not (a free-form list writes its items at its own level).
    uint32_t node(const DataNode& n, int level, uint32_t depth) {
        if (out_.failed() || (gbk_ && !freeForm_)) return err::BadArgument;
        if (depth > kMaxDepth) return err::Unsupported;
        uint32_t code = freeForm_ ? freeFormNode(n, level, depth) : typedNode(n, level, depth);
        if (code) return code;
        return out_.failed() ? err::StreamFailure : err::Ok;
    }

private:
    enum Tag { ListStart, MapStart, DataEnd, ItemEnd };

    uint32_t typedNode(const DataNode& n, int level, uint32_t depth) {
        switch (n.type()) {
        case NodeType::Str: TypedStr(n, level); return err::Ok;
        case NodeType::Int: TypedInt(n.num(), level); return err::Ok;
        case NodeType::List: return typedList(n.list(), level, depth);
        case NodeType::Map: return typedMap(n.map(), level, depth);
        default: return err::Unsupported;
        }
    }

    uint32_t typedList(const ListValue& list, int level, uint32_t depth) {
        TypedTag(ListStart, level);
        for (const NodeRef& item : list)
            if (uint32_t code = node(*item, level + 1, depth + 1)) return code;
        TypedTag(DataEnd, level);
        return err::Ok;
    }

    // Entries and insertion order are one structure here, so a key without
    // its entry (25000003) cannot occur.
    uint32_t typedMap(const MapValue& map, int level, uint32_t depth) {
        TypedTag(MapStart, level);
        for (const MapValue::Entry& e : map) {
            ItemStart(e.key, level + 1);
            if (uint32_t code = node(*e.child, level + 2, depth + 1)) return code;
            TypedTag(ItemEnd, level + 1);
        }
        TypedTag(DataEnd, level);
        return err::Ok;
    }

    // Free-form list items are written at the list's own level, so each must
    // itself be a list or a map of elements.
    uint32_t freeFormNode(const DataNode& n, int level, uint32_t depth) {
        if (n.isMap()) return elements(n.map(), level, depth);
        if (!n.isList()) return err::Unsupported;
        for (const NodeRef& item : n.list())
            if (uint32_t code = node(*item, level, depth + 1)) return code;
        return err::Ok;
    }

    uint32_t elements(const MapValue& map, int level, uint32_t depth) {
        // Leaf elements are written inline, without a call of their own; this
        // keeps element nesting within the bound the reader applies.
        if (!map.empty() && depth >= kMaxDepth) return err::Unsupported;
        // Attribute keys are rare; knowing there are none spares lookups.
        bool attributeKeys = HasAttributeKeys(map);
        int written = 0;
        for (const MapValue::Entry& e : map) {
            if (attributeKeys && WrittenWithItsElement(map, e.key)) continue;
            if (level == 0 && ++written > 1) return err::XmlManyRoots;
            Opened opened = OpenElement(map, e, level, attributeKeys);
            if (!opened.descend) {
                if (opened.code) return opened.code;
                continue;
            }
            if (uint32_t code = node(*e.child, level + 1, depth + 1)) return code;
            EndTag(e.key, level);
        }
        return err::Ok;
    }

    // The outcome of OpenElement: an error, a finished element, or one whose
    // list or map value is to be written next.
    struct Opened {
        uint32_t code;
        bool descend;
    };

    // An attribute key whose element exists is written with that element.
    [[gnu::noinline]] static bool WrittenWithItsElement(const MapValue& map, const ByteString& key) {
        std::string_view k = key.view();
        return IsAttributeKey(k) && map.find(k.substr(0, k.size() - 1));
    }

    // Writes the start tag of entry e with its attributes and, for a leaf
    // value, the rest of the element.
    [[gnu::noinline]] Opened OpenElement(const MapValue& map, const MapValue::Entry& e, int level, bool attributeKeys) {
        std::string_view key = e.key.view();
        bool isAttributes = IsAttributeKey(key);
        std::string_view name = isAttributes ? key.substr(0, key.size() - 1) : key;
        const NodeRef* attributes = isAttributes ? &e.child : attributeKeys ? FindAttributes(map, name) : nullptr;
        LineStart(out_, compact_, level);
        out_.write("<"sv);
        out_.writeShort(name);
        if (attributes)
            if (uint32_t code = WriteXmlAttributes(out_, **attributes, gbk_)) return {code, false};
        if (isAttributes) {
            out_.write("/>"sv);
            return {err::Ok, false};
        }
        const DataNode& v = *e.child;
        if (!v.isStr() && !v.isInt()) {
            out_.write(">"sv);
            return {err::Ok, true};
        }
        if (v.isInt()) {
            out_.write(">"sv);
            out_.writeInt64(v.num());
        } else if (v.str().empty()) {
            out_.write("/>"sv);
            return {err::Ok, false};
        } else if (v.kind() == ValueKind::Binary) {
            // Bytes go in unchanged, "]]>" included: CDATA has no escape.
            out_.write("><![CDATA["sv);
            out_.write(v.str().view());
            out_.write("]]>"sv);
        } else {
            out_.write(">"sv);
            WriteValue(out_, v.str().view(), gbk_);
        }
        out_.write("</"sv);
        out_.writeShort(name);
        out_.write(">"sv);
        return {err::Ok, false};
    }

    [[gnu::noinline]] void EndTag(const ByteString& name, int level) {
        LineStart(out_, compact_, level);
        out_.write("</"sv);
        out_.writeShort(name.view());
        out_.write(">"sv);
    }

    [[gnu::noinline]] void TypedTag(Tag tag, int level) {
        static constexpr std::string_view kTags[] = {R"(<zk_data type="list">)", R"(<zk_data type="map">)",
                                                     "</zk_data>", "</item>"};
        LineStart(out_, compact_, level);
        out_.write(kTags[tag]);
    }

    [[gnu::noinline]] void TypedInt(int64_t v, int level) {
        LineStart(out_, compact_, level);
        out_.write(R"(<zk_data type="int">)"sv);
        out_.writeInt64(v);
        out_.write("</zk_data>"sv);
    }

    [[gnu::noinline]] void TypedStr(const DataNode& n, int level) {
        std::string_view s = n.str().view();
        LineStart(out_, compact_, level);
        if (n.kind() != ValueKind::Text && NeedsBase64(s)) {
            out_.write(R"(<zk_data type="str" encoding="base64">)"sv);
            WriteBase64(out_, s);
        } else {
            out_.write(R"(<zk_data type="str">)"sv);
            AppendEscaped(out_, s);
        }
        out_.write("</zk_data>"sv);
    }

    [[gnu::noinline]] void ItemStart(const ByteString& key, int level) {
        LineStart(out_, compact_, level);
        out_.write(R"(<item key=")"sv);
        AppendEscaped(out_, key.view());
        out_.write(R"(">)"sv);
    }

    OutputStream& out_;
    bool compact_, freeForm_, gbk_;
};

}  // namespace

uint32_t WriteXml(OutputStream& out, const DataNode& node) {
    bool compact = node.hasOption(OptionFlags::XmlCompact);
    bool freeForm = node.hasOption(OptionFlags::XmlFreeForm);
    bool gbk = node.hasOption(OptionFlags::XmlGbk);
    if (out.failed() || (gbk && !freeForm)) return err::BadArgument;
    out.write(gbk ? R"(<?xml version="1.0" encoding="gbk"?>)"sv : R"(<?xml version="1.0" encoding="utf-8"?>)"sv);
    return WriteXmlNode(out, node, 0, compact, freeForm, gbk);
}

uint32_t WriteXmlNode(OutputStream& out, const DataNode& node, int level, bool compact, bool freeForm, bool gbk) {
    return XmlWriter(out, compact, freeForm, gbk).node(node, level, 0);
}

// The reader only ever stores a map under an attribute key; anything else
// comes from a host, and refusing it like any other node the layout cannot
// express is safer than guessing a meaning for it.
uint32_t WriteXmlAttributes(OutputStream& out, const DataNode& attributes, bool gbk) {
    if (!attributes.isMap()) return err::Unsupported;
    for (const MapValue::Entry& e : attributes.map()) {
        out.put(' ');
        out.write(e.key.view());
        out.write("=\""sv);
        const DataNode& v = *e.child;
        if (v.isStr())
            WriteValue(out, v.str().view(), gbk);
        else if (v.isInt())
            out.writeInt64(v.num());
        else
            return err::Unsupported;
        out.put('"');
    }
    return out.failed() ? err::StreamFailure : err::Ok;
}

void EscapeXmlText(bool asText, ByteString& s, bool& usedBase64) {
    usedBase64 = false;
    if (s.empty()) return;
    ByteString result;
    if (!asText && NeedsBase64(s.view())) {
        usedBase64 = Base64Encode(s, result);
    } else {
        result.reserve(s.size());
        AppendEscaped(result, s.view());
    }
    s = std::move(result);
}

ByteString EscapeXmlValue(const char* value, bool gbk) {
    std::string_view s = value ? std::string_view(value) : std::string_view();
    ByteString result;
    if (!gbk) {
        AppendEscaped(result, s);
        return result;
    }
    ByteString converted;
    Utf8ToGbk(s.data(), s.size(), converted);
    AppendEscaped(result, converted.view());
    return result;
}

}  // namespace zk
