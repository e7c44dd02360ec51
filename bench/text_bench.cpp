#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "zk_data/text/base64.h"
#include "zk_data/text/gbk.h"
#include "zk_data/text/text_convert.h"

namespace zk {
namespace {

constexpr size_t kTextUnits = 32 * 1024;  // 64 KiB of UTF-16

std::u16string AsciiText() {
    std::u16string s;
    const char16_t* words[] = {u"value ", u"node=", u"\"attribute\" ", u"<item>", u"42 ", u"\n  "};
    std::mt19937 rng(1);
    while (s.size() < kTextUnits) s += words[rng() % 6];
    s.resize(kTextUnits);
    return s;
}

// Chinese with the ASCII punctuation, digits and markup real documents carry.
std::u16string MixedText() {
    std::u16string s;
    std::mt19937 rng(2);
    while (s.size() < kTextUnits) {
        for (int i = rng() % 12 + 1; i > 0; --i) s += static_cast<char16_t>(0x4E00 + rng() % 0x1000);
        s += rng() % 4 ? u", " : u" <b>42</b> ";
    }
    s.resize(kTextUnits);
    return s;
}

std::u16string ChineseText() {
    std::u16string s;
    std::mt19937 rng(3);
    while (s.size() < kTextUnits) s += static_cast<char16_t>(0x4E00 + rng() % 0x1000);
    return s;
}

void BM_WideToUtf8(benchmark::State& state, std::u16string text) {
    ByteString out;
    for (auto _ : state) {
        WideToUtf8(text.data(), text.size(), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}

void BM_Utf8ToWide(benchmark::State& state, std::u16string text) {
    ByteString utf8;
    WideToUtf8(text.data(), text.size(), utf8);
    std::u16string out;
    for (auto _ : state) {
        Utf8ToWide(utf8.data(), utf8.size(), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * utf8.size());
}

void BM_WideToGbk(benchmark::State& state, std::u16string text) {
    ByteString out;
    for (auto _ : state) {
        WideToGbk(text.data(), text.size(), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}

void BM_GbkToWide(benchmark::State& state, std::u16string text) {
    ByteString gbk;
    WideToGbk(text.data(), text.size(), gbk);
    std::u16string out;
    for (auto _ : state) {
        GbkToWide(gbk.data(), gbk.size(), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * gbk.size());
}

ByteString RandomBytes(size_t n) {
    ByteString s;
    char* p = s.resizeForOverwrite(n);
    std::mt19937 rng(4);
    for (size_t i = 0; i < n; ++i) p[i] = static_cast<char>(rng());
    return s;
}

void BM_Base64Encode(benchmark::State& state) {
    ByteString in = RandomBytes(64 * 1024), out;
    for (auto _ : state) {
        Base64Encode(in, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * in.size());
}

void BM_Base64Decode(benchmark::State& state) {
    ByteString text, out;
    Base64Encode(RandomBytes(64 * 1024), text);
    for (auto _ : state) {
        Base64Decode(text, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}

BENCHMARK_CAPTURE(BM_WideToUtf8, ascii, AsciiText());
BENCHMARK_CAPTURE(BM_WideToUtf8, mixed_cjk, MixedText());
BENCHMARK_CAPTURE(BM_Utf8ToWide, ascii, AsciiText());
BENCHMARK_CAPTURE(BM_Utf8ToWide, mixed_cjk, MixedText());
BENCHMARK_CAPTURE(BM_WideToGbk, ascii, AsciiText());
BENCHMARK_CAPTURE(BM_WideToGbk, chinese, ChineseText());
BENCHMARK_CAPTURE(BM_WideToGbk, mixed_cjk, MixedText());
BENCHMARK_CAPTURE(BM_GbkToWide, ascii, AsciiText());
BENCHMARK_CAPTURE(BM_GbkToWide, chinese, ChineseText());
BENCHMARK_CAPTURE(BM_GbkToWide, mixed_cjk, MixedText());
BENCHMARK(BM_Base64Encode);
BENCHMARK(BM_Base64Decode);

}  // namespace
}  // namespace zk
