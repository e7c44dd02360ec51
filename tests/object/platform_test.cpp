// The COM-compatible platform layer: BSTR, SAFEARRAY and VARIANT functions
// with the platform's layouts and contracts. On Windows the same tests run
// against the platform itself (oleaut32 and kernel32), which holds our
// layer's picture of it to the real thing.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/other_thread.h"
#include "tests/support/wide_text.h"
#include "zk_data/platform/com_interfaces.h"
#include "zk_data/platform/oleauto.h"

// The platform marks the arrays SafeArrayCreateVector makes with this
// feature bit; the Windows headers do not name it.
#ifndef FADF_CREATEVECTOR
#define FADF_CREATEVECTOR 0x2000
#endif

namespace {

using zk::test::Ole;

uint32_t BytePrefix(BSTR s) {
    uint32_t n;
    std::memcpy(&n, reinterpret_cast<const char*>(s) - 4, 4);
    return n;
}

// Counts references so tests can see what VariantClear and SafeArrayDestroy release.
struct CountingUnknown : IUnknown {
    ULONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

TEST(Layout, StructuresHaveThePlatformOffsets) {
    EXPECT_EQ(sizeof(VARIANT), 24u);
    EXPECT_EQ(offsetof(VARIANT, lVal), 8u);
    EXPECT_EQ(offsetof(VARIANT, pvRecord), 8u);
    EXPECT_EQ(offsetof(VARIANT, pRecInfo), 16u);
    EXPECT_EQ(offsetof(SAFEARRAY, cLocks), 8u);
    EXPECT_EQ(offsetof(SAFEARRAY, rgsabound), 24u);
    EXPECT_EQ(offsetof(DISPPARAMS, cArgs), 16u);
    EXPECT_EQ(offsetof(EXCEPINFO, bstrSource), 8u);
    EXPECT_EQ(offsetof(EXCEPINFO, scode), 56u);
    EXPECT_EQ(offsetof(GUID, Data4), 8u);
}

TEST(Layout, ConstantsHaveThePlatformValues) {
    EXPECT_EQ(static_cast<uint32_t>(E_INVALIDARG), 0x80070057u);
    EXPECT_EQ(static_cast<uint32_t>(DISP_E_EXCEPTION), 0x80020009u);
    EXPECT_EQ(static_cast<uint32_t>(CLASS_E_NOAGGREGATION), 0x80040110u);
    EXPECT_EQ(VT_ARRAY | VT_UI1, 0x2011);
    EXPECT_EQ(VT_UI8, 21);
    EXPECT_EQ(VARIANT_TRUE, -1);
    EXPECT_EQ(IID_IDispatch.Data1, 0x00020400u);
    EXPECT_EQ(IID_IUnknown.Data4[0], 0xC0);
}

TEST(Bstr, NullArgumentsAreHarmless) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(Bstr, HoldsByteLengthTextAndTerminator) {
    BSTR s = SysAllocString(Ole(u"abc"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(BytePrefix(s), 6u);
    EXPECT_EQ(std::memcmp(s, u"abc", 8), 0);  // terminator included
    SysFreeString(s);
}

TEST(Bstr, CountedFormKeepsZeroUnits) {
    BSTR s = SysAllocStringLen(Ole(u"a\0b"), 3);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(s[1], 0);
    EXPECT_EQ(s[2], u'b');
    EXPECT_EQ(s[3], 0);
    SysFreeString(s);

    BSTR zeros = SysAllocStringLen(nullptr, 2);
    EXPECT_EQ(SysStringLen(zeros), 2u);
    EXPECT_EQ(zeros[0], 0);
    EXPECT_EQ(zeros[2], 0);
    SysFreeString(zeros);

    BSTR empty = SysAllocString(Ole(u""));
    ASSERT_NE(empty, nullptr);  // empty, but not null
    EXPECT_EQ(SysStringLen(empty), 0u);
    SysFreeString(empty);
}

TEST(Bstr, LengthBeyondThePrefixIsRefused) { EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr); }

TEST(SafeArray, ByteVectorHasThePlatformShape) {
    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, 5);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->cDims, 1);
    EXPECT_EQ(a->cbElements, 1u);
    EXPECT_EQ(a->cLocks, 0u);
    EXPECT_EQ(a->fFeatures, FADF_CREATEVECTOR | FADF_HAVEVARTYPE);
    DWORD hiddenType;
    std::memcpy(&hiddenType, reinterpret_cast<char*>(a) - 4, 4);
    EXPECT_EQ(hiddenType, static_cast<DWORD>(VT_UI1));
    EXPECT_EQ(a->rgsabound[0].cElements, 5u);
    const BYTE zeros[5] = {};
    EXPECT_EQ(std::memcmp(a->pvData, zeros, 5), 0);
    EXPECT_EQ(SafeArrayGetDim(a), 1u);
    LONG lower = -1, upper = -1;
    EXPECT_EQ(SafeArrayGetLBound(a, 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(a, 1, &upper), S_OK);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 4);
    EXPECT_EQ(SafeArrayDestroy(a), S_OK);
}

TEST(SafeArray, BoundsOfAnEmptyVectorWithAnOffset) {
    SAFEARRAY* a = SafeArrayCreateVector(VT_I4, 3, 0);
    ASSERT_NE(a, nullptr);
    LONG lower = 0, upper = 0;
    SafeArrayGetLBound(a, 1, &lower);
    SafeArrayGetUBound(a, 1, &upper);
    EXPECT_EQ(lower, 3);
    EXPECT_EQ(upper, 2);  // one below the lower bound: no element
    EXPECT_EQ(SafeArrayGetLBound(a, 2, &lower), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetLBound(a, 0, &lower), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetLBound(nullptr, 1, &lower), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetDim(nullptr), 0u);
    SafeArrayDestroy(a);
}

TEST(SafeArray, LockedArrayIsNotDestroyed) {
    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, 2);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(a, &data), S_OK);
    EXPECT_EQ(data, a->pvData);
    EXPECT_EQ(a->cLocks, 1u);
    EXPECT_EQ(SafeArrayDestroy(a), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(a), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(a), E_UNEXPECTED);
    EXPECT_EQ(SafeArrayAccessData(nullptr, &data), E_INVALIDARG);
    EXPECT_EQ(SafeArrayDestroy(a), S_OK);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

TEST(SafeArray, UnknownElementTypeIsRefused) {
    EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_RECORD, 0, 1), nullptr);
}

TEST(SafeArray, DestroyReleasesWhatElementsOwn) {
    SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 0, 2);
    EXPECT_EQ(strings->fFeatures & FADF_BSTR, FADF_BSTR);
    static_cast<BSTR*>(strings->pvData)[1] = SysAllocString(Ole(u"owned"));
    EXPECT_EQ(SafeArrayDestroy(strings), S_OK);  // the sanitizer run would report the string otherwise

    CountingUnknown unknown;
    SAFEARRAY* objects = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
    EXPECT_EQ(objects->fFeatures & (FADF_UNKNOWN | FADF_HAVEIID), FADF_UNKNOWN | FADF_HAVEIID);
    static_cast<IUnknown**>(objects->pvData)[0] = &unknown;
    unknown.AddRef();
    SafeArrayDestroy(objects);
    EXPECT_EQ(unknown.refs, 1u);

    SAFEARRAY* variants = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    VARIANT& v = static_cast<VARIANT*>(variants->pvData)[0];
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(Ole(u"inner"));
    SafeArrayDestroy(variants);
}

TEST(Variant, InitSetsEmpty) {
    VARIANT v;
    v.vt = VT_I4;
    VariantInit(&v);
    EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST(Variant, ClearReleasesOwnedValues) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(Ole(u"x"));
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);

    v.vt = VT_ARRAY | VT_UI1;
    v.parray = SafeArrayCreateVector(VT_UI1, 0, 3);
    EXPECT_EQ(VariantClear(&v), S_OK);

    CountingUnknown unknown;
    unknown.AddRef();
    v.vt = VT_UNKNOWN;
    v.punkVal = &unknown;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(unknown.refs, 1u);

    v.vt = VT_DISPATCH;
    v.pdispVal = nullptr;
    EXPECT_EQ(VariantClear(&v), S_OK);
}

TEST(Variant, ClearLeavesReferencesAlone) {
    BSTR s = SysAllocString(Ole(u"kept"));
    VARIANT v;
    v.vt = VT_BSTR | VT_BYREF;
    v.pbstrVal = &s;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(SysStringLen(s), 4u);
    SysFreeString(s);
}

TEST(Variant, ClearRefusesBadTypesAndLockedArrays) {
    VARIANT v;
    v.vt = 15;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
#ifndef _WIN32
    // Our layer's own answers. The platform's (Wine's oleaut32) clears a bare
    // VT_VARIANT and does not check for a null variant.
    v.vt = VT_VARIANT;  // only by reference or in an array
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
#endif

    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, 1);
    void* data;
    SafeArrayAccessData(a, &data);
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = a;
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
#ifdef _WIN32
    // The platform (Wine's oleaut32) empties the variant all the same and
    // leaves the array to its owner.
    EXPECT_EQ(v.vt, VT_EMPTY);
    SafeArrayUnaccessData(a);
    EXPECT_EQ(SafeArrayDestroy(a), S_OK);
#else
    EXPECT_EQ(v.vt, VT_ARRAY | VT_UI1);  // unchanged
    SafeArrayUnaccessData(a);
    EXPECT_EQ(VariantClear(&v), S_OK);
#endif
}

TEST(LastError, IsPerThread) {
    DWORD seenByOther = 1;
    zk::test::OtherThread other([&] {
        seenByOther = GetLastError();
        SetLastError(9);
    });
    SetLastError(7);
    other.run();
    EXPECT_EQ(seenByOther, 0u);
    EXPECT_EQ(GetLastError(), 7u);
    SetLastError(0);
}

}  // namespace
