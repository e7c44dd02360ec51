#include "tests/alloc/documents.h"

namespace zk::alloc {
namespace {

constexpr int kFields = 18;

std::string FieldName(int i) { return "field" + std::to_string(100 + i).substr(1); }

void Item(DataNode& item, int id, const char* label) {
    item.mapGet("id").setInt(id, ValueKind::Int32);
    item.mapGet("label").setStr(label);
}

void Fill(DataNode& root, const char* title, int64_t big, int items) {
    root.mapGet("title").setStr(title);
    root.mapGet("count").setInt(items, ValueKind::UInt16);
    root.mapGet("big").setInt(big, ValueKind::Int64);
    DataNode& list = root.mapGet("items");
    for (int i = 0; i < items; ++i) Item(list.listAt(i), i + 1, i % 2 ? "an item whose label needs the heap" : "short");
    DataNode& matrix = root.mapGet("matrix");
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 2; ++col) matrix.listAt(row).listAt(col).setInt(row * 2 + col, ValueKind::Int8);
    DataNode& fields = root.mapGet("fields");
    for (int i = 0; i < kFields; ++i) {
        DataNode& f = fields.mapGet(FieldName(i));
        if (i % 3 == 0) f.setInt(i * 1000, ValueKind::Int32);
        else f.setStr(i % 3 == 1 ? "a field value longer than the inline bytes" : "v");
    }
    root.mapGet("empty").setStr("");
}

}  // namespace

void Document(DataNode& root) { Fill(root, "A representative document, long enough for the heap", 1234567890123, 3); }

void OtherDocument(DataNode& root) { Fill(root, "Another title, also longer than twenty-three bytes", -77, 4); }

void EightKeys(DataNode& root) {
    for (int i = 0; i < 8; ++i) root.mapGet(FieldName(i)).setStr(i % 2 ? "a value that lives on the heap" : "x");
}

void IniDocument(DataNode& root) {
    DataNode& main = root.mapGet("main settings of the program");
    for (int i = 0; i < kFields; ++i) main.mapGet(FieldName(i)).setStr(i % 2 ? "a long value for this key here" : "1");
    root.mapGet("other").mapGet("key").setStr("value");
}

void HttpDocument(DataNode& root) {
    DataNode& line = root.mapGet("Request-Line");
    line.mapGet("Method").setStr("POST");
    line.mapGet("Request-URI").setStr("/a/path/that/is/long/enough/for/the/heap");
    line.mapGet("HTTP-Version").setStr("HTTP/1.1");
    DataNode& header = root.mapGet("Header");
    for (int i = 0; i < kFields - 1; ++i)
        header.mapGet("X-Header-" + std::to_string(i)).setStr(i % 2 ? "a header value longer than inline" : "v");
    header.mapGet("Content-Length").setStr("40");
    root.mapGet("Body").setStr("a body of forty bytes, exactly forty....");
}

std::string FreeFormXml() {
    std::string doc = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<doc version=\"1\" lang=\"en\">";
    doc += "<title>A free-form document &amp; its text, long enough</title>";
    doc += "<item id=\"1\">first</item><item id=\"2\">second item, with a longer text</item><item/>";
    doc += "<fields>";
    for (int i = 0; i < kFields; ++i) {
        std::string name = FieldName(i);
        doc += "<" + name + ">" + (i % 2 ? "a field text that needs the heap" : "v") + "</" + name + ">";
    }
    doc += "</fields><raw><![CDATA[<not markup> kept as it is, bytes and all]]></raw></doc>";
    return doc;
}

}  // namespace zk::alloc
