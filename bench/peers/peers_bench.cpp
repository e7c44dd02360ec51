// zk_data next to peer libraries on the same corpora, built in memory from a
// fixed seed: JSON of about 1 MB and 20 MB (nested maps and lists, integers,
// strings without quotes or backslashes), and the typed XML our writer makes
// of the same trees. Every case reports bytes per second of the document
// (the JSON text, or the XML text), whichever library reads or writes it.
// Names are operation/library/size, e.g. json_read/rapidjson/1MB.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <random>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <string>
#include <vector>

#include "codec/text/json.h"
#include "codec/xml/xml_reader.h"
#include "codec/xml/xml_writer.h"
#include "bench/support/records.h"

namespace zk {
namespace {

using bench::BuildRecord;

// One size of corpus: the JSON text and typed XML text of one tree, and the
// trees each library builds from them, made before any timing so that the
// writers walk trees built from fresh heap.
struct Corpus {
    std::string label;
    std::string json;
    std::string xml;
    DataNode jsonTree;
    DataNode xmlTree;
    rapidjson::Document rapid;
    nlohmann::json nlohmann;
    pugi::xml_document pugi;

    Corpus(const char* name, size_t targetBytes) : label(name) {
        DataNode root;
        std::mt19937 rng(42);
        ListValue& records = root.mapGet("records").asList();
        // Records average a few hundred bytes: measure now and then, and
        // measure next where the average so far says the target is reached.
        for (int id = 0, probeAt = 256; id < 1000000; ++id) {
            BuildRecord(records.append(), rng, id);
            if (id + 1 < probeAt) continue;
            OutputStream probe;
            WriteJson(probe, root);
            if (probe.size() >= targetBytes) break;
            probeAt = std::max(id + 32, static_cast<int>(targetBytes / (probe.size() / (id + 1.0))));
        }
        OutputStream out;
        WriteJson(out, root);
        json = out.view();
        out.clear();
        WriteXml(out, root);
        xml = out.view();
        InputStream jin(json);
        InputStream xin(xml);
        if (ReadJson(jin, jsonTree) || ReadXml(xin, xmlTree)) throw std::runtime_error("corpus does not read back");
        rapid.Parse(json.data(), json.size());
        nlohmann = nlohmann::json::parse(json);
        if (rapid.HasParseError() || !pugi.load_buffer(xml.data(), xml.size()))
            throw std::runtime_error("peer cannot read the corpus");
    }
};

void SetBytes(benchmark::State& state, size_t size) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void JsonReadZk(benchmark::State& state, const Corpus* c) {
    DataNode node;
    for (auto _ : state) {
        InputStream in(c->json);
        if (ReadJson(in, node)) state.SkipWithError("read failed");  // frees the previous tree
        benchmark::DoNotOptimize(node);
    }
    SetBytes(state, c->json.size());
}

void JsonReadRapid(benchmark::State& state, const Corpus* c) {
    for (auto _ : state) {
        rapidjson::Document doc;  // a reused Document keeps every parse in its pool
        doc.Parse(c->json.data(), c->json.size());
        if (doc.HasParseError()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(doc);
    }
    SetBytes(state, c->json.size());
}

void JsonReadNlohmann(benchmark::State& state, const Corpus* c) {
    nlohmann::json doc;
    for (auto _ : state) {
        doc = nlohmann::json::parse(c->json);
        benchmark::DoNotOptimize(doc);
    }
    SetBytes(state, c->json.size());
}

void JsonWriteZk(benchmark::State& state, const Corpus* c) {
    OutputStream out;
    for (auto _ : state) {
        out.clear();
        if (WriteJson(out, c->jsonTree)) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(out.data());
    }
    SetBytes(state, c->json.size());
}

void JsonWriteRapid(benchmark::State& state, const Corpus* c) {
    rapidjson::StringBuffer buffer;
    for (auto _ : state) {
        buffer.Clear();
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        c->rapid.Accept(writer);
        benchmark::DoNotOptimize(buffer.GetString());
    }
    SetBytes(state, c->json.size());
}

void JsonWriteNlohmann(benchmark::State& state, const Corpus* c) {
    for (auto _ : state) {
        std::string text = c->nlohmann.dump();
        benchmark::DoNotOptimize(text.data());
    }
    SetBytes(state, c->json.size());
}

void XmlReadZk(benchmark::State& state, const Corpus* c) {
    for (auto _ : state) {
        DataNode node;
        InputStream in(c->xml);
        if (ReadXml(in, node)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(node.size());
    }
    SetBytes(state, c->xml.size());
}

void XMLCALL NoStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL NoEnd(void*, const XML_Char*) {}
void XMLCALL NoText(void*, const XML_Char*, int) {}

// expat with empty handlers over the whole buffer in one call: the floor of
// any reader built on it.
void XmlReadExpat(benchmark::State& state, const Corpus* c) {
    for (auto _ : state) {
        XML_Parser p = XML_ParserCreate(nullptr);
        XML_SetElementHandler(p, NoStart, NoEnd);
        XML_SetCharacterDataHandler(p, NoText);
        if (XML_Parse(p, c->xml.data(), static_cast<int>(c->xml.size()), 1) != XML_STATUS_OK)
            state.SkipWithError("expat failed");
        XML_ParserFree(p);
    }
    SetBytes(state, c->xml.size());
}

void XmlReadPugi(benchmark::State& state, const Corpus* c) {
    for (auto _ : state) {
        pugi::xml_document doc;
        if (!doc.load_buffer(c->xml.data(), c->xml.size())) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(doc.first_child());
    }
    SetBytes(state, c->xml.size());
}

void XmlWriteZk(benchmark::State& state, const Corpus* c) {
    OutputStream out;
    for (auto _ : state) {
        out.clear();
        if (WriteXml(out, c->xmlTree)) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(out.data());
    }
    SetBytes(state, c->xml.size());
}

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

void XmlWritePugi(benchmark::State& state, const Corpus* c) {
    StringWriter writer;
    for (auto _ : state) {
        writer.text.clear();
        c->pugi.save(writer);
        benchmark::DoNotOptimize(writer.text.data());
    }
    SetBytes(state, c->xml.size());
}

void Register(const Corpus* c) {
    struct Case {
        const char* op;
        const char* lib;
        void (*fn)(benchmark::State&, const Corpus*);
    };
    static const Case cases[] = {
        {"json_read", "zk", JsonReadZk},      {"json_read", "rapidjson", JsonReadRapid},
        {"json_read", "nlohmann", JsonReadNlohmann}, {"json_write", "zk", JsonWriteZk},
        {"json_write", "rapidjson", JsonWriteRapid}, {"json_write", "nlohmann", JsonWriteNlohmann},
        {"xml_read", "zk", XmlReadZk},        {"xml_read", "expat", XmlReadExpat},
        {"xml_read", "pugixml", XmlReadPugi}, {"xml_write", "zk", XmlWriteZk},
        {"xml_write", "pugixml", XmlWritePugi},
    };
    for (const Case& k : cases) {
        std::string name = std::string(k.op) + "/" + k.lib + "/" + c->label;
        benchmark::RegisterBenchmark(name.c_str(), k.fn, c)->Unit(benchmark::kMillisecond);
    }
}

}  // namespace
}  // namespace zk

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::vector<std::unique_ptr<zk::Corpus>> corpora;
    corpora.push_back(std::make_unique<zk::Corpus>("1MB", size_t(1) << 20));
    corpora.push_back(std::make_unique<zk::Corpus>("20MB", size_t(20) << 20));
    for (const auto& c : corpora) {
        benchmark::AddCustomContext("corpus_" + c->label,
                                    "json " + std::to_string(c->json.size()) + " B, typed xml " +
                                        std::to_string(c->xml.size()) + " B");
        zk::Register(c.get());
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
