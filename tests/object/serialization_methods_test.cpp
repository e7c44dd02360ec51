// Format, caller-buffer and byte-array methods, and what they leave in the
// thread's last-error slot.

#include "object/publish_error.h"
#include "tests/object/object_test_support.h"
#include "tests/support/other_thread.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/codec/format_switch.h"

namespace zk::test {
namespace {

constexpr DWORD kUntouched = 777;

bool HasWriter(uint8_t format) { return CodecFor(format).write != nullptr; }
bool HasReader(uint8_t format) { return CodecFor(format).read != nullptr; }

// The map of the road of one request: {"name":"abc","n":5} in JSON.
Ref<IDataValue> NameAndNumber() {
    auto v = NewValue();
    v->put_Type(4);
    Var text;
    SetText(text, u"abc");
    PutItem(v.get(), u"name", text);
    PutItem(v.get(), u"n", Typed(VT_I4, 5));
    v->put_Format(3);
    return v;
}

LONG FormatOf(IDataValue* v) {
    LONG format = -1;
    v->get_Format(&format);
    return format;
}

TEST(Format, LowByteSelectsTheFormat) {
    auto v = NewValue();
    SetLastError(kUntouched);
    EXPECT_EQ(FormatOf(v.get()), 1);
    EXPECT_EQ(v->put_Format(257), S_OK);
    EXPECT_EQ(FormatOf(v.get()), 1);
    EXPECT_EQ(v->put_Format(-1), S_OK);
    EXPECT_EQ(FormatOf(v.get()), 255);
    EXPECT_EQ(v->put_Format(6), E_INVALIDARG);
    EXPECT_EQ(v->put_Format(254), E_INVALIDARG);
    EXPECT_EQ(FormatOf(v.get()), 255);
    EXPECT_EQ(v->put_Format(0x300), S_OK);
    EXPECT_EQ(FormatOf(v.get()), 0);
    EXPECT_EQ(GetLastError(), kUntouched);  // no publication
}

TEST(WriteToBuffer, NullPointersAreRefused) {
    auto v = NewValue();
    BYTE buffer[4];
    SetLastError(kUntouched);
    EXPECT_EQ(v->WriteToBuffer(buffer, nullptr), E_INVALIDARG);
    EXPECT_EQ(GetLastError(), 20100001u);
    ULONG size = 4;
    SetLastError(kUntouched);
    EXPECT_EQ(v->WriteToBuffer(nullptr, &size), E_INVALIDARG);
    EXPECT_EQ(GetLastError(), 20100001u);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(v->ReadFromBuffer(buffer, nullptr), E_INVALIDARG);
    EXPECT_EQ(v->ReadFromBuffer(nullptr, &size), E_INVALIDARG);
    EXPECT_EQ(TypeOf(v.get()), 0);
}

TEST(WriteToBuffer, RoadOfOneRequest) {
    if (!HasWriter(FormatId::Json)) GTEST_SKIP() << "no JSON writer in this build yet";
    auto v = NameAndNumber();
    ULONG size = 0;
    EXPECT_EQ(v->WriteToBuffer(nullptr, &size), E_FAIL);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(GetLastError(), 20100006u);
    BYTE buffer[24] = {};
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(v->WriteToBuffer(buffer, &size), S_OK);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 21), "{\"name\":\"abc\",\"n\":5}#");
}

TEST(WriteToBuffer, CodecFailureKeepsTheSize) {
    auto v = NewValue();  // a None node: no writer accepts it
    ULONG size = 100;
    BYTE buffer[100];
    EXPECT_EQ(v->WriteToBuffer(buffer, &size), E_FAIL);
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_EQ(size, 100u);
}

TEST(ReadFromBuffer, PublishesEveryOutcome) {
    if (!HasWriter(FormatId::Json) || !HasReader(FormatId::Json)) GTEST_SKIP() << "no JSON codec yet";
    const char text[] = "{\"name\":\"abc\",\"n\":5}";
    auto v = NewValue();
    v->put_Format(3);
    ULONG size = 20;
    SetLastError(kUntouched);
    EXPECT_EQ(v->ReadFromBuffer(reinterpret_cast<const BYTE*>(text), &size), S_OK);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_NE(size, 0u);
    auto expected = NameAndNumber();
    Var object;
    SetObject(object, expected.get());
    VARIANT_BOOL equal = 0;
    v->IsEqual(object, &equal);
    EXPECT_EQ(equal, VARIANT_TRUE);

    size = 3;
    EXPECT_EQ(v->ReadFromBuffer(reinterpret_cast<const BYTE*>("{\"a"), &size), E_FAIL);
    EXPECT_EQ(size, 0u);
    EXPECT_NE(GetLastError(), 0u);
    size = 0;
    EXPECT_EQ(v->ReadFromBuffer(nullptr, &size), E_FAIL);  // an empty input reaches the reader
}

TEST(Lua, NullStateIsRefusedAndPublished) {
    auto v = NewValue();
    SetLastError(kUntouched);
    EXPECT_EQ(v->PushToLua(nullptr), E_INVALIDARG);
    EXPECT_EQ(GetLastError(), 20100001u);
    SetLastError(kUntouched);
    EXPECT_EQ(v->ReadFromLua(nullptr, -1), E_INVALIDARG);
    EXPECT_EQ(GetLastError(), 20100001u);
}

Ref<IDataBytes> BytesOfObject(IDataValue* v) {
    Ref<IDataBytes> bytes;
    v->QueryInterface(IID_IDataBytes, bytes.outVoid());
    return bytes;
}

TEST(Save, NullOutAndCodecFailure) {
    auto v = NewValue();
    auto bytes = BytesOfObject(v.get());
    SetLastError(kUntouched);
    EXPECT_EQ(bytes->Save(nullptr), E_INVALIDARG);
    EXPECT_EQ(GetLastError(), 20100001u);
    SAFEARRAY* array = reinterpret_cast<SAFEARRAY*>(1);
    EXPECT_EQ(bytes->Save(&array), E_FAIL);  // a None node has no serialized form
    EXPECT_EQ(array, reinterpret_cast<SAFEARRAY*>(1));  // not written
    if (HasWriter(FormatId::Xml)) {
        EXPECT_EQ(GetLastError(), 25000001u);
    }
}

TEST(Save, ReturnsTheBytesAndPublishesNothing) {
    if (!HasWriter(FormatId::Json)) GTEST_SKIP() << "no JSON writer in this build yet";
    auto v = NameAndNumber();
    auto bytes = BytesOfObject(v.get());
    SetLastError(kUntouched);
    SAFEARRAY* array = nullptr;
    ASSERT_EQ(bytes->Save(&array), S_OK);
    EXPECT_EQ(GetLastError(), kUntouched);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->cDims, 1);
    EXPECT_EQ(array->cLocks, 0u);
    EXPECT_EQ(array->rgsabound[0].lLbound, 0);
    ASSERT_EQ(array->rgsabound[0].cElements, 20u);
    EXPECT_EQ(std::memcmp(array->pvData, "{\"name\":\"abc\",\"n\":5}", 20), 0);
    SafeArrayDestroy(array);
}

TEST(Load, RefusesEmptyAndNullArguments) {
    auto v = NewValue();
    v->SetStringA("keep");
    v->put_Format(3);
    auto bytes = BytesOfObject(v.get());
    const BYTE data[] = {'1'};
    ULONG consumed = 9;
    SetLastError(kUntouched);
    EXPECT_EQ(bytes->Load(data, 0, &consumed), E_INVALIDARG);
    EXPECT_EQ(GetLastError(), 20100001u);
    EXPECT_EQ(consumed, 9u);
    EXPECT_EQ(bytes->Load(nullptr, 1, &consumed), E_INVALIDARG);
    EXPECT_EQ(bytes->Load(data, 1, nullptr), E_INVALIDARG);
    EXPECT_EQ(bytes->LoadArray(nullptr, &consumed), E_INVALIDARG);
    EXPECT_EQ(BytesOf(v.get()), "keep");

    SetLastError(kUntouched);
    Var empty;
    SetBytes(empty, "");
    EXPECT_EQ(bytes->LoadArray(empty.parray, &consumed), E_INVALIDARG);
    EXPECT_EQ(GetLastError(), 20100001u);
}

TEST(Load, SuccessLeavesTheLastErrorFailurePublishes) {
    if (!HasReader(FormatId::Json)) GTEST_SKIP() << "no JSON reader in this build yet";
    auto v = NewValue();
    v->put_Format(3);
    auto bytes = BytesOfObject(v.get());
    const char text[] = "{\"k\":\"v\"}";
    ULONG consumed = 0;
    SetLastError(kUntouched);
    EXPECT_EQ(bytes->Load(reinterpret_cast<const BYTE*>(text), 9, &consumed), S_OK);
    EXPECT_EQ(GetLastError(), kUntouched);
    EXPECT_NE(consumed, 0u);
    EXPECT_EQ(v->HasItemA("k"), S_OK);

    EXPECT_EQ(bytes->Load(reinterpret_cast<const BYTE*>("{\"k\"x"), 5, &consumed), E_FAIL);
    EXPECT_EQ(consumed, 0u);
    EXPECT_NE(GetLastError(), kUntouched);
    EXPECT_NE(GetLastError(), 0u);
}

TEST(Load, ArrayBehavesAsLoadWithItsData) {
    if (!HasReader(FormatId::Json)) GTEST_SKIP() << "no JSON reader in this build yet";
    auto v = NewValue();
    v->put_Format(3);
    auto bytes = BytesOfObject(v.get());
    Var array;
    SetBytes(array, "{\"a\":1}");
    ULONG consumed = 0;
    EXPECT_EQ(bytes->LoadArray(array.parray, &consumed), S_OK);
    EXPECT_EQ(array.parray->cLocks, 0u);  // used in place, not locked
    EXPECT_EQ(v->HasItemA("a"), S_OK);
    ULONG direct = 0;
    auto other = NewValue();
    other->put_Format(3);
    BytesOfObject(other.get())->Load(static_cast<const BYTE*>(array.parray->pvData), 7, &direct);
    EXPECT_EQ(consumed, direct);
}

TEST(LastError, PublishErrorIsPerThread) {
    DWORD seenByOther = 1;
    OtherThread other([&] {
        seenByOther = GetLastError();
        PublishError(err::StreamFailure);
    });
    PublishError(err::BufferTooSmall);
    EXPECT_EQ(GetLastError(), err::BufferTooSmall);
    other.run();
    EXPECT_EQ(seenByOther, 0u);
    EXPECT_EQ(GetLastError(), err::BufferTooSmall);
    PublishError(0);
    EXPECT_EQ(GetLastError(), 0u);
}

}  // namespace
}  // namespace zk::test
