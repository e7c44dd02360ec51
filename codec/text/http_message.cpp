#include "codec/text/http_message.h"

#include <cstring>

#include "codec/error_codes.h"
#include "value/decimal.h"

namespace zk {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kHeader = "Header";
constexpr std::string_view kBody = "Body";

// The two start lines share one shape: three fields joined by single spaces.
// The reader splits a line into the same three fields in the same order.
struct StartLineForm {
    std::string_view key;
    std::string_view names[3];
    std::string_view defaults[3];
    int intField;  // the one field that may hold an Int, -1 for none
};

constexpr StartLineForm kRequestLine = {
    "Request-Line", {"Method", "Request-URI", "HTTP-Version"}, {"GET", "/", "HTTP/1.1"}, -1};
constexpr StartLineForm kStatusLine = {
    "Status-Line", {"HTTP-Version", "Status-Code", "Reason-Phrase"}, {"HTTP/1.1", "200", "OK"}, 1};

// --- writer ------------------------------------------------------------------

// A value of a type the field cannot take fails the stream rather than
// returning a code: the start line is judged once, after its CR LF, so the
// three fields need no checks of their own.
void WriteField(OutputStream& out, const MapValue& fields, std::string_view name, std::string_view fallback,
                bool intAllowed) {
    if (out.failed()) return;
    const NodeRef* child = fields.find(name);
    const DataNode* value = child ? child->get() : nullptr;
    if (!value)
        out.write(fallback);
    else if (value->isStr())
        out.write(value->str().empty() ? fallback : value->str().view());
    else if (value->isInt() && intAllowed)
        out.writeInt64(value->num());
    else
        out.setFailed();
}

uint32_t WriteStartLine(OutputStream& out, const DataNode& line, const StartLineForm& form) {
    if (line.isStr()) {
        out.write(line.str().view());  // raw text carries its own line end
        return err::Ok;
    }
    if (!line.isMap()) return err::BadArgument;
    for (int i = 0; i < 3; ++i) {
        if (i) out.put(' ');
        WriteField(out, line.map(), form.names[i], form.defaults[i], i == form.intField);
    }
    out.write(kCrLf);
    return out.failed() ? err::BadArgument : err::Ok;
}

void WriteHeaderLine(OutputStream& out, std::string_view name, std::string_view value) {
    out.write(name);
    out.write(": ", 2);
    out.write(value);
    out.write(kCrLf);
}

// An empty Str value leaves its header out, so a caller can switch a header
// off without removing its key.
uint32_t WriteHeaders(OutputStream& out, const DataNode& header) {
    if (header.isStr()) {
        out.write(header.str().view());
        return err::Ok;
    }
    if (!header.isMap()) return err::BadArgument;
    for (const MapValue::Entry& entry : header.map()) {
        const DataNode& value = *entry.child;
        if (value.isStr()) {
            if (!value.str().empty()) WriteHeaderLine(out, entry.key, value.str());
        } else if (value.isInt()) {
            char digits[kMaxInt64Digits];
            WriteHeaderLine(out, entry.key, {digits, FormatInt64(value.num(), digits)});
        } else {
            out.setFailed();
        }
        if (out.failed()) return err::BadArgument;
    }
    return err::Ok;
}

uint32_t WriteMessage(OutputStream& out, const MapValue& root, bool noBody) {
    uint32_t code = err::Ok;
    if (const NodeRef* line = root.find(kRequestLine.key))
        code = WriteStartLine(out, **line, kRequestLine);
    else if (const NodeRef* status = root.find(kStatusLine.key))
        code = WriteStartLine(out, **status, kStatusLine);
    else
        out.write("GET / HTTP/1.1\r\n");
    if (code) return code;
    if (const NodeRef* header = root.find(kHeader))
        if ((code = WriteHeaders(out, **header))) return code;
    out.write(kCrLf);
    if (noBody) return err::Ok;
    if (const NodeRef* body = root.find(kBody)) {
        if (!(*body)->isStr()) return err::BadArgument;
        out.write((*body)->str().view());
    }
    return err::Ok;
}

// --- reader ------------------------------------------------------------------

// One line of the head, in place, without its CR. The line is handled as a
// zero-terminated string, so a zero byte ends it early.
uint32_t ReadHeadLine(InputStream& in, std::string_view& line) {
    if (!in.getLine(line, kMaxHttpLine + 1, '\n')) return err::StreamFailure;
    if (!line.empty())
        if (const void* zero = std::memchr(line.data(), 0, line.size()))
            line = line.substr(0, static_cast<size_t>(static_cast<const char*>(zero) - line.data()));
    if (line.empty() || line.back() != '\r') return err::TextSyntax;
    line.remove_suffix(1);
    return err::Ok;
}

// Only the exact versions 1.1 and 1.0 mark a response; anything else, an
// "HTTP/2" included, is taken as a request whose method is that word.
uint32_t ReadStartLine(InputStream& in, DataNode& node) {
    std::string_view line;
    if (uint32_t code = ReadHeadLine(in, line)) return code;
    size_t first = line.find(' ');
    if (first == std::string_view::npos) return err::TextSyntax;
    size_t second = line.find(' ', first + 1);
    if (second == std::string_view::npos) return err::TextSyntax;
    std::string_view parts[3] = {line.substr(0, first), line.substr(first + 1, second - first - 1),
                                 line.substr(second + 1)};
    bool response = parts[0] == "HTTP/1.1" || parts[0] == "HTTP/1.0";
    const StartLineForm& form = response ? kStatusLine : kRequestLine;
    DataNode& fields = node.mapGet(form.key);
    for (int i = 0; i < 3; ++i) fields.mapGet(form.names[i]).setStr(parts[i], ValueKind::Binary);
    return err::Ok;
}

// Header lines up to the empty line. Names are kept byte for byte (spaces
// before the colon included); a repeated name keeps its first place and takes
// the later value, and so does the body length.
uint32_t ReadHeaders(InputStream& in, DataNode& node, int64_t& contentLength) {
    DataNode* header = nullptr;  // made with the first header line
    for (;;) {
        std::string_view line;
        if (uint32_t code = ReadHeadLine(in, line)) return code;
        if (line.empty()) return err::Ok;
        size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon + 1 == line.size()) return err::TextSyntax;
        std::string_view name = line.substr(0, colon);
        std::string_view value = TrimLeadingSpaces(line.substr(colon + 1));
        if (!header) header = &node.mapGet(kHeader);
        header->mapGet(name).setStr(value, ValueKind::Binary);
        if (name == "Content-Length") contentLength = ParseLeadingInt64(value);
    }
}

// The declared length never sizes anything: the bytes are taken in place and
// copied once, at their real size. A negative length cannot be met, so it
// fails before the input is touched and no "Body" is made. A length beyond
// the input asks for one byte more than remains, which yields the same short
// body and end state as asking for the full length, on any width of size_t.
uint32_t ReadBody(InputStream& in, DataNode& node, int64_t length) {
    if (length < 0) return err::TextSyntax;
    uint64_t wanted = static_cast<uint64_t>(length);
    size_t ask = wanted > in.remaining() ? in.remaining() + 1 : static_cast<size_t>(wanted);
    std::string_view body = in.readView(ask);
    node.mapGet(kBody).setStr(body, ValueKind::Unspecified);
    return body.size() < wanted ? err::TextSyntax : err::Ok;
}

}  // namespace

uint32_t WriteHttpMessage(OutputStream& out, const DataNode& node) {
    if (node.isStr())
        out.write(node.str().view());
    else if (!node.isMap())
        return err::Unsupported;
    else if (uint32_t code = WriteMessage(out, node.map(), node.hasOption(OptionFlags::HttpNoBody)))
        return code;
    return out.failed() ? err::StreamFailure : err::Ok;
}

uint32_t ReadHttpMessage(InputStream& in, DataNode& node) {
    node.reset();
    if (uint32_t code = ReadStartLine(in, node)) return code;
    int64_t contentLength = 0;
    if (uint32_t code = ReadHeaders(in, node, contentLength)) return code;
    // Without a length there is no body: no other header says how to find one.
    if (node.hasOption(OptionFlags::HttpNoBody) || contentLength == 0) return err::Ok;
    return ReadBody(in, node, contentLength);
}

}  // namespace zk
