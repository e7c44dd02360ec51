// The module's script (module_test.lua) inside a state this program owns, with
// the module's code linked in: the same checks as under lua5.4, but reachable
// by sanitized builds, whose module the stock interpreter cannot load.
#include <gtest/gtest.h>

#include <lua.hpp>

extern "C" int luaopen_zk_data(lua_State* L);

namespace {

TEST(LuaModule, ScriptPassesInAnEmbeddedState) {
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    luaL_requiref(L, "zk_data", luaopen_zk_data, 0);
    lua_settop(L, 0);
    EXPECT_EQ(luaL_dofile(L, ZK_MODULE_TEST_SCRIPT), LUA_OK) << lua_tostring(L, -1);
    lua_close(L);
}

}  // namespace
