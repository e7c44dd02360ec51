#include "codec/text/debug_dump.h"

#include "codec/hex.h"
#include "codec/limits.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/text/gbk.h"
#include "zk_data/text/text_convert.h"

namespace zk {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr size_t kIndentWidth = 4;

bool IsPrintable(std::string_view s) noexcept {
    for (unsigned char c : s)
        if (static_cast<unsigned char>(c - 0x20) > 0x7E - 0x20) return false;
    return true;
}

// One dump: the output and a conversion buffer that every Text string of the
// tree reuses, so converting costs no allocation per string.
class Dumper {
public:
    explicit Dumper(OutputStream& out) : out_(out) {}

    uint32_t dump(const DataNode& node, uint32_t level) {
        switch (node.type()) {
        case NodeType::Str: dumpStr(node); break;
        case NodeType::Int: dumpInt(node); break;
        case NodeType::List:
            if (uint32_t code = dumpList(node.list(), level)) return code;
            break;
        case NodeType::Map:
            if (uint32_t code = dumpMap(node.map(), level)) return code;
            break;
        default:
            return err::Unsupported;  // the parent's entry prefix stays written
        }
        return out_.failed() ? err::StreamFailure : err::Ok;
    }

private:
    void dumpStr(const DataNode& node) {
        std::string_view s = node.str().view();
        if (s.size() > kDumpMaxString) {
            out_.write("...[size=", 9);
            out_.writeUInt64(s.size());
            out_.put(']');
        } else if (node.hasOption(OptionFlags::DumpRawString) || IsPrintable(s)) {
            out_.write(s);
        } else if (node.kind() == ValueKind::Text) {
            Utf8ToGbk(s.data(), s.size(), gbk_);
            out_.write(gbk_.view());
        } else {
            out_.write("[hex]", 5);
            AppendHex(out_, s.data(), s.size());
        }
        out_.write(kCrLf);
    }

    void dumpInt(const DataNode& node) {
        bool word = node.kind() == ValueKind::Int32 || node.kind() == ValueKind::UInt32;
        if (word && node.hasOption(OptionFlags::DumpDottedQuad)) {
            uint64_t v = static_cast<uint64_t>(node.num());
            for (int i = 0; i < 4; ++i) {
                if (i) out_.put('.');
                out_.writeUInt64((v >> (8 * i)) & 0xFF);
            }
        } else {
            out_.writeInt64(node.num());
        }
        out_.write(kCrLf);
    }

    void header(std::string_view what, uint32_t count) {
        out_.write(what);
        out_.write(" size(", 6);
        out_.writeUInt64(count);
        out_.write("):\r\n", 4);
    }

    uint32_t dumpList(const ListValue& list, uint32_t level) {
        if (level >= kMaxDepth) return err::Unsupported;
        header("list", list.size());
        for (uint32_t i = 0; i < list.size(); ++i) {
            out_.fill(' ', kIndentWidth * level);
            out_.writeUInt64(i);
            out_.put(':');
            if (uint32_t code = dump(*list[i], level + 1)) return code;
        }
        return err::Ok;
    }

    uint32_t dumpMap(const MapValue& map, uint32_t level) {
        if (level >= kMaxDepth) return err::Unsupported;
        header("map", map.size());
        for (const MapValue::Entry& entry : map) {
            out_.fill(' ', kIndentWidth * level);
            out_.write(entry.key.view());
            out_.put(':');
            if (uint32_t code = dump(*entry.child, level + 1)) return code;
        }
        return err::Ok;
    }

    OutputStream& out_;
    ByteString gbk_;
};

}  // namespace

uint32_t DumpNode(OutputStream& out, const DataNode& node, uint32_t level) {
    return Dumper(out).dump(node, level);
}

uint32_t WriteDebugDump(OutputStream& out, const DataNode& node) { return DumpNode(out, node, 0); }

}  // namespace zk
