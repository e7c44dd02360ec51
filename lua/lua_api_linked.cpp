// The Lua API bound at link time. In the Lua module these references stay
// undefined until the interpreter that loads the module supplies them, so the
// module carries no copy of Lua of its own.
#include "lua/lua_api.h"

namespace zk {

const LuaApi& LinkedLuaApi() noexcept {
    static const LuaApi api{lua_gettop,      lua_settop,      lua_absindex,  lua_checkstack, lua_type,
                            lua_tonumberx,   lua_tointegerx,  lua_tolstring, lua_pushnil,    lua_pushnumber,
                            lua_pushlstring, lua_createtable, lua_settable,  lua_next,       lua_version,
                            lua_pushcclosure, lua_pcallk};
    return api;
}

}  // namespace zk
