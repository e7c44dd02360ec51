// The corpora of the formats without a peer here: a torrent in bencode,
// binary records of one template, and a pipelined batch of HTTP messages.
#include <memory>
#include <random>
#include <stdexcept>
#include <string>

#include "bench/peers/corpora.h"
#include "codec/binary.h"
#include "codec/text/bencode.h"
#include "codec/text/http_message.h"

namespace zk::bench {
namespace {

std::string RandomBytes(std::mt19937& rng, size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

std::string RandomText(std::mt19937& rng, size_t n) {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,;:-_/";
    std::string s(n, ' ');
    for (char& c : s) c = alphabet[rng() % (sizeof alphabet - 1)];
    return s;
}

std::string RandomHex(std::mt19937& rng, size_t bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string s(bytes * 2, '0');
    for (char& c : s) c = digits[rng() % 16];
    return s;
}

// --- torrent ------------------------------------------------------------------

constexpr int64_t kPieceLength = 262144;

// One file of the v1 files list. Keys in sorted order, as torrents have them.
// Returns the file's piece count.
int64_t AddFile(ListValue& files, std::mt19937& rng, int index) {
    static const char* const dirs[] = {"images", "audio", "video", "docs", "data", "raw", "train", "test"};
    int64_t pieces = 1 + rng() % 64;
    DataNode& f = files.append();
    f.mapGet("length").setInt(pieces * kPieceLength - rng() % kPieceLength, ValueKind::Int64);
    f.mapGet("md5sum").setStr(RandomBytes(rng, 16), ValueKind::Binary);
    ListValue& path = f.mapGet("path").asList();
    path.append().setStr(dirs[rng() % 8], ValueKind::Binary);
    path.append().setStr("shard-" + std::to_string(rng() % 100), ValueKind::Binary);
    path.append().setStr("file-" + std::to_string(index) + ".bin", ValueKind::Binary);
    f.mapGet("pieces root").setStr(RandomBytes(rng, 32), ValueKind::Binary);
    f.mapGet("sha1").setStr(RandomBytes(rng, 20), ValueKind::Binary);
    f.mapGet("sha256").setStr(RandomBytes(rng, 32), ValueKind::Binary);
    return pieces;
}

std::unique_ptr<TorrentCorpus> MakeTorrent(size_t targetBytes) {
    std::mt19937 rng(11);
    DataNode t;
    t.mapGet("announce").setStr("http://tracker.example.org:6969/announce", ValueKind::Binary);
    DataNode& tiers = t.mapGet("announce-list");
    for (int tier = 0; tier < 3; ++tier)
        for (int u = 0; u <= tier; ++u)
            tiers.listAt(tier).asList().append().setStr(
                "udp://tracker" + std::to_string(tier * 4 + u) + ".example.net:1337/announce", ValueKind::Binary);
    t.mapGet("comment").setStr("generated corpus of zk_peers_bench", ValueKind::Binary);
    t.mapGet("created by").setStr("mktorrent 1.1", ValueKind::Binary);
    t.mapGet("creation date").setInt(1700000000, ValueKind::Int64);
    DataNode& info = t.mapGet("info");
    ListValue& files = info.mapGet("files").asList();
    info.mapGet("name").setStr("dataset-2024", ValueKind::Binary);
    info.mapGet("piece length").setInt(kPieceLength, ValueKind::Int64);
    DataNode& layers = t.mapGet("piece layers");
    // A file costs about 170 bytes in the list, 20 a piece in "pieces", and
    // 32 a piece plus its root in the layers.
    std::string pieces;
    for (size_t bytes = 0, i = 0; bytes < targetBytes; ++i) {
        int64_t n = AddFile(files, rng, static_cast<int>(i));
        pieces += RandomBytes(rng, 20 * n);
        const DataNode& root = *(*files[files.size() - 1]).map().find("pieces root")->get();
        layers.mapGet(root.str().view()).setStr(RandomBytes(rng, 32 * n), ValueKind::Binary);
        bytes += 170 + 52 * n + 32;
    }
    info.mapGet("pieces").setStr(pieces, ValueKind::Binary);

    auto c = std::make_unique<TorrentCorpus>();
    OutputStream out;
    if (WriteBencode(out, t)) throw std::runtime_error("torrent does not write");
    c->text = out.view();
    InputStream in(c->text);
    out.clear();
    if (ReadBencode(in, c->tree) || WriteBencode(out, c->tree) || out.view() != c->text)
        throw std::runtime_error("torrent does not read back");
    return c;
}

// --- binary records -------------------------------------------------------------

// A log record of one fixed shape, strings dominating: a framed map of
// integers, texts of a few dozen bytes, a payload of hundreds, a digest in
// hexadecimal and an unframed map of extras.
void FillRecord(DataNode& r, std::mt19937& rng, int i) {
    r.mapGet("id").setInt(i, ValueKind::UInt32);
    r.mapGet("time").setInt(1700000000000 + i * 17, ValueKind::Int64);
    r.mapGet("status").setInt(200 + rng() % 4, ValueKind::UInt16);
    r.mapGet("user").setStr(RandomText(rng, 8 + rng() % 24), ValueKind::Text);
    r.mapGet("host").setStr(RandomText(rng, 16 + rng() % 24), ValueKind::Text);
    r.mapGet("path").setStr(RandomText(rng, 24 + rng() % 96), ValueKind::Text);
    r.mapGet("agent").setStr(RandomText(rng, 48 + rng() % 112), ValueKind::Text);
    r.mapGet("payload").setStr(RandomBytes(rng, 256 + rng() % 1792), ValueKind::Binary);
    DataNode& digest = r.mapGet("digest");
    digest.setStr(RandomHex(rng, 32), ValueKind::Text);
    digest.setOption(OptionFlags::HexString, true);
    DataNode& extra = r.mapGet("extra");
    extra.setOption(OptionFlags::MapUnframed, true);
    extra.mapGet("port").setInt(rng() % 65536, ValueKind::UInt16);
    extra.mapGet("bytes").setInt(rng(), ValueKind::UInt32);
    extra.mapGet("note").setStr(RandomText(rng, 32), ValueKind::Text);
}

std::unique_ptr<RecordsCorpus> MakeRecords(size_t targetBytes) {
    auto c = std::make_unique<RecordsCorpus>();
    std::mt19937 rng(13);
    OutputStream out;
    for (int i = 0; out.size() < targetBytes; ++i) {
        DataNode& r = c->records.emplace_back();
        FillRecord(r, rng, i);
        if (WriteBinary(out, r)) throw std::runtime_error("record does not write");
    }
    c->bytes = out.view();
    c->shape = c->records.front();
    DataNode tmpl = c->shape;
    InputStream in(c->bytes);
    for (const DataNode& r : c->records)
        if (ReadBinary(in, tmpl) || !tmpl.equals(r)) throw std::runtime_error("record does not read back");
    return c;
}

// --- HTTP -----------------------------------------------------------------------

std::string Request(std::mt19937& rng, int i) {
    static const char* const paths[] = {"/", "/index.html", "/api/v2/orders/", "/static/js/app.3f9a2c.js",
                                        "/search?q=value+tree&page=", "/images/banner-wide.webp"};
    std::string path = paths[rng() % 6];
    if (path.back() == '/' || path.back() == '=') path += std::to_string(i);
    bool post = i % 4 == 0;
    std::string m = (post ? "POST " : "GET ") + path + " HTTP/1.1\r\n";
    m += "Host: shop.example.com\r\n";
    m += "User-Agent: Mozilla/5.0 (X11; Linux x86_64; rv:121.0) Gecko/20100101 Firefox/121.0\r\n";
    m += "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,image/avif,image/webp,*/*;q=0.8\r\n";
    m += "Accept-Language: en-US,en;q=0.5\r\n";
    m += "Accept-Encoding: gzip, deflate, br\r\n";
    m += "Connection: keep-alive\r\n";
    m += "Cookie: session=" + RandomHex(rng, 16) + "; cart=" + std::to_string(rng() % 100000) + "; theme=dark\r\n";
    m += "Referer: https://shop.example.com/catalog/page/" + std::to_string(rng() % 50) + "\r\n";
    if (rng() % 3 == 0) m += "Authorization: Bearer " + RandomHex(rng, 24) + "\r\n";
    if (!post) return m + "\r\n";
    std::string body = "{\"order\":" + std::to_string(i) + ",\"items\":[";
    for (int k = 1 + rng() % 12; k > 0; --k)
        body += "{\"sku\":\"" + RandomHex(rng, 6) + "\",\"qty\":" + std::to_string(1 + rng() % 9) + "},";
    body.back() = ']';
    body += ",\"note\":\"" + RandomText(rng, rng() % 400) + "\"}";
    m += "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    return m + body;
}

std::string Response(std::mt19937& rng) {
    bool notModified = rng() % 5 == 0;
    std::string m = notModified ? "HTTP/1.1 304 Not Modified\r\n" : "HTTP/1.1 200 OK\r\n";
    m += "Date: Mon, 01 Jan 2024 12:00:" + std::to_string(10 + rng() % 50) + " GMT\r\n";
    m += "Server: nginx/1.24.0\r\n";
    m += "Cache-Control: max-age=3600, public\r\n";
    m += "ETag: \"" + RandomHex(rng, 8) + "\"\r\n";
    m += "Last-Modified: Sun, 31 Dec 2023 23:59:59 GMT\r\n";
    m += "Vary: Accept-Encoding\r\n";
    m += "X-Request-Id: " + RandomHex(rng, 16) + "\r\n";
    if (rng() % 4 == 0) m += "Set-Cookie: session=" + RandomHex(rng, 16) + "; Path=/; Secure; HttpOnly\r\n";
    std::string body = notModified ? "" : "<!DOCTYPE html><html><body>" + RandomText(rng, 300 + rng() % 6000) + "</body></html>";
    m += "Content-Type: text/html; charset=utf-8\r\n";
    m += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    return m + body;
}

std::unique_ptr<HttpCorpus> MakeHttp(size_t targetBytes) {
    auto c = std::make_unique<HttpCorpus>();
    std::mt19937 rng(17);
    for (int i = 0; c->bytes.size() < targetBytes; ++i) c->bytes += Request(rng, i) + Response(rng);
    InputStream in(c->bytes);
    OutputStream out;
    while (in.remaining()) {
        DataNode& m = c->messages.emplace_back();
        if (ReadHttpMessage(in, m) || WriteHttpMessage(out, m)) throw std::runtime_error("HTTP batch does not read");
    }
    c->rewritten = out.view();
    return c;
}

template <class Corpus>
const Corpus& Built(std::unique_ptr<Corpus> (&built)[std::size(kSizes)], int size,
                    std::unique_ptr<Corpus> (*make)(size_t)) {
    if (!built[size]) built[size] = make(kSizes[size].bytes);
    return *built[size];
}

}  // namespace

const TorrentCorpus& Torrent(int size) {
    static std::unique_ptr<TorrentCorpus> built[std::size(kSizes)];
    return Built(built, size, MakeTorrent);
}

const RecordsCorpus& Records(int size) {
    static std::unique_ptr<RecordsCorpus> built[std::size(kSizes)];
    return Built(built, size, MakeRecords);
}

const HttpCorpus& Http(int size) {
    static std::unique_ptr<HttpCorpus> built[std::size(kSizes)];
    return Built(built, size, MakeHttp);
}

}  // namespace zk::bench
