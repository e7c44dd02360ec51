// Late binding for the dual interfaces: one table per interface names every
// method with its DISPID, invoke kind and parameter types, and drives both
// GetIDsOfNames and Invoke. Invoke converts the arguments to the parameter
// types and calls the method through the interface's own method table, so a
// late-bound call runs exactly the code of an early-bound one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "zk_data/zk_data.h"

namespace zk {

inline constexpr size_t kMaxDispatchParams = 4;

// One parameter: the automation type of its value (for an out parameter, the
// type it hands back), and whether it is an out parameter.
struct DispatchParam {
    VARTYPE vt;
    bool out;
};

// Calls the method on self with args[i] holding parameter i: converted
// values for in parameters; out parameters receive what the method handed
// back.
using DispatchThunk = HRESULT (*)(void* self, VARIANT* args);

struct DispatchEntry {
    const char* name;
    DISPID id;
    WORD kind;  // DISPATCH_METHOD, _PROPERTYGET, _PROPERTYPUT or _PROPERTYPUTREF
    uint8_t paramCount;
    DispatchParam params[kMaxDispatchParams];
    DispatchThunk thunk;  // null: a parameter is a raw pointer, early binding only

    // The last parameter, when it is an out parameter, comes back as the
    // result of Invoke instead of as an argument.
    bool hasResult() const { return paramCount && params[paramCount - 1].out; }
    UINT argumentCount() const { return paramCount - (hasResult() ? 1 : 0); }
};

std::span<const DispatchEntry> DispatchTableFor(const IDataValue*) noexcept;
std::span<const DispatchEntry> DispatchTableFor(const IDataBytes*) noexcept;

HRESULT DispatchGetIDsOfNames(std::span<const DispatchEntry> table, REFIID riid, LPOLESTR* names, UINT count,
                              DISPID* ids);
HRESULT DispatchInvoke(std::span<const DispatchEntry> table, void* self, DISPID id, REFIID riid, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr);
HRESULT DispatchGetTypeInfoCount(UINT* count);
HRESULT DispatchGetTypeInfo(UINT index, ITypeInfo** info);

// The IDispatch part of one dual interface, answered from its table.
template <class Iface>
class DispatchImpl : public Iface {
public:
    HRESULT GetTypeInfoCount(UINT* pctinfo) override { return DispatchGetTypeInfoCount(pctinfo); }
    HRESULT GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) override { return DispatchGetTypeInfo(iTInfo, ppTInfo); }
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return DispatchGetIDsOfNames(DispatchTableFor(self()), riid, names, count, ids);
    }
    HRESULT Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excepInfo, UINT* argErr) override {
        return DispatchInvoke(DispatchTableFor(self()), self(), id, riid, flags, params, result, excepInfo, argErr);
    }

private:
    Iface* self() { return this; }
};

}  // namespace zk
