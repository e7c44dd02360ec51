// The Lua API of the host process, for the COM module: the module links no
// Lua so that hosts without Lua can load it, and a host that hands it a Lua
// state necessarily has Lua in its process already.
//
// On Linux the names are looked up in the process's global scope. On Windows,
// where every module keeps its own exports, the API comes from the first
// loaded module that exports lua_newuserdatauv (lua54.dll, or a host program
// that exports Lua itself), and every function from that one module.
#ifdef _WIN32
#include <windows.h>
#include <psapi.h>

#include <new>
#include <vector>
#else
#include <dlfcn.h>
#endif

#include "lua/lua_api.h"
#include "lua/lua_bridge.h"

namespace zk {
namespace {

#ifdef _WIN32
HMODULE LuaModule() noexcept try {
    std::vector<HMODULE> modules(64);
    DWORD needed = 0;
    for (;;) {
        DWORD bytes = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
        if (!K32EnumProcessModules(GetCurrentProcess(), modules.data(), bytes, &needed)) return nullptr;
        if (needed <= bytes) break;
        modules.resize(needed / sizeof(HMODULE));
    }
    modules.resize(needed / sizeof(HMODULE));
    for (HMODULE module : modules)
        if (GetProcAddress(module, "lua_newuserdatauv")) return module;
    return nullptr;
} catch (const std::bad_alloc&) {
    return nullptr;
}

// GetProcAddress sets the thread's last error when a name is missing; the
// lookup must not change what a method publishes there.
void* Symbol(const char* name) {
    DWORD lastError = GetLastError();
    static const HMODULE module = LuaModule();
    void* found = module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
    SetLastError(lastError);
    return found;
}
#else
void* Symbol(const char* name) { return dlsym(RTLD_DEFAULT, name); }
#endif

template <class F>
bool Find(const char* name, F& fn) {
    fn = reinterpret_cast<F>(Symbol(name));
    return fn != nullptr;
}

// Older Lua versions export most of these names too, with other layouts
// behind them; lua_newuserdatauv exists only from 5.4 on, and lua_version
// then tells 5.4 from later releases.
bool Resolve(LuaApi& api) {
    return Find("lua_gettop", api.gettop) && Find("lua_settop", api.settop) && Find("lua_absindex", api.absindex) &&
           Find("lua_checkstack", api.checkstack) && Find("lua_type", api.type) &&
           Find("lua_tonumberx", api.tonumberx) && Find("lua_tointegerx", api.tointegerx) &&
           Find("lua_tolstring", api.tolstring) && Find("lua_pushnil", api.pushnil) &&
           Find("lua_pushnumber", api.pushnumber) && Find("lua_pushlstring", api.pushlstring) &&
           Find("lua_createtable", api.createtable) && Find("lua_settable", api.settable) &&
           Find("lua_next", api.next) && Find("lua_version", api.version) &&
           Find("lua_pushcclosure", api.pushcclosure) && Find("lua_pcallk", api.pcallk) &&
           Symbol("lua_newuserdatauv") != nullptr;
}

}  // namespace

// Resolved once: a process whose Lua is not visible by the first call (linked
// statically without exported symbols, or loaded privately) stays so.
const LuaApi* HostLuaApi(lua_State* L) noexcept {
    static LuaApi api;
    static const bool found = Resolve(api);
    if (!found || api.version(L) != LUA_VERSION_NUM) return nullptr;
    return &api;
}

}  // namespace zk
