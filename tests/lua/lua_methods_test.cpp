// PushToLua and ReadFromLua: the object's node through the bridge, with the
// code published as the thread's last error, both in-process and through
// the COM module loaded by a host that has Lua, where the module must find
// the Lua API on its own.
#include "tests/lua/lua_test_support.h"
#include "tests/object/object_test_support.h"
#include "tests/support/module_loader.h"
#include "zk_data/codec/error_codes.h"

namespace zk::test {
namespace {

constexpr DWORD kUntouched = 777;

using LuaMethodsTest = LuaTest;

TEST_F(LuaMethodsTest, PushToLuaPushesTheNodeAndPublishesZero) {
    auto v = NewValue();
    NodeOf(v.get()).mapGet("name").setStr("abc");
    NodeOf(v.get()).mapGet("n").setInt(5, ValueKind::Int32);
    SetLastError(kUntouched);
    ASSERT_EQ(v->PushToLua(L), S_OK);
    EXPECT_EQ(GetLastError(), 0u);
    ASSERT_EQ(lua_gettop(L), 1);
    EXPECT_EQ(ShowLua(L, 1), R"({"n"=5,"name"="abc"})");
}

TEST_F(LuaMethodsTest, PushToLuaPublishesTheBridgeCode) {
    auto v = NewValue();  // None
    lua_pushliteral(L, "below");
    EXPECT_EQ(v->PushToLua(L), E_FAIL);
    EXPECT_EQ(GetLastError(), err::Unsupported);
    EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(LuaMethodsTest, ReadFromLuaFillsTheNodeAndPublishesZero) {
    auto v = NewValue();
    Eval("{10, 20, 'x'}");
    lua_pushliteral(L, "above");
    SetLastError(kUntouched);
    ASSERT_EQ(v->ReadFromLua(L, -2), S_OK);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(ShowNode(NodeOf(v.get())), "[10,20,\"x\"]");
    EXPECT_EQ(lua_gettop(L), 2);
}

TEST_F(LuaMethodsTest, ReadFromLuaPublishesTheBridgeCode) {
    auto v = NewValue();
    const std::pair<const char*, uint32_t> cases[] = {
        {"{[2] = 5}", err::BadListItem},
        {"{[true] = 1}", err::LuaMixedKeys},
        {"true", err::Unsupported},
    };
    for (auto [expr, code] : cases) {
        Eval(expr);
        EXPECT_EQ(v->ReadFromLua(L, 1), E_FAIL) << expr;
        EXPECT_EQ(GetLastError(), code) << expr;
        EXPECT_EQ(lua_gettop(L), 1);
        lua_settop(L, 0);
    }
    EXPECT_EQ(v->ReadFromLua(L, 1), E_FAIL);  // an empty stack has no index 1
    EXPECT_EQ(GetLastError(), err::Unsupported);
}

TEST(LuaMethodsMemory, PushToLuaOutOfLuaMemoryIsOutOfMemory) {
    BudgetedLua lua;
    auto v = NewValue();
    for (int i = 0; i < 100; ++i)
        NodeOf(v.get()).mapGet("key " + std::to_string(i)).setStr("a value of more than 23 bytes");
    lua.limit = lua.used + 1024;
    SetLastError(kUntouched);
    EXPECT_EQ(v->PushToLua(lua.L), E_OUTOFMEMORY);
    EXPECT_EQ(GetLastError(), kUntouched);
    EXPECT_EQ(lua_gettop(lua.L), 0);
}

TEST_F(LuaMethodsTest, NullStateIsRefused) {
    auto v = NewValue();
    SetLastError(kUntouched);
    EXPECT_EQ(v->PushToLua(nullptr), E_INVALIDARG);
    EXPECT_EQ(GetLastError(), err::BadArgument);
    SetLastError(kUntouched);
    EXPECT_EQ(v->ReadFromLua(nullptr, -1), E_INVALIDARG);
    EXPECT_EQ(GetLastError(), err::BadArgument);
}

TEST_F(LuaMethodsTest, HostLuaApiFindsTheProcessLua) {
    const LuaApi* api = HostLuaApi(L);
    ASSERT_NE(api, nullptr);
    DataNode n;
    n.setStr("found");
    ASSERT_EQ(LuaPush(*api, L, n), err::Ok);
    EXPECT_STREQ(lua_tostring(L, -1), "found");
}

// The COM module as a host sees it: only its exports.
using ModuleHost = ModuleObjectTest<LuaTest>;

TEST_F(ModuleHost, ExchangesValuesWithTheHostsLua) {
    Eval("{k = {1, 2, 'three'}}");
    ASSERT_EQ(value_->ReadFromLua(L, 1), S_OK);
    EXPECT_EQ(lastError_(), 0u);
    lua_settop(L, 0);
    ASSERT_EQ(value_->PushToLua(L), S_OK);
    EXPECT_EQ(lastError_(), 0u);
    EXPECT_EQ(ShowLua(L, 1), R"({"k"={1=1,2=2,3="three"}})");
    Eval("{1, x = 2}");
    EXPECT_EQ(value_->ReadFromLua(L, -1), E_FAIL);
    EXPECT_EQ(lastError_(), err::BadListItem);
    EXPECT_EQ(lua_gettop(L), 2);
}

}  // namespace
}  // namespace zk::test
