// GetIDsOfNames and Invoke over a dispatch table, with the platform's
// conventions: arguments in reverse order in rgvarg, the value of a property
// put as the named argument DISPID_PROPERTYPUT, the last out parameter
// returned as the result, and a failing method reported as DISP_E_EXCEPTION
// with its status in the EXCEPINFO.
#include <cstring>
#include <utility>

#include "object/dispatch.h"
#include "object/dispatch_arguments.h"

namespace zk {
namespace {

char AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char>(c - u'A' + 'a') : static_cast<char>(c); }

// Names compare without regard to case, as the platform compares them.
bool NameMatches(const char* name, const OLECHAR* candidate) {
    for (; *name; ++name, ++candidate) {
        if (*candidate == 0 || *candidate > 0x7F || AsciiLower(*candidate) != AsciiLower(static_cast<char16_t>(*name)))
            return false;
    }
    return *candidate == 0;
}

DISPID FindName(std::span<const DispatchEntry> table, const OLECHAR* name) {
    if (name)
        for (const DispatchEntry& entry : table)
            if (NameMatches(entry.name, name)) return entry.id;
    return DISPID_UNKNOWN;
}

const DispatchEntry* FindEntry(std::span<const DispatchEntry> table, DISPID id, WORD flags) {
    for (const DispatchEntry& entry : table)
        if (entry.id == id && (entry.kind & flags)) return &entry;
    return nullptr;
}

bool IsPut(const DispatchEntry& entry) { return entry.kind & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF); }

// A put takes its value as the one named argument DISPID_PROPERTYPUT; no
// other named argument is known, as parameter names are not published.
HRESULT CheckNamedArguments(const DispatchEntry& entry, const DISPPARAMS& params) {
    if (IsPut(entry) && (params.cNamedArgs == 0 || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
        return DISP_E_PARAMNOTFOUND;
    if (params.cNamedArgs > (IsPut(entry) ? 1u : 0u)) return DISP_E_NONAMEDARGS;
    return S_OK;
}

// The arguments of one call. What conversions made and what the method
// handed back but nobody received is freed when the frame goes.
struct CallFrame {
    VARIANT args[kMaxDispatchParams];
    bool owned[kMaxDispatchParams] = {};

    CallFrame() {
        for (VARIANT& arg : args) arg.vt = VT_EMPTY;
    }
    ~CallFrame() {
        for (size_t i = 0; i < kMaxDispatchParams; ++i)
            if (owned[i]) VariantClear(&args[i]);
    }
    CallFrame(const CallFrame&) = delete;
    CallFrame& operator=(const CallFrame&) = delete;
};

}  // namespace

HRESULT DispatchGetIDsOfNames(std::span<const DispatchEntry> table, REFIID riid, LPOLESTR* names, UINT count,
                              DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!ids) return E_POINTER;
    if (!names || count == 0) return E_INVALIDARG;
    ids[0] = FindName(table, names[0]);
    HRESULT hr = ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    for (UINT i = 1; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;  // parameter names
        hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT DispatchInvoke(std::span<const DispatchEntry> table, void* self, DISPID id, REFIID riid, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!DispatchParamsWellFormed(params)) return E_INVALIDARG;
    const DispatchEntry* entry = FindEntry(table, id, flags);
    if (!entry || !entry->thunk) return DISP_E_MEMBERNOTFOUND;
    if (HRESULT hr = CheckNamedArguments(*entry, *params); FAILED(hr)) return hr;
    UINT count = entry->argumentCount();
    if (params->cArgs != count) return DISP_E_BADPARAMCOUNT;

    CallFrame frame;
    for (UINT i = 0; i < count; ++i) {
        UINT position = count - 1 - i;  // arguments come last first
        const VARIANT& arg = params->rgvarg[position];
        const DispatchParam& param = entry->params[i];
        HRESULT hr = param.out ? CheckOutArgument(arg, param.vt) : CoerceArgument(arg, param.vt, frame.args[i], frame.owned[i]);
        if (FAILED(hr)) {
            if (argErr) *argErr = position;
            return hr;
        }
    }

    HRESULT hr = entry->thunk(self, frame.args);
    for (UINT i = 0; i < entry->paramCount; ++i)
        if (entry->params[i].out) frame.owned[i] = true;
    if (FAILED(hr)) {
        if (excepInfo) {
            std::memset(excepInfo, 0, sizeof *excepInfo);
            excepInfo->scode = hr;
        }
        return DISP_E_EXCEPTION;
    }
    for (UINT i = 0; i < count; ++i)
        if (entry->params[i].out) StoreOutArgument(params->rgvarg[count - 1 - i], frame.args[i]);
    if (result) {
        result->vt = VT_EMPTY;
        if (entry->hasResult()) std::swap(*result, frame.args[entry->paramCount - 1]);
    }
    return hr;
}

// This layer reads no type libraries, so there is no type information to
// hand out: the count is 0, as the platform answers for an object without
// it, and names and calls are served from the dispatch tables instead.
HRESULT DispatchGetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT DispatchGetTypeInfo(UINT, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    return DISP_E_BADINDEX;
}

}  // namespace zk
