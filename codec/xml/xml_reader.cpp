#include "codec/xml/xml_reader.h"

#include <cstdlib>
#include <new>
#include <string_view>

#include "codec/limits.h"
#include "codec/xml/xml_read_state.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/text/base64.h"
#include "zk_data/text/gbk.h"
#include "zk_data/text/text_convert.h"
#include "zk_data/value/decimal.h"

namespace zk {
namespace {

// Bytes handed to the parser per call: 1 KiB first, doubling with every call
// up to 64 MiB, and everything that is left, as the final chunk, once that is
// at most kFinalRatio times the next chunk. Before 2.6.0 expat rescans a
// token cut by a chunk's end from its start on every later chunk, so fixed
// small chunks make one huge token (a long attribute value) quadratic;
// growing chunks keep it near linear. Starting small keeps what a short
// document copies of the bytes after it small; the cap bounds expat's buffer
// (it copies every chunk, which is why chunks are views of the caller's
// memory and not copies of ours). The early final chunk matters for speed:
// after every chunk but the final one expat scans what it parsed once more
// to count lines and columns, which cost a tenth of a whole read when the
// final chunk was only the last doubling. Measurements in docs/xml.md.
constexpr size_t kFirstChunk = size_t{1} << 10;
constexpr size_t kMaxChunk = size_t{1} << 26;
constexpr size_t kFinalRatio = 4;

size_t NextChunk(size_t chunkSize, size_t remaining) {
    if (remaining <= chunkSize * kFinalRatio && remaining <= kMaxChunk) return remaining;
    return remaining < chunkSize ? remaining : chunkSize;
}

// s equals the literal; stops at the first difference, so it never reads
// past the end of a shorter s. Inline: names are compared on every event.
template <size_t N>
bool Is(const char* s, const char (&literal)[N]) {
    for (size_t i = 0; i < N; ++i)
        if (s[i] != literal[i]) return false;
    return true;
}

// Encoding names are ASCII; the locale must not change how they compare.
bool EqualsIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = *a, y = *b;
        if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
        if (x != y) return false;
        if (!x) return true;
    }
}

bool IsGbkName(const char* name) { return EqualsIgnoringCase(name, "gbk") || EqualsIgnoringCase(name, "gb2312"); }

// The value of the first attribute called name, or null.
template <size_t N>
const char* FindAttribute(const XML_Char** attributes, const char (&name)[N]) {
    for (; *attributes; attributes += 2)
        if (Is(attributes[0], name)) return attributes[1];
    return nullptr;
}

bool IsBase64(const char* encoding) { return encoding && Is(encoding, "base64"); }

// Releases the parser however ReadXml ends.
struct ParserHolder {
    XmlReadState& state;
    ~ParserHolder() {
        XML_ParserFree(state.parser);
        state.parser = nullptr;
    }
};

// Nested entity references recurse inside expat before 2.7.0, deep enough
// to overflow the stack on a small document.
bool ExpatRecursesIntoEntities() {
    static const bool recurses = [] {
        XML_Expat_Version v = XML_ExpatVersionInfo();
        return v.major < 2 || (v.major == 2 && v.minor < 7);
    }();
    return recurses;
}

// What the element callbacks do, kept apart so that XmlReadState stays a
// plain record of what one reading shares.
class XmlEvents {
public:
    static constexpr std::string_view kBase64Marker = "base64";

    explicit XmlEvents(XmlReadState& s) : s_(s) {}

    void startElement(const char* name, const XML_Char** attributes) {
        if (s_.stack.empty()) return s_.StopReading(err::XmlNoOpenNode);
        beginTag();
        if (s_.freeForm)
            freeFormStart(name, attributes);
        else
            typedStart(name, attributes);
    }

    void endElement(const char* name) {
        if (s_.stack.empty()) return s_.StopReading(err::XmlNoOpenNode);
        bool cdata = s_.sawCdata;
        if (s_.freeForm)
            freeFormEnd(cdata);
        else
            typedEnd(name);
        beginTag();
    }

private:
    // Text between tags (indentation, line breaks) never reaches a node.
    void beginTag() {
        s_.text.clear();
        s_.sawCdata = s_.inCdata = false;
    }

    DataNode& top() { return *s_.stack.back(); }

    // The depth bound is checked before the node is created, so a refused
    // document leaves no half-made entry behind.
    bool roomForChild() {
        if (s_.stack.size() <= kMaxDepth) return true;
        s_.StopReading(err::XmlParse);
        return false;
    }

    void pop() { s_.stack.pop_back(); }
    // Of the node on top: the nodes open around it.
    uint32_t depth() const { return static_cast<uint32_t>(s_.stack.size() - 1); }

    void typedStart(const char* name, const XML_Char** attributes) {
        if (Is(name, "zk_data")) {
            if (top().isList()) {
                if (!roomForChild()) return;
                s_.stack.push_back(&top().listAt(top().size()));
            }
            const char* type = FindAttribute(attributes, "type");
            type = type ? type : "";
            // A str element starts as a marker of its encoding; its end tag
            // replaces the marker by the value.
            if (Is(type, "str"))
                top().setStr(IsBase64(FindAttribute(attributes, "encoding")) ? kBase64Marker : std::string_view(),
                             ValueKind::Text);
            else if (Is(type, "int"))
                top().setType(static_cast<int32_t>(NodeType::Int));
            else if (Is(type, "list"))
                s_.shapes.open(top().asList(), depth());
            else if (Is(type, "map"))
                s_.shapes.open(top().asMap(), depth());
            else
                s_.StopReading(err::Unsupported);
        } else if (Is(name, "item")) {
            const char* key = FindAttribute(attributes, "key");
            if (!key) return s_.StopReading(err::XmlItemWithoutKey);
            if (!top().isMap()) return s_.StopReading(err::XmlItemNotInMap);
            if (!roomForChild()) return;
            if (*key && IsBase64(FindAttribute(attributes, "encoding"))) {
                ByteString bytes(key);
                Base64Decode(bytes, bytes);  // a key that does not decode stays as written
                s_.stack.push_back(&top().mapGet(bytes.view()));
            } else {
                s_.stack.push_back(&top().mapGet(key));
            }
        } else {
            s_.StopReading(err::XmlUnknownElement);
        }
    }

    void typedEnd(const char* name) {
        if (Is(name, "zk_data")) {
            DataNode& node = top();
            switch (node.type()) {
            case NodeType::Str: {
                bool base64 = node.str().view() == kBase64Marker;
                ByteString& text = s_.text;
                // Text that does not decode is stored as it came (see docs).
                if (base64 && !text.empty()) Base64Decode(text, text);
                node.setStr(text.view(), base64 ? ValueKind::Binary : ValueKind::Text);
                break;
            }
            case NodeType::Int: node.setInt(ParseLeadingInt64(s_.text.view()), ValueKind::UInt64); break;
            case NodeType::List: s_.shapes.close(node.list(), depth()); break;
            case NodeType::Map: s_.shapes.close(node.map(), depth()); break;
            default: return s_.StopReading(err::Unsupported);  // an item without zk_data
            }
            pop();
        } else if (!Is(name, "item")) {
            return s_.StopReading(err::XmlUnknownElement);
        }
        if (s_.stack.empty()) s_.StopReading(err::Ok);
    }

    void freeFormStart(const char* elementName, const XML_Char** attributes) {
        if (!roomForChild()) return;
        std::string_view name = elementName;
        DataNode* parent = &top();
        if (parent->isMap() && parent->map().contains(name)) RepeatedElement(*parent);
        if (parent->isList()) parent = &parent->listAt(parent->size());
        else if (parent->isNone()) s_.shapes.open(parent->asMap(), depth());
        if (*attributes) {
            ByteString key(name);
            key.push_back('@');
            DataNode& map = parent->mapGet(key.view());
            for (; *attributes; attributes += 2) map.mapGet(attributes[0]).setStr(attributes[1], ValueKind::Binary);
        }
        s_.stack.push_back(&parent->mapGet(name));
    }

    void freeFormEnd(bool cdata) {
        DataNode& node = top();
        if (node.isMap()) s_.shapes.close(node.map(), depth());
        else if (node.isList()) s_.shapes.close(node.list(), depth());
        // An element with child elements keeps its map or list; its own text
        // is dropped.
        if (node.isNone()) {
            if (cdata)
                node.setStr(s_.text.view(), ValueKind::Binary);
            else
                node.setStr(s_.text.c_str());
        }
        pop();
        if (s_.stack.size() == 1) s_.StopReading(err::Ok);
    }

    // The second element of one name turns its parent map into a list of
    // one-entry maps in document order, each with its attributes. Values
    // move rather than copy: no open node lies inside the old map.
    static void RepeatedElement(DataNode& parent) {
        DataNode old;
        old.moveFrom(parent);
        MapValue& map = old.map();
        uint32_t next = 0;
        ByteString attributeKey;
        for (uint32_t i = 0; i < map.size(); ++i) {
            MapValue::Entry& e = map.entry(i);
            std::string_view key = e.key.view();
            if (!key.empty() && key.back() == '@') continue;
            DataNode& item = parent.listAt(next++);
            attributeKey.assign(key);
            attributeKey.push_back('@');
            if (NodeRef* attributes = map.find(attributeKey.view()))
                item.mapGet(attributeKey.view()).moveFrom(**attributes);
            item.mapGet(key).moveFrom(*e.child);
        }
    }

    XmlReadState& s_;
};

XmlReadState& State(void* data) { return *static_cast<XmlReadState*>(data); }

// Runs one callback body; an exception (out of memory) stops the parser and
// is rethrown by ReadXml once the parser is freed.
template <class Body>
void StopParserOnException(void* data, Body body) {
    XmlReadState& s = State(data);
    if (s.abandoned) return;
    try {
        body(s);
    } catch (...) {
        s.exception = std::current_exception();
        s.StopReading(err::XmlParse);
    }
}

}  // namespace

// A failure is final: the parser may still deliver the rest of the event it
// stopped in (the end of an empty-element tag after its start), and that
// must neither turn the failure into a success nor replace its code, nor
// change the tree any further.
void XmlReadState::StopReading(uint32_t code) {
    if (abandoned) return;
    errorCode = code;
    stopped = true;
    abandoned = code != err::Ok;
    consumed = abandoned ? 0 : static_cast<size_t>(XML_GetCurrentByteIndex(parser) + XML_GetCurrentByteCount(parser));
    XML_StopParser(parser, XML_FALSE);
}

void XMLCALL OnStartElement(void* data, const XML_Char* name, const XML_Char** attributes) {
    StopParserOnException(data, [&](XmlReadState& s) { XmlEvents(s).startElement(name, attributes); });
}

void XMLCALL OnEndElement(void* data, const XML_Char* name) {
    StopParserOnException(data, [&](XmlReadState& s) { XmlEvents(s).endElement(name); });
}

void XMLCALL OnCharacterData(void* data, const XML_Char* bytes, int length) {
    StopParserOnException(data, [&](XmlReadState& s) {
        // In the typed layout only a str or int element's text is ever used;
        // the white space between tags, most of the events, is not kept.
        if (!s.freeForm && (s.stack.empty() || !(s.stack.back()->isStr() || s.stack.back()->isInt()))) return;
        // Once a CDATA section has started, only CDATA content counts.
        if (!s.sawCdata || s.inCdata) s.text.append(bytes, static_cast<size_t>(length));
    });
}

void XMLCALL OnStartCdata(void* data) {
    XmlReadState& s = State(data);
    s.sawCdata = s.inCdata = true;
    s.text.clear();
}

void XMLCALL OnEndCdata(void* data) { State(data).inCdata = false; }

void XMLCALL OnXmlDecl(void* data, const XML_Char*, const XML_Char* encoding, int) {
    XmlReadState& s = State(data);
    if (s.abandoned || s.stack.empty()) return;
    DataNode& target = *s.stack.front();
    if (!encoding || EqualsIgnoringCase(encoding, "utf-8"))
        target.setOption(OptionFlags::XmlGbk, false);
    else if (IsGbkName(encoding) && s.freeForm)
        target.setOption(OptionFlags::XmlGbk, true);  // written back as GBK again
    else
        s.StopReading(err::XmlEncoding);
}

void XMLCALL OnEntityDecl(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                          const XML_Char*, const XML_Char*, const XML_Char*) {
    XmlReadState& s = State(data);
    if (!s.abandoned && ++s.entityDeclarations > kMaxEntityDeclarations) s.StopReading(err::XmlParse);
}

int XMLCALL OnUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
    if (!name || !IsGbkName(name)) return XML_STATUS_ERROR;
    for (int i = 0; i < 0x80; ++i) info->map[i] = i;
    for (int i = 0x80; i < 0x100; ++i) info->map[i] = -2;
    info->data = nullptr;
    info->convert = ConvertGbkPair;
    info->release = nullptr;
    return XML_STATUS_OK;
}

int XMLCALL ConvertGbkPair(void*, const char* pair) {
    return GbkPairToUnit(static_cast<unsigned char>(pair[0]), static_cast<unsigned char>(pair[1]));
}

namespace {

// expat's memory comes through the library's own calls, so that the tests
// that fail allocations on demand reach the parser too.
void* ExpatMalloc(size_t n) { return std::malloc(n); }
void* ExpatRealloc(void* p, size_t n) { return std::realloc(p, n); }
void ExpatFree(void* p) { std::free(p); }
const XML_Memory_Handling_Suite kExpatMemory{ExpatMalloc, ExpatRealloc, ExpatFree};

}  // namespace

uint32_t ReadXml(InputStream& in, DataNode& node) {
    if (in.failed()) return err::BadArgument;
    node.reset();
    in.seek(0);
    size_t remaining = in.size();

    XmlReadState state(node, node.hasOption(OptionFlags::XmlFreeForm));
    state.parser = XML_ParserCreate_MM(nullptr, &kExpatMemory, nullptr);
    if (!state.parser) throw std::bad_alloc();
    {
        ParserHolder holder{state};
        XML_Parser p = state.parser;
        XML_SetUnknownEncodingHandler(p, OnUnknownEncoding, nullptr);
        XML_SetUserData(p, &state);
        XML_SetElementHandler(p, OnStartElement, OnEndElement);
        XML_SetCdataSectionHandler(p, OnStartCdata, OnEndCdata);
        XML_SetXmlDeclHandler(p, OnXmlDecl);
        XML_SetCharacterDataHandler(p, OnCharacterData);
        if (ExpatRecursesIntoEntities()) XML_SetEntityDeclHandler(p, OnEntityDecl);

        for (size_t chunkSize = kFirstChunk;; chunkSize = chunkSize < kMaxChunk ? chunkSize * 2 : kMaxChunk) {
            std::string_view chunk = in.readView(NextChunk(chunkSize, remaining));
            remaining -= chunk.size();
            if (chunk.empty()) {
                state.errorCode = err::StreamFailure;  // empty input, or the stream ran dry
                break;
            }
            XML_Status status = XML_Parse(p, chunk.data(), static_cast<int>(chunk.size()), remaining == 0);
            if (state.stopped) break;
            if (status != XML_STATUS_OK) {
                if (XML_GetErrorCode(p) == XML_ERROR_NO_MEMORY) throw std::bad_alloc();
                state.errorCode = err::XmlParse;
                break;
            }
        }
    }
    if (state.exception) std::rethrow_exception(state.exception);
    in.seek(state.consumed);
    return state.errorCode;
}

}  // namespace zk
