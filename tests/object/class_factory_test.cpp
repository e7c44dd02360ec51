// The module's exports, the cached class factory, the lock count, the
// interface identities and aggregation.
#include "object/module.h"
#include "tests/object/object_test_support.h"
#include "tests/support/aggregating_outer.h"

namespace zk::test {
namespace {

Ref<IClassFactory> Factory() {
    Ref<IClassFactory> factory;
    EXPECT_EQ(DllGetClassObject(CLSID_DataObject, IID_IClassFactory, factory.outVoid()), S_OK);
    return factory;
}

TEST(Exports, ClassObjectArguments) {
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(DllGetClassObject(CLSID_DataObject, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(DllGetClassObject(IID_IDataValue, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(DllGetClassObject(CLSID_DataObject, IID_IDataValue, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(DllRegisterServer(), E_NOTIMPL);
    EXPECT_EQ(DllUnregisterServer(), E_NOTIMPL);
}

TEST(Exports, FactoryIsCachedAndHoldsTheModule) {
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    auto first = Factory();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    Ref<IUnknown> second;
    EXPECT_EQ(DllGetClassObject(CLSID_DataObject, IID_IUnknown, second.outVoid()), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(first.get()), second.get());
    EXPECT_EQ(ModuleLockCount(), 1);  // one lock for the factory, however many references
    first.reset();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    second.reset();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(Exports, LockServerCounts) {
    auto factory = Factory();
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.reset();
    EXPECT_EQ(ModuleLockCount(), 2);
    Factory()->LockServer(FALSE);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    Factory()->LockServer(FALSE);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(CreateInstance, ArgumentsAndFailedQueries) {
    auto factory = Factory();
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDataValue, nullptr), E_POINTER);
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    Outer outer;
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IDataValue, &p), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(ModuleLockCount(), 1);  // the refused object is gone
}

TEST(CreateInstance, ObjectsHoldTheModule) {
    Ref<IDataValue> value;
    EXPECT_EQ(Factory()->CreateInstance(nullptr, IID_IDataValue, value.outVoid()), S_OK);
    EXPECT_EQ(TypeOf(value.get()), 0);
    LONG format = 0;
    value->get_Format(&format);
    EXPECT_EQ(format, 1);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    auto child = Item(value.get(), u"c");
    value.reset();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // the child object is alive
    child.reset();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(Identity, QueryInterfaceAnswersFiveIdentities) {
    auto value = NewValue();
    void* p = nullptr;
    for (const IID* iid : {&IID_IUnknown, &IID_IDataValue, &IID_IDataValueEarlier, &IID_IDataValueEarliest, &IID_IDispatch}) {
        EXPECT_EQ(value->QueryInterface(*iid, &p), S_OK);
        EXPECT_EQ(p, static_cast<void*>(value.get()));
        value->Release();
    }
    Ref<IDataBytes> bytes;
    EXPECT_EQ(value->QueryInterface(IID_IDataBytes, bytes.outVoid()), S_OK);
    EXPECT_NE(static_cast<void*>(bytes.get()), static_cast<void*>(value.get()));
    Ref<IUnknown> unknown;
    EXPECT_EQ(bytes->QueryInterface(IID_IUnknown, unknown.outVoid()), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(value.get()));
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(value->QueryInterface(IID_IClassFactory, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(value->QueryInterface(IID_IDataValue, nullptr), E_POINTER);
}

TEST(Identity, BothInterfacesShareOneCount) {
    auto value = NewValue();
    IDataBytes* bytes = nullptr;
    value->QueryInterface(IID_IDataBytes, reinterpret_cast<void**>(&bytes));
    EXPECT_EQ(bytes->AddRef(), 3u);
    EXPECT_EQ(value->Release(), 2u);
    bytes->Release();
}

TEST(Aggregation, InnerDelegatesToTheOuter) {
    auto factory = Factory();
    Outer outer;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
    ASSERT_NE(outer.inner, nullptr);
    EXPECT_NE(outer.inner, static_cast<IUnknown*>(&outer));

    IDataValue* value = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IDataValue, reinterpret_cast<void**>(&value)), S_OK);
    EXPECT_EQ(outer.refs, 2u);  // the reference went to the outer
    void* identity = nullptr;
    EXPECT_EQ(value->QueryInterface(IID_IUnknown, &identity), S_OK);
    EXPECT_EQ(identity, static_cast<void*>(&outer));
    outer.Release();
    IDataBytes* bytes = nullptr;
    EXPECT_EQ(value->QueryInterface(IID_IDataBytes, reinterpret_cast<void**>(&bytes)), S_OK);
    EXPECT_EQ(outer.refs, 3u);
    bytes->Release();

    // The methods are the standalone ones; Value get hands out the outer's reference.
    EXPECT_EQ(value->put_Type(4), S_OK);
    Var self;
    EXPECT_EQ(value->get_Value(self.out()), S_OK);
    EXPECT_EQ(outer.refs, 3u);
    self.out();
    EXPECT_EQ(value->Release(), 1u);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    outer.Release();  // releases the inner object
    factory.reset();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(Aggregation, NonDelegatingUnknownAnswersForTheInner) {
    auto factory = Factory();
    Outer outer;
    factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner));
    void* p = nullptr;
    EXPECT_EQ(outer.inner->QueryInterface(IID_IUnknown, &p), S_OK);
    EXPECT_EQ(p, static_cast<void*>(outer.inner));  // its own identity, not the outer's
    outer.inner->Release();
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(outer.inner->QueryInterface(IID_IClassFactory, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(outer.inner->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    outer.Release();
}

TEST(Aggregation, StoringAnAggregatedObjectCopiesItsNode) {
    auto factory = Factory();
    Outer outer;
    factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner));
    Ref<IDataValue> inner;
    outer.QueryInterface(IID_IDataValue, inner.outVoid());
    inner->SetStringA("aggregated");
    auto target = NewValue();
    VARIANT v = Typed(VT_UNKNOWN);
    v.punkVal = &outer;
    EXPECT_EQ(target->put_Value(v), S_OK);
    EXPECT_EQ(BytesOf(target.get()), "aggregated");
    inner.reset();
    outer.Release();
}

}  // namespace
}  // namespace zk::test
