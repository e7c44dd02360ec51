// Builds a small tree, writes it to a caller buffer in every format that has
// a writer, and prints the bytes. The size contract in action: the first
// call asks how much room the output needs, the second fills the buffer.
#include <cstdio>
#include <vector>

#include "zk_data/codec/error_codes.h"
#include "zk_data/codec/format_switch.h"
#include "zk_data/value/data_node.h"

namespace {

void printBytes(const std::vector<char>& bytes) {
    for (char c : bytes) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b == '\n' || (b >= 0x20 && b < 0x7F))
            std::putchar(b);
        else if (b != '\r')
            std::printf("\\x%02X", b);
    }
    std::putchar('\n');
}

}  // namespace

int main() {
    zk::DataNode doc;
    doc.mapGet("name").setStr("abc");
    doc.mapGet("n").setInt(5, zk::ValueKind::Int32);
    zk::ListValue& tags = doc.mapGet("tags").asList();
    tags.append().setStr("red");
    tags.append().setInt(-7, zk::ValueKind::Int16);

    const struct {
        uint8_t id;
        const char* name;
    } formats[] = {{0, "binary"}, {1, "XML"}, {2, "bencode"}, {3, "JSON"},
                   {4, "HTTP message"}, {5, "INI"}, {255, "debug dump"}};
    for (const auto& f : formats) {
        doc.setFormat(f.id);
        uint32_t size = 0;
        uint32_t code = zk::writeToBuffer(doc, nullptr, size);
        if (code != zk::err::BufferTooSmall && code != zk::err::Ok) {
            std::printf("%-13s error %u: %s\n", f.name, code, zk::ErrorMessage(code));
            continue;
        }
        std::vector<char> buffer(size);
        code = zk::writeToBuffer(doc, buffer.data(), size);
        std::printf("%-13s %u bytes: ", f.name, size);
        printBytes(buffer);
    }
    return 0;
}
