// The Lua bridge, the object's Lua methods and the Lua module under
// allocation failure, Lua's own allocations included. Nothing here runs in a
// protected call of the test's: a Lua error that escaped the library would
// reach the state's panic function and end the process.
#include <memory>
#include <string>

#include "tests/alloc/documents.h"
#include "tests/alloc/fault_hooks.h"
#include "tests/alloc/sweep.h"
#include "tests/lua/lua_test_support.h"
#include "tests/object/object_test_support.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/codec/format_switch.h"

extern "C" int luaopen_zk_data(lua_State* L);

namespace zk::alloc {
namespace {

using test::NodeOf;
using test::Ref;
using test::ShowLua;

using MakeTree = void (*)(DataNode&);

// A Lua state per run, and the node the operation reads or pushes.
struct LuaFixture {
    lua_State* L = nullptr;
    std::unique_ptr<DataNode> node;
    int top = 0;

    void open(MakeTree make) {
        L = SweepLuaState();
        ASSERT_NE(L, nullptr);
        node = std::make_unique<DataNode>();
        make(*node);
    }
    void close() {
        lua_close(L);
        L = nullptr;
        node.reset();
    }
};

// The Lua value of a tree, pushed while nothing fails.
void PushDocument(lua_State* L, MakeTree make) {
    DataNode tree;
    make(tree);
    ASSERT_EQ(LuaPush(LinkedLuaApi(), L, tree), err::Ok);
}

std::string ShownDocument(MakeTree make) {
    lua_State* L = luaL_newstate();
    PushDocument(L, make);
    std::string shown = ShowLua(L, -1);
    lua_close(L);
    return shown;
}

void None(DataNode&) {}

// A push either adds exactly one value or leaves the stack as it was.
TEST(LuaSweep, BridgePush) {
    LuaFixture f;
    const std::string expected = ShownDocument(Document);
    Sweep({
        .build = [&] { f.open(Document); },
        .tree = [&]() -> DataNode& { return *f.node; },
        .run = [&] {
            int top = lua_gettop(f.L);
            try {
                EXPECT_EQ(LuaPush(LinkedLuaApi(), f.L, *f.node), err::Ok);
            } catch (const std::bad_alloc&) {
                EXPECT_EQ(lua_gettop(f.L), top);
                throw;
            }
            EXPECT_EQ(lua_gettop(f.L), top + 1);
            return true;
        },
        .destroy = [&] { f.close(); },
        .checkCompleted = [&] { EXPECT_EQ(ShowLua(f.L, -1), expected); },
    });
}

// Reads use one state and one table for all runs: lua_next visits a table's
// keys in an order that depends on the state's hash seed, and the order a
// map is read in is part of what the read must give. A read makes no Lua
// allocation that could leak.
TEST(LuaSweep, BridgeReadKeepsTheOldTreeOrReadsTheNew) {
    LuaFixture f;
    f.open(None);
    PushDocument(f.L, Document);
    Sweep({
        .build = [&] {
            f.node = std::make_unique<DataNode>();
            EightKeys(*f.node);
        },
        .tree = [&]() -> DataNode& { return *f.node; },
        .run = [&] {
            int top = lua_gettop(f.L);
            try {
                EXPECT_EQ(LuaRead(LinkedLuaApi(), f.L, -1, *f.node), err::Ok);
            } catch (const std::bad_alloc&) {
                EXPECT_EQ(lua_gettop(f.L), top);
                throw;
            }
            EXPECT_EQ(lua_gettop(f.L), top);
            return true;
        },
        .destroy = [&] { f.node.reset(); },
    });
    f.close();
}

// A read into a list keeps the list's prototype.
TEST(LuaSweep, BridgeReadIntoACopiedList) {
    LuaFixture f;
    f.open(None);
    lua_createtable(f.L, 0, 0);
    for (int i = 1; i <= 12; ++i) {
        lua_pushstring(f.L, "an element string longer than 23 bytes");
        lua_rawseti(f.L, -2, i);
    }
    Sweep({
        .build = [&] {
            DataNode source;
            Document(source);
            f.node = std::make_unique<DataNode>(**source.map().find("items"));
        },
        .tree = [&]() -> DataNode& { return *f.node; },
        .run = [&] { return LuaRead(LinkedLuaApi(), f.L, -1, *f.node) == err::Ok; },
        .destroy = [&] { f.node.reset(); },
    });
    f.close();
}

// The object methods, with the state found the way the COM module finds it.
struct ObjectFixture {
    LuaFixture lua;
    Ref<IDataValue> object;

    void open(MakeTree make) {
        lua.open(None);
        auto* o = new DataObject();
        o->QueryInterface(IID_IDataValue, object.outVoid());
        make(NodeOf(object.get()));
    }
    void close() {
        object.reset();
        lua.close();
    }
    DataNode& node() { return NodeOf(object.get()); }
};

bool Completed(HRESULT hr) {
    if (FAILED(hr)) {
        EXPECT_EQ(hr, E_OUTOFMEMORY);
    }
    return SUCCEEDED(hr);
}

TEST(LuaSweep, PushToLua) {
    ObjectFixture f;
    const std::string expected = ShownDocument(Document);
    Sweep({
        .build = [&] { f.open(Document); },
        .tree = [&]() -> DataNode& { return f.node(); },
        .run = [&] {
            int top = lua_gettop(f.lua.L);
            HRESULT hr = f.object->PushToLua(f.lua.L);
            EXPECT_EQ(lua_gettop(f.lua.L), SUCCEEDED(hr) ? top + 1 : top);
            return Completed(hr);
        },
        .destroy = [&] { f.close(); },
        .checkCompleted = [&] { EXPECT_EQ(ShowLua(f.lua.L, -1), expected); },
    });
}

TEST(LuaSweep, ReadFromLuaKeepsTheOldTreeOrReadsTheNew) {
    LuaFixture lua;
    lua.open(None);
    PushDocument(lua.L, Document);
    Ref<IDataValue> object;
    Sweep({
        .build = [&] {
            auto* o = new DataObject();
            o->QueryInterface(IID_IDataValue, object.outVoid());
            EightKeys(NodeOf(object.get()));
        },
        .tree = [&]() -> DataNode& { return NodeOf(object.get()); },
        .run = [&] {
            int top = lua_gettop(lua.L);
            HRESULT hr = object->ReadFromLua(lua.L, -1);
            EXPECT_EQ(lua_gettop(lua.L), top);
            return Completed(hr);
        },
        .destroy = [&] { object.reset(); },
    });
    lua.close();
}

// --- the module ----------------------------------------------------------------

// zk.<function>(args) run the way the interpreter runs it, in a protected
// call: it completes with a first result other than nil, or reports a
// failure, either as nil, a message and a code or as a Lua memory error.
// The code is 20100009, or 25000005 from a writer whose output could not
// grow.
struct ModuleCall {
    const char* function;
    std::function<void(lua_State*)> pushArguments;  // three of them
    // JSON text follows the order in which lua_next visits the table, which
    // is another in each state: only its length is the same.
    bool orderFree = false;
};

std::string Result(lua_State* L, int idx, bool orderFree) {
    if (!orderFree) return ShowLua(L, idx);
    size_t len = 0;
    lua_tolstring(L, idx, &len);
    return std::to_string(len) + " bytes";
}

void SweepModule(const ModuleCall& call) {
    LuaFixture f;
    DataNode none;
    std::string expected;
    Sweep({
        .build = [&] {
            f.open(None);
            luaL_requiref(f.L, "zk_data", luaopen_zk_data, 0);
            lua_getfield(f.L, -1, call.function);
            call.pushArguments(f.L);
            f.top = lua_gettop(f.L) - 4;
        },
        .tree = [&]() -> DataNode& { return none; },
        .run = [&] {
            int status = lua_pcall(f.L, 3, LUA_MULTRET, 0);
            if (status == LUA_ERRMEM) return false;
            EXPECT_EQ(status, LUA_OK) << lua_tostring(f.L, -1);
            if (status == LUA_OK && lua_isnil(f.L, f.top + 1)) {
                lua_Integer code = lua_tointeger(f.L, f.top + 3);
                EXPECT_TRUE(code == err::OutOfMemory || code == err::StreamFailure) << code;
                return false;
            }
            return status == LUA_OK;
        },
        .destroy = [&] {
            if (expected.empty()) expected = Result(f.L, f.top + 1, call.orderFree);  // the run with nothing failing
            f.close();
        },
        .checkCompleted = [&] {
            if (!expected.empty()) {
                EXPECT_EQ(Result(f.L, f.top + 1, call.orderFree), expected);
            }
        },
    });
}

TEST(LuaSweep, ModuleEncodeJson) {
    SweepModule({"encode",
                 [](lua_State* L) {
                     lua_pushliteral(L, "json");
                     PushDocument(L, Document);
                     lua_pushnil(L);
                 },
                 true});
}

TEST(LuaSweep, ModuleEncodeBinary) {
    SweepModule({"encode", [](lua_State* L) {
                     lua_pushliteral(L, "binary");
                     PushDocument(L, Document);
                     lua_createtable(L, 0, 1);
                     lua_pushliteral(L, "int32");
                     lua_setfield(L, -2, "int_kind");
                 }});
}

TEST(LuaSweep, ModuleDecodeJson) {
    DataNode tree;
    Document(tree);
    tree.setFormat(FormatId::Json);
    OutputStream out;
    ASSERT_EQ(writeNode(tree, out), 0u);
    const std::string json(out.view());
    SweepModule({"decode", [&](lua_State* L) {
                     lua_pushliteral(L, "json");
                     lua_pushlstring(L, json.data(), json.size());
                     lua_pushnil(L);
                 }});
}

// The record of Document, as zk.encode("binary", ..., {int_kind = "int32"})
// makes it.
std::string BinaryRecord() {
    lua_State* L = luaL_newstate();
    luaL_requiref(L, "zk_data", luaopen_zk_data, 0);
    lua_getfield(L, -1, "encode");
    lua_pushliteral(L, "binary");
    PushDocument(L, OtherDocument);
    lua_createtable(L, 0, 1);
    lua_pushliteral(L, "int32");
    lua_setfield(L, -2, "int_kind");
    EXPECT_EQ(lua_pcall(L, 3, 1, 0), LUA_OK);
    size_t len = 0;
    const char* bytes = lua_tolstring(L, -1, &len);
    std::string record = bytes ? std::string(bytes, len) : std::string();
    lua_close(L);
    return record;
}

TEST(LuaSweep, ModuleDecodeBinaryIntoATemplate) {
    const std::string record = BinaryRecord();
    ASSERT_FALSE(record.empty());
    SweepModule({"decode", [&](lua_State* L) {
                     lua_pushliteral(L, "binary");
                     lua_pushlstring(L, record.data(), record.size());
                     lua_createtable(L, 0, 2);
                     lua_pushliteral(L, "int32");
                     lua_setfield(L, -2, "int_kind");
                     PushDocument(L, Document);
                     lua_setfield(L, -2, "template");
                 }});
}

}  // namespace
}  // namespace zk::alloc
