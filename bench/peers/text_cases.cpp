// JSON next to RapidJSON and nlohmann::json; typed and free-form XML next to
// expat (empty handlers) and pugixml. Every case of a text counts bytes of
// that text (our JSON, our typed XML, our free-form XML), whichever library
// reads or writes it.
#include <expat.h>

#include <string>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "bench/peers/cases.h"
#include "bench/peers/corpora.h"
#include "bench/peers/peer_nodes.h"
#include "codec/text/json.h"
#include "codec/xml/xml_reader.h"
#include "codec/xml/xml_writer.h"

namespace zk::bench {
namespace {

// --- JSON --------------------------------------------------------------------

void JsonReadZk(benchmark::State& state, const TextCorpus& c) {
    DataNode node;
    for (auto _ : state) {
        InputStream in(c.json);
        if (ReadJson(in, node)) state.SkipWithError("read failed");  // frees the previous tree
        benchmark::DoNotOptimize(node);
    }
    SetBytes(state, c.json.size());
    ReportHeap(state, [&] {
        DataNode tree;
        InputStream in(c.json);
        ReadJson(in, tree);
        return HeapUse{CountNodes(tree), LiveHeap()};
    });
}

void JsonReadRapid(benchmark::State& state, const TextCorpus& c) {
    for (auto _ : state) {
        rapidjson::Document doc;  // a reused Document keeps every parse in its pool
        doc.Parse(c.json.data(), c.json.size());
        if (doc.HasParseError()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(doc);
    }
    SetBytes(state, c.json.size());
    ReportHeap(state, [&] {
        rapidjson::Document doc;
        doc.Parse(c.json.data(), c.json.size());
        return HeapUse{CountRapid(doc), LiveHeap()};
    });
}

void JsonReadNlohmann(benchmark::State& state, const TextCorpus& c) {
    nlohmann::json doc;
    for (auto _ : state) {
        doc = nlohmann::json::parse(c.json);
        benchmark::DoNotOptimize(doc);
    }
    SetBytes(state, c.json.size());
    ReportHeap(state, [&] {
        nlohmann::json tree = nlohmann::json::parse(c.json);
        return HeapUse{CountNlohmann(tree), LiveHeap()};
    });
}

void JsonWriteZk(benchmark::State& state, const TextCorpus& c) {
    OutputStream out;
    for (auto _ : state) {
        out.clear();
        if (WriteJson(out, c.jsonTree)) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(out.data());
    }
    SetBytes(state, c.json.size());
}

void JsonWriteRapid(benchmark::State& state, const TextCorpus& c) {
    rapidjson::StringBuffer buffer;
    for (auto _ : state) {
        buffer.Clear();
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        c.rapid.Accept(writer);
        benchmark::DoNotOptimize(buffer.GetString());
    }
    SetBytes(state, c.json.size());
}

void JsonWriteNlohmann(benchmark::State& state, const TextCorpus& c) {
    for (auto _ : state) {
        std::string text = c.nlohmann.dump();
        benchmark::DoNotOptimize(text.data());
    }
    SetBytes(state, c.json.size());
}

// --- XML, either layout ------------------------------------------------------

const std::string& Document(const TextCorpus& c, bool freeForm) { return freeForm ? c.freeXml : c.xml; }

void XmlReadZk(benchmark::State& state, const TextCorpus& c, bool freeForm) {
    const std::string& doc = Document(c, freeForm);
    for (auto _ : state) {
        DataNode node;
        node.setOption(OptionFlags::XmlFreeForm, freeForm);
        InputStream in(doc);
        if (ReadXml(in, node)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(node.size());
    }
    SetBytes(state, doc.size());
    ReportHeap(state, [&] {
        DataNode tree;
        tree.setOption(OptionFlags::XmlFreeForm, freeForm);
        InputStream in(doc);
        ReadXml(in, tree);
        return HeapUse{CountNodes(tree), LiveHeap()};
    });
}

void XMLCALL NoStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL NoEnd(void*, const XML_Char*) {}
void XMLCALL NoText(void*, const XML_Char*, int) {}

// expat with empty handlers over the whole buffer in one call: the floor of
// any reader built on it. It builds nothing; its heap is the parser's own.
bool ExpatParse(const std::string& doc, int64_t* live) {
    XML_Parser p = XML_ParserCreate(nullptr);
    XML_SetElementHandler(p, NoStart, NoEnd);
    XML_SetCharacterDataHandler(p, NoText);
    bool ok = XML_Parse(p, doc.data(), static_cast<int>(doc.size()), 1) == XML_STATUS_OK;
    if (live) *live = LiveHeap();
    XML_ParserFree(p);
    return ok;
}

void XmlReadExpat(benchmark::State& state, const TextCorpus& c, bool freeForm) {
    const std::string& doc = Document(c, freeForm);
    for (auto _ : state)
        if (!ExpatParse(doc, nullptr)) state.SkipWithError("expat failed");
    SetBytes(state, doc.size());
    ReportHeap(state, [&] {
        HeapUse use;
        ExpatParse(doc, &use.bytes);
        return use;
    });
}

void XmlReadPugi(benchmark::State& state, const TextCorpus& c, bool freeForm) {
    const std::string& doc = Document(c, freeForm);
    for (auto _ : state) {
        pugi::xml_document tree;
        if (!tree.load_buffer(doc.data(), doc.size())) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(tree.first_child());
    }
    SetBytes(state, doc.size());
    ReportHeap(state, [&] {
        pugi::xml_document tree;
        tree.load_buffer(doc.data(), doc.size());
        return HeapUse{CountPugi(tree), LiveHeap()};
    });
}

// The free-form writer writes the tree read from the document; the bytes
// counted are what it writes (the same as the document, see the report).
void XmlWriteZk(benchmark::State& state, const TextCorpus& c, bool freeForm) {
    const DataNode& tree = freeForm ? c.freeTree : c.xmlTree;
    OutputStream out;
    for (auto _ : state) {
        out.clear();
        if (WriteXml(out, tree)) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(out.data());
    }
    SetBytes(state, freeForm ? c.freeRewritten.size() : c.xml.size());
    if (freeForm) state.counters["same_as_read"] = c.freeRewritten == c.freeXml;
}

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

void XmlWritePugi(benchmark::State& state, const TextCorpus& c, bool freeForm) {
    const pugi::xml_document& tree = freeForm ? c.pugiFree : c.pugi;
    StringWriter writer;
    for (auto _ : state) {
        writer.text.clear();
        tree.save(writer);
        benchmark::DoNotOptimize(writer.text.data());
    }
    SetBytes(state, Document(c, freeForm).size());
}

}  // namespace

void RegisterTextCases() {
    using Json = void (*)(benchmark::State&, const TextCorpus&);
    using Xml = void (*)(benchmark::State&, const TextCorpus&, bool);
    struct JsonCase {
        const char* op;
        const char* lib;
        Json fn;
    };
    struct XmlCase {
        const char* op;
        const char* lib;
        Xml fn;
    };
    static const JsonCase json[] = {
        {"json_read", "zk", JsonReadZk},         {"json_read", "rapidjson", JsonReadRapid},
        {"json_read", "nlohmann", JsonReadNlohmann}, {"json_write", "zk", JsonWriteZk},
        {"json_write", "rapidjson", JsonWriteRapid}, {"json_write", "nlohmann", JsonWriteNlohmann},
    };
    static const XmlCase xml[] = {
        {"read", "zk", XmlReadZk},     {"read", "expat", XmlReadExpat}, {"read", "pugixml", XmlReadPugi},
        {"write", "zk", XmlWriteZk},   {"write", "pugixml", XmlWritePugi},
    };
    for (int size = 0; size < static_cast<int>(std::size(kSizes)); ++size) {
        const char* label = kSizes[size].label;
        for (const JsonCase& k : json)
            Register(k.op, k.lib, label, [fn = k.fn, size](benchmark::State& s) { fn(s, Text(size)); });
        for (bool freeForm : {false, true})
            for (const XmlCase& k : xml)
                Register(std::string(freeForm ? "xmlfree_" : "xml_") + k.op, k.lib, label,
                         [fn = k.fn, size, freeForm](benchmark::State& s) { fn(s, Text(size), freeForm); });
    }
}

}  // namespace zk::bench
