// VariantInit and VariantClear: a variant owns the string, array or interface
// it holds by value; a by-reference variant owns nothing.
#include "zk_data/platform/com_interfaces.h"
#include "zk_data/platform/oleauto.h"

namespace {

// The types a VARIANT may carry by value, as the platform accepts them.
bool IsValueType(VARTYPE base) {
    if (base == 15 || base == VT_VARIANT) return false;  // 15 is unassigned
    return base <= VT_DECIMAL || (base >= VT_I1 && base <= VT_UINT) || base == VT_RECORD;
}

bool IsValidType(VARTYPE vt) {
    if (vt & (VT_VECTOR | VT_RESERVED)) return false;
    VARTYPE base = vt & VT_TYPEMASK;
    if (vt & (VT_BYREF | VT_ARRAY)) return base > VT_NULL && (base == VT_VARIANT || IsValueType(base));
    return IsValueType(base);
}

}  // namespace

extern "C" void VariantInit(VARIANTARG* pvarg) {
    if (pvarg) pvarg->vt = VT_EMPTY;
}

extern "C" HRESULT VariantClear(VARIANTARG* pvarg) {
    if (!pvarg) return E_INVALIDARG;
    if (!IsValidType(pvarg->vt)) return DISP_E_BADVARTYPE;
    if (pvarg->vt & VT_ARRAY && !(pvarg->vt & VT_BYREF)) {
        if (HRESULT hr = SafeArrayDestroy(pvarg->parray); FAILED(hr)) return hr;
    } else if (pvarg->vt == VT_BSTR) {
        SysFreeString(pvarg->bstrVal);
    } else if (pvarg->vt == VT_UNKNOWN || pvarg->vt == VT_DISPATCH) {
        if (pvarg->punkVal) pvarg->punkVal->Release();
    }
    // VT_RECORD values are left alone: this layer has no record interface.
    pvarg->vt = VT_EMPTY;
    return S_OK;
}
