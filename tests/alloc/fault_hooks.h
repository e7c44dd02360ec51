// Every allocation a sweep test makes is a point where the countdown of
// value/fault_injection.h may fail it:
//  - malloc, calloc and realloc, wrapped at link time (-Wl,--wrap=...), which
//    catches the library's own arrays, strings, BSTRs and SAFEARRAYs;
//  - the global operator new and new[], replaced in this executable, which
//    catches every standard container;
//  - the node pool, which consults the countdown itself;
//  - Lua, through the allocator of SweepLuaState.
// Expat allocates through its own malloc calls, which no wrapper reaches.
#pragma once

#include <lua.hpp>

namespace zk::alloc {

// A Lua state whose growing allocations consult the countdown. Lua answers
// a failed allocation with an emergency collection and a second try, which
// a single failure would never get past; so once one Lua allocation has
// failed, every later one fails too, until Disarm().
lua_State* SweepLuaState();

// Fails the allocation after n more that succeed (n = 0: the next one).
void Arm(long n) noexcept;
// Stops failing; true when an allocation failed since Arm.
bool Disarm() noexcept;

}  // namespace zk::alloc
