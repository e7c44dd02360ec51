// The record tree of the JSON benchmarks in three texts: our JSON, our typed
// XML, and our free-form XML of the same content.
#include <algorithm>
#include <memory>
#include <random>
#include <stdexcept>
#include <string_view>

#include "bench/peers/corpora.h"
#include "bench/support/records.h"
#include "codec/text/json.h"
#include "codec/xml/xml_reader.h"
#include "codec/xml/xml_writer.h"

namespace zk::bench {
namespace {

// Records average a few hundred bytes: measure now and then, and measure
// next where the average so far says the target is reached.
DataNode RecordTree(size_t targetBytes) {
    DataNode root;
    std::mt19937 rng(42);
    ListValue& records = root.mapGet("records").asList();
    for (int id = 0, probeAt = 256; id < 1000000; ++id) {
        BuildRecord(records.append(), rng, id);
        if (id + 1 < probeAt) continue;
        OutputStream probe;
        WriteJson(probe, root);
        if (probe.size() >= targetBytes) break;
        probeAt = std::max(id + 32, static_cast<int>(targetBytes / (probe.size() / (id + 1.0))));
    }
    return root;
}

// Elements of a list are named after the list: "records" holds "record"s,
// "points" "point"s, anything else "v"s.
std::string ItemName(std::string_view listKey) {
    if (listKey.size() > 1 && listKey.back() == 's') return std::string(listKey.substr(0, listKey.size() - 1));
    return "v";
}

void ToFreeForm(const DataNode& from, std::string_view key, DataNode& to);

// Empty lists, and maps of nothing else, are left out: an element without
// children reads back as the white space inside it, which would not write
// back the same.
bool Kept(const DataNode& value) {
    if (value.isList()) return !value.list().empty();
    if (!value.isMap()) return true;
    for (const MapValue::Entry& e : value.map())
        if (Kept(*e.child)) return true;
    return false;
}

// A map item with an "id" keeps it as an attribute, as documents do.
void ListToFreeForm(const ListValue& list, std::string_view key, DataNode& to) {
    std::string name = ItemName(key);
    ListValue& items = to.asList();
    for (const NodeRef& item : list) {
        DataNode& one = items.append();
        if (item->isMap() && item->map().contains("id")) {
            one.mapGet(name + "@").mapGet("id").setInt((*item->map().find("id"))->num(), ValueKind::Int64);
            DataNode& element = one.mapGet(name);
            for (const MapValue::Entry& e : item->map())
                if (e.key.view() != "id" && Kept(*e.child)) ToFreeForm(*e.child, e.key.view(), element.mapGet(e.key.view()));
        } else {
            ToFreeForm(*item, name, one.mapGet(name));
        }
    }
}

// Strings become Text: CDATA cannot hold the "]]>" that random text may
// contain.
void ToFreeForm(const DataNode& from, std::string_view key, DataNode& to) {
    switch (from.type()) {
    case NodeType::Str: to.setStr(from.str().view(), ValueKind::Text); break;
    case NodeType::Int: to.setInt(from.num(), ValueKind::Int64); break;
    case NodeType::List: ListToFreeForm(from.list(), key, to); break;
    case NodeType::Map:
        to.asMap();
        for (const MapValue::Entry& e : from.map())
            if (Kept(*e.child)) ToFreeForm(*e.child, e.key.view(), to.mapGet(e.key.view()));
        break;
    default: break;
    }
}

std::string Write(uint32_t (*writer)(OutputStream&, const DataNode&), const DataNode& tree) {
    OutputStream out;
    if (writer(out, tree)) throw std::runtime_error("corpus does not write");
    return std::string(out.view());
}

void Read(uint32_t (*reader)(InputStream&, DataNode&), const std::string& text, DataNode& tree) {
    InputStream in(text);
    if (reader(in, tree)) throw std::runtime_error("corpus does not read back");
}

std::unique_ptr<TextCorpus> MakeText(size_t targetBytes) {
    auto c = std::make_unique<TextCorpus>();
    {
        DataNode root = RecordTree(targetBytes);
        c->json = Write(WriteJson, root);
        c->xml = Write(WriteXml, root);
        DataNode free;
        free.setOption(OptionFlags::XmlFreeForm, true);
        ToFreeForm(root, "", free);
        c->freeXml = Write(WriteXml, free);
    }
    Read(ReadJson, c->json, c->jsonTree);
    Read(ReadXml, c->xml, c->xmlTree);
    c->freeTree.setOption(OptionFlags::XmlFreeForm, true);
    Read(ReadXml, c->freeXml, c->freeTree);
    c->freeRewritten = Write(WriteXml, c->freeTree);
    c->rapid.Parse(c->json.data(), c->json.size());
    c->nlohmann = nlohmann::json::parse(c->json);
    if (c->rapid.HasParseError() || !c->pugi.load_buffer(c->xml.data(), c->xml.size()) ||
        !c->pugiFree.load_buffer(c->freeXml.data(), c->freeXml.size()))
        throw std::runtime_error("a peer cannot read the corpus");
    return c;
}

}  // namespace

const TextCorpus& Text(int size) {
    static std::unique_ptr<TextCorpus> built[std::size(kSizes)];
    if (!built[size]) built[size] = MakeText(kSizes[size].bytes);
    return *built[size];
}

}  // namespace zk::bench
