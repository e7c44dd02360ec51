// The zkdata tool, run as a subprocess on the bundled examples: every format
// pair, the flags, standard input and output, exit codes, error lines and
// trailing-byte warnings.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/built_file.h"
#include "tests/support/subprocess.h"
#include "zk_data/codec/format_names.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out, err;
};

std::string Slurp(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string Example(const std::string& name) { return std::string(ZKDATA_EXAMPLES) + "/" + name; }

class Zkdata : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = zk::test::MakeScratchDirectory("zkdata_test");
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string file(const std::string& name) const { return (dir_ / name).string(); }
    std::string put(const std::string& name, const std::string& bytes) const {
        std::ofstream(file(name), std::ios::binary) << bytes;
        return file(name);
    }

    // Runs the tool with args, input as its standard input, and collects
    // exit status, standard output and standard error.
    Outcome run(const std::vector<std::string>& args, const std::string& input = "") const {
        put("stdin", input);
        int status = zk::test::RunProgram(zk::test::BuiltFile(ZKDATA_PATH), args, file("stdin"), file("stdout"),
                                          file("stderr"));
        return {status, Slurp(file("stdout")), zk::test::LinuxLineEnds(Slurp(file("stderr")))};
    }
    // The output of a run that must succeed without a word on standard error.
    std::string ok(const std::vector<std::string>& args, const std::string& input = "") const {
        Outcome r = run(args, input);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return r.out;
    }

    fs::path dir_;
};

struct Sample {
    const char* file;
    const char* from;
};
const Sample kSamples[] = {{"order.json", "json"},      {"telemetry.xml", "xml"},   {"catalog.xml", "xml:free"},
                           {"release.torrent", "bencode"}, {"request.http", "http"}, {"response.http", "http"},
                           {"settings.ini", "ini"}};

// ---- command line ----

TEST_F(Zkdata, HelpAndVersion) {
    std::string help = ok({"--help"});
    for (const char* word : {"zkdata convert", "zkdata dump", "--template", "--int-kind", "binary ", "xml ", "bencode ",
                             "json ", "http ", "ini ", "dump ", "free:", "compact:", "gbk:", "be:", "nobody:", "raw:",
                             "quad:"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
    EXPECT_EQ(ok({"convert", "--help"}), help);
    EXPECT_EQ(ok({"--version"}), "zkdata " ZK_DATA_VERSION "\n");
}

TEST_F(Zkdata, UsageErrorsExitTwoWithOneLine) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"turn", "x.json"},
        {"convert", "--frm", "json"},
        {"convert", "--from"},
        {"convert", "--from", "yaml", "x"},
        {"convert", "--from", "json:free", "x"},
        {"convert", "--to", "xml:fast", Example("order.json")},
        {"convert", Example("order.json"), Example("settings.ini")},
        {"convert", "notes.txt"},
        {"convert"},
        {"convert", "--from", "dump", "x"},
        {"convert", "--from", "binary", "x.bin"},
        {"convert", "--template", Example("order.json"), Example("order.json")},
        {"convert", "--from", "binary", "--template", "shape.txt", "x.bin"},
        {"convert", "--from", "binary", "--template", "x", "--template-from", "dump", "x.bin"},
        {"convert", "--int-kind", "int128", Example("order.json")},
        {"dump", "--to", "json", Example("order.json")},
    };
    for (const auto& args : cases) {
        Outcome r = run(args);
        SCOPED_TRACE(r.err);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("zkdata: ", 0), 0u);
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1);
    }
}

// ---- format pairs ----

TEST_F(Zkdata, EveryExampleToEveryFormat) {
    const char* targets[] = {"binary", "xml", "xml:free", "bencode", "json", "http", "ini", "dump"};
    // The expected code per target, in the order above; 0 is success.
    const std::vector<std::vector<unsigned>> expected = {
        {0, 0, 25000022, 0, 0, 0, 25000001, 0},         // order: several roots, values not sections
        {0, 0, 25000022, 0, 0, 0, 25000001, 0},         // telemetry
        {0, 0, 0, 0, 0, 0, 25000001, 0},                // catalog: a list is no INI section
        {0, 0, 25000022, 0, 0, 0, 25000001, 0},         // torrent
        {0, 0, 25000022, 0, 20100007, 0, 25000001, 0},  // request: the JSON body holds quotes
        {0, 0, 25000022, 0, 0, 0, 25000001, 0},         // response
        {0, 0, 25000022, 0, 0, 0, 0, 0},                // settings
    };
    for (size_t s = 0; s < std::size(kSamples); ++s)
        for (size_t t = 0; t < std::size(targets); ++t) {
            Outcome r = run({"convert", "--from", kSamples[s].from, "--to", targets[t], Example(kSamples[s].file)});
            SCOPED_TRACE(std::string(kSamples[s].file) + " to " + targets[t] + ": " + r.err);
            if (expected[s][t] == 0) {
                EXPECT_EQ(r.status, 0);
                EXPECT_EQ(r.err, "");
                EXPECT_FALSE(r.out.empty());
            } else {
                EXPECT_EQ(r.status, 1);
                EXPECT_EQ(r.out, "");
                EXPECT_NE(r.err.find("error " + std::to_string(expected[s][t])), std::string::npos);
            }
        }
}

TEST_F(Zkdata, TreeSurvivesEveryReadableFormat) {
    for (const Sample& s : kSamples) {
        std::string original = ok({"dump", "--from", s.from, Example(s.file)});
        for (const char* via : {"xml", "bencode", "json", "binary", "binary:be"}) {
            if (std::string(s.file) == "request.http" && std::string(via) == "json") continue;
            SCOPED_TRACE(std::string(s.file) + " via " + via);
            std::string bytes = ok({"convert", "--from", s.from, "--to", via, Example(s.file)});
            std::vector<std::string> back = {"dump", "--from", via};
            if (std::string(via).starts_with("binary"))
                back.insert(back.end(), {"--template", Example(s.file), "--template-from", s.from});
            EXPECT_EQ(ok(back, bytes), original);
        }
    }
}

TEST_F(Zkdata, CanonicalExamplesComeBackByteForByte) {
    const struct {
        const char* file;
        const char* from;
        const char* via;
    } cases[] = {{"telemetry.xml", "xml", "json"},  {"telemetry.xml", "xml", "bencode"},
                 {"release.torrent", "bencode", "xml"}, {"release.torrent", "bencode", "json"},
                 {"request.http", "http", "xml"},     {"response.http", "http", "json"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " via " + c.via);
        std::string there = ok({"convert", "--to", c.via, Example(c.file)});
        EXPECT_EQ(ok({"convert", "--from", c.via, "--to", c.from}, there), Slurp(Example(c.file)));
    }
    std::string json = ok({"convert", "--to", "json", Example("order.json")});
    EXPECT_EQ(json.rfind("{\"order_id\":\"A-10023\",\"placed\":", 0), 0u);
    std::string xml = ok({"convert", "--to", "xml", Example("order.json")});
    EXPECT_EQ(ok({"convert", "--from", "xml", "--to", "json"}, xml), json);
    std::string ini = ok({"convert", "--to", "ini", Example("settings.ini")});
    EXPECT_EQ(ini.rfind("[server]\r\nhost=0.0.0.0\r\nport=8080\r\n", 0), 0u);
    EXPECT_EQ(ok({"convert", "--from", "json", "--to", "ini"}, ok({"convert", "--to", "json", Example("settings.ini")})),
              ini);
}

// ---- flags ----

TEST_F(Zkdata, XmlFlags) {
    std::string compact = ok({"convert", "--to", "xml:compact", Example("order.json")});
    EXPECT_EQ(compact.find_first_of("\r\n\t"), std::string::npos);
    std::string gbk = ok({"convert", "--from", "xml:free", "--to", "xml:free,gbk", Example("catalog.xml")});
    EXPECT_EQ(gbk.rfind("<?xml version=\"1.0\" encoding=\"gbk\"?>\r\n<catalog updated=\"2024-03-18\">", 0), 0u);
    // The GBK declaration stays with the document through a free-form round trip.
    EXPECT_EQ(ok({"convert", "--from", "xml:free", "--to", "xml:free"}, gbk), gbk);
    EXPECT_NE(ok({"convert", "--from", "xml:free", "--to", "xml"}, gbk).find("encoding=\"utf-8\""), std::string::npos);
    Outcome typed = run({"convert", "--from", "xml", "--to", "json"}, gbk);
    EXPECT_EQ(typed.status, 1);
    EXPECT_EQ(typed.err, "zkdata: <stdin>: error 25000009: XML: unsupported encoding\n");
}

TEST_F(Zkdata, GbkWithoutFreeFormIsRefusedByTheWriter) {
    for (const char* to : {"xml:gbk", "xml:compact,gbk"}) {
        Outcome r = run({"convert", "--to", to, "-o", file("out.xml"), Example("order.json")});
        SCOPED_TRACE(to);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "zkdata: " + Example("order.json") +
                             ": error 20100001: bad argument or unusable stream (writing xml)\n");
        EXPECT_FALSE(fs::exists(file("out.xml")));
    }
}

TEST_F(Zkdata, BinaryByteOrder) {
    std::string le = ok({"convert", "--to", "binary", Example("order.json")});
    std::string be = ok({"convert", "--to", "binary:be", Example("order.json")});
    ASSERT_EQ(le.size(), be.size());
    EXPECT_EQ(le.substr(0, 4), std::string("\xDC\0\0\0", 4));
    EXPECT_EQ(be.substr(0, 4), std::string("\0\0\0\xDC", 4));
    Outcome wrong = run({"convert", "--from", "binary", "--template", Example("order.json"), "--to", "json"}, be);
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.err, "zkdata: <stdin>: error 25000004: binary: length or count above its limit (at offset 4)\n");
}

TEST_F(Zkdata, HttpNoBody) {
    Outcome head = run({"dump", "--from", "http:nobody", Example("request.http")});
    EXPECT_EQ(head.status, 0);
    EXPECT_EQ(head.out.find("Body:"), std::string::npos);
    EXPECT_EQ(head.err, "zkdata: " + Example("request.http") + ": warning: 25 trailing bytes at offset 151\n");
    std::string out = ok({"convert", "--to", "http:nobody", Example("response.http")});
    std::string full = Slurp(Example("response.http"));
    EXPECT_EQ(out, full.substr(0, full.find("\r\n\r\n") + 4));
}

TEST_F(Zkdata, DumpFlags) {
    const std::string doc = "{\"ip\":16777343,\"s\":\"a\nb\"}";
    EXPECT_EQ(ok({"dump", "--from", "json"}, doc), "map size(2):\r\nip:16777343\r\ns:[hex]610a62\r\n");
    EXPECT_EQ(ok({"dump", "--from", "json", "--to", "dump:raw,quad", "--int-kind", "uint32"}, doc),
              "map size(2):\r\nip:127.0.0.1\r\ns:a\nb\r\n");
}

TEST_F(Zkdata, HelpNamesEveryFlagAliasAndKind) {
    std::string help = ok({"--help"});
    for (const zk::NamedFlag& f : zk::FlagTable()) {
        std::string entry = std::string(f.name) + (f.alias ? std::string(", ") + f.alias : "") + ":";
        EXPECT_NE(help.find(entry), std::string::npos) << entry;
    }
    for (const zk::NamedIntKind& k : zk::IntKindTable()) {
        bool listed = false;
        for (const char* after : {",", ";", "\n", " "})
            listed |= help.find(std::string(" ").append(k.name).append(after)) != std::string::npos;
        EXPECT_TRUE(listed) << k.name;
    }
}

TEST_F(Zkdata, CanonicalFlagsAndTheirAliasesDoTheSame) {
    const struct {
        std::vector<std::string> canonical, alias;
    } cases[] = {
        {{"--to", "binary:big_endian"}, {"--to", "binary:be"}},
        {{"--to", "xml:free_form,compact", "--from", "xml:free_form"},
         {"--to", "xml:free,compact", "--from", "xml:free"}},
        {{"--to", "http:no_body", "--from", "http"}, {"--to", "http:nobody", "--from", "http"}},
        {{"--to", "dump:raw_string,dotted_quad", "--int-kind", "uint32"},
         {"--to", "dump:raw,quad", "--int-kind", "uint32"}},
    };
    const char* inputs[] = {"order.json", "catalog.xml", "response.http", "order.json"};
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].alias[1]);
        std::vector<std::string> canonical = {"convert"}, alias = {"convert"};
        canonical.insert(canonical.end(), cases[i].canonical.begin(), cases[i].canonical.end());
        alias.insert(alias.end(), cases[i].alias.begin(), cases[i].alias.end());
        canonical.push_back(Example(inputs[i]));
        alias.push_back(Example(inputs[i]));
        std::string out = ok(canonical);
        EXPECT_FALSE(out.empty());
        EXPECT_EQ(ok(alias), out);
    }
    Outcome head = run({"dump", "--from", "http:no_body", Example("response.http")});
    Outcome aliasHead = run({"dump", "--from", "http:nobody", Example("response.http")});
    EXPECT_EQ(head.status, 0);
    EXPECT_EQ(head.out.find("Body:"), std::string::npos);
    EXPECT_EQ(aliasHead.out, head.out);
    EXPECT_EQ(aliasHead.err, head.err);
    EXPECT_EQ(run({"convert", "--to", "json:free_form", Example("order.json")}).err,
              "zkdata: unknown flag 'free_form' for format json (see zkdata --help)\n");
}

TEST_F(Zkdata, BinaryFlagsReadOnEveryNode) {
    const std::string doc = "{\"a\":{\"s\":\"0a1B\"},\"c\":\"ff\"}";
    std::string shape = put("shape.json", doc);
    std::string record = ok({"convert", "--from", "json", "--to", "binary:map_unframed,hex_string,be"}, doc);
    EXPECT_EQ(record, std::string("\0\0\0\x02\x0A\x1B\0\0\0\x01\xFF", 11));  // no map lengths, hex as bytes
    std::vector<std::string> from = {"convert", "--from", "binary:map_unframed,hex_string,be", "--template", shape};
    std::vector<std::string> toJson = from, toBinary = from;
    toJson.insert(toJson.end(), {"--to", "json"});
    toBinary.insert(toBinary.end(), {"--to", "binary"});
    const std::string lower = "{\"a\":{\"s\":\"0a1b\"},\"c\":\"ff\"}";  // read as hex, spelled lower case
    EXPECT_EQ(ok(toJson, record), lower);
    // The input's node-by-node flags do not carry over to an output without them.
    EXPECT_EQ(ok(toBinary, record), ok({"convert", "--from", "json", "--to", "binary"}, lower));
    Outcome notHex = run({"convert", "--to", "binary:hex_string", Example("order.json")});
    EXPECT_EQ(notHex.status, 1);
    EXPECT_EQ(notHex.err, "zkdata: " + Example("order.json") + ": error 25000020: binary: string flagged as " +
                              "hexadecimal does not decode (writing binary)\n");
}

TEST_F(Zkdata, IntAndUintAreThirtyTwoBitKinds) {
    EXPECT_EQ(ok({"convert", "--from", "json", "--to", "binary", "--int-kind", "int"}, "[-2]"),
              std::string("\x01\0\0\0\xFE\xFF\xFF\xFF", 8));
    EXPECT_EQ(ok({"convert", "--from", "json", "--to", "binary", "--int-kind", "uint"}, "[4294967295]"),
              std::string("\x01\0\0\0\xFF\xFF\xFF\xFF", 8));
    Outcome misfit = run({"convert", "--from", "json", "--to", "binary", "--int-kind", "uint"}, "[-1]");
    EXPECT_EQ(misfit.status, 1);
    EXPECT_EQ(misfit.err, "zkdata: <stdin>: error: 1 integer does not fit uint; the first is at /0 (-1)\n");
    std::string shape = put("shape.json", "[0]");
    EXPECT_EQ(ok({"convert", "--from", "binary", "--template", shape, "--int-kind", "int", "--to", "json"},
                 std::string("\x01\0\0\0\xFE\xFF\xFF\xFF", 8)),
              "[-2]");
}

// ---- standard input and output ----

TEST_F(Zkdata, StandardStreamsAndOutputFiles) {
    const std::string doc = "{\"a\":[1,\"x\"]}";
    EXPECT_EQ(ok({"convert", "--from", "json", "--to", "bencode"}, doc), "d1:ali1e1:xee");
    EXPECT_EQ(ok({"convert", "--from", "json", "--to", "bencode", "-", "-o", "-"}, doc), "d1:ali1e1:xee");
    EXPECT_EQ(ok({"convert", "--from", "json", "-o", file("a.torrent")}, doc), "");
    EXPECT_EQ(Slurp(file("a.torrent")), "d1:ali1e1:xee");
    EXPECT_EQ(ok({"convert", "--from", "json", "--output=" + file("a.txt")}, doc),
              "");  // no known extension: the dump
    EXPECT_EQ(Slurp(file("a.txt")), "map size(1):\r\na:list size(2):\r\n    0:1\r\n    1:x\r\n");
    Outcome failed = run({"convert", "--from", "json", "-o", file("b.json")}, "{\"a\":");
    EXPECT_EQ(failed.status, 1);
    EXPECT_FALSE(fs::exists(file("b.json")));
}

// ---- errors and warnings ----

TEST_F(Zkdata, ErrorLinesNameInputCodeMessageAndOffset) {
    const struct {
        std::string from, input, line;
    } cases[] = {
        {"json", "[1,2 3]", "error 20100007: JSON: double quote in a string, or unexpected separator (at offset 6)"},
        {"json", "nul", "error 25000021: syntax error in JSON, HTTP message or INI input (at offset 1)"},
        {"json", "", "error 25000005: stream failure: output went bad or input ended early (at offset 0)"},
        {"bencode", "d3:keyi5xe", "error 25000017: bencode syntax error (at offset 9)"},
        {"ini", "a=1\n", "error 25000021: syntax error in JSON, HTTP message or INI input (at offset 4)"},
        {"http", "GET /\r\n\r\n", "error 25000021: syntax error in JSON, HTTP message or INI input (at offset 7)"},
        {"xml", "<zk_data type=\"int\">5", "error 25000008: XML: parser error"},
        {"xml", "<doc/>", "error 25000012: XML: element of unknown name"},
    };
    for (const auto& c : cases) {
        std::string path = put("bad." + c.from, c.input);
        Outcome r = run({"convert", "--to", "json", path});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "zkdata: " + path + ": " + c.line + "\n");
    }
    Outcome write = run({"convert", "--to", "json", Example("request.http")});
    EXPECT_EQ(write.err, "zkdata: " + Example("request.http") +
                             ": error 20100007: JSON: double quote in a string, or unexpected separator (writing json)\n");
    Outcome missing = run({"dump", file("absent.json")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "zkdata: " + file("absent.json") + ": cannot read: No such file or directory\n");
    Outcome unwritable = run({"convert", "-o", file("no/such/dir/out.xml"), Example("order.json")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("cannot write"), std::string::npos);
    Outcome badTemplate = run({"dump", "--from", "binary", "--template", put("t.json", "{\"a\":}")}, "x");
    EXPECT_EQ(badTemplate.status, 1);
    EXPECT_EQ(badTemplate.err.rfind("zkdata: " + file("t.json") + ": error 25000021", 0), 0u);
}

TEST_F(Zkdata, TrailingBytesAreWarnedAbout) {
    Outcome r = run({"convert", "--from", "json", "--to", "json"}, "{\"a\":1}  xyz\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "{\"a\":1}");
    EXPECT_EQ(r.err, "zkdata: <stdin>: warning: 6 trailing bytes at offset 7\n");
    // A text format's closing white space is not worth a warning.
    EXPECT_EQ(ok({"convert", "--from", "bencode", "--to", "json"}, "i5e\r\n"), "5");
    EXPECT_EQ(ok({"convert", "--from", "xml", "--to", "json"}, ok({"convert", "--to", "xml", Example("order.json")}) + "\n"),
              ok({"convert", "--to", "json", Example("order.json")}));
    // In a binary record every byte counts.
    std::string record = ok({"convert", "--to", "binary", Example("order.json")});
    Outcome bin = run({"dump", "--from", "binary", "--template", Example("order.json")}, record + "\n\n");
    EXPECT_EQ(bin.status, 0);
    EXPECT_EQ(bin.err, "zkdata: <stdin>: warning: 2 trailing bytes at offset " + std::to_string(record.size()) + "\n");
}

// ---- binary templates and integer kinds ----

TEST_F(Zkdata, IntegersKeepTheirKindsThroughBinary) {
    // JSON numbers are 64-bit, booleans 32-bit; the way back is the same as
    // converting the text directly, where true is written as 1.
    const std::string doc = "[9223372036854775807, 5000000000, true]";
    std::string record = ok({"convert", "--from", "json", "--to", "binary"}, doc);
    EXPECT_EQ(record, std::string("\x03\0\0\0"
                                  "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F"
                                  "\x00\xF2\x05\x2A\x01\0\0\0"
                                  "\x01\0\0\0",
                                  24));
    std::string shape = put("shape.json", doc);
    std::string back = ok({"convert", "--from", "binary", "--template", shape, "--to", "json"}, record);
    EXPECT_EQ(back, "[9223372036854775807,5000000000,1]");
    EXPECT_EQ(back, ok({"convert", "--from", "json", "--to", "json"}, doc));
    // Typed XML gives every integer kind uint64, so an XML document is the
    // template of its own record too.
    std::string xml = put("doc.xml", ok({"convert", "--from", "json", "--to", "xml"}, doc));
    std::string xmlRecord = ok({"convert", "--to", "binary", xml});
    EXPECT_EQ(xmlRecord.size(), 4u + 3 * 8);
    EXPECT_EQ(ok({"convert", "--from", "binary", "--template", xml, "--to", "json"}, xmlRecord), back);
}

TEST_F(Zkdata, IntKindSetsOneWidth) {
    // The order holds 7 integers: ids, quantities, prices and the total, 64-bit,
    // and the gift flag, 32-bit.
    size_t own = ok({"convert", "--to", "binary", Example("order.json")}).size();
    EXPECT_EQ(ok({"convert", "--to", "binary", "--int-kind", "int64", Example("order.json")}).size(), own + 4);
    EXPECT_EQ(ok({"convert", "--to", "binary", "--int-kind", "int32", Example("order.json")}).size(), own - 6 * 4);
    std::string record = ok({"convert", "--from", "json", "--to", "binary", "--int-kind", "int16"}, "[-2,300]");
    EXPECT_EQ(record, std::string("\x02\0\0\0\xFE\xFF\x2C\x01", 8));
    std::string shape = put("shape.json", "[0]");
    EXPECT_EQ(ok({"convert", "--from", "binary", "--template", shape, "--int-kind", "int16", "--to", "json"}, record),
              "[-2,300]");
    Outcome bytes = run({"convert", "--from", "binary", "--template", shape, "--int-kind", "uint8", "--to", "json"}, record);
    EXPECT_EQ(bytes.out, "[254,255]");
    EXPECT_EQ(bytes.err, "zkdata: <stdin>: warning: 2 trailing bytes at offset 6\n");
    // The edges of a width fit; 64 bits carry every value, a uint64 above the
    // signed maximum being the negative number of the same bits.
    EXPECT_EQ(ok({"convert", "--from", "json", "--to", "json", "--int-kind", "int32"}, "[-2147483648,2147483647]"),
              "[-2147483648,2147483647]");
    std::string all = ok({"convert", "--from", "json", "--to", "binary", "--int-kind", "uint64"}, "[-1]");
    EXPECT_EQ(all, std::string("\x01\0\0\0\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 12));
    EXPECT_EQ(ok({"convert", "--from", "binary", "--template", shape, "--int-kind", "uint64", "--to", "json"}, all),
              "[-1]");
}

TEST_F(Zkdata, IntegersThatDoNotFitTheIntKindAreAnError) {
    const struct {
        std::vector<std::string> args;
        std::string input, line;
    } cases[] = {
        {{"--int-kind", "int32"}, "[9223372036854775807, 5000000000, true]",
         "2 integers do not fit int32; the first is at /0 (9223372036854775807)"},
        {{"--int-kind", "int16"}, "{\"a\":{\"b/c~\":[1,70000]},\"z\":-40000}",
         "2 integers do not fit int16; the first is at /a/b~1c~0/1 (70000)"},
        {{"--int-kind", "uint32"}, "-1", "1 integer does not fit uint32; the first is the root (-1)"},
        {{"--int-kind=uint8", "--to", "json"}, "[255,256]", "1 integer does not fit uint8; the first is at /1 (256)"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"convert", "--from", "json", "--to", "binary", "-o", file("out.bin")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Outcome r = run(args, c.input);
        SCOPED_TRACE(c.input);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "zkdata: <stdin>: error: " + c.line + "\n");
        EXPECT_FALSE(fs::exists(file("out.bin")));
    }
    Outcome order = run({"convert", "--to", "binary", "--int-kind", "uint8", Example("order.json")});
    EXPECT_EQ(order.status, 1);
    EXPECT_EQ(order.out, "");
    EXPECT_EQ(order.err, "zkdata: " + Example("order.json") +
                             ": error: 4 integers do not fit uint8; the first is at /customer/id (5821)\n");
}

TEST_F(Zkdata, TemplateListsRepeatTheirFirstItem) {
    const std::string doc = "{\"rows\":[{\"k\":\"a\",\"v\":1},{\"k\":\"bb\",\"v\":2},{\"k\":\"ccc\",\"v\":3}]}";
    std::string record = ok({"convert", "--from", "json", "--to", "binary"}, doc);
    std::string shape = put("shape.json", "{\"rows\":[{\"k\":\"\",\"v\":0}]}");
    EXPECT_EQ(ok({"convert", "--from", "binary", "--template", shape, "--to", "json"}, record), doc);
}

}  // namespace
