#include "codec/text/http_message.h"

#include <cstring>

#include "zk_data/codec/error_codes.h"
#include "zk_data/value/decimal.h"

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
    int intField;   // the one field that may hold an Int, -1 for none
    bool response;  // the reader's reading of a line whose first word is a version
};

constexpr StartLineForm kRequestLine = {
    "Request-Line", {"Method", "Request-URI", "HTTP-Version"}, {"GET", "/", "HTTP/1.1"}, -1, false};
constexpr StartLineForm kStatusLine = {
    "Status-Line", {"HTTP-Version", "Status-Code", "Reason-Phrase"}, {"HTTP/1.1", "200", "OK"}, 1, true};

// Only the exact versions 1.1 and 1.0 mark a response; anything else, an
// "HTTP/2" included, is taken as a request whose method is that word.
bool IsResponseVersion(std::string_view word) { return word == "HTTP/1.1" || word == "HTTP/1.0"; }

// --- writer ------------------------------------------------------------------

// The writer refuses a head line that its reader would take back otherwise:
// an LF would end the line and a zero byte cut it short, and a CR, which the
// reader would keep, would end the line for most other readers (an injected
// header). Each line, its CR included, must fit the reader's line buffer.
bool FitsInLine(std::string_view s) {
    for (char c : s)
        if (c == '\r' || c == '\n' || c == '\0') return false;
    return true;
}

// The text of one start-line field: its value, or the default for a missing
// or empty one. False for a value of a type the field cannot take; digits
// holds the text of an Int.
bool FieldText(const MapValue& fields, const StartLineForm& form, int i, char* digits, std::string_view& text) {
    const NodeRef* child = fields.find(form.names[i]);
    const DataNode* value = child ? child->get() : nullptr;
    if (!value || (value->isStr() && value->str().empty()))
        text = form.defaults[i];
    else if (value->isStr())
        text = value->str().view();
    else if (value->isInt() && i == form.intField)
        text = {digits, FormatInt64(value->num(), digits)};
    else
        return false;
    return true;
}

// The reader splits the line at its first two spaces, so only the last field
// may hold one, and it tells a response from a request by the first word.
bool StartLineReadsBack(const StartLineForm& form, const std::string_view (&parts)[3]) {
    for (const std::string_view& part : parts)
        if (!FitsInLine(part)) return false;
    if (parts[0].find(' ') != std::string_view::npos || parts[1].find(' ') != std::string_view::npos) return false;
    if (IsResponseVersion(parts[0]) != form.response) return false;
    return parts[0].size() + parts[1].size() + parts[2].size() + 3 <= kMaxHttpLine;  // two spaces, the CR
}

// A stream that had failed before the start line is reported here too: the
// line is judged once, after its CR LF.
uint32_t WriteStartLine(OutputStream& out, const DataNode& line, const StartLineForm& form) {
    if (line.isStr()) {
        out.write(line.str().view());  // raw text carries its own line end
        return err::Ok;
    }
    if (!line.isMap()) return err::BadArgument;
    char digits[kMaxInt64Digits];
    std::string_view parts[3];
    for (int i = 0; i < 3; ++i)
        if (!FieldText(line.map(), form, i, digits, parts[i])) return err::BadArgument;
    if (!StartLineReadsBack(form, parts)) return err::BadArgument;
    for (int i = 0; i < 3; ++i) {
        if (i) out.put(' ');
        out.write(parts[i]);
    }
    out.write(kCrLf);
    return out.failed() ? err::BadArgument : err::Ok;
}

// The reader ends the name at the first colon and drops the spaces that
// start the value. value is never empty here.
bool HeaderReadsBack(std::string_view name, std::string_view value) {
    return FitsInLine(name) && FitsInLine(value) && name.find(':') == std::string_view::npos && value[0] != ' ' &&
           name.size() + value.size() + 3 <= kMaxHttpLine;  // ": " and the CR
}

// An empty Str value leaves its header out, so a caller can switch a header
// off without removing its key. announced receives the body length that the
// reader will take from the lines written, 0 without a Content-Length.
uint32_t WriteHeaders(OutputStream& out, const MapValue& header, int64_t& announced) {
    for (const MapValue::Entry& entry : header) {
        const DataNode& value = *entry.child;
        char digits[kMaxInt64Digits];
        std::string_view text;
        if (value.isStr())
            text = value.str().view();
        else if (value.isInt())
            text = {digits, FormatInt64(value.num(), digits)};
        else
            return err::BadArgument;
        if (text.empty()) continue;
        if (!HeaderReadsBack(entry.key.view(), text)) return err::BadArgument;
        out.write(entry.key.view());
        out.write(": ", 2);
        out.write(text);
        out.write(kCrLf);
        if (entry.key.view() == "Content-Length") announced = ParseLeadingInt64(text);
        if (out.failed()) return err::BadArgument;
    }
    return err::Ok;
}

// The reader takes exactly the body that Content-Length announces, so the
// two must agree: a body nobody announces would be left unread, a wrong
// length would cut it or fail the reading. A raw header block is the
// caller's own text and is not looked into.
uint32_t WriteMessage(OutputStream& out, const MapValue& root, bool noBody) {
    uint32_t code = err::Ok;
    if (const NodeRef* line = root.find(kRequestLine.key))
        code = WriteStartLine(out, **line, kRequestLine);
    else if (const NodeRef* status = root.find(kStatusLine.key))
        code = WriteStartLine(out, **status, kStatusLine);
    else
        out.write("GET / HTTP/1.1\r\n");
    if (code) return code;
    int64_t announced = 0;
    bool rawHeader = false;
    if (const NodeRef* header = root.find(kHeader)) {
        rawHeader = (*header)->isStr();
        if (rawHeader)
            out.write((*header)->str().view());
        else if (!(*header)->isMap())
            return err::BadArgument;
        else if ((code = WriteHeaders(out, (*header)->map(), announced)))
            return code;
    }
    out.write(kCrLf);
    if (noBody) return err::Ok;
    std::string_view body;
    if (const NodeRef* node = root.find(kBody)) {
        if (!(*node)->isStr()) return err::BadArgument;
        body = (*node)->str().view();
    }
    if (!rawHeader && (announced < 0 || static_cast<uint64_t>(announced) != body.size())) return err::BadArgument;
    out.write(body);
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

uint32_t ReadStartLine(InputStream& in, DataNode& node) {
    std::string_view line;
    if (uint32_t code = ReadHeadLine(in, line)) return code;
    size_t first = line.find(' ');
    if (first == std::string_view::npos) return err::TextSyntax;
    size_t second = line.find(' ', first + 1);
    if (second == std::string_view::npos) return err::TextSyntax;
    std::string_view parts[3] = {line.substr(0, first), line.substr(first + 1, second - first - 1),
                                 line.substr(second + 1)};
    const StartLineForm& form = IsResponseVersion(parts[0]) ? kStatusLine : kRequestLine;
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
