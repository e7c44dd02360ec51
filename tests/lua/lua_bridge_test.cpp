// The bridge against a real Lua 5.4 state: the shapes it pushes and reads,
// the codes it returns, and the stack it must leave as it found it on every
// path, deep and refused ones included.
#include <pthread.h>

#include <climits>

#include "codec/limits.h"
#include "tests/lua/lua_test_support.h"
#include "tests/support/small_stack.h"
#include "zk_data/codec/error_codes.h"

namespace zk::test {
namespace {

using test_support::RunOnStack;
using LuaPushTest = LuaTest;
using LuaReadTest = LuaTest;

// ---- LuaPush ----

TEST_F(LuaPushTest, StrKeepsEveryByteIncludingZero) {
    DataNode n;
    n.setStr(std::string_view("a\0b", 3), ValueKind::Binary);
    ASSERT_EQ(Push(n), err::Ok);
    ASSERT_EQ(lua_gettop(L), 1);
    ASSERT_EQ(lua_type(L, 1), LUA_TSTRING);
    size_t len = 0;
    const char* s = lua_tolstring(L, 1, &len);
    EXPECT_EQ(std::string(s, len), std::string("a\0b", 3));
}

TEST_F(LuaPushTest, IntBecomesADoubleWithSignedConversion) {
    DataNode n;
    n.setInt(INT64_MAX, ValueKind::Int64);
    ASSERT_EQ(Push(n), err::Ok);
    EXPECT_FALSE(lua_isinteger(L, -1));
    EXPECT_EQ(lua_tonumber(L, -1), 9.223372036854776e18);
    n.setInt(-1, ValueKind::UInt64);  // 2^64 - 1 as unsigned
    ASSERT_EQ(Push(n), err::Ok);
    EXPECT_EQ(lua_tonumber(L, -1), -1.0);
    n.setInt(-42, ValueKind::Int8);
    ASSERT_EQ(Push(n), err::Ok);
    EXPECT_EQ(lua_tonumber(L, -1), -42.0);
    EXPECT_EQ(lua_gettop(L), 3);
}

TEST_F(LuaPushTest, ListKeysAreTheNumbersOneToN) {
    DataNode n;
    n.asList().append().setStr("a");
    n.asList().append().setInt(2, ValueKind::Int32);
    n.asList().append().setStr("c");
    ASSERT_EQ(Push(n), err::Ok);
    EXPECT_EQ(ShowLua(L, -1), R"({1="a",2=2,3="c"})");
    EXPECT_EQ(luaL_len(L, -1), 3);
    lua_geti(L, -1, 2);  // an integer key finds the entry: keys are numbers
    EXPECT_EQ(lua_tonumber(L, -1), 2.0);
}

TEST_F(LuaPushTest, MapGivesEveryKeyWithItsBytes) {
    DataNode n;
    n.mapGet("y").setStr("1");
    n.mapGet("x").setInt(2, 0);
    n.mapGet(std::string_view("k\0z", 3)).setStr("zero");
    ASSERT_EQ(Push(n), err::Ok);
    EXPECT_EQ(ShowLua(L, -1), R"({"k\0z"="zero","x"=2,"y"="1"})");
}

TEST_F(LuaPushTest, NestedAndEmptyContainers) {
    DataNode n;
    DataNode& list = n.mapGet("list");
    list.asList().append().setInt(1, 0);
    list.asList().append().asMap();
    list.asList().append().asList();
    n.mapGet("s").setStr("t");
    ASSERT_EQ(Push(n), err::Ok);
    EXPECT_EQ(ShowLua(L, -1), R"({"list"={1=1,2={},3={}},"s"="t"})");
    EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(LuaPushTest, NoneAnywhereFailsAndLeavesTheStackAlone) {
    lua_pushliteral(L, "below");
    DataNode none;
    DataNode inList;
    inList.asList().append().setInt(1, 0);
    inList.asList().append();  // None
    DataNode deepInMap;
    deepInMap.mapGet("a").setStr("x");
    deepInMap.mapGet("b").asList().append().mapGet("c");  // None
    for (const DataNode* n : {&none, &inList, &deepInMap}) {
        EXPECT_EQ(Push(*n), err::Unsupported) << ShowNode(*n);
        ASSERT_EQ(lua_gettop(L), 1);
        EXPECT_STREQ(lua_tostring(L, 1), "below");
    }
}

TEST_F(LuaPushTest, DepthStopsAtTheCodecLimit) {
    DataNode fits, tooDeep;
    NestLists(fits, kMaxDepth);
    NestLists(tooDeep, kMaxDepth + 1);
    ASSERT_EQ(Push(fits), err::Ok);
    uint32_t levels = 0;
    while (lua_type(L, -1) == LUA_TTABLE) {
        lua_geti(L, -1, 1);
        ++levels;
    }
    EXPECT_EQ(levels, kMaxDepth);
    lua_settop(L, 0);
    EXPECT_EQ(Push(tooDeep), err::Unsupported);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(LuaPushTest, HundredThousandLevelsFailCleanly) {
    DataNode deep;
    NestLists(deep, 100000);
    lua_pushinteger(L, 7);
    EXPECT_EQ(Push(deep), err::Unsupported);
    ASSERT_EQ(lua_gettop(L), 1);
    EXPECT_EQ(lua_tointeger(L, 1), 7);
}

// The push runs in a protected call, whose frame Lua gives LUA_MINSTACK (20)
// slots: 30 slots of room are enough for the call and a flat list, not for
// 20 levels at two slots each.
TEST_F(LuaPushTest, RefusedStackRoomFailsCleanly) {
    DataNode flat, nested;
    NestLists(flat, 1);
    NestLists(nested, 20);
    FillStackLeaving(30);
    int top = lua_gettop(L);
    EXPECT_EQ(Push(nested), err::Unsupported);
    EXPECT_EQ(lua_gettop(L), top);
    EXPECT_EQ(lua_toboolean(L, top), 1);  // the filler is untouched
    ASSERT_EQ(Push(flat), err::Ok);
    EXPECT_EQ(ShowLua(L, -1), "{1=1}");
}

// ---- LuaRead ----

TEST_F(LuaReadTest, ArrayIntoANoneNodeGivesAListOfKindZeroInts) {
    DataNode n;
    ASSERT_EQ(Read("{10, 20, 30}", n), err::Ok);
    EXPECT_EQ(ShowNode(n), "[10,20,30]");
    EXPECT_EQ(n.kind(), 0);
}

TEST_F(LuaReadTest, StringKeysGiveAMapInTraversalOrder) {
    Eval(R"({x = 1, y = "s", z = {}})");
    std::string expected;  // the order lua_next visits, which the map keeps
    lua_pushnil(L);
    while (lua_next(L, 1)) {
        lua_settop(L, -2);
        expected += lua_tostring(L, -1);
    }
    DataNode n;
    ASSERT_EQ(LuaRead(LinkedLuaApi(), L, 1, n), err::Ok);
    ASSERT_TRUE(n.isMap());
    std::string order;
    for (const MapValue::Entry& e : n.map()) order += e.key.view();
    EXPECT_EQ(order, expected);
    EXPECT_EQ(ShowNode(n.mapGet("x")), "1");
    EXPECT_EQ(ShowNode(n.mapGet("y")), "\"s\"");
    EXPECT_TRUE(n.mapGet("z").isNone());  // an empty table leaves a fresh node None
}

TEST_F(LuaReadTest, TheFirstKeyDecidesListOrMap) {
    DataNode n;
    EXPECT_EQ(Read("{1, 2, x = 3}", n), err::BadListItem);
    EXPECT_EQ(ShowNode(n), "[]");  // cleared where the walk failed
    n.reset();
    EXPECT_EQ(Read("{[2] = 5}", n), err::BadListItem);
    EXPECT_EQ(Read("{[1] = 'a', [3] = 'c'}", n), err::BadListItem);
    EXPECT_EQ(Read("{[true] = 1}", n), err::LuaMixedKeys);
    EXPECT_EQ(Read("{[{}] = 1}", n), err::LuaMixedKeys);
    EXPECT_EQ(Read("{[print] = 1}", n), err::LuaMixedKeys);
}

// A table of one string key and one number key fails by the key lua_next
// visits second: a number in a map (20101003) or a stray index (25000007).
// The test looks for string keys that give both orders.
TEST_F(LuaReadTest, TheSecondKeyOfAnotherTypeFailsByTheFirstOnesMode) {
    bool sawStringFirst = false, sawNumberFirst = false;
    for (char c = 'a'; c <= 'z'; ++c) {
        std::string expr = std::string("{") + c + " = 2, [2.5] = 1}";
        Eval(expr);
        lua_pushnil(L);
        lua_next(L, 1);
        bool stringFirst = lua_type(L, -2) == LUA_TSTRING;
        lua_settop(L, 0);
        DataNode n;
        EXPECT_EQ(Read(expr, n), stringFirst ? err::LuaMixedKeys : err::BadListItem) << expr;
        EXPECT_EQ(n.size(), 0u) << expr;
        (stringFirst ? sawStringFirst : sawNumberFirst) = true;
    }
    EXPECT_TRUE(sawStringFirst && sawNumberFirst);
}

TEST_F(LuaReadTest, FloatsTruncateTowardZero) {
    DataNode n;
    const std::pair<const char*, int64_t> cases[] = {
        {"3.9", 3}, {"-3.9", -3}, {"0.5", 0}, {"-0.5", 0}, {"2.0", 2}, {"-1e15 - 0.5", -1000000000000000},
    };
    for (auto [expr, expected] : cases) {
        ASSERT_EQ(Read(expr, n), err::Ok) << expr;
        EXPECT_EQ(n.num(), expected) << expr;
    }
}

TEST_F(LuaReadTest, NumbersBeyondRangeSaturateAndNaNGivesZero) {
    DataNode n;
    const std::pair<const char*, int64_t> cases[] = {
        {"0/0", 0},
        {"math.huge", INT64_MAX},
        {"-math.huge", INT64_MIN},
        {"1e300", INT64_MAX},
        {"-1e300", INT64_MIN},
        {"2.0^63", INT64_MAX},
        {"-(2.0^63)", INT64_MIN},
        {"math.maxinteger", INT64_MAX},
        {"math.mininteger", INT64_MIN},
        {"9007199254740993", 9007199254740993},  // 2^53 + 1: integers are exact
        {"9223372036854774784.0", 9223372036854774784},
    };
    for (auto [expr, expected] : cases) {
        ASSERT_EQ(Read(expr, n), err::Ok) << expr;
        EXPECT_EQ(n.num(), expected) << expr;
    }
}

TEST_F(LuaReadTest, OtherTypesFailAndLeaveTheNodeCleared) {
    DataNode n;
    for (const char* expr : {"true", "nil", "print", "coroutine.create(print)", "io.stdout"}) {
        n.setInt(7, ValueKind::Int32);
        EXPECT_EQ(Read(expr, n), err::Unsupported) << expr;
        EXPECT_EQ(ShowNode(n), "0k5") << expr;  // cleared: type and kind stay
    }
    int x = 0;
    lua_pushlightuserdata(L, &x);
    EXPECT_EQ(LuaRead(LinkedLuaApi(), L, -1, n), err::Unsupported);
    EXPECT_EQ(lua_gettop(L), 1);
    n.reset();
    EXPECT_EQ(Read("{1, 2, {false}}", n), err::Unsupported);
    EXPECT_EQ(ShowNode(n), "[1,2,[~]]");
}

TEST_F(LuaReadTest, EmptyTableClearsAndKeepsTheType) {
    DataNode map, fresh, str, list;
    map.mapGet("k").setStr("v");
    str.setStr("abc");
    list.asList().append().setInt(1, 0);
    for (DataNode* n : {&map, &fresh, &str, &list}) ASSERT_EQ(Read("{}", *n), err::Ok);
    EXPECT_EQ(ShowNode(map), "{}");
    EXPECT_EQ(ShowNode(fresh), "~");
    EXPECT_EQ(ShowNode(str), "\"\"k12");
    EXPECT_EQ(ShowNode(list), "[]");
}

TEST_F(LuaReadTest, OnlyARootOfTheSameTypeKeepsItsKind) {
    DataNode n;
    n.setInt(1, ValueKind::Int32);
    ASSERT_EQ(Read("42", n), err::Ok);
    EXPECT_EQ(ShowNode(n), "42k5");
    n.setStr("x");
    ASSERT_EQ(Read("'y'", n), err::Ok);
    EXPECT_EQ(ShowNode(n), "\"y\"k12");
    ASSERT_EQ(Read("5", n), err::Ok);
    EXPECT_EQ(ShowNode(n), "5");
    n.setInt(1, ValueKind::Int64);
    ASSERT_EQ(Read("{'s', 2, {k = 3}}", n), err::Ok);
    EXPECT_EQ(ShowNode(n), "[\"s\",2,{k:3}]");
}

TEST_F(LuaReadTest, StringValuesKeepZerosAndKeysStopAtThem) {
    DataNode n;
    ASSERT_EQ(Read(R"({v = "a\0b"})", n), err::Ok);
    EXPECT_EQ(n.mapGet("v").str().view(), std::string_view("a\0b", 3));
    ASSERT_EQ(Read(R"({["k\0x"] = 1, ["k\0y"] = 1})", n), err::Ok);
    EXPECT_EQ(ShowNode(n), "{k:1}");
}

TEST_F(LuaReadTest, FloatKeysAreTruncatedLikeValues) {
    DataNode n;
    ASSERT_EQ(Read("{[1.5] = 'a'}", n), err::Ok);
    EXPECT_EQ(ShowNode(n), "[\"a\"]");
    EXPECT_EQ(Read("{[0.5] = 'a'}", n), err::BadListItem);
    EXPECT_EQ(Read("{[math.huge] = 'a'}", n), err::BadListItem);
}

TEST_F(LuaReadTest, EveryIndexFormNamesTheSameValue) {
    Eval("{7}");
    lua_pushliteral(L, "above");
    DataNode a, b;
    ASSERT_EQ(LuaRead(LinkedLuaApi(), L, 1, a), err::Ok);
    ASSERT_EQ(LuaRead(LinkedLuaApi(), L, -2, b), err::Ok);
    EXPECT_EQ(ShowNode(a), "[7]");
    EXPECT_EQ(ShowNode(b), "[7]");
    EXPECT_EQ(lua_gettop(L), 2);
    for (int bad : {0, 3, 1000, -3, -1000}) {
        a.setInt(9, 0);
        EXPECT_EQ(LuaRead(LinkedLuaApi(), L, bad, a), err::Unsupported) << bad;
        EXPECT_EQ(ShowNode(a), "0") << bad;
        EXPECT_EQ(lua_gettop(L), 2);
    }
}

// An upvalue is reached through a pseudo-index, which must not be shifted the
// way a negative index is while keys sit above it.
TEST_F(LuaReadTest, PseudoIndicesAreReadInPlace) {
    static DataNode read;
    static uint32_t code;
    Eval("{4, 5}");
    lua_pushcclosure(
        L,
        [](lua_State* S) {
            lua_pushliteral(S, "local");
            code = LuaRead(LinkedLuaApi(), S, lua_upvalueindex(1), read);
            lua_pushinteger(S, lua_gettop(S));
            return 1;
        },
        1);
    ASSERT_EQ(lua_pcall(L, 0, 1, 0), LUA_OK);
    EXPECT_EQ(lua_tointeger(L, -1), 1);  // the callee's stack held only its own value
    EXPECT_EQ(code, err::Ok);
    EXPECT_EQ(ShowNode(read), "[4,5]");
    read.reset();
}

TEST_F(LuaReadTest, AFailureKeepsWhatWasReadAboveIt) {
    DataNode n;
    EXPECT_EQ(Read("{1, {2, true}}", n), err::Unsupported);
    EXPECT_EQ(ShowNode(n), "[1,[2,~]]");
    EXPECT_EQ(Read("{1, {2, x = 3}}", n), err::BadListItem);
    EXPECT_EQ(ShowNode(n), "[1,[]]");
    EXPECT_EQ(Read("{a = {b = {1, x = 2}}}", n), err::BadListItem);
    EXPECT_EQ(ShowNode(n), "{a:{b:[]}}");
}

TEST_F(LuaReadTest, DepthStopsAtTheCodecLimit) {
    auto nested = [](uint32_t levels) {
        return "(function() local t = 1 for i = 1, " + std::to_string(levels) + " do t = {t} end return t end)()";
    };
    DataNode n;
    ASSERT_EQ(Read(nested(kMaxDepth), n), err::Ok);
    DataNode expected;
    NestLists(expected, kMaxDepth);
    EXPECT_TRUE(n.equals(expected));
    EXPECT_EQ(Read(nested(kMaxDepth + 1), n), err::Unsupported);
    EXPECT_EQ(Read(nested(100000), n), err::Unsupported);
    // What was read above the limit stays: a chain ending in a cleared node.
    const DataNode* p = &n;
    uint32_t levels = 0;
    while (p->isList() && p->size() == 1) {
        p = p->list()[0].get();
        ++levels;
    }
    EXPECT_EQ(levels, kMaxDepth);
    EXPECT_TRUE(p->isNone());
}

TEST_F(LuaReadTest, RefusedStackRoomFailsCleanly) {
    Eval("{{{{1}}}}");
    Eval("{1}");
    FillStackLeaving(3);
    int top = lua_gettop(L);
    DataNode n;
    EXPECT_EQ(LuaRead(LinkedLuaApi(), L, 1, n), err::Unsupported);
    EXPECT_EQ(lua_gettop(L), top);
    EXPECT_EQ(LuaRead(LinkedLuaApi(), L, 2, n), err::Ok);
    EXPECT_EQ(ShowNode(n), "[1]");
    EXPECT_EQ(lua_gettop(L), top);
}

// A read takes the value's place in the node only once it is complete; what
// the root kept before still stays: its format, options and list prototype.
TEST_F(LuaReadTest, TheRootKeepsItsFormatOptionsAndPrototype) {
    DataNode n;
    n.asList().prototype()->setStr("template");
    n.asList().append().setInt(1, 0);
    n.setFormat(FormatId::Json);
    n.setOption(OptionFlags::XmlFreeForm, true);
    ASSERT_EQ(Read("{7, 8}", n), err::Ok);
    EXPECT_EQ(ShowNode(n), "[7,8]");
    EXPECT_EQ(ShowNode(*n.list().prototype()), "\"template\"k12");
    for (const char* expr : {"{a = 1}", "'s'", "3", "{}"}) {
        ASSERT_EQ(Read(expr, n), err::Ok) << expr;
        EXPECT_EQ(n.format(), FormatId::Json) << expr;
        EXPECT_EQ(n.options(), OptionFlags::XmlFreeForm) << expr;
    }
    EXPECT_EQ(ShowNode(n), "0");
}

// Lua raises its memory errors with a long jump. The push catches them in a
// protected call of its own, so a host that made none is not aborted by
// Lua's panic, and no C++ frame is jumped over.
TEST(LuaPushMemory, OutOfLuaMemoryThrowsWithTheStackRestored) {
    BudgetedLua lua;
    DataNode tree;
    for (int i = 0; i < 100; ++i) tree.mapGet("key " + std::to_string(i)).setStr("a value of more than 23 bytes");
    lua_pushinteger(lua.L, 7);
    lua.limit = lua.used + 1024;
    EXPECT_THROW(LuaPush(LinkedLuaApi(), lua.L, tree), std::bad_alloc);
    ASSERT_EQ(lua_gettop(lua.L), 1);
    EXPECT_EQ(lua_tointeger(lua.L, 1), 7);
    lua.limit = SIZE_MAX;
    ASSERT_EQ(LuaPush(LinkedLuaApi(), lua.L, tree), err::Ok);
    EXPECT_EQ(lua_gettop(lua.L), 2);
}

// ---- both ways ----

TEST_F(LuaTest, TreesRoundTrip) {
    DataNode tree;
    tree.mapGet("name").setStr(std::string_view("a\0\xff", 3), 0);
    tree.mapGet("n").setInt(-9007199254740992, 0);  // -2^53, exact as a double
    DataNode& items = tree.mapGet("items");
    for (int i = 0; i < 100000; ++i) items.asList().append().setInt(i, 0);
    items.asList()[7]->mapGet("deep").asList().append().setStr("x");
    ASSERT_EQ(Push(tree), err::Ok);
    DataNode back;
    ASSERT_EQ(LuaRead(LinkedLuaApi(), L, -1, back), err::Ok);
    EXPECT_TRUE(back.equals(tree));
    EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(LuaTest, DeepestTreesFitInOneMiBOfStack) {
    RunOnStack(1 << 20, [this] {
        DataNode tree, back, tooDeep;
        DataNode* n = &tree;
        for (uint32_t i = 0; i < kMaxDepth; ++i) n = i % 2 ? &n->asList().append() : &n->mapGet("k");
        n->setStr("leaf");
        ASSERT_EQ(Push(tree), err::Ok);
        ASSERT_EQ(LuaRead(LinkedLuaApi(), L, 1, back), err::Ok);
        EXPECT_TRUE(back.equals(tree));
        NestLists(tooDeep, 100000);
        EXPECT_EQ(Push(tooDeep), err::Unsupported);
        EXPECT_EQ(Read("(function() local t = 1 for i = 1, 100000 do t = {t} end return t end)()", back),
                  err::Unsupported);
        EXPECT_EQ(lua_gettop(L), 1);
    });
}

}  // namespace
}  // namespace zk::test
