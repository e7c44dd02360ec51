// SAFEARRAY vectors. A vector is one allocation: a 16-byte hidden header (the
// element type or interface id, which the platform keeps just in front of the
// descriptor), the descriptor, then the elements.
#include <cstdlib>
#include <cstring>

#include "zk_data/platform/com_interfaces.h"
#include "zk_data/platform/oleauto.h"

namespace {

constexpr size_t kHiddenHeader = 16;

ULONG ElementSize(VARTYPE vt) {
    switch (vt) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR: return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE: return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH: return sizeof(void*);
    case VT_VARIANT: return sizeof(VARIANT);
    case VT_DECIMAL: return sizeof(DECIMAL);
    default: return 0;
    }
}

// Records the element type the way the platform does, so that a reader of the
// hidden header finds what it expects.
USHORT RecordElementType(SAFEARRAY* psa, VARTYPE vt) {
    char* base = reinterpret_cast<char*>(psa);
    if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
        const IID& iid = vt == VT_UNKNOWN ? IID_IUnknown : IID_IDispatch;
        std::memcpy(base - sizeof(IID), &iid, sizeof(IID));
        return FADF_HAVEIID | (vt == VT_UNKNOWN ? FADF_UNKNOWN : FADF_DISPATCH);
    }
    DWORD type = vt;
    std::memcpy(base - sizeof(DWORD), &type, sizeof(DWORD));
    if (vt == VT_BSTR) return FADF_HAVEVARTYPE | FADF_BSTR;
    if (vt == VT_VARIANT) return FADF_HAVEVARTYPE | FADF_VARIANT;
    return FADF_HAVEVARTYPE;
}

size_t ElementCount(const SAFEARRAY* psa) {
    size_t n = psa->cDims ? 1 : 0;
    for (USHORT d = 0; d < psa->cDims; ++d) n *= psa->rgsabound[d].cElements;
    return n;
}

void ReleaseElements(SAFEARRAY* psa) {
    if (!psa->pvData) return;
    size_t n = ElementCount(psa);
    if (psa->fFeatures & FADF_BSTR) {
        BSTR* items = static_cast<BSTR*>(psa->pvData);
        for (size_t i = 0; i < n; ++i) SysFreeString(items[i]);
    } else if (psa->fFeatures & FADF_VARIANT) {
        VARIANT* items = static_cast<VARIANT*>(psa->pvData);
        for (size_t i = 0; i < n; ++i) VariantClear(&items[i]);
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        IUnknown** items = static_cast<IUnknown**>(psa->pvData);
        for (size_t i = 0; i < n; ++i)
            if (items[i]) items[i]->Release();
    }
}

// Checks nDim and yields the bound of that dimension (numbered from 1;
// stored last dimension first).
HRESULT BoundOf(SAFEARRAY* psa, UINT nDim, const SAFEARRAYBOUND** bound) {
    if (!psa) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    *bound = &psa->rgsabound[psa->cDims - nDim];
    return S_OK;
}

}  // namespace

extern "C" SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    ULONG size = ElementSize(vt);
    if (size == 0) return nullptr;
    size_t fixed = kHiddenHeader + sizeof(SAFEARRAY);
    if (cElements > (SIZE_MAX - fixed) / size) return nullptr;
    char* block = static_cast<char*>(std::calloc(1, fixed + size_t{cElements} * size));
    if (!block) return nullptr;
    SAFEARRAY* psa = reinterpret_cast<SAFEARRAY*>(block + kHiddenHeader);
    psa->cDims = 1;
    psa->fFeatures = FADF_CREATEVECTOR | RecordElementType(psa, vt);
    psa->cbElements = size;
    psa->cLocks = 0;
    psa->pvData = block + fixed;
    psa->rgsabound[0].cElements = cElements;
    psa->rgsabound[0].lLbound = lLbound;
    return psa;
}

extern "C" HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (!psa || !ppvData) return E_INVALIDARG;
    ++psa->cLocks;
    *ppvData = psa->pvData;
    return S_OK;
}

extern "C" HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

extern "C" HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
    ReleaseElements(psa);
    // Arrays that live in the caller's own memory are emptied, not freed.
    if (psa->fFeatures & (FADF_AUTO | FADF_STATIC | FADF_EMBEDDED)) return S_OK;
    std::free(reinterpret_cast<char*>(psa) - kHiddenHeader);
    return S_OK;
}

extern "C" UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

extern "C" HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    const SAFEARRAYBOUND* bound = nullptr;
    if (HRESULT hr = BoundOf(psa, nDim, &bound); FAILED(hr)) return hr;
    if (!plLbound) return E_INVALIDARG;
    *plLbound = bound->lLbound;
    return S_OK;
}

extern "C" HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    const SAFEARRAYBOUND* bound = nullptr;
    if (HRESULT hr = BoundOf(psa, nDim, &bound); FAILED(hr)) return hr;
    if (!plUbound) return E_INVALIDARG;
    *plUbound = static_cast<LONG>(static_cast<int64_t>(bound->lLbound) + bound->cElements - 1);
    return S_OK;
}
