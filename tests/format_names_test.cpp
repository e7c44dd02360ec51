// The one table of names the front ends share: every format, flag and
// integer kind has exactly one entry, found by its name (and a flag by its
// alias), and each name stands for one thing only.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "zk_data/codec/format_names.h"
#include "zk_data/value/node_type.h"

namespace zk {
namespace {

TEST(FormatNames, EveryFormatOnceByIdAndName) {
    const std::string expected[] = {"binary", "xml", "bencode", "json", "http", "ini", "dump"};
    ASSERT_EQ(FormatTable().size(), std::size(expected));
    int previous = -1;
    for (size_t i = 0; i < FormatTable().size(); ++i) {
        const NamedFormat& f = FormatTable()[i];
        EXPECT_EQ(f.name, expected[i]);
        EXPECT_TRUE(FormatId::isValid(f.id)) << f.name;
        EXPECT_GT(int{f.id}, previous) << f.name;  // by id
        previous = f.id;
        EXPECT_EQ(FindFormat(f.name), &f);
        EXPECT_STREQ(FormatName(f.id), f.name);
    }
    EXPECT_EQ(FindFormat("dump")->id, FormatId::DebugDump);
}

TEST(FormatNames, UnknownFormatsAreNull) {
    for (const char* name : {"", "JSON", "json ", "yaml", "debug_dump"}) EXPECT_EQ(FindFormat(name), nullptr) << name;
    EXPECT_EQ(FindFormat(std::string_view("json\0x", 6)), nullptr);
    for (unsigned id : {6u, 7u, 254u}) EXPECT_EQ(FormatName(static_cast<uint8_t>(id)), nullptr) << id;
}

TEST(FormatNames, EveryOptionBitHasOneFlag) {
    const uint32_t bits[] = {OptionFlags::MapUnframed,  OptionFlags::HexString,     OptionFlags::BigEndian,
                             OptionFlags::XmlCompact,   OptionFlags::XmlFreeForm,   OptionFlags::XmlGbk,
                             OptionFlags::DumpRawString, OptionFlags::DumpDottedQuad, OptionFlags::HttpNoBody};
    ASSERT_EQ(FlagTable().size(), std::size(bits));
    for (size_t i = 0; i < FlagTable().size(); ++i) {
        EXPECT_EQ(FlagTable()[i].bit, bits[i]) << FlagTable()[i].name;  // by bit
        EXPECT_TRUE(FormatId::isValid(FlagTable()[i].format)) << FlagTable()[i].name;
    }
}

TEST(FormatNames, NamesAndAliasesNameOneFlagEach) {
    std::set<std::string> seen;
    for (const NamedFlag& f : FlagTable()) {
        EXPECT_TRUE(seen.insert(f.name).second) << f.name;
        EXPECT_EQ(FindFlag(f.name), &f);
        if (!f.alias) continue;
        EXPECT_TRUE(seen.insert(f.alias).second) << f.alias;
        EXPECT_EQ(FindFlag(f.alias), &f);
    }
    for (const char* name : {"", "Compact", "big-endian", "free_form,compact", "int_kind", "template"})
        EXPECT_EQ(FindFlag(name), nullptr) << name;
}

TEST(FormatNames, TheShortSpellingsAreAliases) {
    const struct {
        const char* alias;
        const char* name;
    } aliases[] = {{"be", "big_endian"}, {"free", "free_form"}, {"nobody", "no_body"}, {"raw", "raw_string"},
                   {"quad", "dotted_quad"}};
    for (const auto& a : aliases) {
        ASSERT_NE(FindFlag(a.alias), nullptr) << a.alias;
        EXPECT_EQ(FindFlag(a.alias), FindFlag(a.name)) << a.alias;
        EXPECT_STREQ(FindFlag(a.alias)->name, a.name);  // what messages print
    }
    size_t withAlias = 0;
    for (const NamedFlag& f : FlagTable()) withAlias += f.alias != nullptr;
    EXPECT_EQ(withAlias, std::size(aliases));
}

TEST(FormatNames, FlagsBelongToTheCodecThatReadsThem) {
    uint32_t byFormat[256] = {};
    uint32_t everyNode = 0;
    for (const NamedFlag& f : FlagTable()) {
        byFormat[f.format] |= f.bit;
        if (f.everyNode) everyNode |= f.bit;
    }
    EXPECT_EQ(byFormat[FormatId::Binary], OptionFlags::MapUnframed | OptionFlags::HexString | OptionFlags::BigEndian);
    EXPECT_EQ(byFormat[FormatId::Xml], OptionFlags::XmlCompact | OptionFlags::XmlFreeForm | OptionFlags::XmlGbk);
    EXPECT_EQ(byFormat[FormatId::Http], uint32_t{OptionFlags::HttpNoBody});
    EXPECT_EQ(byFormat[FormatId::DebugDump], OptionFlags::DumpRawString | OptionFlags::DumpDottedQuad);
    for (uint8_t format : {FormatId::Bencode, FormatId::Json, FormatId::Ini}) EXPECT_EQ(byFormat[format], 0u);
    // The binary codec reads these on each map and string, the dump on each node.
    EXPECT_EQ(everyNode, OptionFlags::MapUnframed | OptionFlags::HexString | OptionFlags::DumpRawString |
                             OptionFlags::DumpDottedQuad);
}

TEST(FormatNames, IntegerKindsFromInt8ToUInt64) {
    const std::string expected[] = {"int8",   "uint8", "int16", "uint16", "int32",
                                    "uint32", "int",   "uint",  "int64",  "uint64"};
    ASSERT_EQ(IntKindTable().size(), std::size(expected));
    for (size_t i = 0; i < IntKindTable().size(); ++i) {
        const NamedIntKind& k = IntKindTable()[i];
        EXPECT_EQ(k.name, expected[i]);
        EXPECT_EQ(k.kind, ValueKind::Int8 + static_cast<int32_t>(i));  // by value, none left out
        EXPECT_EQ(FindIntKind(k.name), &k);
        EXPECT_STREQ(IntKindName(k.kind), k.name);
    }
    EXPECT_EQ(FindIntKind("int")->kind, ValueKind::NativeInt);
    EXPECT_EQ(FindIntKind("uint")->kind, ValueKind::NativeUInt);
    for (const char* name : {"", "int128", "INT8", "binary", "text"}) EXPECT_EQ(FindIntKind(name), nullptr) << name;
    for (int32_t kind : {int32_t{ValueKind::Unspecified}, int32_t{ValueKind::Binary}, int32_t{ValueKind::Text}, -1, 42})
        EXPECT_EQ(IntKindName(kind), nullptr) << kind;
}

}  // namespace
}  // namespace zk
