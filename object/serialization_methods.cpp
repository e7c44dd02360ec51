// Serialization methods: the node's format, and the node to and from caller
// buffers and host byte arrays. These are the only methods that publish a
// library error code, so a host reads the cause of a failure as the thread's
// last error.
#include <cstring>

#include "lua/lua_bridge.h"
#include "object/data_object.h"
#include "object/publish_error.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/codec/format_switch.h"

namespace zk {
namespace {

HRESULT Refuse() {
    PublishError(err::BadArgument);
    return E_INVALIDARG;
}

HRESULT Published(uint32_t code) {
    PublishError(code);
    return code == err::Ok ? S_OK : E_FAIL;
}

// The codecs count sizes in uint32_t; the interface's ULONG is unsigned long
// on Windows, so a size crosses through a copy.
template <class Call>
uint32_t WithSize(ULONG& size, Call call) {
    uint32_t n = size;
    uint32_t code = call(n);
    size = n;
    return code;
}

}  // namespace

HRESULT DataObject::get_Format(LONG* format) {
    if (!format) return E_POINTER;
    *format = node_->format();
    return S_OK;
}

HRESULT DataObject::put_Format(LONG format) {
    return node_->setFormat(static_cast<uint8_t>(format & 0xFF)) ? S_OK : E_INVALIDARG;
}

HRESULT DataObject::WriteToBuffer(BYTE* buffer, ULONG* size) {
    // A null buffer is the size query when it claims no room.
    if (!size || (!buffer && *size)) return Refuse();
    return ExceptionToHresult(
        [&] { return Published(WithSize(*size, [&](uint32_t& n) { return writeToBuffer(*node_, buffer, n); })); });
}

HRESULT DataObject::ReadFromBuffer(const BYTE* buffer, ULONG* size) {
    if (!size || (!buffer && *size)) return Refuse();
    return ExceptionToHresult(
        [&] { return Published(WithSize(*size, [&](uint32_t& n) { return readFromBuffer(*node_, buffer, n); })); });
}

// This module links no Lua, so that hosts without Lua can load it: the Lua
// API is looked up in the host's process. A process without Lua 5.4 symbols,
// or a state of another Lua version, is an unusable argument (err::BadArgument).
HRESULT DataObject::PushToLua(lua_State* L) {
    if (!L) return Refuse();
    const LuaApi* lua = HostLuaApi(L);
    if (!lua) return Published(err::BadArgument);
    return ExceptionToHresult([&] { return Published(LuaPush(*lua, L, *node_)); });
}

HRESULT DataObject::ReadFromLua(lua_State* L, LONG index) {
    if (!L) return Refuse();
    const LuaApi* lua = HostLuaApi(L);
    if (!lua) return Published(err::BadArgument);
    return ExceptionToHresult([&] { return Published(LuaRead(*lua, L, static_cast<int>(index), *node_)); });
}

HRESULT DataObject::Save(SAFEARRAY** bytes) {
    if (!bytes) return Refuse();
    return ExceptionToHresult([&] {
        OutputStream out;
        if (uint32_t code = writeNode(*node_, out)) return Published(code);
        *bytes = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(out.size()));
        if (!*bytes) {
            PublishError(err::OutOfMemory);
            return E_OUTOFMEMORY;
        }
        void* data = nullptr;
        SafeArrayAccessData(*bytes, &data);
        if (out.size()) std::memcpy(data, out.data(), out.size());
        SafeArrayUnaccessData(*bytes);
        return S_OK;
    });
}

HRESULT DataObject::Load(const BYTE* bytes, ULONG size, ULONG* consumed) {
    if (!consumed || !bytes || size == 0) return Refuse();
    return ExceptionToHresult([&] {
        *consumed = size;
        uint32_t code = WithSize(*consumed, [&](uint32_t& n) { return readFromBuffer(*node_, bytes, n); });
        return code == err::Ok ? S_OK : Published(code);
    });
}

HRESULT DataObject::LoadArray(SAFEARRAY* bytes, ULONG* consumed) {
    if (!bytes) return Refuse();
    const BYTE* data = bytes->cDims ? static_cast<const BYTE*>(bytes->pvData) : nullptr;
    ULONG count = bytes->cDims ? bytes->rgsabound[bytes->cDims - 1].cElements : 0;
    IDataBytes* self = this;
    return self->Load(data, count, consumed);
}

}  // namespace zk
