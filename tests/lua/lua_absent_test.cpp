// The COM module in a host without Lua: it must load, bring no Lua with it,
// and answer the Lua methods with a clean failure instead of calling into a
// Lua that is not there. This program links no Lua.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/module_loader.h"
#include "zk_data/zk_data.h"

namespace {

constexpr DWORD kBadArgument = 20100001;

using NoLuaHost = zk::test::ModuleObjectTest<>;

// Lua's library is liblua5.4.so on Linux, lua54.dll on Windows.
TEST_F(NoLuaHost, TheModuleBringsNoLua) {
    std::vector<std::string> libraries = zk::test::LoadedLibraries();
    EXPECT_GT(libraries.size(), 1u);  // the listing works: the module at least is there
    for (std::string name : libraries) {
        if (name.rfind("lib", 0) == 0) name.erase(0, 3);
        EXPECT_NE(name.rfind("lua", 0), 0u) << name;
    }
    EXPECT_FALSE(zk::test::ProcessExports("lua_settop"));
}

// The state handed in is never touched: there is no Lua to touch it with.
TEST_F(NoLuaHost, LuaMethodsFailCleanly) {
    int notAState = 0;
    auto* L = reinterpret_cast<lua_State*>(&notAState);
    value_->SetInt64(5);
    EXPECT_EQ(value_->PushToLua(L), E_FAIL);
    EXPECT_EQ(lastError_(), kBadArgument);
    EXPECT_EQ(value_->ReadFromLua(L, -1), E_FAIL);
    EXPECT_EQ(lastError_(), kBadArgument);
    EXPECT_EQ(value_->PushToLua(nullptr), E_INVALIDARG);
    EXPECT_EQ(lastError_(), kBadArgument);
    EXPECT_EQ(notAState, 0);
    LONGLONG n = 0;
    EXPECT_EQ(value_->GetInt64(&n), S_OK);  // the node is as it was
    EXPECT_EQ(n, 5);
}

}  // namespace
