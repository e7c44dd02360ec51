#include "object/dispatch_arguments.h"

#include <cmath>
#include <cstdint>

namespace zk {
namespace {

// An integer of either sign over the whole 64-bit range of both signs.
struct Integer {
    bool negative;
    uint64_t magnitude;
};

Integer FromSigned(int64_t v) { return {v < 0, v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v)}; }
Integer FromUnsigned(uint64_t v) { return {false, v}; }

int64_t ToSigned(Integer n) { return n.negative ? static_cast<int64_t>(0 - n.magnitude) : static_cast<int64_t>(n.magnitude); }

// Follows one level of reference. A null reference, or a reference to a
// reference, keeps its VT_BYREF bit and fails every later conversion.
VARIANT Dereference(const VARIANT& arg) {
    if (!(arg.vt & VT_BYREF) || !arg.byref) return arg;
    VARIANT v;
    v.vt = arg.vt & ~VT_BYREF;
    switch (v.vt) {
    case VT_I1: v.cVal = *arg.pcVal; break;
    case VT_UI1: v.bVal = *arg.pbVal; break;
    case VT_I2: v.iVal = *arg.piVal; break;
    case VT_UI2: v.uiVal = *arg.puiVal; break;
    case VT_BOOL: v.boolVal = *arg.pboolVal; break;
    case VT_I4:
    case VT_INT: v.lVal = *arg.plVal; break;
    case VT_UI4:
    case VT_UINT: v.ulVal = *arg.pulVal; break;
    case VT_ERROR: v.scode = *arg.pscode; break;
    case VT_I8: v.llVal = *arg.pllVal; break;
    case VT_UI8: v.ullVal = *arg.pullVal; break;
    case VT_R4: v.fltVal = *arg.pfltVal; break;
    case VT_R8: v.dblVal = *arg.pdblVal; break;
    case VT_BSTR: v.bstrVal = *arg.pbstrVal; break;
    case VT_ARRAY | VT_UI1: v.parray = *arg.pparray; break;
    case VT_VARIANT: v = *arg.pvarVal; break;
    default: return arg;
    }
    return v;
}

HRESULT RoundToInteger(double x, Integer& out) {
    double r = std::nearbyint(x);  // the default rounding mode: half to even
    if (!(std::fabs(r) < 18446744073709551616.0)) return DISP_E_OVERFLOW;
    out = {r < 0, static_cast<uint64_t>(std::fabs(r))};
    return S_OK;
}

HRESULT ToInteger(const VARIANT& v, Integer& out) {
    switch (v.vt) {
    case VT_EMPTY: out = FromUnsigned(0); return S_OK;
    case VT_I1: out = FromSigned(static_cast<signed char>(v.cVal)); return S_OK;
    case VT_UI1: out = FromUnsigned(v.bVal); return S_OK;
    case VT_I2: out = FromSigned(v.iVal); return S_OK;
    case VT_UI2: out = FromUnsigned(v.uiVal); return S_OK;
    case VT_BOOL: out = FromSigned(v.boolVal); return S_OK;
    case VT_I4:
    case VT_INT: out = FromSigned(v.lVal); return S_OK;
    case VT_UI4:
    case VT_UINT: out = FromUnsigned(v.ulVal); return S_OK;
    case VT_I8: out = FromSigned(v.llVal); return S_OK;
    case VT_UI8: out = FromUnsigned(v.ullVal); return S_OK;
    case VT_R4: return RoundToInteger(v.fltVal, out);
    case VT_R8: return RoundToInteger(v.dblVal, out);
    default: return DISP_E_TYPEMISMATCH;
    }
}

bool IsIntegerType(VARTYPE vt) {
    return vt == VT_I1 || vt == VT_UI1 || vt == VT_I2 || vt == VT_UI2 || vt == VT_I4 || vt == VT_UI4 ||
           vt == VT_INT || vt == VT_UINT || vt == VT_I8 || vt == VT_UI8;
}

HRESULT ToIntegerParam(const VARIANT& v, VARTYPE vt, VARIANT& out) {
    Integer n;
    if (HRESULT hr = ToInteger(v, n); FAILED(hr)) return hr;
    uint64_t negativeLimit = vt == VT_I4 ? uint64_t{1} << 31 : vt == VT_I8 ? uint64_t{1} << 63 : 0;
    uint64_t positiveLimit = vt == VT_I4 ? INT32_MAX : vt == VT_I8 ? INT64_MAX : UINT32_MAX;
    if (n.magnitude > (n.negative ? negativeLimit : positiveLimit)) return DISP_E_OVERFLOW;
    out.vt = vt;
    if (vt == VT_I4) out.lVal = static_cast<LONG>(ToSigned(n));
    if (vt == VT_UI4) out.ulVal = static_cast<ULONG>(n.magnitude);
    if (vt == VT_I8) out.llVal = ToSigned(n);
    return S_OK;
}

HRESULT ToBoolParam(const VARIANT& v, VARIANT& out) {
    out.vt = VT_BOOL;
    if (v.vt == VT_BOOL) {
        out.boolVal = v.boolVal;
        return S_OK;
    }
    if (v.vt == VT_R4 || v.vt == VT_R8) {
        out.boolVal = (v.vt == VT_R4 ? v.fltVal != 0 : v.dblVal != 0) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    Integer n;
    if (HRESULT hr = ToInteger(v, n); FAILED(hr)) return hr;
    out.boolVal = n.magnitude ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT DecimalText(Integer n, VARIANT& out) {
    OLECHAR text[24];
    OLECHAR* p = text + 23;
    *p = 0;
    do {
        *--p = static_cast<OLECHAR>(u'0' + n.magnitude % 10);
        n.magnitude /= 10;
    } while (n.magnitude);
    if (n.negative) *--p = u'-';
    out.bstrVal = SysAllocString(p);
    out.vt = VT_BSTR;
    return out.bstrVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT ToStringParam(const VARIANT& v, VARIANT& out, bool& owned) {
    out.vt = VT_BSTR;
    if (v.vt == VT_BSTR || v.vt == VT_EMPTY) {
        out.bstrVal = v.vt == VT_BSTR ? v.bstrVal : nullptr;
        return S_OK;
    }
    if (!IsIntegerType(v.vt)) return DISP_E_TYPEMISMATCH;
    Integer n;
    ToInteger(v, n);
    owned = true;
    return DecimalText(n, out);
}

}  // namespace

HRESULT CoerceArgument(const VARIANT& arg, VARTYPE vt, VARIANT& out, bool& owned) {
    owned = false;
    VARIANT v = Dereference(arg);
    if (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND) return DISP_E_PARAMNOTOPTIONAL;
    switch (vt) {
    case VT_VARIANT:
        // Only a variant by reference is followed: FromVariant sees every
        // other argument exactly as the caller made it.
        out = arg.vt == (VT_VARIANT | VT_BYREF) ? v : arg;
        return S_OK;
    case VT_I4:
    case VT_UI4:
    case VT_I8: return ToIntegerParam(v, vt, out);
    case VT_BOOL: return ToBoolParam(v, out);
    case VT_BSTR: return ToStringParam(v, out, owned);
    case VT_ARRAY | VT_UI1:
        if (v.vt != (VT_ARRAY | VT_UI1)) return DISP_E_TYPEMISMATCH;
        out = v;
        return S_OK;
    default: return DISP_E_TYPEMISMATCH;
    }
}

HRESULT CheckOutArgument(const VARIANT& arg, VARTYPE vt) {
    bool byVariant = arg.vt == (VT_VARIANT | VT_BYREF);
    bool byOwnType = vt != VT_VARIANT && arg.vt == (vt | VT_BYREF);
    return (byVariant || byOwnType) && arg.byref ? S_OK : DISP_E_TYPEMISMATCH;
}

void StoreOutArgument(const VARIANT& arg, VARIANT& value) {
    if (arg.vt == (VT_VARIANT | VT_BYREF)) {
        VariantClear(arg.pvarVal);
        *arg.pvarVal = value;
    } else if (value.vt == VT_BSTR) {
        SysFreeString(*arg.pbstrVal);
        *arg.pbstrVal = value.bstrVal;
    } else if (value.vt == (VT_ARRAY | VT_UI1)) {
        SafeArrayDestroy(*arg.pparray);
        *arg.pparray = value.parray;
    } else if (value.vt == VT_I4) {
        *arg.plVal = value.lVal;
    } else if (value.vt == VT_UI4) {
        *arg.pulVal = value.ulVal;
    } else if (value.vt == VT_I8) {
        *arg.pllVal = value.llVal;
    } else if (value.vt == VT_BOOL) {
        *arg.pboolVal = value.boolVal;
    }
    value.vt = VT_EMPTY;  // moved
}

}  // namespace zk
