// A real Lua state per test, and one-line pictures of Lua values and node
// trees so that a test states the whole expected shape at once.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "lua/lua_api.h"
#include "lua/lua_bridge.h"
#include "tests/support/show_tree.h"
#include "tests/support/small_stack.h"

namespace zk::test {

// Numbers as %.17g (a pushed Int is a float, and 5.0 should read 5), strings
// quoted with zero bytes as \0, tables as {key=value,...} sorted by key.
inline std::string ShowLua(lua_State* L, int idx) {
    idx = lua_absindex(L, idx);
    switch (lua_type(L, idx)) {
    case LUA_TNUMBER: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.17g", lua_tonumber(L, idx));
        return buf;
    }
    case LUA_TSTRING: {
        size_t len = 0;
        const char* s = lua_tolstring(L, idx, &len);
        std::string out = "\"";
        for (size_t i = 0; i < len; ++i) out += s[i] ? std::string(1, s[i]) : std::string("\\0");
        return out + "\"";
    }
    case LUA_TTABLE: {
        std::vector<std::pair<std::string, std::string>> entries;
        lua_pushnil(L);
        while (lua_next(L, idx)) {
            entries.emplace_back(ShowLua(L, -2), ShowLua(L, -1));
            lua_settop(L, -2);
        }
        std::sort(entries.begin(), entries.end());
        std::string out = "{";
        for (auto& [k, v] : entries) out += k + "=" + v + ",";
        if (out.size() > 1) out.pop_back();
        return out + "}";
    }
    default: return lua_typename(L, lua_type(L, idx));
    }
}

// Every kind but Unspecified is marked: the bridge gives what it reads no
// kind, so a kind shown is one the node kept.
inline std::string ShowNode(const DataNode& n) { return Show(n, {.str = 0, .num = 0}); }

// A list nested levels deep around an Int, built without recursion.
inline void NestLists(DataNode& root, uint32_t levels) {
    test_support::Descend(root, levels, NodeType::List).setInt(1, 0);
}

// A Lua state of its own whose allocations fail once more than limit bytes
// would be in use, as when the host runs out of memory. The limit starts
// out unbounded; set it after the state is made.
class BudgetedLua {
public:
    BudgetedLua() : L(lua_newstate(Allocate, this)) {
        EXPECT_NE(L, nullptr);
    }
    ~BudgetedLua() { lua_close(L); }
    BudgetedLua(const BudgetedLua&) = delete;
    BudgetedLua& operator=(const BudgetedLua&) = delete;

    size_t used = 0;
    size_t limit = SIZE_MAX;
    lua_State* const L;  // after the counts, which making it uses

private:
    static void* Allocate(void* self, void* p, size_t oldSize, size_t n) {
        auto& b = *static_cast<BudgetedLua*>(self);
        size_t old = p ? oldSize : 0;
        if (n == 0) {
            std::free(p);
            b.used -= old;
            return nullptr;
        }
        if (n > old && b.used - old + n > b.limit) return nullptr;
        void* block = std::realloc(p, n);
        if (block) b.used = b.used - old + n;
        return block;
    }
};

class LuaTest : public ::testing::Test {
protected:
    void SetUp() override {
        L = luaL_newstate();
        luaL_openlibs(L);
    }
    void TearDown() override { lua_close(L); }

    // Leaves the value of a Lua expression on the stack.
    void Eval(const std::string& expr) {
        std::string chunk = "return " + expr;
        ASSERT_EQ(luaL_dostring(L, chunk.c_str()), LUA_OK) << lua_tostring(L, -1);
    }

    uint32_t Push(const DataNode& node) { return LuaPush(LinkedLuaApi(), L, node); }

    // Reads the value of expr into node and checks that the stack comes back
    // as it was.
    uint32_t Read(const std::string& expr, DataNode& node) {
        Eval(expr);
        int top = lua_gettop(L);
        uint32_t code = LuaRead(LinkedLuaApi(), L, -1, node);
        EXPECT_EQ(lua_gettop(L), top) << expr;
        lua_settop(L, top - 1);
        return code;
    }

    // Fills the stack until Lua refuses to grow it, then frees slots until
    // Lua grants exactly room more.
    void FillStackLeaving(int room) {
        while (lua_checkstack(L, 1)) lua_pushboolean(L, 1);
        while (!lua_checkstack(L, room)) lua_settop(L, -2);
        ASSERT_FALSE(lua_checkstack(L, room + 1));
    }

    lua_State* L = nullptr;
};

}  // namespace zk::test
