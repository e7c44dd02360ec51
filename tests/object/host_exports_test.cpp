// The module's exports as a host meets them: class object, unloading rules,
// registration, LockServer and aggregation.
#include "tests/object/host_module.h"
#include "tests/support/aggregating_outer.h"

namespace host {
namespace {

TEST(HostExports, RegistrationIsLeftToTheHost) {
    EXPECT_EQ(Api().DllRegisterServer(), E_NOTIMPL);
    EXPECT_EQ(Api().DllUnregisterServer(), E_NOTIMPL);
}

TEST(HostExports, ClassObjectForTheOneClassOnly) {
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(Api().DllGetClassObject(IID_IDataBytes, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(Api().DllGetClassObject(CLSID_DataObject, IID_IClassFactory, nullptr), E_POINTER);
    Ref<IClassFactory> a, b;
    EXPECT_EQ(Api().DllGetClassObject(CLSID_DataObject, IID_IClassFactory, a.outVoid()), S_OK);
    EXPECT_EQ(Api().DllGetClassObject(CLSID_DataObject, IID_IClassFactory, b.outVoid()), S_OK);
    EXPECT_EQ(a.get(), b.get());  // cached
}

TEST(HostExports, CanUnloadOnlyWhenNothingIsHeld) {
    EXPECT_EQ(Api().DllCanUnloadNow(), S_OK);
    auto factory = Factory();
    EXPECT_EQ(Api().DllCanUnloadNow(), S_FALSE);
    Ref<IDataValue> value;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDataValue, value.outVoid()), S_OK);
    factory.reset();
    EXPECT_EQ(Api().DllCanUnloadNow(), S_FALSE);
    Bstr key(u"child");
    Var child;
    ASSERT_EQ(value->get_Item(key, child.out()), S_OK);
    value.reset();
    EXPECT_EQ(Api().DllCanUnloadNow(), S_FALSE);  // the child's object holds the module
    child.out();
    EXPECT_EQ(Api().DllCanUnloadNow(), S_OK);
}

TEST(HostExports, LockServerHoldsTheModule) {
    Factory()->LockServer(TRUE);
    EXPECT_EQ(Api().DllCanUnloadNow(), S_FALSE);
    Factory()->LockServer(FALSE);
    EXPECT_EQ(Api().DllCanUnloadNow(), S_OK);
}

TEST(HostExports, RefusedCreationLeavesNothing) {
    auto factory = Factory();
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDataValue, nullptr), E_POINTER);
    factory.reset();
    EXPECT_EQ(Api().DllCanUnloadNow(), S_OK);
}

using zk::test::Outer;

TEST(HostAggregation, OuterOwnsIdentityAndLifetime) {
    Outer outer;
    {
        auto factory = Factory();
        void* p = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(&outer, IID_IDataValue, &p), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(p, nullptr);
        ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
    }
    EXPECT_EQ(Api().DllCanUnloadNow(), S_FALSE);

    IDataValue* value = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IDataValue, reinterpret_cast<void**>(&value)), S_OK);
    EXPECT_EQ(outer.refs, 2u);
    IUnknown* identity = nullptr;
    value->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();

    // The aggregated object works like any other, through both interfaces.
    EXPECT_EQ(value->SetStringA("inside"), S_OK);
    IDataBytes* bytes = nullptr;
    ASSERT_EQ(value->QueryInterface(IID_IDataBytes, reinterpret_cast<void**>(&bytes)), S_OK);
    EXPECT_EQ(outer.refs, 3u);
    ULONG consumed = 0;
    EXPECT_EQ(bytes->Load(nullptr, 0, &consumed), E_INVALIDARG);
    bytes->Release();
    LateBound late(value);
    Var result;
    EXPECT_EQ(late.get(u"Count", {}, result.out()), S_OK);
    EXPECT_EQ(result.lVal, 6);

    // Its non-delegating unknown answers for itself.
    IUnknown* own = nullptr;
    outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&own));
    EXPECT_EQ(own, outer.inner);
    own->Release();

    value->Release();
    EXPECT_EQ(outer.refs, 1u);
    outer.Release();  // the last reference: the aggregated object goes too
    EXPECT_EQ(Api().DllCanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace host
