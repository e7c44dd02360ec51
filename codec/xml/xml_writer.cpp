#include "codec/xml/xml_writer.h"

#include <string_view>

#include "codec/limits.h"
#include "codec/xml/xml_chars.h"
#include "codec/xml/xml_scan.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/text/base64.h"

namespace zk {
namespace {

using namespace std::string_view_literals;

// What a byte below 0x80 becomes where the escape pass stops at it. CR is a
// character reference everywhere, since the parser turns a CR it reads into
// LF; TAB and LF are references only in attribute values, which the parser
// turns into spaces. The other controls have no form at all in XML 1.0.
enum Action : uint8_t { Plain, Lt, Gt, Amp, Apos, Quot, CrRef, TabRef, LfRef, Copy, Refuse };
constexpr std::string_view kReplacements[] = {{}, "&lt;", "&gt;", "&amp;", "&apos;", "&quot;", "&#13;", "&#9;", "&#10;"};

// Element text, or an attribute value between double quotes.
enum class Place { Text, Attribute };

struct Actions {
    uint8_t of[128] = {};
    constexpr explicit Actions(Place place) {
        for (int c = 0; c < 0x20; ++c) of[c] = Refuse;
        of[static_cast<uint8_t>('<')] = Lt;
        of[static_cast<uint8_t>('>')] = Gt;
        of[static_cast<uint8_t>('&')] = Amp;
        of[static_cast<uint8_t>('\'')] = Apos;
        of[static_cast<uint8_t>('"')] = Quot;
        of[static_cast<uint8_t>('\r')] = CrRef;
        of[static_cast<uint8_t>('\t')] = place == Place::Text ? Copy : TabRef;
        of[static_cast<uint8_t>('\n')] = place == Place::Text ? Copy : LfRef;
    }
};
constexpr Actions kTextActions(Place::Text), kAttributeActions(Place::Attribute);

inline void Append(OutputStream& out, const char* p, size_t n) { out.write(p, n); }
inline void Append(ByteString& out, const char* p, size_t n) { out.append(p, n); }

// The length of the leading run of s that is copied as it is: bytes from
// 0x20 up other than the five replacements, and, when kCheckUtf8, below
// 0x80 only (the bytes above are then checked one character at a time).
template <bool kCheckUtf8>
inline size_t PlainRun(const char* s, size_t n) {
    using namespace xml_scan;
    return FindFirst(
        s, n,
        [](Bytes v) {
            Bytes hit = Or(Or(Equal(v, '<'), Equal(v, '>')), Or(Or(Equal(v, '&'), Equal(v, '\'')), Equal(v, '"')));
            return Or(hit, kCheckUtf8 ? ControlOrHigh(v) : Control(v));
        },
        [](unsigned char c) { return c < 0x80 ? kTextActions.of[c] != Plain : kCheckUtf8; });
}

// The end of the run of characters from U+0080 up at p, or null when one of
// them is not well-formed UTF-8 of a character XML allows.
const char* Utf8Run(const char* p, const char* end) {
    while (p < end && static_cast<unsigned char>(*p) >= 0x80) {
        size_t len = XmlUtf8CharLength(p, static_cast<size_t>(end - p));
        if (!len) return nullptr;
        p += len;
    }
    return p;
}

// Writes s as XML character data of its place, validating in the same pass;
// false at the first byte XML cannot carry (what was appended stays). Without
// kCheckUtf8 the bytes from 0x80 up were checked before, or are GBK checked
// by their conversion. One core serves the stream and the in-place forms.
template <Place kPlace, bool kCheckUtf8, class Sink>
bool AppendEscaped(Sink& out, std::string_view s) {
    const Actions& actions = kPlace == Place::Text ? kTextActions : kAttributeActions;
    const char* p = s.data();
    const char* end = p + s.size();
    for (;;) {
        size_t run = PlainRun<kCheckUtf8>(p, static_cast<size_t>(end - p));
        Append(out, p, run);
        p += run;
        if (p == end) return true;
        if (kCheckUtf8 && static_cast<unsigned char>(*p) >= 0x80) {
            const char* high = p;
            if (!(p = Utf8Run(p, end))) return false;
            Append(out, high, static_cast<size_t>(p - high));
            continue;
        }
        uint8_t action = actions.of[static_cast<uint8_t>(*p)];
        if (action == Refuse) return false;
        std::string_view replacement = action == Copy ? std::string_view(p, 1) : kReplacements[action];
        Append(out, replacement.data(), replacement.size());
        ++p;
    }
}

// A free-form value: UTF-8 checked on the way, or converted to GBK when the
// reader gets exactly these bytes back from the GBK form.
template <Place kPlace, class Sink>
bool AppendValue(Sink& out, std::string_view s, bool gbk) {
    if (!gbk) return AppendEscaped<kPlace, true>(out, s);
    ByteString converted;
    return Utf8ToGbkExactly(s, converted) && AppendEscaped<kPlace, false>(out, converted.view());
}

// How the typed layout writes a string: its leading run that is copied as it
// is, and whether it goes in base64 instead. Binary and unspecified strings
// need not be text, so any byte outside 0x20..0x7F sends them to base64 (0x7F
// is kept); text goes there only with what XML cannot carry at all: controls
// other than TAB, LF and CR, ill-formed UTF-8, U+FFFE and U+FFFF. The scan
// for the plain run settles most strings, which are plain throughout.
struct TypedForm {
    size_t plain;
    bool base64;
};

TypedForm TypedFormOf(std::string_view s, bool asText) {
    size_t plain = PlainRun<true>(s.data(), s.size());
    if (plain == s.size()) return {plain, false};
    std::string_view rest = s.substr(plain);
    return {plain, asText ? !IsXmlText(rest) : XmlAsciiRun(rest.data(), rest.size()) != rest.size()};
}

// The escaped form of s whose first plain bytes need no look.
template <Place kPlace, class Sink>
void AppendTyped(Sink& out, std::string_view s, size_t plain) {
    Append(out, s.data(), plain);
    if (plain != s.size()) AppendEscaped<kPlace, false>(out, s.substr(plain));
}

// A CDATA section carries bytes unchanged when they are XML text without CR
// (the parser turns it into LF there too) and without "]]>", which would end
// the section early; in a GBK document, where CDATA is written unconverted
// and read as GBK, only ASCII does.
[[gnu::noinline]] bool CdataCarries(std::string_view s, bool gbk) {
    using namespace xml_scan;
    const char* p = s.data();
    const char* end = p + s.size();
    for (;;) {
        p += FindFirst(
            p, static_cast<size_t>(end - p), [](Bytes v) { return Or(ControlOrHigh(v), Equal(v, ']')); },
            [](unsigned char c) { return c < 0x20 || c >= 0x80 || c == ']'; });
        if (p == end) return true;
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == ']') {
            if (end - p >= 3 && p[1] == ']' && p[2] == '>') return false;
            ++p;
        } else if (c < 0x20) {
            if (c != '\t' && c != '\n') return false;
            ++p;
        } else {
            size_t len = gbk ? 0 : XmlUtf8CharLength(p, static_cast<size_t>(end - p));
            if (!len) return false;
            p += len;
        }
    }
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

// The free-form text of a value; false when XML cannot carry it.
[[gnu::noinline]] bool WriteValue(OutputStream& out, std::string_view s, bool gbk, Place place) {
    return place == Place::Text ? AppendValue<Place::Text>(out, s, gbk) : AppendValue<Place::Attribute>(out, s, gbk);
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
    uint32_t roots() const { return roots_; }

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
        for (const MapValue::Entry& e : map) {
            if (attributeKeys && WrittenWithItsElement(map, e.key)) continue;
            // A document has one root element, whether the root map or the
            // items of a root list hold them.
            if (level == 0 && ++roots_ > 1) return err::XmlManyRoots;
            Opened opened = OpenElement(map, e, level, attributeKeys);
            if (!opened.descend) {
                if (opened.code) return opened.code;
                continue;
            }
            size_t content = out_.size();
            if (uint32_t code = node(*e.child, level + 1, depth + 1)) return code;
            EndTag(e.key, level, out_.size() != content);
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
        if (!IsXmlName(name, gbk_)) return {err::Unsupported, false};
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
        } else if (v.kind() == ValueKind::Binary && CdataCarries(v.str().view(), gbk_)) {
            out_.write("><![CDATA["sv);
            out_.write(v.str().view());
            out_.write("]]>"sv);
        } else {
            // Binary bytes that one CDATA section cannot hold as they are
            // go as text, which every reader gets back whole; a section split
            // around "]]>" would reach a reader keeping one section in part.
            out_.write(">"sv);
            if (!WriteValue(out_, v.str().view(), gbk_, Place::Text)) return {err::Unsupported, false};
        }
        out_.write("</"sv);
        out_.writeShort(name);
        out_.write(">"sv);
        return {err::Ok, false};
    }

    // An element whose list or map wrote nothing gets no line break inside:
    // it reads back as the empty string, not as that white space.
    [[gnu::noinline]] void EndTag(const ByteString& name, int level, bool content) {
        if (content) LineStart(out_, compact_, level);
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
        TypedForm form = TypedFormOf(s, n.kind() == ValueKind::Text);
        if (form.base64) {
            out_.write(R"(<zk_data type="str" encoding="base64">)"sv);
            WriteBase64(out_, s);
        } else {
            out_.write(R"(<zk_data type="str">)"sv);
            AppendTyped<Place::Text>(out_, s, form.plain);
        }
        out_.write("</zk_data>"sv);
    }

    [[gnu::noinline]] void ItemStart(const ByteString& key, int level) {
        LineStart(out_, compact_, level);
        out_.write(R"(<item key=")"sv);
        // A key XML cannot carry as an attribute value goes in base64.
        TypedForm form = TypedFormOf(key.view(), true);
        if (!form.base64) {
            AppendTyped<Place::Attribute>(out_, key.view(), form.plain);
            out_.write(R"(">)"sv);
        } else {
            WriteBase64(out_, key.view());
            out_.write(R"(" encoding="base64">)"sv);
        }
    }

    OutputStream& out_;
    bool compact_, freeForm_, gbk_;
    uint32_t roots_ = 0;
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
    XmlWriter writer(out, compact, freeForm, gbk);
    uint32_t code = writer.node(node, level, 0);
    // A free-form root that yields no element leaves no document to read.
    if (code == err::Ok && freeForm && level == 0 && !writer.roots()) return err::Unsupported;
    return code;
}

// The reader only ever stores a map under an attribute key; anything else
// comes from a host, and refusing it like any other node the layout cannot
// express is safer than guessing a meaning for it.
uint32_t WriteXmlAttributes(OutputStream& out, const DataNode& attributes, bool gbk) {
    if (!attributes.isMap()) return err::Unsupported;
    for (const MapValue::Entry& e : attributes.map()) {
        if (!IsXmlName(e.key.view(), gbk)) return err::Unsupported;
        out.put(' ');
        out.write(e.key.view());
        out.write("=\""sv);
        const DataNode& v = *e.child;
        if (v.isStr()) {
            if (!WriteValue(out, v.str().view(), gbk, Place::Attribute)) return err::Unsupported;
        } else if (v.isInt()) {
            out.writeInt64(v.num());
        } else {
            return err::Unsupported;
        }
        out.put('"');
    }
    return out.failed() ? err::StreamFailure : err::Ok;
}

void EscapeXmlText(bool asText, ByteString& s, bool& usedBase64) {
    usedBase64 = false;
    if (s.empty()) return;
    ByteString result;
    TypedForm form = TypedFormOf(s.view(), asText);
    if (form.base64) {
        usedBase64 = Base64Encode(s, result);
    } else {
        result.reserve(s.size());
        AppendTyped<Place::Text>(result, s.view(), form.plain);
    }
    s = std::move(result);
}

ByteString EscapeXmlValue(const char* value, bool gbk) {
    ByteString result;
    if (!AppendValue<Place::Text>(result, value ? std::string_view(value) : std::string_view(), gbk)) result.clear();
    return result;
}

}  // namespace zk
