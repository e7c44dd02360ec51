#include "lua/lua_bridge.h"

#include <climits>
#include <exception>
#include <new>
#include <utility>

#include "codec/limits.h"
#include "lua/lua_api.h"
#include "zk_data/codec/error_codes.h"

namespace zk {
namespace {

// Slots one open level holds: the table and a key while pushing, the key and
// the value while reading.
constexpr int kSlotsPerLevel = 2;

// The table size hint is an int; a hint that cannot be met only costs
// rehashing later.
int SizeHint(uint32_t n) { return n > INT_MAX ? INT_MAX : static_cast<int>(n); }

uint32_t PushNode(const LuaApi& lua, lua_State* L, const DataNode& node, uint32_t depth);

uint32_t PushList(const LuaApi& lua, lua_State* L, const ListValue& list, uint32_t depth) {
    lua.createtable(L, SizeHint(list.size()), 0);
    for (uint32_t i = 0; i < list.size(); ++i) {
        lua.pushnumber(L, static_cast<lua_Number>(i) + 1);
        if (uint32_t code = PushNode(lua, L, *list[i], depth + 1)) {
            lua.settop(L, -3);  // the key and the table; the item pushed nothing
            return code;
        }
        lua.settable(L, -3);
    }
    return err::Ok;
}

uint32_t PushMap(const LuaApi& lua, lua_State* L, const MapValue& map, uint32_t depth) {
    lua.createtable(L, SizeHint(map.size()), 0);
    for (const MapValue::Entry& e : map) {
        lua.pushlstring(L, e.key.data(), e.key.size());
        if (uint32_t code = PushNode(lua, L, *e.child, depth + 1)) {
            lua.settop(L, -3);
            return code;
        }
        lua.settable(L, -3);
    }
    return err::Ok;
}

uint32_t PushNode(const LuaApi& lua, lua_State* L, const DataNode& node, uint32_t depth) {
    if (!lua.checkstack(L, kSlotsPerLevel)) return err::Unsupported;
    switch (node.type()) {
    case NodeType::Str: lua.pushlstring(L, node.str().data(), node.str().size()); return err::Ok;
    case NodeType::Int: lua.pushnumber(L, static_cast<lua_Number>(node.num())); return err::Ok;
    case NodeType::List: return depth > kMaxDepth ? err::Unsupported : PushList(lua, L, node.list(), depth);
    case NodeType::Map: return depth > kMaxDepth ? err::Unsupported : PushMap(lua, L, node.map(), depth);
    default: return err::Unsupported;
    }
}

// Truncation toward zero, defined for every double: a float-to-integer cast
// of NaN or of a value beyond the 64-bit range is undefined behaviour, so
// NaN gives 0 and such values give the nearest bound.
int64_t TruncateToInt64(double d) {
    if (d != d) return 0;
    if (d >= 9223372036854775808.0) return INT64_MAX;  // 2^63
    if (d < -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(d);
}

// A Lua integer is taken exactly: going through a double would round values
// beyond 2^53. Only floats are truncated.
int64_t NumberAt(const LuaApi& lua, lua_State* L, int idx) {
    int exact = 0;
    lua_Integer n = lua.tointegerx(L, idx, &exact);
    return exact ? static_cast<int64_t>(n) : TruncateToInt64(lua.tonumberx(L, idx, nullptr));
}

// What the keys seen so far made of the table: the first key decides.
struct TableShape {
    bool list = false;
    bool map = false;
    int64_t next = 1;  // the index the next numeric key must have
};

// The child that the key at -2 selects, or null with code set when the key
// does not fit the table's shape.
DataNode* ChildForKey(const LuaApi& lua, lua_State* L, TableShape& shape, DataNode& node, uint32_t& code) {
    switch (lua.type(L, -2)) {
    case LUA_TNUMBER: {
        int64_t k = NumberAt(lua, L, -2);
        if (!shape.list) {
            if (shape.map) {
                code = err::LuaMixedKeys;
                return nullptr;
            }
            shape.list = true;
        }
        if (k != shape.next) {
            code = err::BadListItem;
            return nullptr;
        }
        ++shape.next;
        // The node was cleared before the walk and gains one item per key,
        // so key k is always the next item: appending is growing to k items.
        return &node.asList().append();
    }
    case LUA_TSTRING: {
        if (!shape.list) shape.map = true;
        // Without its length: a key ends at its first zero byte.
        const char* key = lua.tolstring(L, -2, nullptr);
        if (shape.list) {
            code = err::BadListItem;
            return nullptr;
        }
        return node.asMap().getOrInsert(key).get();
    }
    default: code = err::LuaMixedKeys; return nullptr;
    }
}

uint32_t ReadValue(const LuaApi& lua, lua_State* L, int idx, DataNode& node, uint32_t depth);

// idx is absolute, so it still names the table while keys and values sit
// above it.
uint32_t ReadTable(const LuaApi& lua, lua_State* L, int idx, DataNode& node, uint32_t depth) {
    if (depth > kMaxDepth || !lua.checkstack(L, kSlotsPerLevel)) return err::Unsupported;
    TableShape shape;
    lua.pushnil(L);
    while (lua.next(L, idx)) {
        uint32_t code = err::Ok;
        DataNode* child = ChildForKey(lua, L, shape, node, code);
        if (!child) {
            node.clear();
            lua.settop(L, -3);
            return code;
        }
        // A child that fails has cleared the node where it failed; this one
        // keeps the items read before it.
        if ((code = ReadValue(lua, L, lua.gettop(L), *child, depth + 1))) {
            lua.settop(L, -3);
            return code;
        }
        lua.settop(L, -2);
    }
    return err::Ok;
}

uint32_t ReadValue(const LuaApi& lua, lua_State* L, int idx, DataNode& node, uint32_t depth) {
    node.clear();
    switch (lua.type(L, idx)) {
    case LUA_TNUMBER: node.asInt() = NumberAt(lua, L, idx); return err::Ok;
    case LUA_TSTRING: {
        size_t len = 0;
        const char* s = lua.tolstring(L, idx, &len);
        node.asStr().assign(s, len);
        return err::Ok;
    }
    case LUA_TTABLE: return ReadTable(lua, L, idx, node, depth);
    default: return err::Unsupported;
    }
}

// Lua's own checks on indices are off in release builds, so an index outside
// the stack would read beyond it. Pseudo-indices (registry, upvalues) are
// checked by Lua itself.
bool IsUsableIndex(const LuaApi& lua, lua_State* L, int idx) {
    if (idx <= LUA_REGISTRYINDEX) return true;
    int top = lua.gettop(L);
    return idx > 0 ? idx <= top : idx != 0 && -idx <= top;
}

// One push, run by RunPush inside a protected call.
struct PushJob {
    const LuaApi* lua;
    const DataNode* node;
    uint32_t code;
};

// The push the protected call is for. A finalizer that Lua runs on the way
// in may push a node of its own, which sets and restores this around its
// call, so each RunPush finds its own job.
thread_local PushJob* tPushJob = nullptr;

// The pushes may raise a Lua memory error, which unwinds with a long jump
// to the protected call; the frames it crosses hold nothing to destroy.
// Nothing here throws.
int RunPush(lua_State* L) noexcept {
    PushJob& job = *tPushJob;
    job.code = PushNode(*job.lua, L, *job.node, 1);
    return job.code == err::Ok ? 1 : 0;
}

// Puts a value read aside into node, keeping what a read keeps of node: its
// format and options (result carries them already), the kind of an Int or
// Str that stays one, and a list's prototype. Allocates before it changes
// node, if at all.
void TakeRead(DataNode& result, DataNode& node) {
    switch (result.type()) {
    case NodeType::None: node.clear(); return;  // an empty table, or nothing read
    case NodeType::Int:
        if (node.isInt()) node.asInt() = result.num();
        else node.setInt(result.num(), ValueKind::Unspecified);
        return;
    case NodeType::Str:
        if (node.isStr()) {
            node.asStr().swap(result.asStr());
            return;
        }
        break;
    case NodeType::List:
        if (node.isList()) node.list().prototype().share(result.list().prototype());
        break;
    default: break;
    }
    node.moveFrom(result);
}

}  // namespace

// A Lua error must neither reach a host that made no protected call (Lua
// would abort it) nor cross the object interface, so the push runs in a
// protected call of its own.
uint32_t LuaPush(const LuaApi& lua, lua_State* L, const DataNode& node) {
    if (!lua.checkstack(L, 1)) return err::Unsupported;
    int top = lua.gettop(L);
    PushJob job{&lua, &node, err::Ok};
    PushJob* outer = std::exchange(tPushJob, &job);
    lua.pushcclosure(L, RunPush, 0);
    int status = lua.pcallk(L, 0, LUA_MULTRET, 0, 0, nullptr);
    tPushJob = outer;
    if (status == LUA_OK) return job.code;  // one value pushed, or none
    lua.settop(L, top);  // the error object
    if (status == LUA_ERRMEM) throw std::bad_alloc();
    return err::Unsupported;  // no room for the call on Lua's stacks
}

// The value is read into a node of its own and takes the place of node's
// only at the end, so a failed allocation leaves node as it was.
uint32_t LuaRead(const LuaApi& lua, lua_State* L, int idx, DataNode& node) {
    if (!IsUsableIndex(lua, L, idx)) {
        node.clear();
        return err::Unsupported;
    }
    DataNode result;
    result.setFormat(node.format());
    result.setOption(node.options(), true);
    int top = lua.gettop(L);
    uint32_t code;
    try {
        code = ReadValue(lua, L, lua.absindex(L, idx), result, 1);
    } catch (const std::exception&) {
        lua.settop(L, top);  // the walk's keys and values
        throw;
    }
    TakeRead(result, node);
    return code;
}

}  // namespace zk
