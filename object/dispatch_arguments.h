// Argument conversion for Invoke, following the platform's standard
// coercions where this layer supports them:
//  - integer parameters accept every integer type, VT_BOOL, VT_EMPTY (0) and
//    VT_R4/VT_R8 (rounded half to even); a value out of the parameter's range
//    is DISP_E_OVERFLOW;
//  - VARIANT_BOOL parameters accept VT_BOOL as it is and any number (non-zero
//    is VARIANT_TRUE);
//  - BSTR parameters accept VT_BSTR, VT_EMPTY (the empty string) and integers
//    (their decimal text);
//  - SAFEARRAY parameters accept VT_ARRAY | VT_UI1;
//  - VARIANT parameters take the argument as it is.
// A by-reference argument is followed one level first. Anything else is
// DISP_E_TYPEMISMATCH, and an omitted argument (VT_ERROR holding
// DISP_E_PARAMNOTFOUND) is DISP_E_PARAMNOTOPTIONAL.
#pragma once

#include "zk_data/zk_data.h"

namespace zk {

// Converts arg to the type vt of an in parameter into out. owned is set when
// out holds a string made here, which the caller frees with VariantClear.
HRESULT CoerceArgument(const VARIANT& arg, VARTYPE vt, VARIANT& out, bool& owned);

// An out parameter other than the last is passed by the caller by reference:
// VT_VARIANT | VT_BYREF, or its own type | VT_BYREF.
HRESULT CheckOutArgument(const VARIANT& arg, VARTYPE vt);
// Moves value into the by-reference argument, freeing what it held before.
void StoreOutArgument(const VARIANT& arg, VARIANT& value);

}  // namespace zk
