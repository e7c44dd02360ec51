// The platform functions a host calls to allocate and free what crosses the
// interface (strings, byte arrays, variants) and to read the thread's last
// error. C linkage and the platform's names and contracts; the module exports
// exactly these, so a host frees with the module's own allocator.
#pragma once

#include "zk_data/platform/com_types.h"

#ifndef _WIN32  // on Windows, oleaut32 and kernel32 are the platform's

extern "C" {

// A copy of the zero-terminated text; null for a null source.
BSTR SysAllocString(const OLECHAR* psz);
// len units copied from psz (zero units included), or len zero units when psz
// is null. Null when the length does not fit the 32-bit byte prefix.
BSTR SysAllocStringLen(const OLECHAR* psz, UINT len);
// Units in the string, from its byte prefix; 0 for null.
UINT SysStringLen(BSTR bstr);
// Null is a no-op.
void SysFreeString(BSTR bstr);

// A one-dimensional array of cElements zeroed elements; null for an element
// type the layer does not know or a size that does not fit.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
// Locks the array and yields its data; every access is paired with an unaccess.
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
// Frees an array made by SafeArrayCreateVector and what its elements own;
// a locked array is refused with DISP_E_ARRAYISLOCKED. Null is S_OK.
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
UINT SafeArrayGetDim(SAFEARRAY* psa);
// nDim counts from 1, as on the platform.
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);

void VariantInit(VARIANTARG* pvarg);
// Releases what the variant owns (string, array, interface) and leaves it
// VT_EMPTY. By-reference variants own nothing.
HRESULT VariantClear(VARIANTARG* pvarg);

// The calling thread's last-error value: each SetLastError overwrites it,
// GetLastError reads it back, and threads never see each other's value.
void SetLastError(DWORD dwErrCode);
DWORD GetLastError(void);
}

#endif  // _WIN32
