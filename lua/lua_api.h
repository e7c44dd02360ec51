// LuaApi: the Lua 5.4 C API functions the bridge calls, held as a table of
// function pointers.
//
// The bridge runs in two very different homes. The Lua module (require
// "zk_data") is loaded by a Lua interpreter and binds the table to the
// interpreter's own functions at link time (LinkedLuaApi). The COM module
// libzk_data.so must load in hosts that have no Lua at all, so it may not
// depend on a Lua library; it looks the functions up in the running process
// the first time a host hands it a Lua state (HostLuaApi).
#pragma once

#include <lua.hpp>

namespace zk {

struct LuaApi {
    int (*gettop)(lua_State* L);
    void (*settop)(lua_State* L, int idx);
    int (*absindex)(lua_State* L, int idx);
    int (*checkstack)(lua_State* L, int n);
    int (*type)(lua_State* L, int idx);
    lua_Number (*tonumberx)(lua_State* L, int idx, int* isnum);
    lua_Integer (*tointegerx)(lua_State* L, int idx, int* isnum);
    const char* (*tolstring)(lua_State* L, int idx, size_t* len);
    void (*pushnil)(lua_State* L);
    void (*pushnumber)(lua_State* L, lua_Number n);
    const char* (*pushlstring)(lua_State* L, const char* s, size_t len);
    void (*createtable)(lua_State* L, int narr, int nrec);
    void (*settable)(lua_State* L, int idx);
    int (*next)(lua_State* L, int idx);
    lua_Number (*version)(lua_State* L);
    void (*pushcclosure)(lua_State* L, lua_CFunction fn, int n);
    int (*pcallk)(lua_State* L, int nargs, int nresults, int errfunc, lua_KContext ctx, lua_KFunction k);
};

// The Lua this program was linked against, or whose interpreter loaded it.
// Defined in lua_api_linked.cpp, which only programs that link Lua (or are
// loaded by a Lua interpreter) may take.
const LuaApi& LinkedLuaApi() noexcept;

}  // namespace zk
