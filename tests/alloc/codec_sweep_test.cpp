// Every writer and reader under allocation failure. A write never changes
// its tree and, once it completes, gives the same bytes as without the
// sweep. A read that runs out of memory reports it and leaves a tree that
// can be walked, copied and destroyed (see kReadsKeepOldOrNew).
#include <memory>
#include <string>

#include "tests/alloc/documents.h"
#include "tests/alloc/sweep.h"
#include "zk_data/codec/format_switch.h"

namespace zk::alloc {
namespace {

using MakeTree = void (*)(DataNode&);

std::string Written(const DataNode& tree) {
    OutputStream out;
    EXPECT_EQ(writeNode(tree, out), 0u);
    return std::string(out.view());
}

void FreeFormTree(DataNode& root) {
    root.setOption(OptionFlags::XmlFreeForm, true);
    std::string text = FreeFormXml();
    uint32_t size = static_cast<uint32_t>(text.size());
    ASSERT_EQ(readFromBuffer(root, text.data(), size), 0u);
}

void SweepWrite(MakeTree make, uint8_t format, uint32_t options = 0) {
    std::unique_ptr<DataNode> tree;
    std::string buffer(1 << 16, '\0');
    std::string bytes;
    auto build = [&] {
        tree = std::make_unique<DataNode>();
        make(*tree);
        tree->setFormat(format);
        tree->setOption(options, true);
    };
    build();
    const std::string expected = Written(*tree);
    uint32_t size = 0;
    Sweep({
        .build = build,
        .tree = [&]() -> DataNode& { return *tree; },
        .run = [&] {
            size = static_cast<uint32_t>(buffer.size());
            return writeToBuffer(*tree, buffer.data(), size) == 0;
        },
        .destroy = [&] { tree.reset(); },
        .checkCompleted = [&] { EXPECT_EQ(buffer.substr(0, size), expected); },
    });
}

// Reads the bytes that write gives into a target made by makeTarget.
void SweepRead(const std::string& bytes, MakeTree makeTarget, uint8_t format, uint32_t options, Leaves leaves) {
    std::unique_ptr<DataNode> target;
    uint32_t size = 0;
    Sweep({
        .build = [&] {
            target = std::make_unique<DataNode>();
            makeTarget(*target);
            target->setFormat(format);
            target->setOption(options, true);
        },
        .tree = [&]() -> DataNode& { return *target; },
        .run = [&] {
            size = static_cast<uint32_t>(bytes.size());
            return readFromBuffer(*target, bytes.data(), size) == 0;
        },
        .destroy = [&] { target.reset(); },
        .leaves = leaves,
    });
}

// What a text reader reads into: a tree of its own, to be replaced.
void OldContent(DataNode& n) { EightKeys(n); }

std::string WrittenAs(MakeTree make, uint8_t format, uint32_t options = 0) {
    DataNode tree;
    make(tree);
    tree.setFormat(format);
    tree.setOption(options, true);
    return Written(tree);
}

// --- writers -------------------------------------------------------------------

TEST(WriteSweep, Binary) { SweepWrite(Document, FormatId::Binary); }
TEST(WriteSweep, TypedXml) { SweepWrite(Document, FormatId::Xml); }
TEST(WriteSweep, FreeFormXml) { SweepWrite(FreeFormTree, FormatId::Xml); }
TEST(WriteSweep, Bencode) { SweepWrite(Document, FormatId::Bencode); }
TEST(WriteSweep, Json) { SweepWrite(Document, FormatId::Json); }
TEST(WriteSweep, Http) { SweepWrite(HttpDocument, FormatId::Http); }
TEST(WriteSweep, Ini) { SweepWrite(IniDocument, FormatId::Ini); }
TEST(WriteSweep, DebugDump) { SweepWrite(Document, FormatId::DebugDump); }

// --- readers -------------------------------------------------------------------

// A copy of Document: its lists take their first items as prototypes, which
// the reader copies for the items the record has beyond the template's.
void Template(DataNode& n) {
    DataNode source;
    Document(source);
    n.assign(source);
}

// The binary reader fills its template in place, by design.
TEST(ReadSweep, BinaryIntoATemplate) {
    SweepRead(WrittenAs(OtherDocument, FormatId::Binary), Template, FormatId::Binary, 0, Leaves::WellFormed);
}

TEST(ReadSweep, TypedXml) {
    SweepRead(WrittenAs(Document, FormatId::Xml), OldContent, FormatId::Xml, 0, kReadLeaves);
}

TEST(ReadSweep, FreeFormXml) {
    SweepRead(FreeFormXml(), OldContent, FormatId::Xml, OptionFlags::XmlFreeForm, kReadLeaves);
}

TEST(ReadSweep, Bencode) {
    SweepRead(WrittenAs(Document, FormatId::Bencode), OldContent, FormatId::Bencode, 0, kReadLeaves);
}

TEST(ReadSweep, Json) { SweepRead(WrittenAs(Document, FormatId::Json), OldContent, FormatId::Json, 0, kReadLeaves); }

TEST(ReadSweep, Http) {
    SweepRead(WrittenAs(HttpDocument, FormatId::Http), OldContent, FormatId::Http, 0, kReadLeaves);
}

TEST(ReadSweep, Ini) { SweepRead(WrittenAs(IniDocument, FormatId::Ini), OldContent, FormatId::Ini, 0, kReadLeaves); }

}  // namespace
}  // namespace zk::alloc
