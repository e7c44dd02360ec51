// A program built against an installed zk_data through zk_data::core or
// zk_data.pc: a map goes to XML (expat reads it back) and then to JSON.
#include <cstdio>

#include <zk_data/codec/error_codes.h>
#include <zk_data/codec/format_switch.h>
#include <zk_data/value/data_node.h>
#include <zk_data/value/version.h>

int main() {
    static_assert(zk::VersionNumber() == ZK_DATA_VERSION_MAJOR * 10000 + ZK_DATA_VERSION_MINOR * 100 + ZK_DATA_VERSION_PATCH);
    zk::DataNode doc;
    doc.mapGet("name").setStr("abc");
    doc.mapGet("n").setInt(5, zk::ValueKind::Int32);
    char xml[256];
    uint32_t size = sizeof xml;
    uint32_t code = zk::writeToBuffer(doc, xml, size);
    zk::DataNode back;
    if (code == 0) code = zk::readFromBuffer(back, xml, size);
    char json[64];
    size = sizeof json;
    back.setFormat(zk::FormatId::Json);
    if (code == 0) code = zk::writeToBuffer(back, json, size);
    if (code != 0) {
        std::printf("error %u: %s\n", code, zk::ErrorMessage(code));
        return 1;
    }
    std::printf("zk_data %s: %.*s\n", zk::VersionString(), int(size), json);
    return 0;
}
