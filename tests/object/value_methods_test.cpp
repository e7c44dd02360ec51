// IDataValue methods on single values: status codes and node effects.
#include "tests/object/object_test_support.h"

namespace zk::test {
namespace {

TEST(TypeAndCount, TypePutAcceptsOnlyNodeTypes) {
    auto v = NewValue();
    EXPECT_EQ(TypeOf(v.get()), 0);
    EXPECT_EQ(v->put_Type(5), E_INVALIDARG);
    EXPECT_EQ(v->put_Type(0), E_INVALIDARG);
    EXPECT_EQ(v->put_Type(-1), E_INVALIDARG);
    EXPECT_EQ(TypeOf(v.get()), 0);
    for (LONG t = 1; t <= 4; ++t) {
        EXPECT_EQ(v->put_Type(t), S_OK);
        EXPECT_EQ(TypeOf(v.get()), t);
    }
}

TEST(TypeAndCount, SameTypeKeepsTheValueOtherTypeEmptiesIt) {
    auto v = NewValue();
    Var one;
    SetI4(one, 1);
    v->put_Element(0, one);
    v->put_Element(1, one);
    EXPECT_EQ(v->put_Type(3), S_OK);
    EXPECT_EQ(CountOf(v.get()), 2);
    EXPECT_EQ(v->put_Type(4), S_OK);
    EXPECT_EQ(CountOf(v.get()), 0);
}

TEST(TypeAndCount, CountByType) {
    auto v = NewValue();
    EXPECT_EQ(CountOf(v.get()), 0);
    v->SetStringA("abcd");
    EXPECT_EQ(CountOf(v.get()), 4);
    v->SetInt64(1234);
    EXPECT_EQ(CountOf(v.get()), 0);
    EXPECT_EQ(TypeOf(v.get()), 2);  // counting never coerces
}

TEST(TypeAndCount, ClearKeepsTypeAndKind) {
    auto v = NewValue();
    v->SetInt64(9);
    EXPECT_EQ(v->Clear(), S_OK);
    EXPECT_EQ(TypeOf(v.get()), 2);
    EXPECT_EQ(KindOf(v.get()), ValueKind::UInt64);
    LONGLONG n = -1;
    v->GetInt64(&n);
    EXPECT_EQ(n, 0);

    Var none;
    v->put_Prototype(none);  // now a list
    Var one;
    SetI4(one, 1);
    v->put_Prototype(one);
    v->put_Element(2, one);
    v->Clear();
    EXPECT_EQ(CountOf(v.get()), 0);
    Var p;
    v->get_Prototype(p.out());
    EXPECT_EQ(TypeOf(ObjectIn(p).get()), 2);  // the prototype stays
}

TEST(Kind, PutAcceptsKindsThatFitTheType) {
    auto v = NewValue();
    EXPECT_EQ(v->put_Kind(5), E_INVALIDARG);  // None takes no kind
    v->SetInt64(7);
    EXPECT_EQ(v->put_Kind(11), E_INVALIDARG);
    EXPECT_EQ(v->put_Kind(12), E_INVALIDARG);
    EXPECT_EQ(v->put_Kind(3), S_OK);
    EXPECT_EQ(KindOf(v.get()), 3);
    v->SetStringA("x");
    EXPECT_EQ(v->put_Kind(5), E_INVALIDARG);
    EXPECT_EQ(KindOf(v.get()), ValueKind::Text);
    EXPECT_EQ(v->put_Kind(11), S_OK);
    EXPECT_EQ(BytesOf(v.get()), "x");  // the bytes stay
}

TEST(Options, OnlyCanonicalTrueSets) {
    auto v = NewValue();
    VARIANT_BOOL on = 1;
    v->GetOption(0x1000, &on);
    EXPECT_EQ(on, VARIANT_FALSE);
    EXPECT_EQ(v->SetOption(0x1000, VARIANT_TRUE), S_OK);
    v->GetOption(0x1000, &on);
    EXPECT_EQ(on, VARIANT_TRUE);
    EXPECT_EQ(v->SetOption(0x1000, 1), S_OK);  // 1 is not VARIANT_TRUE: it clears
    v->GetOption(0x1000, &on);
    EXPECT_EQ(on, VARIANT_FALSE);
}

TEST(Options, AnyBitOfTheMaskAnswers) {
    auto v = NewValue();
    v->SetOption(0x3, VARIANT_TRUE);
    v->SetOption(0x1, VARIANT_FALSE);
    VARIANT_BOOL on = 0;
    v->GetOption(0x6, &on);
    EXPECT_EQ(on, VARIANT_TRUE);
    v->GetOption(0x1, &on);
    EXPECT_EQ(on, VARIANT_FALSE);
    v->SetStringA("changing the type keeps options");
    v->GetOption(0x2, &on);
    EXPECT_EQ(on, VARIANT_TRUE);
}

TEST(Integers, GetInt64ReadsIntsAndDecimalStrings) {
    auto v = NewValue();
    LONGLONG n = 5;
    EXPECT_EQ(v->GetInt64(&n), E_UNEXPECTED);
    EXPECT_EQ(n, 0);
    v->SetStringA("  -17abc");
    EXPECT_EQ(v->GetInt64(&n), S_OK);
    EXPECT_EQ(n, -17);
    EXPECT_EQ(TypeOf(v.get()), 1);  // still a string
    v->put_Type(4);
    n = 5;
    EXPECT_EQ(v->GetInt64(&n), E_UNEXPECTED);
    EXPECT_EQ(n, 0);
}

TEST(Integers, SetInt64StoresAnUnsigned64BitKind) {
    auto v = NewValue();
    EXPECT_EQ(v->SetInt64(-1), S_OK);
    EXPECT_EQ(KindOf(v.get()), ValueKind::UInt64);
    LONGLONG n = 0;
    v->GetInt64(&n);
    EXPECT_EQ(n, -1);
}

TEST(Strings, GetStringConvertsAnyStringKind) {
    auto v = NewValue();
    Bstr s;
    EXPECT_EQ(v->GetString(s.out()), E_UNEXPECTED);
    EXPECT_EQ(static_cast<BSTR>(s), nullptr);
    v->SetInt64(3);
    EXPECT_EQ(v->GetString(s.out()), E_UNEXPECTED);
    EXPECT_EQ(static_cast<BSTR>(s), nullptr);
    EXPECT_EQ(CountOf(v.get()), 0);

    const BYTE utf8[] = {'a', 0, 0xE4, 0xB8, 0xAD};  // a, a zero, U+4E2D
    v->SetBytes(utf8, 5);
    EXPECT_EQ(v->GetString(s.out()), S_OK);
    EXPECT_EQ(s.text(), std::u16string(u"a\0\u4E2D", 3));  // zero kept
}

TEST(Strings, SetStringStoresUtf8TextUpToTheZero) {
    auto v = NewValue();
    v->SetOption(0x4000, VARIANT_TRUE);
    v->put_Format(3);
    Bstr s(u"\u4E2Dx\0tail", 7);
    EXPECT_EQ(v->SetString(s), S_OK);
    EXPECT_EQ(BytesOf(v.get()), "\xE4\xB8\xAD" "x");
    EXPECT_EQ(KindOf(v.get()), ValueKind::Text);
    VARIANT_BOOL on = 0;
    v->GetOption(0x4000, &on);
    EXPECT_EQ(on, VARIANT_TRUE);
    LONG format = 0;
    v->get_Format(&format);
    EXPECT_EQ(format, 3);
}

TEST(Strings, NullStringsAreEmpty) {
    auto v = NewValue();
    EXPECT_EQ(v->SetString(nullptr), S_OK);
    EXPECT_EQ(TypeOf(v.get()), 1);
    EXPECT_EQ(CountOf(v.get()), 0);
    EXPECT_EQ(v->StringEqual(nullptr), S_OK);
    v->SetInt64(1);
    EXPECT_EQ(v->SetStringA(nullptr), S_OK);
    EXPECT_EQ(TypeOf(v.get()), 1);
    EXPECT_EQ(KindOf(v.get()), ValueKind::Text);
}

TEST(Strings, StringEqualComparesUtf8) {
    auto v = NewValue();
    EXPECT_EQ(v->StringEqual(Ole(u"")), S_FALSE);  // not a string
    v->SetStringA("\xE4\xB8\xAD");
    EXPECT_EQ(v->StringEqual(Ole(u"\u4E2D")), S_OK);
    EXPECT_EQ(v->StringEqual(Ole(u"\u4E2Dx")), S_FALSE);
    v->put_Kind(11);
    EXPECT_EQ(v->StringEqual(Ole(u"\u4E2D")), S_OK);  // kind plays no part
}

TEST(Strings, SetStringATakesBytesAsTheyAre) {
    auto v = NewValue();
    v->SetBytes(reinterpret_cast<const BYTE*>("zz"), 2);
    EXPECT_EQ(v->SetStringA("\xFF\x01"), S_OK);
    EXPECT_EQ(BytesOf(v.get()), "\xFF\x01");
    EXPECT_EQ(KindOf(v.get()), ValueKind::Text);
}

TEST(Bytes, SetAndGetBytes) {
    auto v = NewValue();
    const BYTE* bytes = reinterpret_cast<const BYTE*>("x");
    LONG length = 7;
    EXPECT_EQ(v->GetBytes(&bytes, &length), E_UNEXPECTED);
    EXPECT_EQ(bytes, nullptr);
    EXPECT_EQ(length, 0);

    const BYTE data[] = {1, 0, 2};
    EXPECT_EQ(v->SetBytes(data, 3), S_OK);
    EXPECT_EQ(KindOf(v.get()), ValueKind::Binary);
    EXPECT_EQ(v->GetBytes(&bytes, &length), S_OK);
    ASSERT_EQ(length, 3);
    EXPECT_EQ(std::memcmp(bytes, data, 3), 0);
    EXPECT_EQ(bytes[3], 0);  // a zero byte follows
}

TEST(Bytes, SetBytesFromItsOwnBuffer) {
    auto v = NewValue();
    std::string long_text(100, 'q');
    v->SetStringA(long_text.c_str());
    const BYTE* bytes = nullptr;
    LONG length = 0;
    v->GetBytes(&bytes, &length);
    EXPECT_EQ(v->SetBytes(bytes + 1, length - 1), S_OK);
    EXPECT_EQ(BytesOf(v.get()), long_text.substr(1));
}

TEST(Bytes, NullPointerOrNegativeLengthIsEmpty) {
    auto v = NewValue();
    EXPECT_EQ(v->SetBytes(nullptr, 5), S_OK);
    EXPECT_EQ(TypeOf(v.get()), 1);
    EXPECT_EQ(CountOf(v.get()), 0);
    v->SetStringA("abc");
    EXPECT_EQ(v->SetBytes(reinterpret_cast<const BYTE*>("abc"), -3), S_OK);
    EXPECT_EQ(CountOf(v.get()), 0);
    EXPECT_EQ(v->BytesEqual(nullptr, 4), S_OK);
    EXPECT_EQ(v->BytesEqual(reinterpret_cast<const BYTE*>("a"), -1), S_OK);
}

TEST(Bytes, BytesEqualByLengthAndContent) {
    auto v = NewValue();
    EXPECT_EQ(v->BytesEqual(nullptr, 0), S_FALSE);  // None
    v->SetStringA("");
    EXPECT_EQ(v->BytesEqual(reinterpret_cast<const BYTE*>(""), 0), S_OK);
    v->SetInt64(0);
    EXPECT_EQ(v->BytesEqual(reinterpret_cast<const BYTE*>(""), 0), S_FALSE);
    const BYTE data[] = {'a', 0, 'b'};
    v->SetBytes(data, 3);
    EXPECT_EQ(v->BytesEqual(data, 3), S_OK);
    EXPECT_EQ(v->BytesEqual(data, 2), S_FALSE);
    EXPECT_EQ(v->BytesEqual(reinterpret_cast<const BYTE*>("a\0c"), 3), S_FALSE);
}

TEST(NullOutPointers, AreAnsweredWithEPointer) {
    auto v = NewValue();
    EXPECT_EQ(v->get_Type(nullptr), E_POINTER);
    EXPECT_EQ(v->get_Count(nullptr), E_POINTER);
    EXPECT_EQ(v->get_Kind(nullptr), E_POINTER);
    EXPECT_EQ(v->get_Format(nullptr), E_POINTER);
    EXPECT_EQ(v->GetOption(1, nullptr), E_POINTER);
    EXPECT_EQ(v->GetInt64(nullptr), E_POINTER);
    EXPECT_EQ(v->GetString(nullptr), E_POINTER);
    const BYTE* bytes;
    LONG length;
    EXPECT_EQ(v->GetBytes(nullptr, &length), E_POINTER);
    EXPECT_EQ(v->GetBytes(&bytes, nullptr), E_POINTER);
    EXPECT_EQ(v->get_Value(nullptr), E_POINTER);
    EXPECT_EQ(v->IsEqual(Typed(VT_EMPTY), nullptr), E_POINTER);
    Bstr key(u"k");
    EXPECT_EQ(v->get_Item(key, nullptr), E_POINTER);
    EXPECT_EQ(v->HasItem(key, nullptr), E_POINTER);
    EXPECT_EQ(v->KeyAt(0, nullptr), E_POINTER);
    Var item;
    Bstr out;
    EXPECT_EQ(v->ItemAt(0, nullptr, item.out()), E_POINTER);
    EXPECT_EQ(v->ItemAt(0, out.out(), nullptr), E_POINTER);
    EXPECT_EQ(v->GetItemA("k", nullptr), E_POINTER);
    EXPECT_EQ(v->get_Element(0, nullptr), E_POINTER);
    EXPECT_EQ(v->get_Prototype(nullptr), E_POINTER);
    EXPECT_EQ(TypeOf(v.get()), 0);  // nothing was coerced
}

}  // namespace
}  // namespace zk::test
