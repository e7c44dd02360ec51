#include "codec/text/ini.h"

#include <cstring>
#include <string>

#include "zk_data/codec/error_codes.h"

namespace zk {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// --- writer ------------------------------------------------------------------

// The reader drops every CR and ends a line at LF, so neither may stand in a
// name or a value.
bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool Holds(std::string_view s, char c) { return s.find(c) != std::string_view::npos; }

// The reader takes the bytes between '[' and the first ']' as the name, and
// refuses an empty one.
bool SectionReadsBack(std::string_view name) { return !name.empty() && !Holds(name, ']') && !HasLineBreak(name); }

// A key line is a comment or a section line by its first byte, and splits at
// its first '='; an empty key is refused.
bool KeyReadsBack(std::string_view key) {
    return !key.empty() && key[0] != '#' && key[0] != '[' && !Holds(key, '=') && !HasLineBreak(key);
}

// The reader cuts a value before its last '#': a value holding one is closed
// with an empty comment, which is cut off again, and no other value changes.
uint32_t WriteValue(OutputStream& out, std::string_view key, const DataNode& value) {
    if (!value.isStr() && !value.isInt()) return err::Unsupported;
    std::string_view text = value.isStr() ? value.str().view() : std::string_view();
    if (!KeyReadsBack(key) || HasLineBreak(text)) return err::Unsupported;
    out.write(key);
    out.put('=');
    if (value.isInt()) {
        out.writeInt64(value.num());
    } else {
        out.write(text);
        if (Holds(text, '#')) out.put('#');
    }
    out.write(kCrLf);
    return err::Ok;
}

// The section line goes out before the section's type is looked at: a caller
// that gets the error still sees which section it was.
uint32_t WriteSection(OutputStream& out, std::string_view name, const DataNode& section) {
    if (!SectionReadsBack(name)) return err::Unsupported;
    out.put('[');
    out.write(name);
    out.write("]\r\n", 3);
    if (!section.isMap()) return err::Unsupported;
    for (const MapValue::Entry& entry : section.map())
        if (uint32_t code = WriteValue(out, entry.key.view(), *entry.child)) return code;
    out.write(kCrLf);
    return err::Ok;
}

// --- reader ------------------------------------------------------------------

// Removes every CR of line. The usual CR LF ending costs nothing; only a CR
// elsewhere makes the line be gathered, piece by piece, into scratch.
std::string_view DropCarriageReturns(std::string_view line, std::string& scratch) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const char* cr = line.empty() ? nullptr : static_cast<const char*>(std::memchr(line.data(), '\r', line.size()));
    if (!cr) return line;
    scratch.clear();
    const char* p = line.data();
    const char* end = p + line.size();
    while (cr) {
        scratch.append(p, cr);
        p = cr + 1;
        cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(end - p)));
    }
    scratch.append(p, end);
    return scratch;
}

// The next line without its LF, taken in place. Reading a line and its LF in
// one piece, or all that is left plus one byte when no LF follows, leaves the
// stream exactly as reading byte by byte up to the LF or the end would: good
// after an LF, at its end (and failed) after the last line.
bool NextLine(InputStream& in, std::string& scratch, std::string_view& line) {
    size_t left = in.remaining();
    const char* start = reinterpret_cast<const char*>(in.current());
    const void* lf = left ? std::memchr(start, '\n', left) : nullptr;
    size_t length = lf ? static_cast<size_t>(static_cast<const char*>(lf) - start) : left;
    line = in.readView(length + 1).substr(0, length);
    if (in.failed() && !in.eof()) return false;
    line = DropCarriageReturns(line, scratch);
    return true;
}

uint32_t OpenSection(std::string_view line, DataNode& root, DataNode*& section) {
    size_t close = line.find(']');
    if (close == std::string_view::npos || close == 1) return err::TextSyntax;
    section = &root.mapGet(line.substr(1, close - 1));
    section->setType(static_cast<int32_t>(NodeType::Map));
    return err::Ok;
}

// section is null until the first section line; the child nodes it points to
// live on the heap, so adding more sections to the root never moves them.
uint32_t TakeLine(std::string_view line, DataNode& root, DataNode*& section) {
    if (line.empty() || line[0] == '#') return err::Ok;
    if (line[0] == '[') return OpenSection(line, root, section);
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) return err::Ok;
    if (equals == 0 || !section) return err::TextSyntax;
    std::string_view value = line.substr(equals + 1);
    size_t hash = value.rfind('#');
    if (hash != std::string_view::npos) value = value.substr(0, hash);
    section->mapGet(line.substr(0, equals)).setStr(value, ValueKind::Binary);
    return err::Ok;
}

}  // namespace

uint32_t WriteIni(OutputStream& out, const DataNode& node) {
    if (!node.isMap()) return err::Unsupported;
    for (const MapValue::Entry& entry : node.map())
        if (uint32_t code = WriteSection(out, entry.key.view(), *entry.child)) return code;
    return out.failed() ? err::StreamFailure : err::Ok;
}

uint32_t ReadIni(InputStream& in, DataNode& node) {
    if (in.failed()) return err::BadArgument;
    node.reset();
    DataNode* section = nullptr;
    std::string scratch;
    // A stream that starts at its end (but not failed) reads as empty input.
    while (!in.eof()) {
        std::string_view line;
        if (!NextLine(in, scratch, line)) return err::StreamFailure;
        if (uint32_t code = TakeLine(line, node, section)) return code;
    }
    return err::Ok;
}

}  // namespace zk
