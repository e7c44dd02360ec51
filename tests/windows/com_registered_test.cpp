// zk_data.dll as COM finds it once zk_data_register.js has registered it:
// the class by its ProgIDs and CLSID, created by CoCreateInstance in this
// thread's apartment and, for a thread of the multithreaded apartment, in
// the apartment its ThreadingModel asks for; the type library by its LIBID.
// Run after the registration test (a CTest fixture); links none of the
// library.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <string>
#include <thread>

#include "tests/support/com_ref.h"
#include "zk_data/zk_data.h"

namespace zk::test {
namespace {

constexpr LONG kMap = 4;

class Apartment {
public:
    explicit Apartment(DWORD model) : status_(CoInitializeEx(nullptr, model)) {}
    ~Apartment() {
        if (SUCCEEDED(status_)) CoUninitialize();
    }
    HRESULT status() const { return status_; }

private:
    HRESULT status_;
};

std::wstring LoadedPath(const wchar_t* name) {
    HMODULE module = GetModuleHandleW(name);
    if (!module) return {};
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return {path, length};
}

TEST(RegisteredClass, TheProgIdsNameTheClass) {
    Apartment apartment(COINIT_APARTMENTTHREADED);
    ASSERT_EQ(apartment.status(), S_OK);
    for (const wchar_t* progId : {L"ZkData.DataObject", L"ZkData.DataObject.1"}) {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK) << progId;
        EXPECT_TRUE(IsEqualGUID(clsid, CLSID_DataObject)) << progId;
    }
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_DataObject, &progId), S_OK);
    EXPECT_EQ(std::wstring(progId), L"ZkData.DataObject.1");
    CoTaskMemFree(progId);
}

TEST(RegisteredClass, CoCreateInstanceLoadsTheRegisteredDll) {
    Apartment apartment(COINIT_APARTMENTTHREADED);
    ASSERT_EQ(apartment.status(), S_OK);
    Ref<IDataValue> value;
    ASSERT_EQ(CoCreateInstance(CLSID_DataObject, nullptr, CLSCTX_INPROC_SERVER, IID_IDataValue, value.outVoid()),
              S_OK);
    EXPECT_EQ(value->put_Type(kMap), S_OK);
    LONG type = 0;
    value->get_Type(&type);
    EXPECT_EQ(type, kMap);

    // The type library registered for the class is the DLL that was loaded.
    BSTR libraryPath = nullptr;
    ASSERT_EQ(QueryPathOfRegTypeLib(LIBID_ZkData, kZkDataTypeLibMajor, kZkDataTypeLibMinor, LOCALE_NEUTRAL,
                                    &libraryPath),
              S_OK);
    std::wstring registered(libraryPath, SysStringLen(libraryPath));
    SysFreeString(libraryPath);
    // Some platforms count the terminating zero in the length.
    if (!registered.empty() && registered.back() == L'\0') registered.pop_back();
    EXPECT_EQ(_wcsicmp(registered.c_str(), LoadedPath(L"zk_data.dll").c_str()), 0)
        << "registered: " << std::string(registered.begin(), registered.end());
}

TEST(RegisteredClass, TheTypeLibraryIsFoundByItsIdentity) {
    Ref<ITypeLib> library;
    ASSERT_EQ(LoadRegTypeLib(LIBID_ZkData, kZkDataTypeLibMajor, kZkDataTypeLibMinor, LOCALE_NEUTRAL, library.out()),
              S_OK);
    for (const GUID& described : {CLSID_DataObject, IID_IDataValue, IID_IDataBytes}) {
        Ref<ITypeInfo> info;
        EXPECT_EQ(library->GetTypeInfoOfGuid(described, info.out()), S_OK);
    }
}

// ThreadingModel "Apartment": a thread of the multithreaded apartment gets
// the object made in an apartment of its own, through IDispatch, which the
// system marshals.
TEST(RegisteredClass, AMultithreadedClientReachesTheObjectThroughIDispatch) {
    HRESULT created = E_FAIL, put = E_FAIL, got = E_FAIL, proxy = E_FAIL;
    VARIANT type;
    VariantInit(&type);
    std::thread client([&] {
        Apartment apartment(COINIT_MULTITHREADED);
        if (FAILED(apartment.status())) return;
        Ref<IDispatch> object;
        created = CoCreateInstance(CLSID_DataObject, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.outVoid());
        if (FAILED(created)) return;
        // Only a proxy to another apartment answers IClientSecurity.
        Ref<IUnknown> security;
        proxy = object->QueryInterface(IID_IClientSecurity, security.outVoid());
        VARIANT value;
        value.vt = VT_I4;
        value.lVal = kMap;
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS putParams{&value, &named, 1, 1};
        put = object->Invoke(DISPID_DV_TYPE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &putParams, nullptr,
                             nullptr, nullptr);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        got = object->Invoke(DISPID_DV_TYPE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &type,
                             nullptr, nullptr);
    });
    client.join();
    EXPECT_EQ(created, S_OK);
    EXPECT_EQ(proxy, S_OK) << "the object was not made in an apartment of its own";
    EXPECT_EQ(put, S_OK);
    EXPECT_EQ(got, S_OK);
    EXPECT_EQ(type.vt, VT_I4);
    EXPECT_EQ(type.lVal, kMap);
}

}  // namespace
}  // namespace zk::test
