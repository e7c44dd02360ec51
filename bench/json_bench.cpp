// JSON read and write speed over a document of a few megabytes: nested maps
// and lists, short and long strings, integers. When nlohmann::json is present
// the same text is parsed and dumped by it too, as the yardstick.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "bench/support/records.h"
#include "codec/text/json.h"
#include "zk_data/codec/format_switch.h"

#if __has_include(<nlohmann/json.hpp>)
#include <nlohmann/json.hpp>
#define ZK_HAVE_NLOHMANN 1
#endif

namespace zk {
namespace {

using bench::BuildRecord;

// About 4 MB of text, and the trees both libraries build from it. The trees
// for the write benchmarks are built once, before the read benchmarks churn
// the heap, so that neither writer is timed over a scattered tree.
struct Corpus {
    std::string text;
    DataNode tree;
#ifdef ZK_HAVE_NLOHMANN
    nlohmann::json doc;
#endif

    Corpus() {
        DataNode root;
        std::mt19937 rng(42);
        ListValue& records = root.mapGet("records").asList();
        for (int id = 0; id < 12000; ++id) BuildRecord(records.append(), rng, id);
        root.mapGet("count").setInt(records.size(), ValueKind::Int64);
        OutputStream out;
        WriteJson(out, root);
        text = out.view();
        // Read while root still holds its memory: trees built from fresh
        // heap, not from root's freed blocks in whatever order they return.
        InputStream in(text);
        ReadJson(in, tree);
#ifdef ZK_HAVE_NLOHMANN
        doc = nlohmann::json::parse(text);
#endif
    }
};

const Corpus& TheCorpus() {
    static const Corpus corpus;
    return corpus;
}

void BM_JsonRead(benchmark::State& state) {
    const std::string& text = TheCorpus().text;
    DataNode node;
    for (auto _ : state) {
        InputStream in(text);
        if (ReadJson(in, node)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(node);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_JsonRead)->Unit(benchmark::kMillisecond);

// What a host calls: the document is built aside and then replaces the old
// tree, which lives until then.
void BM_JsonReadFromBuffer(benchmark::State& state) {
    const std::string& text = TheCorpus().text;
    DataNode node;
    node.setFormat(FormatId::Json);
    for (auto _ : state) {
        uint32_t size = static_cast<uint32_t>(text.size());
        if (readFromBuffer(node, text.data(), size)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(node);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_JsonReadFromBuffer)->Unit(benchmark::kMillisecond);

void BM_JsonWrite(benchmark::State& state) {
    const Corpus& corpus = TheCorpus();
    OutputStream out;
    for (auto _ : state) {
        out.clear();
        if (WriteJson(out, corpus.tree)) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.text.size()));
}
BENCHMARK(BM_JsonWrite)->Unit(benchmark::kMillisecond);

#ifdef ZK_HAVE_NLOHMANN
void BM_NlohmannParse(benchmark::State& state) {
    const std::string& text = TheCorpus().text;
    nlohmann::json doc;
    for (auto _ : state) {
        doc = nlohmann::json::parse(text);  // frees the previous tree, as ReadJson does
        benchmark::DoNotOptimize(doc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_NlohmannParse)->Unit(benchmark::kMillisecond);

void BM_NlohmannDump(benchmark::State& state) {
    const Corpus& corpus = TheCorpus();
    for (auto _ : state) {
        std::string out = corpus.doc.dump();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.text.size()));
}
BENCHMARK(BM_NlohmannDump)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
}  // namespace zk
