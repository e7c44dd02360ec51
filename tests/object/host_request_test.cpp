// The road of one request, driven the two ways a host drives the module:
// through the method tables and late-bound through Invoke.
#include "tests/object/host_module.h"

namespace host {
namespace {

const char kJson[] = "{\"name\":\"abc\",\"n\":5}";

// True when the node's format has a writer in this build of the module.
bool CanWrite(IDataValue* value) {
    ULONG size = 0;
    value->WriteToBuffer(nullptr, &size);
    return Api().GetLastError() != 20100001;
}

TEST(HostRequest, ThroughTheMethodTables) {
    auto value = Create();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->put_Type(4), S_OK);
    Bstr name(u"name"), n(u"n"), abc(u"abc");
    EXPECT_EQ(value->put_Item(name, BstrArg(abc)), S_OK);
    EXPECT_EQ(value->put_Item(n, Typed(VT_I4, 5)), S_OK);
    EXPECT_EQ(value->put_Format(3), S_OK);
    if (!CanWrite(value.get())) GTEST_SKIP() << "the module has no JSON writer yet";

    ULONG size = 0;
    EXPECT_EQ(value->WriteToBuffer(nullptr, &size), E_FAIL);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(Api().GetLastError(), 20100006u);

    std::vector<BYTE> buffer(size);
    EXPECT_EQ(value->WriteToBuffer(buffer.data(), &size), S_OK);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(Api().GetLastError(), 0u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), kJson);
}

TEST(HostRequest, ThroughInvoke) {
    auto value = Create();
    LateBound late(value.get());
    Bstr name(u"name"), n(u"n"), abc(u"abc");
    EXPECT_EQ(late.put(u"Type", {Typed(VT_I4, 4)}), S_OK);
    EXPECT_EQ(late.put(u"item", {BstrArg(name), BstrArg(abc)}), S_OK);
    EXPECT_EQ(late.put(u"Item", {BstrArg(n), Typed(VT_I4, 5)}), S_OK);
    EXPECT_EQ(late.put(u"FORMAT", {Typed(VT_I4, 3)}), S_OK);

    Var result;
    EXPECT_EQ(late.get(u"Count", {}, result.out()), S_OK);
    EXPECT_EQ(result.lVal, 2);
    EXPECT_EQ(late.method(u"KeyAt", {Typed(VT_I4, 1)}, result.out()), S_OK);
    EXPECT_EQ(U16(result.bstrVal), u"n");
    EXPECT_EQ(late.get(u"Item", {BstrArg(name)}, result.out()), S_OK);
    auto child = ObjectIn(result);
    Var text;
    EXPECT_EQ(LateBound(child.get()).get(u"Value", {}, text.out()), S_OK);
    ASSERT_EQ(text.vt, VT_BSTR);
    EXPECT_EQ(U16(text.bstrVal), u"abc");

    if (!CanWrite(value.get())) GTEST_SKIP() << "the module has no JSON writer yet";
    Ref<IDataBytes> bytes;
    ASSERT_EQ(value->QueryInterface(IID_IDataBytes, bytes.outVoid()), S_OK);
    Var array;
    EXPECT_EQ(LateBound(bytes.get()).method(u"Save", {}, array.out()), S_OK);
    ASSERT_EQ(array.vt, VT_ARRAY | VT_UI1);
    LONG upper = -1;
    Api().SafeArrayGetUBound(array.parray, 1, &upper);
    EXPECT_EQ(upper, 19);
    void* data = nullptr;
    ASSERT_EQ(Api().SafeArrayAccessData(array.parray, &data), S_OK);
    EXPECT_EQ(std::string(static_cast<char*>(data), 20), kJson);
    Api().SafeArrayUnaccessData(array.parray);

    // The raw-pointer step of the road stays early-bound.
    ULONG size = 0;
    EXPECT_EQ(value->WriteToBuffer(nullptr, &size), E_FAIL);
    EXPECT_EQ(Api().GetLastError(), 20100006u);
    EXPECT_EQ(size, 20u);
}

TEST(HostRequest, BytesComeBackAsModuleArrays) {
    auto value = Create();
    value->put_Format(3);
    Ref<IDataBytes> bytes;
    ASSERT_EQ(value->QueryInterface(IID_IDataBytes, bytes.outVoid()), S_OK);
    SAFEARRAY* input = Api().SafeArrayCreateVector(VT_UI1, 0, 7);
    std::memcpy(input->pvData, "{\"a\":1}", 7);
    ULONG consumed = 0;
    Api().SetLastError(555);
    HRESULT hr = bytes->LoadArray(input, &consumed);
    if (hr == S_OK) {
        EXPECT_EQ(Api().GetLastError(), 555u);  // a successful Load publishes nothing
        EXPECT_EQ(value->HasItemA("a"), S_OK);
        SAFEARRAY* saved = nullptr;
        ASSERT_EQ(bytes->Save(&saved), S_OK);
        EXPECT_EQ(Api().SafeArrayGetDim(saved), 1u);
        EXPECT_EQ(saved->rgsabound[0].cElements, 7u);
        EXPECT_EQ(Api().SafeArrayDestroy(saved), S_OK);
    } else {
        EXPECT_EQ(Api().GetLastError(), 20100001u) << "only a missing JSON reader may fail this";
    }
    EXPECT_EQ(Api().SafeArrayDestroy(input), S_OK);
}

}  // namespace
}  // namespace host
