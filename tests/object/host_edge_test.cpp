// Edge cases of the object interface, seen from a host that only has the
// module's exports. The unit tests cover each case in detail; these check
// that the module's copy of the code behaves the same across loading by path.
#include "tests/object/host_module.h"

namespace host {
namespace {

LONG Get(IDataValue* v, HRESULT (STDMETHODCALLTYPE IDataValue::*getter)(LONG*)) {
    LONG n = -1;
    (v->*getter)(&n);
    return n;
}

// Claims IDataValue but is another implementation.
struct Impostor : IUnknown {
    ULONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        *ppv = this;
        ++refs;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

TEST(HostEdges, ChildrenAreViewsThatOutliveRemoval) {
    auto map = Create();
    Bstr key(u"k");
    Var item;
    ASSERT_EQ(map->get_Item(key, item.out()), S_OK);
    auto child = ObjectIn(item);
    EXPECT_EQ(child->SetInt64(41), S_OK);
    Var again;
    map->get_Item(key, again.out());
    LONGLONG n = 0;
    ObjectIn(again)->GetInt64(&n);
    EXPECT_EQ(n, 41);
    EXPECT_EQ(map->RemoveItem(key), S_OK);
    EXPECT_EQ(map->RemoveItem(key), E_INVALIDARG);
    child->GetInt64(&n);
    EXPECT_EQ(n, 41);  // detached, alive
    EXPECT_EQ(Get(map.get(), &IDataValue::get_Count), 0);
}

TEST(HostEdges, VariantsInAndOut) {
    auto v = Create();
    Var out;
    v->put_Type(4);
    EXPECT_EQ(v->get_Value(out.out()), S_OK);
    EXPECT_EQ(out.pdispVal, static_cast<IDispatch*>(v.get()));
    v->put_Value(Typed(VT_UINT, 7));
    EXPECT_EQ(v->get_Value(out.out()), S_OK);
    EXPECT_EQ(out.vt, VT_UI4);
    EXPECT_EQ(Get(v.get(), &IDataValue::get_Kind), 6);
    v->put_Value(Typed(VT_I4, 261));
    VARIANT_BOOL equal = 0;
    v->IsEqual(Typed(VT_UI1, 5), &equal);
    EXPECT_EQ(equal, VARIANT_TRUE);
    EXPECT_EQ(v->put_Value(Typed(VT_R8)), E_INVALIDARG);

    Impostor impostor;
    VARIANT foreign = Typed(VT_DISPATCH);
    foreign.punkVal = &impostor;
    EXPECT_EQ(v->put_Value(foreign), E_INVALIDARG);
    EXPECT_EQ(impostor.refs, 1u);

    auto copy = Create();
    VARIANT object = Typed(VT_DISPATCH);
    object.pdispVal = v.get();
    EXPECT_EQ(copy->put_Value(object), S_OK);
    v->SetInt64(0);
    copy->IsEqual(Typed(VT_I4, 261), &equal);
    EXPECT_EQ(equal, VARIANT_TRUE);  // a deep copy, not a share
}

TEST(HostEdges, SerializationArgumentsPublish) {
    auto v = Create();
    Ref<IDataBytes> bytes;
    v->QueryInterface(IID_IDataBytes, bytes.outVoid());
    ULONG consumed = 3;
    Api().SetLastError(1);
    EXPECT_EQ(bytes->Load(reinterpret_cast<const BYTE*>("x"), 0, &consumed), E_INVALIDARG);
    EXPECT_EQ(Api().GetLastError(), 20100001u);
    EXPECT_EQ(Get(v.get(), &IDataValue::get_Type), 0);
    EXPECT_EQ(bytes->Save(nullptr), E_INVALIDARG);
    SAFEARRAY* array = nullptr;
    EXPECT_EQ(bytes->Save(&array), E_FAIL);  // a None node
    EXPECT_EQ(array, nullptr);
    EXPECT_NE(Api().GetLastError(), 0u);
    EXPECT_EQ(v->WriteToBuffer(nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(v->PushToLua(nullptr), E_INVALIDARG);
    EXPECT_EQ(Api().GetLastError(), 20100001u);
}

TEST(HostEdges, LateBoundFailures) {
    auto v = Create();
    LateBound late(v.get());
    LPOLESTR names[] = {OleName(u"NoSuchMember")};
    DISPID id = 0;
    EXPECT_EQ(v->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    Var result;
    EXPECT_EQ(late.method(u"GetBytes", {}, result.out()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(late.put(u"Count", {Typed(VT_I4, 1)}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(late.method(u"RemoveElement", {}), DISP_E_BADPARAMCOUNT);
    // The type information coerces a date to the index and calls the method.
    EXPECT_EQ(late.method(u"RemoveElement", {Typed(VT_DATE)}), ByDispatch(DISP_E_TYPEMISMATCH, DISP_E_EXCEPTION));
    EXPECT_EQ(late.argErr, 0u);
    VARIANT missing = Typed(VT_ERROR);
    missing.scode = DISP_E_PARAMNOTFOUND;
    EXPECT_EQ(late.method(u"RemoveElement", {missing}), ByDispatch(DISP_E_PARAMNOTOPTIONAL, DISP_E_TYPEMISMATCH));
    EXPECT_EQ(late.method(u"RemoveElement", {Typed(VT_I4, 0)}), DISP_E_EXCEPTION);
    EXPECT_EQ(late.excep.scode, E_INVALIDARG);
    UINT count = 5;
    EXPECT_EQ(v->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, ByDispatch(0u, 1u));
}

}  // namespace
}  // namespace host
