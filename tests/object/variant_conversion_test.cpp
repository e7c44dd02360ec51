// Value get/put and IsEqual: VARIANT types to nodes and back, objects in
// variants, and foreign implementations.
#include "tests/object/object_test_support.h"

namespace zk::test {
namespace {

// Claims to be an IDataValue but is not one of ours.
struct Foreign : IUnknown {
    ULONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

struct IntCase {
    VARTYPE in;
    int64_t bits;
    LONG kind;
    VARTYPE out;
    int64_t stored;
};

TEST(ValuePut, IntegerTypesPickTheKind) {
    const IntCase cases[] = {
        {VT_I1, 0xFF, 1, VT_I1, -1},         {VT_UI1, 0xFF, 2, VT_UI1, 255},
        {VT_I2, 0x8000, 3, VT_I2, -32768},   {VT_UI2, 0xFFFF, 4, VT_UI2, 65535},
        {VT_I4, -5, 5, VT_I4, -5},           {VT_UI4, 0xFFFFFFFF, 6, VT_UI4, 4294967295},
        {VT_INT, -6, 5, VT_I4, -6},          {VT_UINT, 7, 6, VT_UI4, 7},
        {VT_I8, INT64_MIN, 9, VT_I8, INT64_MIN}, {VT_UI8, -1, 10, VT_UI8, -1},
    };
    for (const IntCase& c : cases) {
        auto v = NewValue();
        VARIANT in = Typed(c.in, c.bits);
        EXPECT_EQ(v->put_Value(in), S_OK) << c.in;
        EXPECT_EQ(KindOf(v.get()), c.kind) << c.in;
        EXPECT_EQ(NodeOf(v.get()).num(), c.stored) << c.in;
        Var out;
        EXPECT_EQ(v->get_Value(out.out()), S_OK);
        EXPECT_EQ(out.vt, c.out) << c.in;
    }
}

TEST(ValueGet, KindPicksTheWidth) {
    auto v = NewValue();
    NodeOf(v.get()).setInt(0x1234567890, ValueKind::UInt16);
    Var out;
    v->get_Value(out.out());
    EXPECT_EQ(out.vt, VT_UI2);
    EXPECT_EQ(out.uiVal, 0x7890);
    for (int32_t kind : {0, 7}) {
        NodeOf(v.get()).setInt(-2, kind);
        v->get_Value(out.out());
        EXPECT_EQ(out.vt, VT_INT);
        EXPECT_EQ(out.intVal, -2);
    }
    NodeOf(v.get()).setInt(3, ValueKind::NativeUInt);
    v->get_Value(out.out());
    EXPECT_EQ(out.vt, VT_UINT);
}

TEST(ValueGet, UintRoundTripAndSetInt64) {
    auto v = NewValue();
    v->put_Value(Typed(VT_UINT, 7));
    Var out;
    v->get_Value(out.out());
    EXPECT_EQ(out.vt, VT_UI4);
    EXPECT_EQ(out.ulVal, 7u);
    EXPECT_EQ(KindOf(v.get()), 6);

    v->SetInt64(-1);
    v->get_Value(out.out());
    EXPECT_EQ(out.vt, VT_UI8);
    EXPECT_EQ(out.ullVal, ~0ull);
}

TEST(ValuePut, UnsupportedTypesLeaveTheNode) {
    auto v = NewValue();
    v->SetStringA("keep");
    for (int vt : {int{VT_BOOL}, int{VT_R8}, int{VT_NULL}, int{VT_DATE}, int{VT_R4}, int{VT_CY}, int{VT_ERROR}, VT_I4 | VT_BYREF}) {
        EXPECT_EQ(v->put_Value(Typed(static_cast<VARTYPE>(vt), 1)), E_INVALIDARG) << vt;
        EXPECT_EQ(BytesOf(v.get()), "keep");
    }
    Var inner;
    SetI4(inner, 3);
    VARIANT byref = Typed(VT_VARIANT | VT_BYREF);
    byref.pvarVal = &inner;
    EXPECT_EQ(v->put_Value(byref), E_INVALIDARG);
    EXPECT_EQ(v->putref_Value(Typed(VT_BOOL)), E_INVALIDARG);
}

TEST(ValuePut, StringsAndByteArrays) {
    auto v = NewValue();
    Var text;
    SetText(text, u"ab\u4E2D");
    EXPECT_EQ(v->put_Value(text), S_OK);
    EXPECT_EQ(BytesOf(v.get()), "ab\xE4\xB8\xAD");
    EXPECT_EQ(KindOf(v.get()), ValueKind::Text);
    Var out;
    v->get_Value(out.out());
    ASSERT_EQ(out.vt, VT_BSTR);
    EXPECT_EQ(U16(out.bstrVal), u"ab\u4E2D");

    Var bytes;
    SetBytes(bytes, std::string("\x00\x01\x02", 3));
    EXPECT_EQ(v->put_Value(bytes), S_OK);
    EXPECT_EQ(KindOf(v.get()), ValueKind::Binary);
    v->get_Value(out.out());
    ASSERT_EQ(out.vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(out.parray->rgsabound[0].cElements, 3u);
    EXPECT_EQ(std::memcmp(out.parray->pvData, "\x00\x01\x02", 3), 0);
}

TEST(ValuePut, BstrStopsAtItsFirstZero) {
    auto v = NewValue();
    Var text;
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocStringLen(Ole(u"a\0b"), 3);
    v->put_Value(text);
    EXPECT_EQ(BytesOf(v.get()), "a");
}

TEST(ValuePut, NullStringAndNullArrayAreEmpty) {
    auto v = NewValue();
    v->SetInt64(5);
    EXPECT_EQ(v->put_Value(Typed(VT_BSTR)), S_OK);
    EXPECT_EQ(TypeOf(v.get()), 1);
    EXPECT_EQ(CountOf(v.get()), 0);
    EXPECT_EQ(KindOf(v.get()), ValueKind::Text);
    EXPECT_EQ(v->put_Value(Typed(VT_ARRAY | VT_UI1)), S_OK);
    EXPECT_EQ(KindOf(v.get()), ValueKind::Binary);
    EXPECT_EQ(CountOf(v.get()), 0);
}

TEST(ValueGet, StringKindsChooseBstrOrByteArray) {
    auto v = NewValue();
    v->SetStringA("x\0y");  // text ends at the zero here anyway
    Var out;
    v->get_Value(out.out());
    EXPECT_EQ(out.vt, VT_BSTR);

    const BYTE withZero[] = {'a', 0, 'b'};
    v->SetBytes(withZero, 3);
    v->put_Kind(ValueKind::Text);
    v->get_Value(out.out());
    ASSERT_EQ(out.vt, VT_BSTR);
    EXPECT_EQ(SysStringLen(out.bstrVal), 1u);  // allocated as a zero-terminated string

    NodeOf(v.get()).setStr(std::string_view("raw"), ValueKind::Unspecified);
    v->get_Value(out.out());
    EXPECT_EQ(out.vt, VT_ARRAY | VT_UI1);
}

TEST(ValueGet, ContainersAndNoneReturnTheObjectItself) {
    auto v = NewValue();
    for (LONG type : {0, 3, 4}) {
        if (type) v->put_Type(type);
        Var out;
        ASSERT_EQ(v->get_Value(out.out()), S_OK);
        ASSERT_EQ(out.vt, VT_DISPATCH);
        EXPECT_EQ(out.pdispVal, static_cast<IDispatch*>(v.get()));
    }
}

TEST(ValuePut, EmptyClearsKeepingTheType) {
    auto v = NewValue();
    PutItem(v.get(), u"a", Typed(VT_I4, 1));
    EXPECT_EQ(v->put_Value(Typed(VT_EMPTY)), S_OK);
    EXPECT_EQ(TypeOf(v.get()), 4);
    EXPECT_EQ(CountOf(v.get()), 0);
}

TEST(ValuePut, AnotherObjectIsCopiedDeeply) {
    auto source = NewValue();
    PutItem(source.get(), u"n", Typed(VT_I4, 5));
    source->put_Format(3);
    auto target = NewValue();
    Var object;
    SetObject(object, source.get());
    EXPECT_EQ(target->put_Value(object), S_OK);
    EXPECT_EQ(CountOf(target.get()), 1);
    LONG format = 0;
    target->get_Format(&format);
    EXPECT_EQ(format, 3);

    PutItem(source.get(), u"m", Typed(VT_I4, 6));
    PutItem(Item(target.get(), u"n").get(), u"deep", Typed(VT_I4, 1));
    EXPECT_EQ(CountOf(target.get()), 1);
    EXPECT_EQ(TypeOf(Item(source.get(), u"n").get()), 2);

    VARIANT_BOOL equal = 0;
    Var copy;
    SetObject(copy, target.get());
    source->IsEqual(copy, &equal);
    EXPECT_EQ(equal, VARIANT_FALSE);
}

TEST(ValuePut, ObjectByReferenceAndAsUnknown) {
    auto source = NewValue();
    source->SetStringA("s");
    auto target = NewValue();
    IDispatch* dispatch = source.get();
    VARIANT byref = Typed(VT_DISPATCH | VT_BYREF);
    byref.ppdispVal = &dispatch;
    EXPECT_EQ(target->put_Value(byref), S_OK);
    EXPECT_EQ(BytesOf(target.get()), "s");

    source->SetStringA("u");
    VARIANT unknown = Typed(VT_UNKNOWN);
    unknown.punkVal = source.get();
    EXPECT_EQ(target->put_Value(unknown), S_OK);
    EXPECT_EQ(BytesOf(target.get()), "u");

    VARIANT nullRef = Typed(VT_UNKNOWN | VT_BYREF);
    EXPECT_EQ(target->put_Value(nullRef), E_INVALIDARG);
    EXPECT_EQ(target->put_Value(Typed(VT_DISPATCH)), E_INVALIDARG);
}

TEST(ValuePut, TheObjectItselfChangesNothing) {
    auto v = NewValue();
    PutItem(v.get(), u"k", Typed(VT_I4, 2));
    Var self;
    SetObject(self, v.get());
    EXPECT_EQ(v->put_Value(self), S_OK);
    EXPECT_EQ(CountOf(v.get()), 1);
    EXPECT_EQ(KeyAtOf(v.get(), 0), u"k");
}

TEST(ValuePut, AnObjectIntoItsOwnChildCopiesTheTreeAsItWas) {
    auto v = NewValue();
    PutItem(v.get(), u"a", Typed(VT_I4, 1));
    Var self;
    SetObject(self, v.get());
    EXPECT_EQ(PutItem(v.get(), u"b", self), S_OK);
    auto b = Item(v.get(), u"b");
    EXPECT_EQ(CountOf(b.get()), 2);  // a, and b as it was when copied (None)
    EXPECT_EQ(TypeOf(Item(b.get(), u"b").get()), 0);
}

TEST(ValuePut, ForeignImplementationsAreRefused) {
    Foreign foreign;
    auto v = NewValue();
    v->SetStringA("keep");
    VARIANT object = Typed(VT_UNKNOWN);
    object.punkVal = &foreign;
    EXPECT_EQ(v->put_Value(object), E_INVALIDARG);
    EXPECT_EQ(BytesOf(v.get()), "keep");
    EXPECT_EQ(foreign.refs, 1u);  // the query's reference was given back
    VARIANT_BOOL equal = VARIANT_TRUE;
    EXPECT_EQ(v->IsEqual(object, &equal), S_OK);
    EXPECT_EQ(equal, VARIANT_FALSE);
    EXPECT_EQ(foreign.refs, 1u);
}

bool Equal(IDataValue* v, const VARIANT& value) {
    VARIANT_BOOL equal = 7;
    EXPECT_EQ(v->IsEqual(value, &equal), S_OK);
    EXPECT_TRUE(equal == VARIANT_TRUE || equal == VARIANT_FALSE);
    return equal == VARIANT_TRUE;
}

TEST(IsEqual, IntegersCompareByTheVariantsWidth) {
    auto v = NewValue();
    v->put_Value(Typed(VT_I4, 261));
    EXPECT_TRUE(Equal(v.get(), Typed(VT_UI1, 5)));
    EXPECT_TRUE(Equal(v.get(), Typed(VT_I1, 5)));
    EXPECT_FALSE(Equal(v.get(), Typed(VT_I2, 5)));
    EXPECT_TRUE(Equal(v.get(), Typed(VT_UI2, 261)));
    v->SetInt64(-1);
    EXPECT_TRUE(Equal(v.get(), Typed(VT_I4, -1)));
    EXPECT_TRUE(Equal(v.get(), Typed(VT_UI4, 0xFFFFFFFF)));
    EXPECT_TRUE(Equal(v.get(), Typed(VT_UINT, 0xFFFFFFFF)));
    EXPECT_TRUE(Equal(v.get(), Typed(VT_UI8, -1)));
    EXPECT_FALSE(Equal(v.get(), Typed(VT_I8, 0xFFFFFFFF)));
    v->SetStringA("5");
    EXPECT_FALSE(Equal(v.get(), Typed(VT_UI1, 5)));
}

TEST(IsEqual, StringsAndArrays) {
    auto v = NewValue();
    const BYTE bytes[] = {'a', 0, 'b'};
    v->SetBytes(bytes, 3);
    Var text;
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocStringLen(Ole(u"a\0b"), 3);
    EXPECT_TRUE(Equal(v.get(), text));  // the whole stored length, any kind
    Var shorter;
    SetText(shorter, u"a");
    EXPECT_FALSE(Equal(v.get(), shorter));
    Var array;
    SetBytes(array, std::string("a\0b", 3));
    EXPECT_TRUE(Equal(v.get(), array));
    SetBytes(array, "a");
    EXPECT_FALSE(Equal(v.get(), array));

    v->SetStringA("");
    EXPECT_TRUE(Equal(v.get(), Typed(VT_BSTR)));  // null string: empty
    EXPECT_TRUE(Equal(v.get(), Typed(VT_ARRAY | VT_UI1)));
    v->SetInt64(0);
    EXPECT_FALSE(Equal(v.get(), Typed(VT_BSTR)));
}

TEST(IsEqual, ObjectsCompareTrees) {
    auto a = NewValue();
    auto b = NewValue();
    Var bv;
    SetObject(bv, b.get());
    EXPECT_FALSE(Equal(a.get(), bv));  // two None nodes are not equal
    PutItem(a.get(), u"x", Typed(VT_I4, 1));
    PutItem(a.get(), u"y", Typed(VT_I2, 2));
    PutItem(b.get(), u"y", Typed(VT_I8, 2));
    PutItem(b.get(), u"x", Typed(VT_UI1, 1));
    EXPECT_TRUE(Equal(a.get(), bv));  // order and kinds play no part
    EXPECT_FALSE(Equal(a.get(), Typed(VT_BOOL, -1)));
    EXPECT_FALSE(Equal(a.get(), Typed(VT_EMPTY)));
}

}  // namespace
}  // namespace zk::test
