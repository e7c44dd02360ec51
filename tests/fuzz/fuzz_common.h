// Helpers shared by the fuzz targets: writing a node to bytes, the binary
// templates the reader target fills, and a tree builder driven by fuzz input.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "codec/limits.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/codec/format_switch.h"
#include "zk_data/value/data_node.h"

namespace zk_fuzz {

using zk::DataNode;
using zk::FormatId;
using zk::OptionFlags;
using zk::ValueKind;

// Stops the run with a message: a broken property is a finding.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

// The node serialized in its own format; returns the writer's code.
inline uint32_t WriteAll(const DataNode& node, std::string& bytes) {
    zk::OutputStream out;
    uint32_t code = zk::writeNode(node, out);
    bytes.assign(out.data(), out.size());
    return code;
}

// Reads bytes through the caller-buffer entry, checking its size report,
// which consumed receives when asked for.
inline uint32_t ReadAll(DataNode& node, const std::string& bytes, uint32_t* consumed = nullptr) {
    uint32_t size = static_cast<uint32_t>(bytes.size());
    uint32_t code = zk::readFromBuffer(node, bytes.data(), size);
    if (code != 0 && size != 0) Fail("failed read reports a size");
    if (code == 0 && size != zk::InputStream::kNoPosition && size > bytes.size()) Fail("size beyond the input");
    if (consumed) *consumed = size;
    return code;
}

// Fixed binary templates: a flat framed record, nested and unframed maps with
// a list of records, hexadecimal strings, every integer width.
inline void BinaryTemplate(int which, DataNode& t) {
    t.reset();
    t.setFormat(FormatId::Binary);
    switch (which % 4) {
    case 0:
        t.mapGet("a").setInt(1, ValueKind::Int32);
        t.mapGet("b").setStr("ab", ValueKind::Binary);
        break;
    case 1: {
        t.mapGet("id").setInt(0, ValueKind::UInt16);
        DataNode& inner = t.mapGet("inner");
        inner.setOption(OptionFlags::MapUnframed, true);
        inner.mapGet("s").setStr("x", ValueKind::Text);
        inner.mapGet("deeper").mapGet("c").setInt(0, ValueKind::Int64);
        DataNode& rec = *t.mapGet("records").asList().prototype();
        rec.mapGet("k").setInt(0, ValueKind::Int8);
        rec.mapGet("v").setStr("", ValueKind::Binary);
        break;
    }
    case 2:
        t.mapGet("hex").setStr("00ff", ValueKind::Binary);
        t.mapGet("hex").setOption(OptionFlags::HexString, true);
        t.mapGet("n").asList().prototype()->setInt(0, ValueKind::NativeUInt);
        break;
    default:
        for (int k = ValueKind::Int8; k <= ValueKind::UInt64; ++k)
            t.mapGet(std::string(1, static_cast<char>('a' + k))).setInt(0, k);
        t.mapGet("l").asList().prototype()->asList().prototype()->setStr("", ValueKind::Text);
        break;
    }
}

// What a built tree may hold.
struct TreeShape {
    bool textStrings;      // Text strings (printable ASCII, tab, LF, valid UTF-8)
    bool binaryStrings;    // Binary strings of any bytes
    bool intKinds;         // Ints carry a kind of 1..10 other than 7 and 8
    bool binaryOptions;    // MapUnframed / HexString bits (hex strings in lower case)
    bool safeKeys;         // keys restricted like Text strings, without tab or LF
    bool allowEmptyMaps;
};

inline std::string TextBytes(FuzzedDataProvider& p, bool keys) {
    static const char* const kPieces[] = {"a", "Z", "0", " ", "<", ">", "&", "'", "\"", "=", "@", "\t", "\n",
                                          "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "]]>", "k"};
    std::string s;
    size_t n = p.ConsumeIntegralInRange<size_t>(0, 12);
    for (size_t i = 0; i < n; ++i) {
        size_t pick = p.ConsumeIntegralInRange<size_t>(0, sizeof kPieces / sizeof *kPieces - 1);
        if (keys && (pick == 11 || pick == 12)) continue;
        s += kPieces[pick];
    }
    return s;
}

inline void BuildTree(FuzzedDataProvider& p, DataNode& root, const TreeShape& shape) {
    struct Item {
        DataNode* node;
        uint32_t depth;
    };
    std::vector<Item> work{{&root, 0}};
    size_t budget = 2000;  // nodes
    while (!work.empty() && budget) {
        Item it = work.back();
        work.pop_back();
        --budget;
        DataNode& n = *it.node;
        int type = p.ConsumeIntegralInRange<int>(1, 4);
        if (it.depth + 2 >= zk::kMaxDepth || p.remaining_bytes() == 0) type = 2;
        if (type == 1) {
            bool binary = shape.binaryStrings && (!shape.textStrings || p.ConsumeBool());
            if (binary) {
                std::string s = p.ConsumeRandomLengthString(64);
                if (shape.binaryOptions && p.ConsumeBool()) {
                    static const char kHex[] = "0123456789abcdef";
                    std::string h;
                    for (unsigned char c : s) h += {kHex[c >> 4], kHex[c & 15]};
                    n.setStr(h, ValueKind::Binary);
                    n.setOption(OptionFlags::HexString, true);
                } else {
                    n.setStr(s, ValueKind::Binary);
                }
            } else {
                n.setStr(TextBytes(p, false), ValueKind::Text);
            }
        } else if (type == 2) {
            int kind = ValueKind::Int64;
            if (shape.intKinds) {
                static const int kKinds[] = {1, 2, 3, 4, 5, 6, 9, 10};
                kind = kKinds[p.ConsumeIntegralInRange<int>(0, 7)];
            }
            int64_t v = p.ConsumeIntegral<int64_t>();
            // The value a width keeps: the binary reader sign- or zero-extends.
            switch (kind) {
            case 1: v = static_cast<int8_t>(v); break;
            case 2: v = static_cast<uint8_t>(v); break;
            case 3: v = static_cast<int16_t>(v); break;
            case 4: v = static_cast<uint16_t>(v); break;
            case 5: v = static_cast<int32_t>(v); break;
            case 6: v = static_cast<uint32_t>(v); break;
            default: break;
            }
            n.setInt(v, kind);
        } else if (type == 3) {
            size_t count = p.ConsumeIntegralInRange<size_t>(0, 4);
            n.asList();
            for (size_t i = 0; i < count; ++i) work.push_back({&n.asList().append(), it.depth + 1});
        } else {
            size_t count = p.ConsumeIntegralInRange<size_t>(shape.allowEmptyMaps ? 0 : 1, 4);
            n.asMap();
            if (shape.binaryOptions && p.ConsumeBool()) n.setOption(OptionFlags::MapUnframed, true);
            for (size_t i = 0; i < count; ++i) {
                std::string key = shape.safeKeys ? TextBytes(p, true) : p.ConsumeRandomLengthString(16);
                if (n.hasKey(key)) continue;
                work.push_back({&n.mapGet(key), it.depth + 1});
            }
        }
    }
    // Whatever the budget left unbuilt becomes a plain Int.
    for (Item& it : work) it.node->setInt(0, ValueKind::Int64);
}

// Bytes made of min to max pieces chosen by the input, one in eight of them
// from the special ones.
template <size_t N, size_t M>
std::string Pieces(FuzzedDataProvider& p, const std::string_view (&plain)[N], const std::string_view (&special)[M],
                   size_t min, size_t max) {
    std::string s;
    for (size_t n = p.ConsumeIntegralInRange<size_t>(min, max); n > 0; --n)
        s += p.ConsumeIntegralInRange<int>(0, 7) ? plain[p.ConsumeIntegralInRange<size_t>(0, N - 1)]
                                                 : special[p.ConsumeIntegralInRange<size_t>(0, M - 1)];
    return s;
}

// An HTTP message tree: start lines, fields and headers made of pieces, the
// special ones holding every byte and word the reader treats specially; a
// body with a Content-Length that is right, wrong or missing; now and then a
// key of no meaning to the message.
inline void BuildHttpMessage(FuzzedDataProvider& p, DataNode& root) {
    static constexpr std::string_view kPlain[] = {"GET", "POST", "/", "/a", "x", "200", "OK", "Not", "\xC3\xA9", "5", "-"};
    static const std::string kLong(400, 'l');
    static const std::string_view kSpecial[] = {" ", "\t", "\r", "\n", "\r\n", {"\0", 1}, ":", ": ", "HTTP/1.1",
                                                "HTTP/1.0", "HTTP/2", "Content-Length", kLong};
    auto text = [&](DataNode& n) {
        if (p.ConsumeIntegralInRange<int>(0, 7) == 0)
            n.setInt(p.ConsumeIntegralInRange<int64_t>(-1000, 1000), ValueKind::Int32);
        else
            n.setStr(Pieces(p, kPlain, kSpecial, 0, 4), ValueKind::Binary);
    };
    root.asMap();
    static const struct {
        const char* key;
        const char* names[3];
    } kLines[] = {{"Request-Line", {"Method", "Request-URI", "HTTP-Version"}},
                  {"Status-Line", {"HTTP-Version", "Status-Code", "Reason-Phrase"}}};
    int lines = p.ConsumeIntegralInRange<int>(0, 3);  // none, request, status, both
    for (int l = 0; l < 2; ++l) {
        if (!(lines & (1 << l))) continue;
        DataNode& line = root.mapGet(kLines[l].key);
        line.asMap();
        for (const char* name : kLines[l].names)
            if (p.ConsumeBool()) text(line.mapGet(name));
    }
    std::string body = p.ConsumeRandomLengthString(64);
    int length = p.ConsumeIntegralInRange<int>(0, 3);  // none, right as Str, right as Int, anything
    if (p.ConsumeBool()) {
        DataNode& header = root.mapGet("Header");
        header.asMap();
        for (size_t n = p.ConsumeIntegralInRange<size_t>(0, 5); n > 0; --n) {
            std::string name = Pieces(p, kPlain, kSpecial, 0, 3);
            if (!header.hasKey(name)) text(header.mapGet(name));
        }
        DataNode& announced = header.mapGet("Content-Length");
        if (length == 1)
            announced.setStr(std::to_string(body.size()), ValueKind::Binary);
        else if (length == 2)
            announced.setInt(static_cast<int64_t>(body.size()), ValueKind::UInt32);
        else if (length == 3)
            text(announced);
        else
            announced.setStr("", ValueKind::Binary);  // writes no line
    }
    if (p.ConsumeBool()) root.mapGet("Body").setStr(body, ValueKind::Unspecified);
    if (p.ConsumeIntegralInRange<int>(0, 7) == 0) root.mapGet("Extra").setStr("x", ValueKind::Text);
}

// An INI tree: sections of Str and Int values, names, keys and values made of
// pieces, the special ones holding every byte the reader treats specially.
inline void BuildIniText(FuzzedDataProvider& p, DataNode& root) {
    static constexpr std::string_view kPlain[] = {"s", "key", "v", "main", "1", "\xC3\xA9", " ", ";"};
    static constexpr std::string_view kSpecial[] = {"[", "]", "=", "#", "\t", "\r", "\n", {"\0", 1}};
    root.asMap();
    for (size_t n = p.ConsumeIntegralInRange<size_t>(0, 4); n > 0; --n) {
        std::string name = Pieces(p, kPlain, kSpecial, 1, 3);
        if (root.hasKey(name)) continue;
        DataNode& section = root.mapGet(name);
        section.asMap();
        for (size_t k = p.ConsumeIntegralInRange<size_t>(0, 5); k > 0; --k) {
            std::string key = Pieces(p, kPlain, kSpecial, 1, 3);
            if (section.hasKey(key)) continue;
            DataNode& value = section.mapGet(key);
            if (p.ConsumeIntegralInRange<int>(0, 4) == 0)
                value.setInt(p.ConsumeIntegral<int64_t>(), ValueKind::Int64);
            else
                value.setStr(Pieces(p, kPlain, kSpecial, 0, 5), ValueKind::Binary);
        }
    }
}

// A free-form XML tree: one root element, nested elements with attributes,
// repeated element names in lists, text, CDATA and numbers. Names are mostly
// XML names; now and then one is not.
inline void BuildFreeFormDocument(FuzzedDataProvider& p, DataNode& root) {
    static const char* const kNames[] = {"a", "b", "doc", "item", "x-y", "_z", "a", "b", "1x", "a b", ""};
    static const char* const kAttributes[] = {"id", "n", "v", "lang"};
    auto name = [&] { return std::string(kNames[p.ConsumeIntegralInRange<size_t>(0, 7 + 3 * p.ConsumeBool())]); };
    auto attributes = [&](DataNode& map, const std::string& element) {
        DataNode& attrs = map.mapGet(element + "@");
        attrs.asMap();
        for (size_t n = p.ConsumeIntegralInRange<size_t>(0, 3); n > 0; --n) {
            DataNode& v = attrs.mapGet(kAttributes[p.ConsumeIntegralInRange<size_t>(0, 3)]);
            if (p.ConsumeBool())
                v.setInt(p.ConsumeIntegral<int32_t>(), ValueKind::Int32);
            else
                v.setStr(TextBytes(p, false), ValueKind::Text);
        }
    };
    struct Item {
        DataNode* node;
        int depth;
    };
    std::vector<Item> work;
    // The root map: one element, perhaps with attributes, or now and then none
    // or two (which the writer must refuse).
    root.asMap();
    size_t roots = p.ConsumeIntegralInRange<int>(0, 15) == 0 ? p.ConsumeIntegralInRange<size_t>(0, 2) : 1;
    for (size_t i = 0; i < roots; ++i) {
        std::string element = name();
        if (root.hasKey(element)) continue;
        if (p.ConsumeBool()) attributes(root, element);
        if (p.ConsumeIntegralInRange<int>(0, 7)) work.push_back({&root.mapGet(element), 0});
    }
    size_t budget = 300;
    while (!work.empty() && budget--) {
        Item it = work.back();
        work.pop_back();
        DataNode& n = *it.node;
        int type = it.depth >= 12 || p.remaining_bytes() == 0 ? 0 : p.ConsumeIntegralInRange<int>(0, 5);
        switch (type) {
        case 0: n.setStr(TextBytes(p, false), ValueKind::Text); break;
        case 1: n.setStr(p.ConsumeRandomLengthString(24), ValueKind::Binary); break;
        case 2: n.setInt(p.ConsumeIntegral<int64_t>(), ValueKind::Int64); break;
        case 3: {  // a list of element maps, so names can repeat
            n.asList();
            for (size_t i = p.ConsumeIntegralInRange<size_t>(0, 3); i > 0; --i) {
                DataNode& item = n.asList().append();
                std::string element = name();
                if (p.ConsumeBool()) attributes(item, element);
                work.push_back({&item.mapGet(element), it.depth + 1});
            }
            break;
        }
        default:
            n.asMap();
            for (size_t i = p.ConsumeIntegralInRange<size_t>(0, 4); i > 0; --i) {
                std::string element = name();
                if (n.hasKey(element)) continue;
                if (p.ConsumeBool()) attributes(n, element);
                // Now and then only the attributes: an empty element.
                if (p.ConsumeIntegralInRange<int>(0, 7)) work.push_back({&n.mapGet(element), it.depth + 1});
            }
            break;
        }
    }
    for (Item& it : work) it.node->setStr("", ValueKind::Text);
}

}  // namespace zk_fuzz
