// XML writer and reader on a generated corpus of a few megabytes, in both
// layouts, next to expat alone parsing the same bytes with empty handlers:
// the ceiling for the reader. Throughput is bytes of XML per second.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <random>
#include <string>

#include "codec/xml/xml_reader.h"
#include "codec/xml/xml_writer.h"

namespace zk {
namespace {

constexpr int kRecords = 5000;

std::string Word(std::mt19937& rng) {
    static const char* const words[] = {"alpha", "beta", "gamma", "delta", "node", "value",
                                        "tree",  "map",  "list",  "<tag>", "a & b", "\xE4\xB8\xAD\xE6\x96\x87"};
    return words[rng() % 12];
}

std::string Sentence(std::mt19937& rng, int words) {
    std::string s = Word(rng);
    while (--words > 0) s += " " + Word(rng);
    return s;
}

// Records as a data interchange tree holds them: ints, short and longer
// texts, a small binary blob, a nested map and a list.
void FillRecord(DataNode& r, std::mt19937& rng, int i) {
    r.mapGet("id").setInt(i, ValueKind::Int32);
    r.mapGet("name").setStr(Sentence(rng, 2), ValueKind::Text);
    r.mapGet("note").setStr(Sentence(rng, 12), ValueKind::Text);
    std::string blob(16 + rng() % 48, '\0');
    for (char& c : blob) c = static_cast<char>(rng());
    r.mapGet("blob").setStr(blob, ValueKind::Binary);
    DataNode& pos = r.mapGet("pos");
    pos.mapGet("x").setInt(static_cast<int32_t>(rng() % 100000) - 50000, ValueKind::Int32);
    pos.mapGet("y").setInt(static_cast<int32_t>(rng() % 100000), ValueKind::Int32);
    DataNode& tags = r.mapGet("tags");
    for (int t = 0; t < 3; ++t) tags.listAt(t).setStr(Word(rng), ValueKind::Text);
}

const DataNode& TypedCorpus() {
    static const DataNode tree = [] {
        DataNode root;
        std::mt19937 rng(7);
        DataNode& records = root.mapGet("records");
        for (int i = 0; i < kRecords; ++i) FillRecord(records.listAt(i), rng, i);
        return root;
    }();
    return tree;
}

// The same records in the shape the free-form reader gives a document
// <db><record id="..">...</record>...</db>: repeated elements become a list.
const DataNode& FreeFormCorpus() {
    static const DataNode tree = [] {
        DataNode root;
        root.setOption(OptionFlags::XmlFreeForm, true);
        std::mt19937 rng(7);
        DataNode& db = root.mapGet("db");
        for (int i = 0; i < kRecords; ++i) {
            DataNode& item = db.listAt(i);
            item.mapGet("record@").mapGet("id").setInt(i, ValueKind::Int32);
            FillRecord(item.mapGet("record"), rng, i);
            // CDATA carries the bytes as they are, so they must be XML text.
            item.mapGet("record").mapGet("blob").setStr(Sentence(rng, 3), ValueKind::Binary);
            item.mapGet("record").mapGet("tags").reset();
            for (int t = 0; t < 3; ++t) item.mapGet("record").mapGet("tags").listAt(t).mapGet("tag").setStr(Word(rng), ValueKind::Text);
        }
        return root;
    }();
    return tree;
}

std::string Document(const DataNode& tree) {
    OutputStream out;
    WriteXml(out, tree);
    return std::string(out.view());
}

const std::string& TypedDocument() {
    static const std::string doc = Document(TypedCorpus());
    return doc;
}

const std::string& FreeFormDocument() {
    static const std::string doc = Document(FreeFormCorpus());
    return doc;
}

void BM_WriteXml(benchmark::State& state, const DataNode& (*corpus)()) {
    const DataNode& tree = corpus();
    OutputStream out;
    size_t bytes = 0;
    for (auto _ : state) {
        out.clear();
        if (WriteXml(out, tree)) state.SkipWithError("write failed");
        bytes += out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_ReadXml(benchmark::State& state, const std::string& (*document)(), uint32_t options) {
    const std::string& doc = document();
    for (auto _ : state) {
        DataNode node;
        node.setOption(options, true);
        InputStream in(doc);
        if (ReadXml(in, node)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(node.size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void XMLCALL NoStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL NoEnd(void*, const XML_Char*) {}
void XMLCALL NoText(void*, const XML_Char*, int) {}

// expat alone, chunked like the reader: range(0) bytes a call, -1 for the
// reader's chunks (1 KiB doubling with each call), 0 for all at once.
void BM_ExpatAlone(benchmark::State& state, const std::string& (*document)()) {
    const std::string& doc = document();
    bool growing = state.range(0) < 0;
    size_t first = growing ? 1024 : state.range(0) ? static_cast<size_t>(state.range(0)) : doc.size();
    for (auto _ : state) {
        XML_Parser p = XML_ParserCreate(nullptr);
        XML_SetElementHandler(p, NoStart, NoEnd);
        XML_SetCharacterDataHandler(p, NoText);
        size_t chunk = first;
        for (size_t at = 0; at < doc.size(); at += chunk, chunk *= growing ? 2 : 1) {
            size_t n = doc.size() - at < chunk ? doc.size() - at : chunk;
            if (XML_Parse(p, doc.data() + at, static_cast<int>(n), at + n == doc.size()) != XML_STATUS_OK)
                state.SkipWithError("expat failed");
        }
        XML_ParserFree(p);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

BENCHMARK_CAPTURE(BM_WriteXml, typed, TypedCorpus)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteXml, free_form, FreeFormCorpus)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadXml, typed, TypedDocument, 0u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadXml, free_form, FreeFormDocument, uint32_t(OptionFlags::XmlFreeForm))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExpatAlone, typed, TypedDocument)->Arg(-1)->Arg(1024)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExpatAlone, free_form, FreeFormDocument)->Arg(-1)->Arg(1024)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zk
