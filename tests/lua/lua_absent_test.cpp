// libzk_data.so in a host without Lua: it must load, bring no Lua with it,
// and answer the Lua methods with a clean failure instead of calling into a
// Lua that is not there. This program links no Lua.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <string>

#include "tests/support/module_loader.h"
#include "zk_data/zk_data.h"

namespace {

constexpr DWORD kBadArgument = 20100001;

using NoLuaHost = zk::test::ModuleObjectTest<>;

TEST_F(NoLuaHost, TheModuleBringsNoLua) {
    bool luaLoaded = false;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* found) {
            if (std::string(info->dlpi_name).find("liblua") != std::string::npos) *static_cast<bool*>(found) = true;
            return 0;
        },
        &luaLoaded);
    EXPECT_FALSE(luaLoaded);
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "lua_settop"), nullptr);
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
