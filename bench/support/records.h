// The record generator behind the JSON benchmarks: nested maps and lists,
// short and long strings, integers, from a caller-seeded generator so that
// every run builds the same corpus.
#pragma once

#include <random>
#include <string>

#include "zk_data/value/data_node.h"

namespace zk::bench {

// Printable ASCII without the quote and the backslash: standard JSON with no
// escapes, and plain XML text once '<' and '&' are escaped.
inline void FillText(DataNode& node, std::mt19937& rng, size_t length) {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,;:-_/()[]{}<>";
    std::string text(length, ' ');
    for (char& c : text) c = alphabet[rng() % (sizeof alphabet - 1)];
    node.setStr(text, ValueKind::Binary);
}

inline void BuildRecord(DataNode& rec, std::mt19937& rng, int id) {
    rec.mapGet("id").setInt(id, ValueKind::Int64);
    rec.mapGet("score").setInt(static_cast<int64_t>(rng()) - (1ll << 31), ValueKind::Int64);
    FillText(rec.mapGet("name"), rng, 4 + rng() % 12);
    FillText(rec.mapGet("body"), rng, rng() % 8 ? 20 + rng() % 60 : 200 + rng() % 1800);
    ListValue& tags = rec.mapGet("tags").asList();
    for (int i = rng() % 6; i > 0; --i) FillText(tags.append(), rng, 3 + rng() % 8);
    DataNode& meta = rec.mapGet("meta");
    meta.mapGet("created").setInt(1600000000 + rng() % 100000000, ValueKind::Int64);
    meta.mapGet("flags").setInt(rng() % 2, ValueKind::NativeInt);
    ListValue& points = meta.mapGet("geo").mapGet("points").asList();
    for (int i = rng() % 8; i > 0; --i) {
        ListValue& pair = points.append().asList();
        pair.append().setInt(rng() % 100000, ValueKind::Int64);
        pair.append().setInt(-static_cast<int64_t>(rng() % 100000), ValueKind::Int64);
    }
}

}  // namespace zk::bench
