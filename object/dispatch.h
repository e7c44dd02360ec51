// Late binding for the dual interfaces: one table per interface names every
// method with its DISPID, invoke kind and parameter types, and drives both
// GetIDsOfNames and Invoke. Invoke converts the arguments to the parameter
// types and calls the method through the interface's own method table, so a
// late-bound call runs exactly the code of an early-bound one.
//
// On Windows the platform's type-library machinery does the same from the
// module's embedded type library, object/zk_data.idl; a test holds the
// table and the library to the same names, DISPIDs and invoke kinds.
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

// Arguments Invoke can read: present where counted, no more named than given.
inline bool DispatchParamsWellFormed(const DISPPARAMS* params) {
    return params && (params->rgvarg || !params->cArgs) && params->cNamedArgs <= params->cArgs &&
           (params->rgdispidNamedArgs || !params->cNamedArgs);
}

#ifdef _WIN32

// On Windows the module's own type library serves late binding: one
// ITypeInfo per interface, loaded from the module's file on first use and
// kept until the module is unloaded (type_library.cpp). Borrowed pointers.
HRESULT DispatchTypeInfo(const IDataValue*, ITypeInfo** info) noexcept;
HRESULT DispatchTypeInfo(const IDataBytes*, ITypeInfo** info) noexcept;
// Whether the library marks the method restricted: it takes raw pointers and
// is for early binding only. Valid once DispatchTypeInfo has succeeded.
bool DispatchRestricted(const IDataValue*, DISPID id) noexcept;
bool DispatchRestricted(const IDataBytes*, DISPID id) noexcept;
// VT_EMPTY when parameter `index` of the member (id, invoke kind) is an in
// parameter; for an out parameter, the type it points to. Valid once
// DispatchTypeInfo has succeeded.
VARTYPE DispatchOutType(const IDataValue*, DISPID id, WORD kind, UINT index) noexcept;
VARTYPE DispatchOutType(const IDataBytes*, DISPID id, WORD kind, UINT index) noexcept;
// At module unload.
void ReleaseTypeInformation() noexcept;

// The IDispatch part of one dual interface, answered by its type information
// (the platform's standard dispatch through the interface's method table).
template <class Iface>
class DispatchImpl : public Iface {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo) return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) override {
        if (!ppTInfo) return E_POINTER;
        *ppTInfo = nullptr;
        if (iTInfo != 0) return DISP_E_BADINDEX;
        HRESULT hr = DispatchTypeInfo(self(), ppTInfo);
        if (SUCCEEDED(hr)) (*ppTInfo)->AddRef();
        return hr;
    }
    // The platform's type information writes through what it is given, so
    // null arrays are refused here, with the Linux table's answers.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (!ids) return E_POINTER;
        if (!names || count == 0) return E_INVALIDARG;
        ITypeInfo* info;
        HRESULT hr = DispatchTypeInfo(self(), &info);
        return FAILED(hr) ? hr : info->GetIDsOfNames(names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excepInfo, UINT* argErr) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (!DispatchParamsWellFormed(params)) return E_INVALIDARG;
        ITypeInfo* info;
        if (HRESULT hr = DispatchTypeInfo(self(), &info); FAILED(hr)) return hr;
        if (DispatchRestricted(self(), id)) return DISP_E_MEMBERNOTFOUND;
        // Scripts pass variables by reference (VT_VARIANT|VT_BYREF), and the
        // platform hands such an argument on as it is. As the Linux table
        // does, an in parameter gets the variant the reference points to, and
        // a string out parameter is stored into it.
        References refs;
        DISPPARAMS call = *params;
        if (refs.follow(*this, id, flags, *params)) call.rgvarg = refs.args;
        HRESULT hr = info->Invoke(self(), id, flags, &call, result, excepInfo, argErr);
        refs.storeOuts(*params, SUCCEEDED(hr));
        return hr;
    }

private:
    Iface* self() { return this; }

    // The out type of the parameter that argument i of rgvarg fills: named
    // arguments come first, the positional ones follow, last first.
    VARTYPE outType(DISPID id, WORD flags, const DISPPARAMS& params, UINT i) {
        if (i >= params.cNamedArgs) return DispatchOutType(self(), id, flags, params.cArgs - 1 - i);
        DISPID name = params.rgdispidNamedArgs[i];
        if (name < 0) return VT_EMPTY;  // DISPID_PROPERTYPUT: the value put
        return DispatchOutType(self(), id, flags, static_cast<UINT>(name));
    }

    struct References {
        VARIANTARG args[kMaxDispatchParams];
        BSTR outs[kMaxDispatchParams] = {};
        bool isOut[kMaxDispatchParams] = {};

        // Copies the arguments, replacing each by-reference VARIANT as said
        // above; false when none is replaced (or when there are too many
        // arguments to be a call of ours).
        bool follow(DispatchImpl& self, DISPID id, WORD flags, const DISPPARAMS& params) {
            if (params.cArgs > kMaxDispatchParams) return false;
            bool any = false;
            for (UINT i = 0; i < params.cArgs; ++i) {
                args[i] = params.rgvarg[i];
                const VARIANTARG& arg = params.rgvarg[i];
                if (arg.vt != (VT_VARIANT | VT_BYREF) || !arg.pvarVal) continue;
                VARTYPE out = self.outType(id, flags, params, i);
                if (out == VT_EMPTY) {
                    args[i] = *arg.pvarVal;
                } else if (out == VT_BSTR) {
                    args[i].vt = VT_BSTR | VT_BYREF;
                    args[i].pbstrVal = &outs[i];
                    isOut[i] = true;
                } else {
                    continue;
                }
                any = true;
            }
            return any;
        }

        // Hands the strings the method gave back to the caller's variants.
        void storeOuts(const DISPPARAMS& params, bool succeeded) {
            for (UINT i = 0; i < kMaxDispatchParams; ++i) {
                if (!isOut[i]) continue;
                if (!succeeded) {
                    SysFreeString(outs[i]);
                    continue;
                }
                VARIANT* target = params.rgvarg[i].pvarVal;
                VariantClear(target);
                target->vt = VT_BSTR;
                target->bstrVal = outs[i];
            }
        }
    };
};

#else

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
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override { return DispatchGetTypeInfoCount(pctinfo); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) override {
        return DispatchGetTypeInfo(iTInfo, ppTInfo);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return DispatchGetIDsOfNames(DispatchTableFor(self()), riid, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excepInfo, UINT* argErr) override {
        return DispatchInvoke(DispatchTableFor(self()), self(), id, riid, flags, params, result, excepInfo, argErr);
    }

private:
    Iface* self() { return this; }
};

#endif  // _WIN32

}  // namespace zk
