// Binary record format: write and read throughput on a string-heavy message
// of a few megabytes (framed and unframed maps, a list of records, short and
// long strings, hexadecimal strings, integers of every width), and on one
// small record, where the per-call costs show.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "codec/binary.h"
#include "zk_data/codec/error_codes.h"

namespace zk {
namespace {

std::string RandomText(std::mt19937& rng, size_t n) {
    std::string s(n, ' ');
    for (char& c : s) c = static_cast<char>('a' + rng() % 26);
    return s;
}

std::string RandomHex(std::mt19937& rng, size_t bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s(bytes * 2, '0');
    for (char& c : s) c = digits[rng() % 16];
    return s;
}

void FillRecord(DataNode& rec, std::mt19937& rng) {
    rec.mapGet("key").setInt(rng(), ValueKind::Int32);
    rec.mapGet("small").setInt(rng() % 100, ValueKind::Int8);
    rec.mapGet("label").setStr(RandomText(rng, 8 + rng() % 17), ValueKind::Text);
    rec.mapGet("payload").setStr(RandomText(rng, 64 + rng() % 449), ValueKind::Binary);
    DataNode& meta = rec.mapGet("meta");
    meta.setOption(OptionFlags::MapUnframed, true);
    meta.mapGet("a").setInt(rng() % 65536, ValueKind::UInt16);
    meta.mapGet("b").setInt(static_cast<int64_t>(rng()) << 20, ValueKind::Int64);
    meta.mapGet("note").setStr(RandomText(rng, 32), ValueKind::Text);
}

// The message: a framed root with a header, a long body and `records` records.
DataNode Message(int records) {
    std::mt19937 rng(42);
    DataNode m;
    m.mapGet("id").setInt(0x123456789A, ValueKind::UInt64);
    m.mapGet("version").setInt(3, ValueKind::UInt8);
    m.mapGet("flags").setInt(0x8001, ValueKind::UInt16);
    m.mapGet("count").setInt(records, ValueKind::NativeInt);
    m.mapGet("name").setStr("customer-orders", ValueKind::Text);
    DataNode& header = m.mapGet("header");
    header.mapGet("seq").setInt(77, ValueKind::UInt32);
    header.mapGet("ts").setInt(1700000000000, ValueKind::Int64);
    header.mapGet("source").setStr(RandomText(rng, 16), ValueKind::Text);
    DataNode& route = header.mapGet("route");
    route.setOption(OptionFlags::MapUnframed, true);
    route.mapGet("from").setInt(10, ValueKind::Int16);
    route.mapGet("to").setInt(20, ValueKind::Int16);
    DataNode& tag = route.mapGet("tag");
    tag.setStr(RandomHex(rng, 8), ValueKind::Text);
    tag.setOption(OptionFlags::HexString, true);
    m.mapGet("body").setStr(RandomText(rng, 2000), ValueKind::Binary);
    ListValue& list = m.mapGet("records").asList();
    for (int i = 0; i < records; ++i) FillRecord(list.append(), rng);
    return m;
}

constexpr int kLargeRecords = 10000;  // about 3.5 MB on the wire

void BM_BinaryWrite(benchmark::State& state, int records) {
    DataNode m = Message(records);
    OutputStream out;
    for (auto _ : state) {
        out.clear();
        if (WriteBinary(out, m) != err::Ok) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(out.size()));
    state.counters["record_bytes"] = static_cast<double>(out.size());
}

void BM_BinaryRead(benchmark::State& state, int records) {
    DataNode m = Message(records);
    OutputStream out;
    WriteBinary(out, m);
    DataNode tmpl(m);  // a template of the same shape, reused record after record
    for (auto _ : state) {
        InputStream in(out.view());
        if (ReadBinary(in, tmpl) != err::Ok) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(&tmpl);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(out.size()));
    state.counters["record_bytes"] = static_cast<double>(out.size());
}

void BM_BinaryEncodedSize(benchmark::State& state) {
    DataNode m = Message(kLargeRecords);
    uint32_t size = 0;
    for (auto _ : state) benchmark::DoNotOptimize(size = EncodedSize(m));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
}

BENCHMARK_CAPTURE(BM_BinaryWrite, large, kLargeRecords)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BinaryRead, large, kLargeRecords)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BinaryWrite, one_record, 1);
BENCHMARK_CAPTURE(BM_BinaryRead, one_record, 1);
BENCHMARK(BM_BinaryEncodedSize)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zk
