// What hosts call: writeToBuffer and readFromBuffer over the caller's memory,
// for every format with a corpus. The codec cases (text_cases.cpp,
// format_cases.cpp) are the breakdown; these rows are what a host gets.
//
// Operations, per format F:
//   F_host_write/zk         writeToBuffer into a buffer of the right size
//   F_host_write/zk-query   the size query, then the write (two calls)
//   F_host_write/zk-first   a write on a thread whose output memory was given
//                           back first: the cost of the first call
//   F_host_read/zk          readFromBuffer into a node holding the previous
//                           tree, whose release is part of the read
#include <vector>

#include "bench/peers/cases.h"
#include "bench/peers/corpora.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/codec/format_switch.h"
#include "zk_data/codec/output_stream.h"

namespace zk::bench {
namespace {

struct Document {
    const char* name;
    const DataNode* tree;      // what is written, its format and options set
    const std::string* bytes;  // what is read
};

DataNode WithFormat(const DataNode& tree, uint8_t format, uint32_t options) {
    DataNode copy = tree;
    copy.setFormat(format);
    copy.setOption(options, true);
    return copy;
}

// The trees, with their formats set, made once per corpus size.
struct HostCorpus {
    DataNode json, xml, xmlFree, bencode;
    const TextCorpus* text;
    const TorrentCorpus* torrent;

    explicit HostCorpus(int size) : text(&Text(size)), torrent(&Torrent(size)) {
        json = WithFormat(text->jsonTree, FormatId::Json, 0);
        xml = WithFormat(text->xmlTree, FormatId::Xml, 0);
        xmlFree = WithFormat(text->freeTree, FormatId::Xml, OptionFlags::XmlFreeForm);
        bencode = WithFormat(torrent->tree, FormatId::Bencode, 0);
    }

    std::vector<Document> documents() const {
        return {{"json", &json, &text->json},
                {"xml", &xml, &text->xml},
                {"xmlfree", &xmlFree, &text->freeRewritten},
                {"bencode", &bencode, &torrent->text}};
    }
};

const HostCorpus& Host(int size) {
    static const HostCorpus* corpora[std::size(kSizes)] = {};
    if (!corpora[size]) corpora[size] = new HostCorpus(size);
    return *corpora[size];
}

uint32_t OutputSize(const DataNode& tree) {
    uint32_t size = 0;
    writeToBuffer(tree, nullptr, size);
    return size;
}

void WriteRightSize(benchmark::State& state, const DataNode& tree) {
    std::vector<char> buffer(OutputSize(tree));
    for (auto _ : state) {
        uint32_t size = static_cast<uint32_t>(buffer.size());
        if (writeToBuffer(tree, buffer.data(), size)) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(buffer.data());
    }
    SetBytes(state, buffer.size());
}

void WriteAfterQuery(benchmark::State& state, const DataNode& tree) {
    std::vector<char> buffer;
    for (auto _ : state) {
        uint32_t size = 0;
        if (writeToBuffer(tree, nullptr, size) != err::BufferTooSmall) state.SkipWithError("query failed");
        buffer.resize(size);
        if (writeToBuffer(tree, buffer.data(), size)) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(buffer.data());
    }
    SetBytes(state, buffer.size());
}

void WriteFirst(benchmark::State& state, const DataNode& tree) {
    std::vector<char> buffer(OutputSize(tree));
    for (auto _ : state) {
        state.PauseTiming();
        ReleaseSpareOutput();
        state.ResumeTiming();
        uint32_t size = static_cast<uint32_t>(buffer.size());
        if (writeToBuffer(tree, buffer.data(), size)) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(buffer.data());
    }
    SetBytes(state, buffer.size());
}

void Read(benchmark::State& state, const DataNode& shape, const std::string& bytes) {
    DataNode node;
    node.setFormat(shape.format());
    node.setOption(shape.options(), true);
    for (auto _ : state) {
        uint32_t size = static_cast<uint32_t>(bytes.size());
        if (readFromBuffer(node, bytes.data(), size)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(node);
    }
    SetBytes(state, bytes.size());
}

}  // namespace

void RegisterHostCases() {
    for (int size = 0; size < static_cast<int>(std::size(kSizes)); ++size) {
        const char* label = kSizes[size].label;
        for (const char* format : {"json", "xml", "xmlfree", "bencode"}) {
            std::string name = format;
            auto document = [size, name] {
                for (const Document& d : Host(size).documents())
                    if (name == d.name) return d;
                return Document{};
            };
            Register(name + "_host_write", "zk", label,
                     [document](benchmark::State& s) { WriteRightSize(s, *document().tree); });
            Register(name + "_host_write", "zk-query", label,
                     [document](benchmark::State& s) { WriteAfterQuery(s, *document().tree); });
            Register(name + "_host_write", "zk-first", label,
                     [document](benchmark::State& s) { WriteFirst(s, *document().tree); });
            Register(name + "_host_read", "zk", label, [document](benchmark::State& s) {
                Document d = document();
                Read(s, *d.tree, *d.bytes);
            });
        }
    }
}

}  // namespace zk::bench
