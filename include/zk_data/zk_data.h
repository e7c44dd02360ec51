// zk_data: the host's view of the module, libzk_data.so on Linux and
// zk_data.dll on Windows.
//
// The module is an in-process COM-style server. A host loads it, asks
// DllGetClassObject for the class factory of DataObject and creates objects;
// each object wraps one node of a value tree and exposes it through two dual
// interfaces, IDataValue and IDataBytes. Everything a host allocates or frees
// across the interface (BSTR, SAFEARRAY, VARIANT) goes through the platform
// functions: on Linux the module exports them (platform/oleauto.h), on
// Windows they are oleaut32's.
//
// docs/object-interface.md describes every method, the late-bound
// conventions and who owns what.
#pragma once

#include "zk_data/platform/com_interfaces.h"
#include "zk_data/platform/com_types.h"
#include "zk_data/platform/oleauto.h"

struct lua_State;

// ---- identities ----

inline constexpr CLSID CLSID_DataObject = {0x71706A14, 0x2517, 0x48FD, {0x8D, 0xBC, 0xB9, 0x50, 0x10, 0x55, 0x45, 0x93}};
// The current identity of IDataValue and the two it had before; all three
// answer the same, full interface.
inline constexpr IID IID_IDataValue = {0xE7269FEE, 0xE6F3, 0x42B9, {0x80, 0x50, 0xBE, 0x79, 0x02, 0xD7, 0x62, 0x83}};
inline constexpr IID IID_IDataValueEarlier = {0xDEB9EC9C, 0x0C46, 0x4F4D, {0x87, 0x5B, 0x93, 0x7C, 0x53, 0x57, 0xC1, 0xD1}};
inline constexpr IID IID_IDataValueEarliest = {0x39985961, 0x00E5, 0x4856, {0xAB, 0x5C, 0x94, 0xBA, 0xE7, 0x1B, 0xFC, 0xEF}};
inline constexpr IID IID_IDataBytes = {0xD5E84520, 0xC039, 0x4F44, {0xA0, 0x9C, 0xC0, 0xC8, 0xEE, 0x1D, 0x7D, 0x59}};
// Type library identity, version 1.0.
inline constexpr GUID LIBID_ZkData = {0xCE00845C, 0x20B4, 0x4DC5, {0x92, 0xDB, 0xBC, 0x28, 0x58, 0x52, 0x5E, 0x1D}};
inline constexpr WORD kZkDataTypeLibMajor = 1;
inline constexpr WORD kZkDataTypeLibMinor = 0;

// ---- dispatch identifiers (one per property or method) ----

enum DataValueDispId : DISPID {
    DISPID_DV_VALUE = DISPID_VALUE,
    DISPID_DV_TYPE = 1,
    DISPID_DV_COUNT = 2,
    DISPID_DV_ISEQUAL = 3,
    DISPID_DV_CLEAR = 4,
    DISPID_DV_ITEM = 5,
    DISPID_DV_INSERTITEM = 6,
    DISPID_DV_REMOVEITEM = 7,
    DISPID_DV_KEYAT = 8,
    DISPID_DV_ITEMAT = 9,
    DISPID_DV_HASITEM = 10,
    DISPID_DV_ELEMENT = 11,
    DISPID_DV_PROTOTYPE = 12,
    DISPID_DV_INSERTELEMENT = 13,
    DISPID_DV_REMOVEELEMENT = 14,
    DISPID_DV_FORMAT = 15,
    DISPID_DV_GETOPTION = 16,
    DISPID_DV_SETOPTION = 17,
    DISPID_DV_GETINT64 = 18,
    DISPID_DV_SETINT64 = 19,
    DISPID_DV_GETBYTES = 20,
    DISPID_DV_SETBYTES = 21,
    DISPID_DV_GETSTRING = 22,
    DISPID_DV_SETSTRING = 23,
    DISPID_DV_BYTESEQUAL = 24,
    DISPID_DV_STRINGEQUAL = 25,
    DISPID_DV_GETITEMA = 26,
    DISPID_DV_PUTITEMA = 27,
    DISPID_DV_HASITEMA = 28,
    DISPID_DV_WRITETOBUFFER = 29,
    DISPID_DV_READFROMBUFFER = 30,
    DISPID_DV_SETSTRINGA = 31,
    DISPID_DV_KIND = 32,
    DISPID_DV_PUSHTOLUA = 33,
    DISPID_DV_READFROMLUA = 34,
};

enum DataBytesDispId : DISPID {
    DISPID_DB_SAVE = 1,
    DISPID_DB_LOAD = 2,
    DISPID_DB_LOADARRAY = 3,
};

// ---- interfaces ----

// One node of a value tree: a byte string, a 64-bit integer, a list or a map.
// Child nodes come back as new objects that share the child (live views);
// storing an object copies its tree.
struct IDataValue : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Value(VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE putref_Value(VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Type(LONG* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Type(LONG type) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsEqual(VARIANT value, VARIANT_BOOL* equal) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Item(BSTR key, VARIANT* item) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Item(BSTR key, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE putref_Item(BSTR key, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE InsertItem(LONG position, BSTR key, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveItem(BSTR key) = 0;
    virtual HRESULT STDMETHODCALLTYPE KeyAt(LONG index, BSTR* key) = 0;
    virtual HRESULT STDMETHODCALLTYPE ItemAt(LONG index, BSTR* key, VARIANT* item) = 0;
    virtual HRESULT STDMETHODCALLTYPE HasItem(BSTR key, VARIANT_BOOL* has) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Element(LONG index, VARIANT* element) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Element(LONG index, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE putref_Element(LONG index, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Prototype(VARIANT* prototype) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Prototype(VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE putref_Prototype(VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE InsertElement(LONG index, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveElement(LONG index) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Format(LONG* format) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Format(LONG format) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetOption(ULONG mask, VARIANT_BOOL* on) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOption(ULONG mask, VARIANT_BOOL on) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInt64(LONGLONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetInt64(LONGLONG value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBytes(const BYTE** bytes, LONG* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBytes(const BYTE* bytes, LONG length) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetString(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetString(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE BytesEqual(const BYTE* bytes, LONG length) = 0;
    virtual HRESULT STDMETHODCALLTYPE StringEqual(LPCOLESTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemA(const char* key, VARIANT* item) = 0;
    virtual HRESULT STDMETHODCALLTYPE PutItemA(const char* key, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE HasItemA(const char* key) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteToBuffer(BYTE* buffer, ULONG* size) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReadFromBuffer(const BYTE* buffer, ULONG* size) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetStringA(const char* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Kind(LONG* kind) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Kind(LONG kind) = 0;
    virtual HRESULT STDMETHODCALLTYPE PushToLua(lua_State* L) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReadFromLua(lua_State* L, LONG index) = 0;
};

// The node as host byte arrays.
struct IDataBytes : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Save(SAFEARRAY** bytes) = 0;
    virtual HRESULT STDMETHODCALLTYPE Load(const BYTE* bytes, ULONG size, ULONG* consumed) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadArray(SAFEARRAY* bytes, ULONG* consumed) = 0;
};

// ---- module exports ----

extern "C" {
HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
HRESULT STDAPICALLTYPE DllCanUnloadNow(void);
HRESULT STDAPICALLTYPE DllRegisterServer(void);
HRESULT STDAPICALLTYPE DllUnregisterServer(void);
}

// Types of the exports, for hosts that resolve them with dlsym (GetProcAddress).
using PFN_DllGetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using PFN_DllCanUnloadNow = HRESULT(STDAPICALLTYPE*)();
using PFN_DllRegisterServer = HRESULT(STDAPICALLTYPE*)();
#ifndef _WIN32
using PFN_SysAllocString = BSTR (*)(const OLECHAR*);
using PFN_SysAllocStringLen = BSTR (*)(const OLECHAR*, UINT);
using PFN_SysStringLen = UINT (*)(BSTR);
using PFN_SysFreeString = void (*)(BSTR);
using PFN_SafeArrayCreateVector = SAFEARRAY* (*)(VARTYPE, LONG, ULONG);
using PFN_SafeArrayAccessData = HRESULT (*)(SAFEARRAY*, void**);
using PFN_SafeArrayUnaccessData = HRESULT (*)(SAFEARRAY*);
using PFN_SafeArrayDestroy = HRESULT (*)(SAFEARRAY*);
using PFN_SafeArrayGetDim = UINT (*)(SAFEARRAY*);
using PFN_SafeArrayGetBound = HRESULT (*)(SAFEARRAY*, UINT, LONG*);
using PFN_VariantInit = void (*)(VARIANTARG*);
using PFN_VariantClear = HRESULT (*)(VARIANTARG*);
using PFN_SetLastError = void (*)(DWORD);
using PFN_GetLastError = DWORD (*)();
#endif
