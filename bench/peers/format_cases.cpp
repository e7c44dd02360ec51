// Bencode, binary records and HTTP messages, read and written by zk alone:
// no peer here reads the same bytes.
#include "bench/peers/cases.h"
#include "bench/peers/corpora.h"
#include "codec/binary.h"
#include "codec/text/bencode.h"
#include "codec/text/http_message.h"

namespace zk::bench {
namespace {

void BencodeRead(benchmark::State& state, const TorrentCorpus& c) {
    DataNode node;
    for (auto _ : state) {
        InputStream in(c.text);
        if (ReadBencode(in, node)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(node);
    }
    SetBytes(state, c.text.size());
    ReportHeap(state, [&] {
        DataNode tree;
        InputStream in(c.text);
        ReadBencode(in, tree);
        return HeapUse{CountNodes(tree), LiveHeap()};
    });
}

void BencodeWrite(benchmark::State& state, const TorrentCorpus& c) {
    OutputStream out;
    for (auto _ : state) {
        out.clear();
        if (WriteBencode(out, c.tree)) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(out.data());
    }
    SetBytes(state, c.text.size());
}

// Record after record into one template, as a reader of a record stream
// does: after the first records the template owns blocks big enough for
// every string, and reading allocates nothing.
void BinaryRead(benchmark::State& state, const RecordsCorpus& c) {
    DataNode tmpl = c.shape;
    for (auto _ : state) {
        InputStream in(c.bytes);
        while (in.remaining())
            if (ReadBinary(in, tmpl)) {
                state.SkipWithError("read failed");
                break;
            }
        benchmark::DoNotOptimize(&tmpl);
    }
    SetBytes(state, c.bytes.size());
    // The heap of the records read, each kept in its own copy of the template.
    ReportHeap(state, [&] {
        DataNode all;
        ListValue& list = all.asList();
        InputStream in(c.bytes);
        while (in.remaining()) {
            DataNode& r = list.append();
            r = c.shape;
            ReadBinary(in, r);
        }
        return HeapUse{CountNodes(all), LiveHeap()};
    });
}

void BinaryWrite(benchmark::State& state, const RecordsCorpus& c) {
    OutputStream out;
    for (auto _ : state) {
        out.clear();
        for (const DataNode& r : c.records)
            if (WriteBinary(out, r)) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(out.data());
    }
    SetBytes(state, c.bytes.size());
}

void HttpRead(benchmark::State& state, const HttpCorpus& c) {
    DataNode node;
    for (auto _ : state) {
        InputStream in(c.bytes);
        while (in.remaining())
            if (ReadHttpMessage(in, node)) {
                state.SkipWithError("read failed");
                break;
            }
        benchmark::DoNotOptimize(node);
    }
    SetBytes(state, c.bytes.size());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * c.messages.size()));
    // Every message kept, each in its own node of one list.
    ReportHeap(state, [&] {
        DataNode all;
        ListValue& list = all.asList();
        InputStream in(c.bytes);
        while (in.remaining()) ReadHttpMessage(in, list.append());
        return HeapUse{CountNodes(all), LiveHeap()};
    });
}

void HttpWrite(benchmark::State& state, const HttpCorpus& c) {
    OutputStream out;
    for (auto _ : state) {
        out.clear();
        for (const DataNode& m : c.messages)
            if (WriteHttpMessage(out, m)) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(out.data());
    }
    SetBytes(state, c.rewritten.size());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * c.messages.size()));
    state.counters["same_as_read"] = c.rewritten == c.bytes;
}

}  // namespace

void RegisterFormatCases() {
    for (int size = 0; size < static_cast<int>(std::size(kSizes)); ++size) {
        const char* label = kSizes[size].label;
        Register("bencode_read", "zk", label, [size](benchmark::State& s) { BencodeRead(s, Torrent(size)); });
        Register("bencode_write", "zk", label, [size](benchmark::State& s) { BencodeWrite(s, Torrent(size)); });
        Register("binary_read", "zk", label, [size](benchmark::State& s) { BinaryRead(s, Records(size)); });
        Register("binary_write", "zk", label, [size](benchmark::State& s) { BinaryWrite(s, Records(size)); });
        Register("http_read", "zk", label, [size](benchmark::State& s) { HttpRead(s, Http(size)); });
        Register("http_write", "zk", label, [size](benchmark::State& s) { HttpWrite(s, Http(size)); });
    }
}

}  // namespace zk::bench
