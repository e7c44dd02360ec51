// The Lua bridge: a node tree to and from a value on the stack of a Lua state
// that the host owns.
//
//   Str  <-> string (same bytes, zeros included)
//   Int  <-> number (pushed as a double; read exactly when a Lua integer,
//                    else truncated toward zero)
//   List <-> table with keys 1, 2, ..., n
//   Map  <-> table with string keys
//   None  -> not convertible
//
// Both calls leave the Lua stack as they found it, except for the one value
// a successful LuaPush adds. They never create or close a state and raise no
// Lua error. Running out of memory, Lua's or the library's, throws
// std::bad_alloc once the stack is restored, and leaves a node being read
// into as it was: LuaPush runs its pushes inside a protected call, so a Lua
// memory error comes back to it instead of unwinding through the host, and
// LuaRead reads into a node of its own first (it makes no Lua allocation).
//
// Depth: a container is refused with err::Unsupported when it would be the
// (kMaxDepth + 1)-th level, the root being level 1, as in every codec; so is
// any level for which Lua refuses the stack room it needs (two slots). Deep
// input therefore fails cleanly and the recursion stays bounded.
//
// The calls take the Lua API as a table (lua/lua_api.h) so that they run
// both inside a Lua module and inside a module that must load without Lua.
#pragma once

#include <cstdint>

#include "zk_data/value/data_node.h"

struct lua_State;

namespace zk {

struct LuaApi;

// Pushes exactly one value for node and returns 0, or returns a code and
// pushes nothing: err::Unsupported for a None node anywhere in the tree, a
// tree too deep or no room on Lua's stacks.
uint32_t LuaPush(const LuaApi& lua, lua_State* L, const DataNode& node);

// Reads the value at idx (any valid stack index or pseudo-index) into node.
// On failure the node where the failure was met is cleared and the nodes
// above it keep what was read before it. Codes: err::Unsupported for a value
// that is not a number, string or table (an invalid idx included) or a table
// too deep; err::BadListItem and err::LuaMixedKeys for keys that do not make
// a list or a map.
uint32_t LuaRead(const LuaApi& lua, lua_State* L, int idx, DataNode& node);

// The Lua 5.4 API of the running process, found by symbol name on first use,
// for a module that links no Lua. Null when the process has no Lua 5.4
// symbols in its global scope, or when L belongs to another Lua version.
const LuaApi* HostLuaApi(lua_State* L) noexcept;

}  // namespace zk
