// Throughput of the HTTP message, INI and debug dump codecs on inputs shaped
// like their real use: a stream of ordinary requests and responses, a large
// configuration file, and the dump of a sizeable record tree.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "codec/text/debug_dump.h"
#include "codec/text/http_message.h"
#include "codec/text/ini.h"

namespace zk {
namespace {

// --- HTTP --------------------------------------------------------------------

std::string Request(std::mt19937& rng, int i) {
    static const char* paths[] = {"/", "/index.html", "/api/v1/users/", "/static/app.js", "/search?q=data+tree"};
    std::string path = paths[rng() % 5];
    if (path.back() == '/') path += std::to_string(i);
    std::string m = (i % 4 ? "GET " : "POST ") + path + " HTTP/1.1\r\n";
    m += "Host: www.example.com\r\n";
    m += "User-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
         "Chrome/120.0 Safari/537.36\r\n";
    m += "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n";
    m += "Accept-Language: en-US,en;q=0.5\r\n";
    m += "Accept-Encoding: gzip, deflate, br\r\n";
    m += "Connection: keep-alive\r\n";
    m += "Cookie: session=" + std::to_string(rng()) + "; theme=dark; lang=en\r\n";
    m += "Referer: https://www.example.com/previous/page\r\n";
    if (i % 4 == 0) {
        std::string body = "{\"user\":" + std::to_string(i) + ",\"action\":\"update\",\"value\":\"" +
                           std::string(rng() % 200, 'x') + "\"}";
        m += "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    } else {
        m += "\r\n";
    }
    return m;
}

std::string Response(std::mt19937& rng) {
    std::string body(300 + rng() % 3000, 'b');
    std::string m = "HTTP/1.1 200 OK\r\n";
    m += "Date: Mon, 01 Jan 2024 12:00:00 GMT\r\n";
    m += "Server: Apache/2.4.57 (Debian)\r\n";
    m += "Content-Type: text/html; charset=UTF-8\r\n";
    m += "Cache-Control: max-age=3600, public\r\n";
    m += "ETag: \"" + std::to_string(rng()) + "\"\r\n";
    m += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    return m;
}

constexpr int kHttpMessages = 1000;

// 500 requests and 500 responses, alternating, as one pipelined stream.
const std::string& HttpBatch() {
    static const std::string batch = [] {
        std::mt19937 rng(4);
        std::string s;
        for (int i = 0; i < kHttpMessages / 2; ++i) s += Request(rng, i) + Response(rng);
        return s;
    }();
    return batch;
}

// 1000 requests without bodies: the head alone, where the line work lies.
const std::string& HttpHeads() {
    static const std::string batch = [] {
        std::mt19937 rng(7);
        std::string s;
        for (int i = 0; i < kHttpMessages; ++i) s += Request(rng, 4 * i + 1);
        return s;
    }();
    return batch;
}

void BM_HttpRead(benchmark::State& state, const std::string& (*batchOf)()) {
    const std::string& batch = batchOf();
    DataNode node;
    for (auto _ : state) {
        InputStream in(batch);
        while (in.remaining())
            if (ReadHttpMessage(in, node)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(node);
    }
    state.SetBytesProcessed(state.iterations() * batch.size());
    state.SetItemsProcessed(state.iterations() * kHttpMessages);
}
BENCHMARK_CAPTURE(BM_HttpRead, Mixed, HttpBatch);
BENCHMARK_CAPTURE(BM_HttpRead, HeadsOnly, HttpHeads);

void BM_HttpWrite(benchmark::State& state, const std::string& (*batchOf)()) {
    const std::string& batch = batchOf();
    std::vector<DataNode> messages;
    messages.reserve(1000);
    InputStream in(batch);
    while (in.remaining()) ReadHttpMessage(in, messages.emplace_back());
    OutputStream out;
    for (auto _ : state) {
        out.clear();
        for (const DataNode& m : messages)
            if (WriteHttpMessage(out, m)) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * out.size());
    state.SetItemsProcessed(state.iterations() * kHttpMessages);
}
BENCHMARK_CAPTURE(BM_HttpWrite, Mixed, HttpBatch);
BENCHMARK_CAPTURE(BM_HttpWrite, HeadsOnly, HttpHeads);

// --- INI ---------------------------------------------------------------------

// 2000 sections of 20 keys with comments and blank lines, CR LF throughout.
const std::string& LargeIni() {
    static const std::string text = [] {
        std::mt19937 rng(5);
        static const char* words[] = {"enabled", "localhost", "C:\\Program Files\\App\\data", "8080",
                                      "true", "utf-8", "/var/log/app.log", "0.75"};
        std::string s = "# generated configuration\r\n\r\n";
        for (int sec = 0; sec < 2000; ++sec) {
            s += "[module." + std::to_string(sec) + "]\r\n";
            for (int k = 0; k < 20; ++k) {
                s += "setting_" + std::to_string(k) + "=" + words[rng() % 8];
                if (k % 7 == 0) s += " # default";
                s += "\r\n";
                if (k % 10 == 9) s += "; spacer line\r\n";
            }
            s += "\r\n";
        }
        return s;
    }();
    return text;
}

void BM_IniRead(benchmark::State& state) {
    const std::string& text = LargeIni();
    DataNode node;
    for (auto _ : state) {
        InputStream in(text);
        if (ReadIni(in, node)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(node);
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_IniRead);

void BM_IniWrite(benchmark::State& state) {
    DataNode node;
    InputStream in(LargeIni());
    ReadIni(in, node);
    OutputStream out;
    for (auto _ : state) {
        out.clear();
        if (WriteIni(out, node)) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * out.size());
}
BENCHMARK(BM_IniWrite);

// --- debug dump --------------------------------------------------------------

// 20000 records mixing what a dump meets: ASCII and Chinese text, binary
// blobs shown in hex, addresses as dotted quads, nested lists and maps.
DataNode LargeTree() {
    std::mt19937 rng(6);
    DataNode root;
    ListValue& records = root.mapGet("records").asList();
    for (int i = 0; i < 20000; ++i) {
        DataNode& r = records.append();
        r.mapGet("id").setInt(i, ValueKind::Int64);
        r.mapGet("name").setStr("user-" + std::to_string(rng()), ValueKind::Text);
        r.mapGet("city").setStr("\xe5\x8c\x97\xe4\xba\xac\xe5\xb8\x82", ValueKind::Text);
        DataNode& ip = r.mapGet("ip");
        ip.setInt(static_cast<int64_t>(rng()), ValueKind::UInt32);
        ip.setOption(OptionFlags::DumpDottedQuad, true);
        std::string blob(16, 0);
        for (char& c : blob) c = static_cast<char>(rng());
        r.mapGet("key").setStr(blob, ValueKind::Binary);
        DataNode& tags = r.mapGet("tags");
        for (int t = 0; t < 3; ++t) tags.listAt(t).setStr("tag" + std::to_string(rng() % 50), ValueKind::Text);
        r.mapGet("meta").mapGet("score").setInt(rng() % 1000, ValueKind::Int32);
    }
    return root;
}

void BM_DumpWrite(benchmark::State& state) {
    DataNode tree = LargeTree();
    OutputStream out;
    for (auto _ : state) {
        out.clear();
        if (WriteDebugDump(out, tree)) state.SkipWithError("dump failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * out.size());
}
BENCHMARK(BM_DumpWrite);

}  // namespace
}  // namespace zk
