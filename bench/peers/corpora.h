// The corpora of zk_peers_bench, generated in memory from fixed seeds and
// built on first use, so a filtered run pays only for what it measures.
// Each comes in two sizes (index 0: about 1 MB, 1: about 20 MB).
#pragma once

#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <rapidjson/document.h>

#include <cstddef>
#include <string>
#include <vector>

#include "zk_data/value/data_node.h"

namespace zk::bench {

struct CorpusSize {
    const char* label;
    size_t bytes;
};
constexpr CorpusSize kSizes[] = {{"1MB", size_t{1} << 20}, {"20MB", size_t{20} << 20}};

// One record tree as JSON, typed XML and free-form XML, with the trees every
// library reads from them. The trees are made before any timing, so writers
// walk trees built from fresh heap.
struct TextCorpus {
    std::string json;
    std::string xml;      // typed layout
    std::string freeXml;  // free-form layout
    DataNode jsonTree;
    DataNode xmlTree;
    DataNode freeTree;    // the free-form reading of freeXml
    std::string freeRewritten;  // what our writer makes of freeTree
    rapidjson::Document rapid;
    nlohmann::json nlohmann;
    pugi::xml_document pugi;
    pugi::xml_document pugiFree;
};

// A torrent: announce URLs, a v1 info dictionary with a long "pieces" string
// and a files list carrying per-file hashes, and v2 "piece layers".
struct TorrentCorpus {
    std::string text;
    DataNode tree;  // read from text
};

// Records of one fixed binary template, written one after another.
struct RecordsCorpus {
    std::string bytes;
    std::vector<DataNode> records;
    DataNode shape;  // a template: a record of the same shape
};

// Requests and responses, pipelined in one buffer.
struct HttpCorpus {
    std::string bytes;
    std::vector<DataNode> messages;  // read from bytes
    std::string rewritten;           // our writer's form of messages
};

const TextCorpus& Text(int size);
const TorrentCorpus& Torrent(int size);
const RecordsCorpus& Records(int size);
const HttpCorpus& Http(int size);

}  // namespace zk::bench
