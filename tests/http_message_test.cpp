// The HTTP message codec: start-line defaults and raw blocks on writing, the
// line discipline of the reader (CR LF, 1023 bytes, zero bytes), and where
// the reader leaves the stream, which the caller-buffer contract reports.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "codec/text/http_message.h"
#include "tests/support/codec_cases.h"
#include "zk_data/codec/error_codes.h"

namespace zk {
namespace {

using namespace std::string_literals;

using test::Error;

const test::FormatIo http(FormatId::Http);

std::string Keys(const DataNode& node) {
    std::string keys;
    for (const MapValue::Entry& e : node.map()) keys.append(e.key.view()).append(";");
    return keys;
}

std::string Str(DataNode& node, const char* key, const char* sub = nullptr) {
    const DataNode& n = sub ? node.mapGet(key).mapGet(sub) : node.mapGet(key);
    return n.isStr() ? std::string(n.str().view()) : "<not a Str>";
}

TEST(HttpTrim, OnlySpacesGo) {
    EXPECT_EQ(TrimLeadingSpaces("   a b "), "a b ");
    EXPECT_EQ(TrimLeadingSpaces("a"), "a");
    EXPECT_EQ(TrimLeadingSpaces("\t a"), "\t a");  // a TAB stays, and so does what follows
    EXPECT_EQ(TrimLeadingSpaces(" \ta"), "\ta");
    EXPECT_EQ(TrimLeadingSpaces("    "), "");
    EXPECT_EQ(TrimLeadingSpaces(""), "");
}

// --- writer --------------------------------------------------------------------

TEST(HttpWrite, StructuredMessages) {
    DataNode post;
    post.mapGet("Request-Line").mapGet("Method").setStr("POST");
    post.mapGet("Request-Line").mapGet("Request-URI").setStr("/x");
    post.mapGet("Header").mapGet("Host").setStr("a");
    post.mapGet("Header").mapGet("Content-Length").setInt(2, ValueKind::Int32);
    post.mapGet("Body").setStr("hi");
    EXPECT_EQ(http.Write(post), "POST /x HTTP/1.1\r\nHost: a\r\nContent-Length: 2\r\n\r\nhi");

    DataNode notFound;
    notFound.mapGet("Status-Line").mapGet("Status-Code").setInt(404, ValueKind::Int32);
    notFound.mapGet("Status-Line").mapGet("Reason-Phrase").setStr("Not Found");
    EXPECT_EQ(http.Write(notFound), "HTTP/1.1 404 Not Found\r\n\r\n");  // 26 bytes

    DataNode empty;
    empty.asMap();
    EXPECT_EQ(http.Write(empty), "GET / HTTP/1.1\r\n\r\n");  // 18 bytes
    empty.mapGet("Status-Line").asMap();
    EXPECT_EQ(http.Write(empty), "HTTP/1.1 200 OK\r\n\r\n");
}

TEST(HttpWrite, EmptyFieldsTakeDefaultsAndRequestLineWins) {
    DataNode root;
    root.mapGet("Status-Line").mapGet("Status-Code").setStr("500", ValueKind::Binary);
    root.mapGet("Request-Line").mapGet("Method").setStr("", ValueKind::Binary);
    root.mapGet("Request-Line").mapGet("HTTP-Version").setStr("HTTP/1.0");
    EXPECT_EQ(http.Write(root), "GET / HTTP/1.0\r\n\r\n");
}

TEST(HttpWrite, RawTextIsVerbatim) {
    DataNode raw;
    raw.setStr("anything\0\n"s, ValueKind::Binary);
    EXPECT_EQ(http.Write(raw), "anything\0\n"s);

    DataNode root;
    root.mapGet("Request-Line").setStr("GET / HTTP/1.1");  // no line end of its own
    root.mapGet("Header").setStr("A: 1\r\nB: 2\r\n");
    EXPECT_EQ(http.Write(root), "GET / HTTP/1.1A: 1\r\nB: 2\r\n\r\n");
}

TEST(HttpWrite, HeaderValues) {
    DataNode root;
    DataNode& header = root.mapGet("Header");
    header.mapGet("X").setStr("");  // no line at all
    header.mapGet("N").setInt(-7, ValueKind::Int64);
    header.mapGet("Zero").setInt(0, ValueKind::Int64);
    header.mapGet("Sp").setStr("\t a ");
    EXPECT_EQ(http.Write(root), "GET / HTTP/1.1\r\nN: -7\r\nZero: 0\r\nSp: \t a \r\n\r\n");
}

TEST(HttpWrite, NoBodyOptionOnTheRoot) {
    DataNode root;
    root.mapGet("Header").mapGet("Content-Length").setInt(5, ValueKind::Int32);
    root.mapGet("Body").setStr("hello");
    root.setOption(OptionFlags::HttpNoBody, true);
    EXPECT_EQ(http.Write(root), "GET / HTTP/1.1\r\nContent-Length: 5\r\n\r\n");
    root.mapGet("Body").setInt(1, ValueKind::Int32);  // not even looked at
    EXPECT_EQ(http.Write(root), "GET / HTTP/1.1\r\nContent-Length: 5\r\n\r\n");

    DataNode other;
    other.mapGet("Header").mapGet("Content-Length").setStr("1");
    other.mapGet("Body").setStr("b");
    other.mapGet("Body").setOption(OptionFlags::HttpNoBody, true);
    EXPECT_EQ(http.Write(other), "GET / HTTP/1.1\r\nContent-Length: 1\r\n\r\nb");
}

TEST(HttpWrite, Refusals) {
    DataNode num, list;
    num.setInt(1, ValueKind::Int32);
    list.listAt(0).setStr("x");
    EXPECT_EQ(http.Write(DataNode()), Error(err::Unsupported));
    EXPECT_EQ(http.Write(num), Error(err::Unsupported));
    EXPECT_EQ(http.Write(list), Error(err::Unsupported));

    const std::function<void(DataNode&)> badParts[] = {
        [](DataNode& r) { r.mapGet("Request-Line").setInt(1, ValueKind::Int32); },
        [](DataNode& r) { r.mapGet("Status-Line").listAt(0); },
        [](DataNode& r) { r.mapGet("Request-Line"); },  // None
        [](DataNode& r) { r.mapGet("Request-Line").mapGet("Method").setInt(1, ValueKind::Int32); },
        [](DataNode& r) { r.mapGet("Status-Line").mapGet("Reason-Phrase").setInt(1, ValueKind::Int32); },
        [](DataNode& r) { r.mapGet("Status-Line").mapGet("Status-Code").asMap(); },
        [](DataNode& r) { r.mapGet("Header").setInt(1, ValueKind::Int32); },
        [](DataNode& r) { r.mapGet("Header").mapGet("A").listAt(0); },
        [](DataNode& r) { r.mapGet("Header").mapGet("A"); },
        [](DataNode& r) { r.mapGet("Body").setInt(1, ValueKind::Int32); },
    };
    for (size_t i = 0; i < std::size(badParts); ++i) {
        DataNode root;
        badParts[i](root);
        EXPECT_EQ(http.Write(root), Error(err::BadArgument)) << i;
    }
}

// Each of these would be written as a message that reads back as another
// tree, or not at all.
TEST(HttpWrite, RefusesLinesTheReaderWouldTakeOtherwise) {
    const std::string uri(1008, 'u');     // "GET /" + uri + " HTTP/1.1" + CR is 1023 bytes
    const std::string filler(1019, 'v');  // and so is "X: " + filler + CR
    const struct {
        const char* field;
        std::string value;
    } badFields[] = {
        {"Method", "GET\r\nX: injected\r\n"},
        {"Method", "G ET"},      // splits into other fields
        {"Method", "HTTP/1.1"},  // reads back as a status line
        {"Method", "HTTP/1.0"},
        {"Method", "A\0B"s},     // the reader stops at the zero byte
        {"Request-URI", "/a b"},
        {"Request-URI", "/\r"},
        {"Request-URI", "/u" + uri},
        {"HTTP-Version", "HTTP/1.1\n"},
    };
    for (const auto& f : badFields) {
        DataNode root;
        root.mapGet("Request-Line").mapGet(f.field).setStr(f.value, ValueKind::Binary);
        EXPECT_EQ(http.Write(root), Error(err::BadArgument)) << f.field << " " << f.value.substr(0, 20);
    }
    const struct {
        const char* field;
        std::string value;
    } badStatus[] = {
        {"HTTP-Version", "HTTP/2"},  // reads back as a request line
        {"HTTP-Version", "http/1.1"},
        {"Status-Code", "20 0"},
        {"Reason-Phrase", "OK\r\nSet-Cookie: x"},
        {"Reason-Phrase", std::string(1010, 'r')},  // a 1024-byte line
    };
    for (const auto& f : badStatus) {
        DataNode root;
        root.mapGet("Status-Line").mapGet(f.field).setStr(f.value, ValueKind::Binary);
        EXPECT_EQ(http.Write(root), Error(err::BadArgument)) << f.field << " " << f.value.substr(0, 20);
    }
    const struct {
        std::string name, value;
    } badHeaders[] = {
        {"X-A", "1\r\nX-Injected: 2"},
        {"X-A", "1\rb"},
        {"X-A", "1\nb"},
        {"X-A\r\nX-Injected", "2"},
        {"X-A\n", "1"},
        {"Host:a", "b"},  // reads back as Host = "a: b"
        {":", "b"},
        {"X-A", " leading"},  // the reader drops leading spaces
        {"X-A", "  "},
        {"X-A", "a\0b"s},
        {"X\0"s, "a"},
        {"X", "v" + filler},
    };
    for (const auto& h : badHeaders) {
        DataNode root;
        root.mapGet("Header").mapGet(h.name).setStr(h.value, ValueKind::Binary);
        EXPECT_EQ(http.Write(root), Error(err::BadArgument)) << h.name << ": " << h.value.substr(0, 20);
    }
}

TEST(HttpWrite, LongestLinesAndOddBytesThatReadBack) {
    DataNode root;
    root.mapGet("Request-Line").mapGet("Request-URI").setStr("/" + std::string(1008, 'u'), ValueKind::Text);
    DataNode& header = root.mapGet("Header");
    header.mapGet("X").setStr(std::string(1019, 'v'), ValueKind::Text);
    header.mapGet("").setStr("empty name");
    header.mapGet("N ").setStr("\tv ");
    header.mapGet("B").setStr("\x01\xff;");
    std::string text = http.Write(root);
    DataNode back;
    ASSERT_EQ(http.Read(text, back), err::Ok) << text.substr(0, 40);
    EXPECT_EQ(Str(back, "Request-Line", "Request-URI"), "/" + std::string(1008, 'u'));
    EXPECT_TRUE(back.mapGet("Header").equals(header));
    EXPECT_EQ(http.Write(back), text);

    DataNode status;  // the last field may hold spaces; an Int code holds none
    status.mapGet("Status-Line").mapGet("Status-Code").setInt(-1, ValueKind::Int32);
    status.mapGet("Status-Line").mapGet("HTTP-Version").setStr("HTTP/1.0");
    status.mapGet("Status-Line").mapGet("Reason-Phrase").setStr(" Not  Found " + std::string(998, 'r'), ValueKind::Text);
    text = http.Write(status);
    EXPECT_EQ(text.size(), 1026u);  // a 1023-byte line, its LF and the empty line
    ASSERT_EQ(http.Read(text, back), err::Ok);
    EXPECT_EQ(Str(back, "Status-Line", "Status-Code"), "-1");
    EXPECT_EQ(Str(back, "Status-Line", "Reason-Phrase"), " Not  Found " + std::string(998, 'r'));
}

// The reader takes the body Content-Length announces and no other, so the
// writer refuses a body the head does not announce exactly.
TEST(HttpWrite, BodyMustBeAnnounced) {
    const struct {
        const char* length;  // nullptr: no Content-Length header
        const char* body;    // nullptr: no Body key
        bool written;
    } cases[] = {
        {nullptr, "hello", false}, {"4", "hello", false}, {"6", "hello", false}, {"5", nullptr, false},
        {"-1", nullptr, false},    {"-1", "", false},     {"5", "hello", true},  {"+5 bytes", "hello", true},
        {nullptr, "", true},       {nullptr, nullptr, true}, {"0", "", true},  {"", "hello", false},
        {"", "", true},
    };
    for (const auto& c : cases) {
        DataNode root;
        root.asMap();
        if (c.length) root.mapGet("Header").mapGet("Content-Length").setStr(c.length);
        if (c.body) root.mapGet("Body").setStr(c.body);
        std::string text = http.Write(root);
        SCOPED_TRACE(std::string(c.length ? c.length : "(none)") + " / " + (c.body ? c.body : "(none)"));
        if (!c.written) {
            EXPECT_EQ(text, Error(err::BadArgument));
            continue;
        }
        DataNode back;
        uint32_t pos = 0;
        ASSERT_EQ(http.Read(text, back, &pos), err::Ok) << text;
        EXPECT_TRUE(pos == text.size() || pos == InputStream::kNoPosition);
        EXPECT_EQ(back.hasKey("Body"), c.body && *c.body);
    }

    DataNode lower;  // the reader looks for this spelling only
    lower.mapGet("Header").mapGet("content-length").setStr("5");
    lower.mapGet("Body").setStr("hello");
    EXPECT_EQ(http.Write(lower), Error(err::BadArgument));

    DataNode number;
    number.mapGet("Header").mapGet("Content-Length").setInt(5, ValueKind::UInt64);
    number.mapGet("Body").setStr("hello");
    EXPECT_EQ(http.Write(number), "GET / HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello");

    // Without a body, or with a raw header block, nothing is compared.
    DataNode head;
    head.mapGet("Header").mapGet("Content-Length").setStr("1234");
    head.mapGet("Body").setStr("hello");
    head.setOption(OptionFlags::HttpNoBody, true);
    EXPECT_EQ(http.Write(head), "GET / HTTP/1.1\r\nContent-Length: 1234\r\n\r\n");
    DataNode raw;
    raw.mapGet("Header").setStr("Transfer-Encoding: chunked\r\n");
    raw.mapGet("Body").setStr("5\r\nhello\r\n0\r\n\r\n");
    EXPECT_EQ(http.Write(raw), "GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n");
}

TEST(HttpWrite, FailureKeepsWhatWasWritten) {
    DataNode root;
    root.mapGet("Header").mapGet("A").setStr("1");
    root.mapGet("Header").mapGet("B").asList();
    root.mapGet("Header").mapGet("C").setStr("3");
    OutputStream out;
    EXPECT_EQ(WriteHttpMessage(out, root), err::BadArgument);
    EXPECT_EQ(out.view(), "GET / HTTP/1.1\r\nA: 1\r\n");
}

TEST(HttpWrite, FailedStream) {
    DataNode raw, root;
    raw.setStr("x");
    root.asMap();
    EXPECT_EQ(http.WriteToFailedStream(raw), err::StreamFailure);
    EXPECT_EQ(http.WriteToFailedStream(root), err::StreamFailure);
    root.mapGet("Request-Line").asMap();  // judged right after the start line
    EXPECT_EQ(http.WriteToFailedStream(root), err::BadArgument);
}

// --- reader --------------------------------------------------------------------

TEST(HttpRead, ResponseWithBodyLeavesTheRestUnread) {
    std::string_view text = "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nServer:   x y\r\n\r\nhelloEXTRA";
    DataNode root;
    uint32_t pos = 0;
    ASSERT_EQ(http.Read(text, root, &pos), err::Ok);
    EXPECT_EQ(pos, text.size() - 5);
    EXPECT_EQ(Keys(root), "Status-Line;Header;Body;");
    EXPECT_EQ(Keys(root.mapGet("Status-Line")), "HTTP-Version;Status-Code;Reason-Phrase;");
    EXPECT_EQ(Str(root, "Status-Line", "HTTP-Version"), "HTTP/1.0");
    EXPECT_EQ(Str(root, "Status-Line", "Status-Code"), "200");
    EXPECT_EQ(Str(root, "Status-Line", "Reason-Phrase"), "OK");
    EXPECT_EQ(Keys(root.mapGet("Header")), "Content-Length;Server;");
    EXPECT_EQ(Str(root, "Header", "Content-Length"), "5");
    EXPECT_EQ(Str(root, "Header", "Server"), "x y");
    EXPECT_EQ(Str(root, "Body"), "hello");
}

TEST(HttpRead, KindsFormatsAndOptionsOfWhatIsBuilt) {
    DataNode root;
    root.setFormat(FormatId::Http);
    root.setOption(0x40, true);
    root.setStr("old");
    ASSERT_EQ(http.Read("HTTP/1.1 404 Not Found\r\nA: b\r\nContent-Length: 1\r\n\r\nz", root), err::Ok);
    EXPECT_EQ(root.format(), FormatId::Http);  // the target keeps its own
    EXPECT_TRUE(root.hasOption(0x40));
    const DataNode& code = root.mapGet("Status-Line").mapGet("Status-Code");
    EXPECT_TRUE(code.isStr());
    EXPECT_EQ(code.kind(), ValueKind::Binary);
    EXPECT_EQ(code.format(), FormatId::Xml);
    EXPECT_EQ(code.options(), 0u);
    EXPECT_EQ(root.mapGet("Header").mapGet("A").kind(), ValueKind::Binary);
    EXPECT_EQ(root.mapGet("Body").kind(), ValueKind::Unspecified);
}

TEST(HttpRead, StartLineSplit) {
    DataNode root;
    ASSERT_EQ(http.Read("GET /a b  c\r\n\r\n", root), err::Ok);
    EXPECT_EQ(Keys(root), "Request-Line;");
    EXPECT_EQ(Keys(root.mapGet("Request-Line")), "Method;Request-URI;HTTP-Version;");
    EXPECT_EQ(Str(root, "Request-Line", "Request-URI"), "/a");
    EXPECT_EQ(Str(root, "Request-Line", "HTTP-Version"), "b  c");
    ASSERT_EQ(http.Read("HTTP/2 200 OK\r\n\r\n", root), err::Ok);  // neither 1.1 nor 1.0: a request
    EXPECT_EQ(Str(root, "Request-Line", "Method"), "HTTP/2");
    ASSERT_EQ(http.Read("http/1.1 200 OK\r\n\r\n", root), err::Ok);
    EXPECT_EQ(Keys(root), "Request-Line;");
    ASSERT_EQ(http.Read("  \r\n\r\n", root), err::Ok);  // two spaces make three empty parts
    EXPECT_EQ(Str(root, "Request-Line", "HTTP-Version"), "");
    ASSERT_EQ(http.Read("HTTP/1.1 200 \r\n\r\n", root), err::Ok);
    EXPECT_EQ(Str(root, "Status-Line", "Reason-Phrase"), "");
}

TEST(HttpRead, HeaderNamesAndValues) {
    DataNode root;
    ASSERT_EQ(http.Read("GET / HTTP/1.1\r\nHost:a\r\nB:   a\r\nX: \r\nT:\t v\r\nN :v \r\n: e\r\nC: b:c\r\n\r\n", root),
              err::Ok);
    DataNode& h = root.mapGet("Header");
    EXPECT_EQ(Keys(h), "Host;B;X;T;N ;;C;");
    EXPECT_EQ(Str(h, "Host"), "a");
    EXPECT_EQ(Str(h, "B"), "a");
    EXPECT_EQ(Str(h, "X"), "");
    EXPECT_EQ(Str(h, "T"), "\t v");
    EXPECT_EQ(Str(h, "N "), "v ");
    EXPECT_EQ(Str(h, ""), "e");
    EXPECT_EQ(Str(h, "C"), "b:c");
}

TEST(HttpRead, Codes) {
    const std::string filler(1019, 'v');  // "X: " + filler + CR is a 1023-byte line
    const std::string uri(1008, 'u');     // and so is "GET /" + uri + " HTTP/1.1" + CR
    const struct {
        std::string text;
        uint32_t code;
    } cases[] = {
        {"GET /\r\n\r\n", err::TextSyntax},  // one space
        {"GET\r\n\r\n", err::TextSyntax},
        {"GET / HTTP/1.1\n\r\n", err::TextSyntax},  // no CR
        {"\r\n", err::TextSyntax},
        {"\n", err::TextSyntax},
        {"", err::StreamFailure},
        {"GET / HTTP/1.1\r\nX:\r\n\r\n", err::TextSyntax},
        {"GET / HTTP/1.1\r\nNoColon\r\n\r\n", err::TextSyntax},
        {"GET / HTTP/1.1\r\nA: b\n\r\n", err::TextSyntax},  // LF without CR
        {"GET / HTTP/1.1\r\nA: b\r\n\n", err::TextSyntax},  // bare LF for the empty line
        {"GET / HTTP/1.1\r\nA: b\r\n", err::StreamFailure},  // the head never ends
        {"GET / HTTP/1.1\r\nA: b\r\n\r", err::Ok},           // the end of data ends a line
        {"GET / HTTP/1.1\0\r\n\r\n"s, err::TextSyntax},      // a zero byte cuts the CR off
        {"GET / HTTP/1.1\r\nA: b\0c\r\n\r\n"s, err::TextSyntax},
        {"\0\r\n"s, err::TextSyntax},
        {"GET / HTTP/1.1\r\nX: " + filler + "\r\n\r\n", err::Ok},
        {"GET / HTTP/1.1\r\nX: v" + filler + "\r\n\r\n", err::StreamFailure},
        {"GET /" + uri + " HTTP/1.1\r\n\r\n", err::Ok},
        {"GET /u" + uri + " HTTP/1.1\r\n\r\n", err::StreamFailure},
        {std::string(5000000, 'a'), err::StreamFailure},  // no LF anywhere
    };
    for (const auto& c : cases) {
        DataNode root;
        EXPECT_EQ(http.Read(c.text, root), c.code) << c.text.substr(0, 40);
    }
}

TEST(HttpRead, FailureKeepsWhatWasRead) {
    DataNode root;
    root.setStr("old");
    EXPECT_EQ(http.Read("GET\r\n", root), err::TextSyntax);
    EXPECT_TRUE(root.isNone());
    EXPECT_EQ(http.Read("GET / HTTP/1.1\r\nA: b\r\nbad\r\n\r\n", root), err::TextSyntax);
    EXPECT_EQ(Keys(root), "Request-Line;Header;");
    EXPECT_EQ(Str(root, "Header", "A"), "b");
}

TEST(HttpRead, ContentLength) {
    DataNode root;
    uint32_t pos = 0;
    std::string_view twice = "GET / HTTP/1.1\r\nContent-Length: 2\r\nA: 1\r\nContent-Length: 3\r\n\r\nabcd";
    ASSERT_EQ(http.Read(twice, root, &pos), err::Ok);
    EXPECT_EQ(Keys(root.mapGet("Header")), "Content-Length;A;");
    EXPECT_EQ(Str(root, "Header", "Content-Length"), "3");
    EXPECT_EQ(Str(root, "Body"), "abc");
    EXPECT_EQ(pos, twice.size() - 1);

    ASSERT_EQ(http.Read("GET / HTTP/1.1\r\nContent-Length: \t+3xyz\r\n\r\nabcd", root), err::Ok);
    EXPECT_EQ(Str(root, "Body"), "abc");
    for (const char* head : {"content-length: 3", "Content-Length : 3", "Content-Length: abc", "Content-Length: 0"}) {
        std::string text = "GET / HTTP/1.1\r\n"s + head + "\r\n\r\nabcd";
        ASSERT_EQ(http.Read(text, root, &pos), err::Ok) << head;
        EXPECT_FALSE(root.hasKey("Body")) << head;
        EXPECT_EQ(pos, text.size() - 4) << head;
    }
}

TEST(HttpRead, ShortBodyIsKept) {
    DataNode root;
    uint32_t pos = 0;
    EXPECT_EQ(http.Read("GET / HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc", root, &pos), err::TextSyntax);
    EXPECT_EQ(Str(root, "Body"), "abc");
    EXPECT_EQ(pos, InputStream::kNoPosition);  // ran into the end
    EXPECT_EQ(http.Read("GET / HTTP/1.1\r\nContent-Length: 1\r\n\r\n", root), err::TextSyntax);
    EXPECT_EQ(Str(root, "Body"), "");
}

TEST(HttpRead, HostileContentLength) {
    DataNode root;
    for (const char* length : {"99999999999999999999999", "9223372036854775807", "4294967296", "4294967295"}) {
        std::string text = "GET / HTTP/1.1\r\nContent-Length: "s + length + "\r\n\r\nab";
        EXPECT_EQ(http.Read(text, root), err::TextSyntax) << length;
        EXPECT_EQ(Str(root, "Body"), "ab") << length;
    }
    for (const char* length : {"-1", "-99999999999999999999999", "-9223372036854775808"}) {
        std::string text = "GET / HTTP/1.1\r\nContent-Length: "s + length + "\r\n\r\nab";
        InputStream in(text);
        EXPECT_EQ(ReadHttpMessage(in, root), err::TextSyntax) << length;
        EXPECT_FALSE(root.hasKey("Body")) << length;
        EXPECT_EQ(in.remaining(), 2u) << length;  // the body was not touched
    }
}

TEST(HttpRead, NoBodyOptionLeavesTheBodyUnread) {
    DataNode root;
    root.setOption(OptionFlags::HttpNoBody, true);
    uint32_t pos = 0;
    std::string_view text = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";
    ASSERT_EQ(http.Read(text, root, &pos), err::Ok);
    EXPECT_EQ(pos, text.size() - 5);
    EXPECT_FALSE(root.hasKey("Body"));
    EXPECT_EQ(http.Write(root), "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n");
}

TEST(HttpRead, PipelinedMessagesFromOneStream) {
    std::string_view text =
        "GET /1 HTTP/1.1\r\n\r\n"
        "POST /2 HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc"
        "HTTP/1.1 204 No Content\r\n\r\n";
    InputStream in(text);
    DataNode root;
    ASSERT_EQ(ReadHttpMessage(in, root), err::Ok);
    EXPECT_EQ(Str(root, "Request-Line", "Request-URI"), "/1");
    ASSERT_EQ(ReadHttpMessage(in, root), err::Ok);
    EXPECT_EQ(Str(root, "Body"), "abc");
    ASSERT_EQ(ReadHttpMessage(in, root), err::Ok);
    EXPECT_EQ(Str(root, "Status-Line", "Reason-Phrase"), "No Content");
    EXPECT_EQ(in.tell(), text.size());
    EXPECT_EQ(ReadHttpMessage(in, root), err::StreamFailure);
}

// Mangled messages: every outcome is one of the reader's codes, and whatever
// it built still writes (the sanitizer builds watch the memory side).
TEST(HttpRead, SurvivesMangledInput) {
    const std::string seeds[] = {
        "POST /x HTTP/1.1\r\nHost: a\r\nContent-Length: 12\r\n\r\nhello world!",
        "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nServer:   x y\r\n\r\nhelloEXTRA",
    };
    const char interesting[] = {'\r', '\n', '\0', ':', ' ', '-', '9', '\xff'};
    std::mt19937 rng(11);
    for (int round = 0; round < 5000; ++round) {
        std::string text = seeds[round % 2];
        for (int edits = 1 + rng() % 4; edits > 0; --edits) {
            size_t at = rng() % text.size();
            switch (rng() % 4) {
            case 0: text[at] = interesting[rng() % sizeof interesting]; break;
            case 1: text[at] = static_cast<char>(rng()); break;
            case 2: text.erase(at, 1 + rng() % 8); break;
            default: text.insert(at, std::string(rng() % 1200, 'z')); break;
            }
            if (text.empty()) text.push_back('x');
        }
        DataNode root;
        uint32_t code = http.Read(text, root);
        EXPECT_TRUE(code == err::Ok || code == err::StreamFailure || code == err::TextSyntax) << code;
        if (root.isMap()) {
            OutputStream out;
            WriteHttpMessage(out, root);
        }
    }
}

TEST(HttpRoundTrip, ReadThenWriteGivesTheSameBytes) {
    for (std::string_view text : {
             "POST /submit?x=1 HTTP/1.1\r\nHost: example.com\r\nContent-Length: 4\r\n\r\nbody",
             "HTTP/1.0 301 Moved Permanently\r\nLocation: /new\r\n\r\n",
             "GET / HTTP/1.1\r\n\r\n",
         }) {
        DataNode root;
        ASSERT_EQ(http.Read(text, root), err::Ok);
        EXPECT_EQ(http.Write(root), text);
    }
}

}  // namespace
}  // namespace zk
