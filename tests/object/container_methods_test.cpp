// Map and list methods: coercion, creation on read, keys and positions,
// child objects as live views, and the list prototype.
#include "tests/object/object_test_support.h"

namespace zk::test {
namespace {

std::vector<std::u16string> Keys(IDataValue* map) {
    std::vector<std::u16string> keys;
    for (LONG i = 0; i < CountOf(map); ++i) keys.push_back(KeyAtOf(map, i));
    return keys;
}

TEST(MapItem, GetCreatesTheKeyWithANoneChild) {
    auto v = NewValue();
    v->put_Type(4);
    auto child = Item(v.get(), u"k");
    ASSERT_TRUE(child);
    EXPECT_EQ(TypeOf(child.get()), 0);
    EXPECT_EQ(CountOf(v.get()), 1);
    EXPECT_EQ(KeyAtOf(v.get(), 0), u"k");
}

TEST(MapItem, GetOnAnIntMakesAMap) {
    auto v = NewValue();
    v->SetInt64(42);
    auto child = Item(v.get(), u"only");
    EXPECT_EQ(TypeOf(v.get()), 4);
    EXPECT_EQ(Keys(v.get()), std::vector<std::u16string>{u"only"});
}

TEST(MapItem, ChildrenAreLiveViews) {
    auto v = NewValue();
    auto child = Item(v.get(), u"n");
    child->SetInt64(5);
    auto again = Item(v.get(), u"n");
    EXPECT_NE(again.get(), child.get());  // a new object each time, over one node
    LONGLONG n = 0;
    again->GetInt64(&n);
    EXPECT_EQ(n, 5);
}

TEST(MapItem, PutStoresThroughFromVariant) {
    auto v = NewValue();
    Var text;
    SetText(text, u"abc");
    EXPECT_EQ(PutItem(v.get(), u"name", text), S_OK);
    EXPECT_EQ(PutItem(v.get(), u"n", Typed(VT_I4, 5)), S_OK);
    EXPECT_EQ(Keys(v.get()), (std::vector<std::u16string>{u"name", u"n"}));
    EXPECT_EQ(BytesOf(Item(v.get(), u"name").get()), "abc");
    EXPECT_EQ(KindOf(Item(v.get(), u"n").get()), ValueKind::Int32);
    Bstr key(u"n");
    EXPECT_EQ(v->putref_Item(key, Typed(VT_UI1, 9)), S_OK);
    EXPECT_EQ(KindOf(Item(v.get(), u"n").get()), ValueKind::UInt8);
}

TEST(MapItem, UnsupportedValueStillCreatesTheKey) {
    auto v = NewValue();
    EXPECT_EQ(PutItem(v.get(), u"b", Typed(VT_BOOL, -1)), E_INVALIDARG);
    EXPECT_EQ(CountOf(v.get()), 1);
    EXPECT_EQ(TypeOf(Item(v.get(), u"b").get()), 0);
}

TEST(MapItem, EmptyKeysAreRefusedWithoutChange) {
    auto v = NewValue();
    v->SetInt64(3);
    Bstr empty(u"");
    Var item;
    VARIANT_BOOL has = 5;
    for (BSTR key : {static_cast<BSTR>(empty), static_cast<BSTR>(nullptr)}) {
        EXPECT_EQ(v->get_Item(key, item.out()), E_INVALIDARG);
        EXPECT_EQ(item.vt, VT_EMPTY);
        EXPECT_EQ(v->put_Item(key, Typed(VT_I4, 1)), E_INVALIDARG);
        EXPECT_EQ(v->putref_Item(key, Typed(VT_I4, 1)), E_INVALIDARG);
        EXPECT_EQ(v->InsertItem(0, key, Typed(VT_I4, 1)), E_INVALIDARG);
        EXPECT_EQ(v->RemoveItem(key), E_INVALIDARG);
        EXPECT_EQ(v->HasItem(key, &has), E_INVALIDARG);
        EXPECT_EQ(has, 5);  // out untouched
    }
    EXPECT_EQ(TypeOf(v.get()), 2);  // still the Int
}

TEST(MapItem, NarrowEmptyKeyIsAnOrdinaryKey) {
    auto v = NewValue();
    Var item;
    EXPECT_EQ(v->GetItemA("", item.out()), S_OK);
    EXPECT_EQ(CountOf(v.get()), 1);
    Bstr key;
    EXPECT_EQ(v->KeyAt(0, key.out()), E_FAIL);
    EXPECT_EQ(static_cast<BSTR>(key), nullptr);
    EXPECT_EQ(v->HasItemA(""), S_OK);
    EXPECT_EQ(v->HasItemA(nullptr), S_OK);  // null is the empty key
}

// GetBytes lends the node's own bytes; handed back as the key of a method
// that makes the node a map, they are read before the string goes.
TEST(MapItem, ANarrowKeyLentByTheSameNode) {
    for (const char* text : {"inline", "a key too long to be kept inline"}) {
        auto v = NewValue();
        v->SetStringA(text);
        const BYTE* bytes = nullptr;
        LONG length = 0;
        ASSERT_EQ(v->GetBytes(&bytes, &length), S_OK);
        EXPECT_EQ(v->PutItemA(reinterpret_cast<const char*>(bytes), Typed(VT_I4, 1)), S_OK);
        EXPECT_EQ(TypeOf(v.get()), 4);
        EXPECT_EQ(v->HasItemA(text), S_OK) << text;
        EXPECT_EQ(CountOf(v.get()), 1);
    }
}

TEST(MapItem, WideKeysAreGbkNarrowKeysAreRaw) {
    auto v = NewValue();
    EXPECT_EQ(PutItem(v.get(), u"\u4E2D", Typed(VT_I4, 1)), S_OK);
    EXPECT_EQ(v->HasItemA("\xD6\xD0"), S_OK);  // the GBK bytes of U+4E2D
    EXPECT_EQ(v->HasItemA("\xE4\xB8\xAD"), S_FALSE);  // its UTF-8 bytes are another key
    EXPECT_EQ(v->PutItemA("\xE4\xB8\xAD", Typed(VT_I4, 2)), S_OK);
    EXPECT_EQ(CountOf(v.get()), 2);
    EXPECT_EQ(KeyAtOf(v.get(), 0), u"\u4E2D");
}

TEST(MapItem, WideKeyUsesItsWholeStoredLength) {
    auto v = NewValue();
    Bstr key(u"a\0b", 3);
    EXPECT_EQ(v->put_Item(key, Typed(VT_I4, 1)), S_OK);
    EXPECT_EQ(v->HasItemA("a"), S_FALSE);
    EXPECT_EQ(KeyAtOf(v.get(), 0), std::u16string(u"a\0b", 3));
}

TEST(InsertItem, PositionCountsInsertionOrder) {
    auto v = NewValue();
    PutItem(v.get(), u"x", Typed(VT_I4, 1));
    PutItem(v.get(), u"z", Typed(VT_I4, 3));
    Bstr y(u"y");
    EXPECT_EQ(v->InsertItem(0, y, Typed(VT_I4, 2)), S_OK);
    EXPECT_EQ(Keys(v.get()), (std::vector<std::u16string>{u"y", u"x", u"z"}));
    EXPECT_EQ(KindOf(Item(v.get(), u"y").get()), ValueKind::Int32);
    Bstr x(u"x"), w(u"w");
    EXPECT_EQ(v->InsertItem(1, x, Typed(VT_I4, 0)), E_INVALIDARG);  // exists
    EXPECT_EQ(v->InsertItem(4, w, Typed(VT_I4, 0)), E_INVALIDARG);  // past the end
    EXPECT_EQ(v->InsertItem(-1, w, Typed(VT_I4, 0)), E_INVALIDARG);
    EXPECT_EQ(v->InsertItem(3, w, Typed(VT_I4, 0)), S_OK);  // appends
    EXPECT_EQ(KeyAtOf(v.get(), 3), u"w");
}

TEST(InsertItem, OnThreeKeysPositionThreeAppendsFourFails) {
    auto v = NewValue();
    for (const char16_t* k : {u"a", u"b"}) PutItem(v.get(), k, Typed(VT_I4, 0));
    Bstr c(u"c");
    EXPECT_EQ(v->InsertItem(3, c, Typed(VT_I4, 0)), E_INVALIDARG);
    EXPECT_EQ(CountOf(v.get()), 2);
}

TEST(InsertItem, UnsupportedValueLeavesANoneChild) {
    auto v = NewValue();
    Bstr k(u"k");
    EXPECT_EQ(v->InsertItem(0, k, Typed(VT_R8)), E_INVALIDARG);
    EXPECT_EQ(CountOf(v.get()), 1);
    EXPECT_EQ(TypeOf(Item(v.get(), u"k").get()), 0);
}

TEST(RemoveItem, RemovesOrRefuses) {
    auto v = NewValue();
    v->SetInt64(1);
    Bstr k(u"k");
    EXPECT_EQ(v->RemoveItem(k), E_INVALIDARG);
    EXPECT_EQ(TypeOf(v.get()), 4);  // coerced to an empty map first
    EXPECT_EQ(CountOf(v.get()), 0);
    PutItem(v.get(), u"k", Typed(VT_I4, 1));
    EXPECT_EQ(v->RemoveItem(k), S_OK);
    EXPECT_EQ(v->RemoveItem(k), E_INVALIDARG);
}

TEST(RemoveItem, AHeldChildSurvivesDetached) {
    auto v = NewValue();
    auto child = Item(v.get(), u"k");
    child->SetStringA("kept");
    Bstr k(u"k");
    v->RemoveItem(k);
    EXPECT_EQ(BytesOf(child.get()), "kept");
    child->SetStringA("changed");
    EXPECT_EQ(TypeOf(Item(v.get(), u"k").get()), 0);  // a new key, not the detached node
}

TEST(HasItem, NeverCoerces) {
    auto v = NewValue();
    v->SetInt64(3);
    Bstr k(u"k");
    VARIANT_BOOL has = VARIANT_TRUE;
    EXPECT_EQ(v->HasItem(k, &has), S_OK);
    EXPECT_EQ(has, VARIANT_FALSE);
    EXPECT_EQ(v->HasItemA("k"), S_FALSE);
    EXPECT_EQ(TypeOf(v.get()), 2);
    PutItem(v.get(), u"k", Typed(VT_I4, 1));
    v->HasItem(k, &has);
    EXPECT_EQ(has, VARIANT_TRUE);
    EXPECT_EQ(v->HasItemA("k"), S_OK);
}

TEST(KeyAt, IndexOutOfRangeAfterCoercion) {
    auto v = NewValue();
    v->SetStringA("s");
    Bstr key;
    EXPECT_EQ(v->KeyAt(0, key.out()), E_INVALIDARG);
    EXPECT_EQ(TypeOf(v.get()), 4);
    PutItem(v.get(), u"a", Typed(VT_I4, 1));
    EXPECT_EQ(v->KeyAt(1, key.out()), E_INVALIDARG);
    EXPECT_EQ(v->KeyAt(-1, key.out()), E_INVALIDARG);
    EXPECT_EQ(static_cast<BSTR>(key), nullptr);
}

TEST(ItemAt, ReturnsKeyAndChild) {
    auto v = NewValue();
    PutItem(v.get(), u"a", Typed(VT_I4, 1));
    PutItem(v.get(), u"b", Typed(VT_I4, 2));
    Bstr key;
    Var item;
    EXPECT_EQ(v->ItemAt(1, key.out(), item.out()), S_OK);
    EXPECT_EQ(key.text(), u"b");
    LONGLONG n = 0;
    ObjectIn(item)->GetInt64(&n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(v->ItemAt(2, key.out(), item.out()), E_INVALIDARG);
    EXPECT_EQ(static_cast<BSTR>(key), nullptr);
    EXPECT_EQ(item.vt, VT_EMPTY);
}

TEST(ItemAt, EmptyConvertedKeyIsAFailure) {
    auto v = NewValue();
    v->PutItemA("", Typed(VT_I4, 1));
    Bstr key;
    Var item;
    EXPECT_EQ(v->ItemAt(0, key.out(), item.out()), E_FAIL);
    EXPECT_EQ(item.vt, VT_EMPTY);
}

TEST(Element, PutPastTheEndGrowsWithNoneItems) {
    auto v = NewValue();
    EXPECT_EQ(v->put_Element(3, Typed(VT_I4, 7)), S_OK);
    EXPECT_EQ(TypeOf(v.get()), 3);
    EXPECT_EQ(CountOf(v.get()), 4);
    for (LONG i = 0; i < 3; ++i) EXPECT_EQ(TypeOf(Element(v.get(), i).get()), 0);
    EXPECT_EQ(KindOf(Element(v.get(), 3).get()), ValueKind::Int32);
    EXPECT_EQ(v->putref_Element(0, Typed(VT_I2, 1)), S_OK);
    EXPECT_EQ(KindOf(Element(v.get(), 0).get()), ValueKind::Int16);
}

TEST(Element, GetOnAMapMakesAList) {
    auto v = NewValue();
    PutItem(v.get(), u"a", Typed(VT_I4, 1));
    auto e = Element(v.get(), 1);
    EXPECT_EQ(TypeOf(v.get()), 3);
    EXPECT_EQ(CountOf(v.get()), 2);
}

TEST(Element, NegativeIndicesReachTheSharedScratchNode) {
    auto v = NewValue();
    v->put_Element(1, Typed(VT_I4, 0));
    auto scratch = Element(v.get(), -1);
    EXPECT_EQ(CountOf(v.get()), 2);  // the list keeps its length
    EXPECT_EQ(v->put_Element(-1, Typed(VT_I4, 77)), S_OK);
    auto other = NewValue();
    auto seen = Element(other.get(), -5);
    LONGLONG n = 0;
    seen->GetInt64(&n);
    EXPECT_EQ(n, 77);
    EXPECT_EQ(CountOf(other.get()), 0);
    other->put_Element(-2, Typed(VT_EMPTY));
    scratch->put_Type(2);
    scratch->Clear();  // leave the process-wide node as other tests expect it
}

TEST(Element, HeldElementStaysBoundToItsPosition) {
    auto v = NewValue();
    v->put_Element(0, Typed(VT_I4, 10));
    v->put_Element(1, Typed(VT_I4, 11));
    auto second = Element(v.get(), 1);
    EXPECT_EQ(v->InsertElement(0, Typed(VT_I4, 9)), S_OK);
    LONGLONG n = 0;
    second->GetInt64(&n);
    EXPECT_EQ(n, 10);  // position 1 now holds what was at 0
}

TEST(InsertElement, AtCountAppendsPastItFails) {
    auto v = NewValue();
    v->put_Element(1, Typed(VT_I4, 1));
    EXPECT_EQ(v->InsertElement(2, Typed(VT_I4, 2)), S_OK);
    EXPECT_EQ(CountOf(v.get()), 3);
    EXPECT_EQ(v->InsertElement(4, Typed(VT_I4, 2)), E_INVALIDARG);
    EXPECT_EQ(v->InsertElement(-1, Typed(VT_I4, 2)), E_INVALIDARG);
    EXPECT_EQ(CountOf(v.get()), 3);
}

TEST(InsertElement, UnsupportedValueLeavesANoneElement) {
    auto v = NewValue();
    v->put_Element(0, Typed(VT_I4, 1));
    EXPECT_EQ(v->InsertElement(0, Typed(VT_BOOL, -1)), E_INVALIDARG);
    EXPECT_EQ(CountOf(v.get()), 2);
    EXPECT_EQ(TypeOf(Element(v.get(), 0).get()), 0);
    EXPECT_EQ(TypeOf(Element(v.get(), 1).get()), 2);
}

TEST(RemoveElement, RemovesOrRefuses) {
    auto v = NewValue();
    v->SetStringA("s");
    EXPECT_EQ(v->RemoveElement(0), E_INVALIDARG);
    EXPECT_EQ(TypeOf(v.get()), 3);
    v->put_Element(1, Typed(VT_I4, 5));
    EXPECT_EQ(v->RemoveElement(0), S_OK);
    EXPECT_EQ(CountOf(v.get()), 1);
    EXPECT_EQ(KindOf(Element(v.get(), 0).get()), ValueKind::Int32);
    EXPECT_EQ(v->RemoveElement(1), E_INVALIDARG);
    EXPECT_EQ(v->RemoveElement(-1), E_INVALIDARG);
}

TEST(Prototype, FreshListHasANonePrototype) {
    auto v = NewValue();
    Var p;
    EXPECT_EQ(v->get_Prototype(p.out()), S_OK);
    EXPECT_EQ(TypeOf(v.get()), 3);
    EXPECT_EQ(TypeOf(ObjectIn(p).get()), 0);
    EXPECT_EQ(v->put_Prototype(Typed(VT_I4, 3)), S_OK);
    v->get_Prototype(p.out());
    auto prototype = ObjectIn(p);
    EXPECT_EQ(TypeOf(prototype.get()), 2);
    EXPECT_EQ(KindOf(prototype.get()), 5);
    EXPECT_EQ(v->putref_Prototype(Typed(VT_UI2, 3)), S_OK);
    EXPECT_EQ(KindOf(prototype.get()), 4);  // the held object sees the change
    EXPECT_EQ(CountOf(v.get()), 0);
}

}  // namespace
}  // namespace zk::test
