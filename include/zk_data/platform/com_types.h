// The COM and OLE Automation data types with the platform's layouts: GUID,
// BSTR, VARIANT, SAFEARRAY, DISPPARAMS, EXCEPINFO, and the status codes and
// type constants with the platform's values. Hosts and the module exchange
// these structures directly, so every layout below is checked.
//
// All types are plain C structs: no constructors, no destructors, trivially
// copyable. Included by hosts (through zk_data.h). On Windows they are the
// platform's own, from <ole2.h>, and this header adds nothing.
#pragma once

#include "zk_data/platform/win_types.h"

#ifdef _WIN32
#include <ole2.h>
#else

#include <cstddef>
#include <cstring>
#include <type_traits>

// ---- identities ----

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }

inline constexpr IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

static_assert(sizeof(GUID) == 16);

// ---- strings and scalars ----

// OLECHAR is UTF-16 on every platform: char16_t, never wchar_t (32-bit here).
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
// Points at the text; a 32-bit byte length sits just before it and a zero
// unit just after it. A null BSTR is the empty string.
using BSTR = OLECHAR*;

using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
using DATE = double;
using DISPID = LONG;
using MEMBERID = DISPID;

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

union CY {
    struct {
        ULONG Lo;
        LONG Hi;
    };
    LONGLONG int64;
};

struct DECIMAL {
    USHORT wReserved;
    BYTE scale;
    BYTE sign;
    ULONG Hi32;
    ULONGLONG Lo64;
};

static_assert(sizeof(VARIANT_BOOL) == 2 && sizeof(OLECHAR) == 2);
static_assert(sizeof(CY) == 8 && sizeof(DECIMAL) == 16);

// ---- status codes ----

inline constexpr HRESULT MakeHresult(uint32_t bits) { return static_cast<HRESULT>(bits); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHresult(0x80004003);
inline constexpr HRESULT E_ABORT = MakeHresult(0x80004004);
inline constexpr HRESULT E_FAIL = MakeHresult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005);
inline constexpr HRESULT E_HANDLE = MakeHresult(0x80070006);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057);

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHresult(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHresult(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHresult(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHresult(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHresult(0x80020006);
inline constexpr HRESULT DISP_E_NONAMEDARGS = MakeHresult(0x80020007);
inline constexpr HRESULT DISP_E_BADVARTYPE = MakeHresult(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = MakeHresult(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = MakeHresult(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = MakeHresult(0x8002000B);
inline constexpr HRESULT DISP_E_UNKNOWNLCID = MakeHresult(0x8002000C);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = MakeHresult(0x8002000D);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHresult(0x8002000E);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = MakeHresult(0x8002000F);
inline constexpr HRESULT DISP_E_BADCALLEE = MakeHresult(0x80020010);
inline constexpr HRESULT DISP_E_NOTACOLLECTION = MakeHresult(0x80020011);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHresult(0x80040111);

inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// ---- VARIANT ----

enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_PTR = 26,
    VT_SAFEARRAY = 27,
    VT_CARRAY = 28,
    VT_USERDEFINED = 29,
    VT_LPSTR = 30,
    VT_LPWSTR = 31,
    VT_RECORD = 36,
    VT_INT_PTR = 37,
    VT_UINT_PTR = 38,
    VT_VECTOR = 0x1000,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_RESERVED = 0x8000,
    VT_TYPEMASK = 0x0FFF,
};

struct IUnknown;
struct IDispatch;
struct IRecordInfo;
struct SAFEARRAY;
struct tagVARIANT;
using VARIANT = tagVARIANT;
using VARIANTARG = tagVARIANT;

// A 16-bit type tag, three reserved words and an 8-byte aligned value; a
// DECIMAL overlays the whole structure, tag included, as on the platform.
struct tagVARIANT {
    union {
        struct {
            VARTYPE vt;
            WORD wReserved1;
            WORD wReserved2;
            WORD wReserved3;
            union {
                alignas(8) LONGLONG llVal;
                LONG lVal;
                BYTE bVal;
                SHORT iVal;
                FLOAT fltVal;
                DOUBLE dblVal;
                VARIANT_BOOL boolVal;
                SCODE scode;
                CY cyVal;
                DATE date;
                BSTR bstrVal;
                IUnknown* punkVal;
                IDispatch* pdispVal;
                SAFEARRAY* parray;
                BYTE* pbVal;
                SHORT* piVal;
                LONG* plVal;
                LONGLONG* pllVal;
                FLOAT* pfltVal;
                DOUBLE* pdblVal;
                VARIANT_BOOL* pboolVal;
                SCODE* pscode;
                CY* pcyVal;
                DATE* pdate;
                BSTR* pbstrVal;
                IUnknown** ppunkVal;
                IDispatch** ppdispVal;
                SAFEARRAY** pparray;
                VARIANT* pvarVal;
                PVOID byref;
                CHAR cVal;
                USHORT uiVal;
                ULONG ulVal;
                ULONGLONG ullVal;
                INT intVal;
                UINT uintVal;
                DECIMAL* pdecVal;
                CHAR* pcVal;
                USHORT* puiVal;
                ULONG* pulVal;
                ULONGLONG* pullVal;
                INT* pintVal;
                UINT* puintVal;
                struct {
                    PVOID pvRecord;
                    IRecordInfo* pRecInfo;
                };  // anonymous, as in the platform's headers
            };
        };
        DECIMAL decVal;
    };
};

static_assert(std::is_trivially_copyable_v<VARIANT> && std::is_standard_layout_v<VARIANT>);
static_assert(sizeof(VARIANT) == (sizeof(void*) == 8 ? 24 : 16), "VARIANT has the platform's size");
static_assert(alignof(VARIANT) == 8 && offsetof(VARIANT, vt) == 0 && offsetof(VARIANT, llVal) == 8);

// ---- SAFEARRAY ----

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

// Bounds are stored last dimension first: rgsabound[0] describes the
// dimension with the highest number, as on the platform.
struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    PVOID pvData;
    SAFEARRAYBOUND rgsabound[1];
};

enum : USHORT {
    FADF_AUTO = 0x0001,
    FADF_STATIC = 0x0002,
    FADF_EMBEDDED = 0x0004,
    FADF_FIXEDSIZE = 0x0010,
    FADF_RECORD = 0x0020,
    FADF_HAVEIID = 0x0040,
    FADF_HAVEVARTYPE = 0x0080,
    FADF_BSTR = 0x0100,
    FADF_UNKNOWN = 0x0200,
    FADF_DISPATCH = 0x0400,
    FADF_VARIANT = 0x0800,
    FADF_CREATEVECTOR = 0x2000,
    FADF_RESERVED = 0xF008,
};

static_assert(std::is_trivially_copyable_v<SAFEARRAY> && sizeof(SAFEARRAYBOUND) == 8);
static_assert(offsetof(SAFEARRAY, pvData) == (sizeof(void*) == 8 ? 16 : 12));
static_assert(sizeof(SAFEARRAY) == (sizeof(void*) == 8 ? 32 : 24));

// ---- late binding ----

struct DISPPARAMS {
    VARIANTARG* rgvarg;          // arguments in reverse order
    DISPID* rgdispidNamedArgs;  // DISPIDs of the named arguments, which come first in rgvarg
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    PVOID pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode;
};

static_assert(std::is_trivially_copyable_v<DISPPARAMS> && std::is_trivially_copyable_v<EXCEPINFO>);
static_assert(sizeof(DISPPARAMS) == (sizeof(void*) == 8 ? 24 : 16));
static_assert(sizeof(EXCEPINFO) == (sizeof(void*) == 8 ? 64 : 32));

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;

#endif  // _WIN32
