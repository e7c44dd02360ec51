// The hooks themselves: each kind of allocation fails when the countdown says
// so, exactly once, and only on the allocation it names. A sweep over hooks
// that never fired would pass without testing anything.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "tests/alloc/fault_hooks.h"
#include "zk_data/platform/oleauto.h"
#include "zk_data/text/byte_string.h"
#include "zk_data/value/data_node.h"

namespace zk::alloc {
namespace {

// Runs body with allocation n failing; true when body threw std::bad_alloc.
// Nothing else may allocate while armed, so results are kept in plain values.
template <class Body>
bool Throws(long n, Body body) {
    bool threw = false;
    Arm(n);
    try {
        body();
    } catch (const std::bad_alloc&) {
        threw = true;
    }
    bool failed = Disarm();
    EXPECT_EQ(failed, threw);
    return threw;
}

TEST(FaultHooks, ALibraryStringOfAHundredBytesFails) {
    const std::string text(100, 'x');
    EXPECT_TRUE(Throws(0, [&] { ByteString s(text); }));
    EXPECT_FALSE(Throws(1, [&] { ByteString s(text); }));  // one allocation, and it was granted
}

TEST(FaultHooks, MallocCallocAndReallocFailOnce) {
    Arm(1);
    void* first = std::malloc(8);
    void* second = std::calloc(2, 8);
    void* third = std::realloc(nullptr, 8);
    EXPECT_TRUE(Disarm());
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    std::free(first);
    std::free(third);
}

TEST(FaultHooks, TheLibrarysCallocFails) {
    Arm(0);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 16);
    EXPECT_TRUE(Disarm());
    EXPECT_EQ(array, nullptr);
}

TEST(FaultHooks, OperatorNewFails) {
    EXPECT_TRUE(Throws(0, [] { std::vector<int> v(10); }));
    EXPECT_TRUE(Throws(0, [] { delete new std::string(40, 'y'); }));
    Arm(0);
    int* none = new (std::nothrow) int[4];
    EXPECT_TRUE(Disarm());
    EXPECT_EQ(none, nullptr);
    struct alignas(64) Wide {
        char bytes[64];
    };
    EXPECT_TRUE(Throws(0, [] { delete new Wide; }));
}

TEST(FaultHooks, NodesFail) {
    { NodeRef warm; }  // the pool's first node also makes its depot
    EXPECT_TRUE(Throws(0, [] { NodeRef node; }));
    EXPECT_FALSE(Throws(1, [] { NodeRef node; }));
}

TEST(FaultHooks, LuaKeepsFailingOnceItFailed) {
    lua_State* L = SweepLuaState();
    ASSERT_NE(L, nullptr);
    lua_pushcfunction(L, [](lua_State* S) {
        lua_createtable(S, 100, 0);
        return 1;
    });
    Arm(0);
    int status = lua_pcall(L, 0, 1, 0);
    EXPECT_TRUE(Disarm());
    EXPECT_EQ(status, LUA_ERRMEM);
    lua_settop(L, 0);
    lua_pushcfunction(L, [](lua_State* S) {
        lua_createtable(S, 100, 0);
        return 1;
    });
    EXPECT_EQ(lua_pcall(L, 0, 1, 0), LUA_OK);
    lua_close(L);
}

}  // namespace
}  // namespace zk::alloc
