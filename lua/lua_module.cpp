// The Lua module zk_data, for scripts that want the wire formats directly:
//
//   local zk = require "zk_data"
//   bytes = zk.encode(format, value [, options])
//   value, used = zk.decode(format, bytes [, options])
//
// format is a name (binary, xml, bencode, json, http, ini, dump) or a numeric
// format id; options a table of flag names set to true, plus int_kind and,
// for binary decoding, template; the names, the zkdata tool's spellings
// included, are those of zk_data/codec/format_names.h. Failures return nil,
// an English message and the numeric code, and raise no error. docs/lua.md
// describes it all.
//
// The module links no Lua: the interpreter that loads it supplies the Lua API.
#include <climits>
#include <cstring>
#include <exception>
#include <new>

#include "codec/write_preparation.h"
#include "lua/lua_api.h"
#include "lua/lua_bridge.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/codec/format_names.h"
#include "zk_data/codec/format_switch.h"

namespace zk {
namespace {

struct Options {
    uint32_t flags = 0;
    int32_t intKind = ValueKind::Unspecified;
    bool hasTemplate = false;
};

// The three results of a failure.
int Fail(lua_State* L, uint32_t code, const char* message) {
    lua_pushnil(L);
    lua_pushstring(L, message);
    lua_pushinteger(L, code);
    return 3;
}

int Fail(lua_State* L, uint32_t code) { return Fail(L, code, ErrorMessage(code)); }

// An argument that cannot be used: the message is on top of the stack.
int FailArgument(lua_State* L) {
    lua_pushnil(L);
    lua_insert(L, -2);
    lua_pushinteger(L, err::BadArgument);
    return 3;
}

bool ReadFormat(lua_State* L, int idx, uint8_t& format) {
    lua_Integer id = -1;
    if (lua_type(L, idx) == LUA_TSTRING) {
        if (const NamedFormat* named = FindFormat(lua_tostring(L, idx))) id = named->id;
    } else if (lua_type(L, idx) == LUA_TNUMBER) {
        int isInteger = 0;
        id = lua_tointegerx(L, idx, &isInteger);
        if (!isInteger) id = -1;
    }
    if (id < 0 || id > UINT8_MAX || !FormatId::isValid(static_cast<uint32_t>(id))) {
        lua_pushliteral(L, "unknown format: use binary, xml, bencode, json, http, ini, dump or a format id");
        return false;
    }
    format = static_cast<uint8_t>(id);
    return true;
}

// int_kind's value, at -1: a kind name or a kind number.
bool ReadIntKind(lua_State* L, Options& o) {
    lua_Integer k = 0;
    if (lua_type(L, -1) == LUA_TSTRING) {
        if (const NamedIntKind* kind = FindIntKind(lua_tostring(L, -1))) k = kind->kind;
    } else if (lua_type(L, -1) == LUA_TNUMBER) {
        int isInteger = 0;
        k = lua_tointegerx(L, -1, &isInteger);
        if (!isInteger) k = 0;
    }
    if (k < ValueKind::Int8 || k > ValueKind::UInt64) return false;
    o.intKind = static_cast<int32_t>(k);
    return true;
}

// A key and value pair of the options table, at -2 and -1.
bool ReadOption(lua_State* L, Options& o) {
    if (lua_type(L, -2) != LUA_TSTRING) {
        lua_pushliteral(L, "option names must be strings");
        return false;
    }
    const char* name = lua_tostring(L, -2);
    if (std::strcmp(name, "template") == 0) {
        o.hasTemplate = true;
    } else if (std::strcmp(name, "int_kind") == 0) {
        if (!ReadIntKind(L, o)) {
            lua_pushliteral(L,
                            "int_kind must be int8, uint8, int16, uint16, int32, uint32, int, uint, int64, "
                            "uint64 or a kind 1 to 10");
            return false;
        }
    } else if (const NamedFlag* flag = FindFlag(name)) {
        if (lua_toboolean(L, -1)) o.flags |= flag->bit;
    } else {
        lua_pushfstring(L, "unknown option '%s'", name);
        return false;
    }
    return true;
}

// False with a message on top of the stack when the options cannot be used.
bool ReadOptions(lua_State* L, int idx, Options& o) {
    if (lua_isnoneornil(L, idx)) return true;
    if (lua_type(L, idx) != LUA_TTABLE) {
        lua_pushliteral(L, "options must be a table");
        return false;
    }
    lua_pushnil(L);
    while (lua_next(L, idx)) {
        if (!ReadOption(L, o)) {
            lua_replace(L, -3);  // the message in place of the key
            lua_settop(L, -2);
            return false;
        }
        lua_settop(L, -2);
    }
    return true;
}

// Gives a tree read from Lua what Lua values cannot carry: option bits, on
// every node (each codec reads the bits it defines where it defines them),
// and integer widths. For the binary format a list also takes its first item
// as the prototype the reader grows it with, and a map takes its fields in
// byte-wise order of their keys: Lua tables keep no key order, and a record
// is defined by the order of its fields, so both sides use that one order
// whatever the Lua tables did.
void Prepare(DataNode& node, const Options& o, bool binary) {
    WritePreparation how;
    how.intKind = o.intKind;
    how.setOptions = o.flags;
    how.repeatFirstItems = binary;
    how.sortKeys = binary;
    PrepareForWrite(node, how);
}

// The C++ state of one call lives in a userdata: when the Lua API raises an
// error (out of memory) in the middle of a call, the collector frees it
// instead of the state leaking past the error's long jump.
struct Scratch {
    DataNode node;
    OutputStream out;
};

constexpr const char* kScratchType = "zk_data.scratch";
constexpr int kScratchIndex = 4;  // after the three arguments

Scratch* NewScratch(lua_State* L) {
    auto** slot = static_cast<Scratch**>(lua_newuserdatauv(L, sizeof(Scratch*), 0));
    *slot = nullptr;
    luaL_setmetatable(L, kScratchType);
    *slot = new Scratch();
    return *slot;
}

void FreeScratch(lua_State* L, int idx) {
    auto** slot = static_cast<Scratch**>(lua_touserdata(L, idx));
    delete *slot;
    *slot = nullptr;
}

int CollectScratch(lua_State* L) {
    FreeScratch(L, 1);
    return 0;
}

uint32_t EncodeValue(lua_State* L, Scratch& s, uint8_t format, const Options& o) {
    if (uint32_t code = LuaRead(LinkedLuaApi(), L, 2, s.node)) return code;
    Prepare(s.node, o, format == FormatId::Binary);
    s.node.setFormat(format);
    return writeNode(s.node, s.out);
}

int Encode(lua_State* L) {
    lua_settop(L, 3);
    uint8_t format = 0;
    Options o;
    if (!ReadFormat(L, 1, format) || !ReadOptions(L, 3, o)) return FailArgument(L);
    if (!CodecFor(format).write) return Fail(L, err::BadArgument, "this format cannot be written");
    Scratch* s = NewScratch(L);
    uint32_t code = EncodeValue(L, *s, format, o);
    if (code == err::Ok) lua_pushlstring(L, s->out.data(), s->out.size());
    FreeScratch(L, kScratchIndex);
    return code == err::Ok ? 1 : Fail(L, code);
}

// The binary reader fills a template; every other reader builds the tree
// itself and takes the flags from the root.
uint32_t DecodeBytes(lua_State* L, Scratch& s, uint8_t format, const Options& o, std::string_view bytes,
                     uint32_t& used) {
    if (format == FormatId::Binary) {
        lua_getfield(L, 3, "template");
        uint32_t code = LuaRead(LinkedLuaApi(), L, -1, s.node);
        lua_settop(L, kScratchIndex);
        if (code) return code;
        Prepare(s.node, o, true);
    } else {
        s.node.setOption(o.flags, true);
    }
    s.node.setFormat(format);
    uint32_t size = static_cast<uint32_t>(bytes.size());
    if (uint32_t code = readFromBuffer(s.node, bytes.data(), size)) return code;
    // A reader that stopped at the end of the data used all of it.
    used = size == InputStream::kNoPosition ? static_cast<uint32_t>(bytes.size()) : size;
    return LuaPush(LinkedLuaApi(), L, s.node);
}

int Decode(lua_State* L) {
    lua_settop(L, 3);
    uint8_t format = 0;
    Options o;
    if (!ReadFormat(L, 1, format) || !ReadOptions(L, 3, o)) return FailArgument(L);
    if (!CodecFor(format).read) return Fail(L, err::BadArgument, "this format cannot be read");
    if (lua_type(L, 2) != LUA_TSTRING) return Fail(L, err::BadArgument, "bytes must be a string");
    size_t len = 0;
    const char* data = lua_tolstring(L, 2, &len);
    if (len > UINT32_MAX) return Fail(L, err::BadArgument, "bytes longer than 4 GiB - 1");
    if (format == FormatId::Binary && !o.hasTemplate)
        return Fail(L, err::BadArgument, "binary decoding needs options.template");
    Scratch* s = NewScratch(L);
    uint32_t used = 0;
    uint32_t code = DecodeBytes(L, *s, format, o, std::string_view(data, len), used);
    FreeScratch(L, kScratchIndex);
    if (code) return Fail(L, code);
    lua_pushinteger(L, used);
    return 2;
}

// Turns a C++ exception into the failure results of an out-of-memory code: no
// exception may cross into Lua, which unwinds with long jumps, and the only
// ones the library throws report a failed allocation.
template <lua_CFunction Body>
int ExceptionToLuaFailure(lua_State* L) {
    try {
        return Body(L);
    } catch (const std::exception&) {
    }
    return Fail(L, err::OutOfMemory, "not enough memory");
}

constexpr luaL_Reg kFunctions[] = {
    {"decode", ExceptionToLuaFailure<Decode>}, {"encode", ExceptionToLuaFailure<Encode>}, {nullptr, nullptr}};

}  // namespace
}  // namespace zk

extern "C" int luaopen_zk_data(lua_State* L) {
    luaL_checkversion(L);
    luaL_newmetatable(L, zk::kScratchType);
    lua_pushcfunction(L, zk::CollectScratch);
    lua_setfield(L, -2, "__gc");
    lua_settop(L, -2);
    luaL_newlib(L, zk::kFunctions);
    return 1;
}
