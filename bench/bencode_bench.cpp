// Bencode read and write speed over a document of a few megabytes: nested
// dictionaries and lists, short and long byte strings (any byte), integers.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "codec/text/bencode.h"

namespace zk {
namespace {

void FillBytes(DataNode& node, std::mt19937& rng, size_t length) {
    std::string bytes(length, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    node.setStr(bytes, ValueKind::Binary);
}

void BuildRecord(DataNode& rec, std::mt19937& rng, int id) {
    rec.mapGet("id").setInt(id, ValueKind::Int64);
    rec.mapGet("score").setInt(static_cast<int64_t>(rng()) - (1ll << 31), ValueKind::Int64);
    FillBytes(rec.mapGet("name"), rng, 4 + rng() % 12);
    FillBytes(rec.mapGet("piece"), rng, rng() % 8 ? 20 + rng() % 60 : 200 + rng() % 1800);
    ListValue& tags = rec.mapGet("tags").asList();
    for (int i = rng() % 6; i > 0; --i) FillBytes(tags.append(), rng, 3 + rng() % 8);
    DataNode& info = rec.mapGet("info");
    info.mapGet("length").setInt(rng(), ValueKind::Int64);
    ListValue& files = info.mapGet("files").asList();
    for (int i = rng() % 4; i > 0; --i) {
        DataNode& file = files.append();
        file.mapGet("length").setInt(rng() % 1000000, ValueKind::Int64);
        ListValue& path = file.mapGet("path").asList();
        for (int j = 1 + rng() % 3; j > 0; --j) FillBytes(path.append(), rng, 2 + rng() % 10);
    }
}

// About 4 MB of text and the tree read from it, built once, before the read
// benchmark churns the heap, so that the writer is not timed over a
// scattered tree.
struct Corpus {
    std::string text;
    DataNode tree;

    Corpus() {
        DataNode root;
        std::mt19937 rng(7);
        ListValue& records = root.mapGet("records").asList();
        for (int id = 0; id < 12000; ++id) BuildRecord(records.append(), rng, id);
        OutputStream out;
        WriteBencode(out, root);
        text = out.view();
        InputStream in(text);  // while root still holds its memory
        ReadBencode(in, tree);
    }
};

const Corpus& TheCorpus() {
    static const Corpus corpus;
    return corpus;
}

void BM_BencodeRead(benchmark::State& state) {
    const std::string& text = TheCorpus().text;
    DataNode node;
    for (auto _ : state) {
        InputStream in(text);
        if (ReadBencode(in, node)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(node);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_BencodeRead)->Unit(benchmark::kMillisecond);

void BM_BencodeWrite(benchmark::State& state) {
    const Corpus& corpus = TheCorpus();
    OutputStream out;
    for (auto _ : state) {
        out.clear();
        if (WriteBencode(out, corpus.tree)) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.text.size()));
}
BENCHMARK(BM_BencodeWrite)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zk
