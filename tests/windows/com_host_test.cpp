// zk_data.dll as a C++ COM client meets it: loaded with LoadLibrary, its class
// factory from DllGetClassObject, the objects through their method tables and
// through IDispatch, which the type library inside the DLL answers. The
// program links none of the library; the build puts the DLL beside it.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cwctype>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/aggregating_outer.h"
#include "tests/support/com_ref.h"
#include "zk_data/zk_data.h"

namespace zk::test {
namespace {

constexpr DWORD kBufferTooSmall = 20100006;
constexpr LONG kMap = 4, kList = 3, kJson = 3;

// ---- values that clean up after themselves ----

struct Variant {
    VARIANT v;
    Variant() { VariantInit(&v); }
    explicit Variant(const wchar_t* text) : Variant() {
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text);
    }
    explicit Variant(LONG number) : Variant() {
        v.vt = VT_I4;
        v.lVal = number;
    }
    explicit Variant(IDispatch* object) : Variant() {
        v.vt = VT_DISPATCH;
        v.pdispVal = object;
        object->AddRef();
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&v); }
};

struct Bstr {
    BSTR text;
    explicit Bstr(const wchar_t* from) : text(SysAllocString(from)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(text); }
};

std::wstring_view View(BSTR text) { return {text, SysStringLen(text)}; }

std::string BytesOf(SAFEARRAY* array) {
    void* data = nullptr;
    if (!array || FAILED(SafeArrayAccessData(array, &data))) return {};
    std::string bytes(static_cast<const char*>(data), array->rgsabound[0].cElements);
    SafeArrayUnaccessData(array);
    return bytes;
}

// ---- late binding as a script host does it ----

// Invoke with the arguments in their natural order; DISPPARAMS wants them
// last first. A put passes its value, the last argument, as the one named
// argument DISPID_PROPERTYPUT.
struct Call {
    HRESULT status;
    Variant result;
    EXCEPINFO exception{};

    Call(IDispatch* target, DISPID id, WORD flags, std::vector<VARIANT*> args) {
        std::vector<VARIANTARG> reversed;
        for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(**it);
        DISPID put = DISPID_PROPERTYPUT;
        bool isPut = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
        DISPPARAMS params{reversed.data(), isPut ? &put : nullptr, static_cast<UINT>(reversed.size()),
                          isPut ? 1u : 0u};
        UINT argumentError = 0;
        status = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, isPut ? nullptr : &result.v,
                                &exception, &argumentError);
    }
    Call(const Call&) = delete;
    ~Call() {
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
};

DISPID IdOf(IDispatch* target, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 12345;
    EXPECT_EQ(target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
    return id;
}

// ---- the members the type library must describe ----

constexpr int kGet = INVOKE_PROPERTYGET, kPut = INVOKE_PROPERTYPUT, kPutRef = INVOKE_PROPERTYPUTREF;
constexpr int kMethod = INVOKE_FUNC, kProperty = kGet | kPut | kPutRef;

struct Member {
    const wchar_t* name;
    DISPID id;
    int kinds;
    bool restricted;
};

const std::vector<Member> kDataValueMembers = {
    {L"Value", DISPID_DV_VALUE, kProperty, false},
    {L"Type", DISPID_DV_TYPE, kGet | kPut, false},
    {L"Count", DISPID_DV_COUNT, kGet, false},
    {L"IsEqual", DISPID_DV_ISEQUAL, kMethod, false},
    {L"Clear", DISPID_DV_CLEAR, kMethod, false},
    {L"Item", DISPID_DV_ITEM, kProperty, false},
    {L"InsertItem", DISPID_DV_INSERTITEM, kMethod, false},
    {L"RemoveItem", DISPID_DV_REMOVEITEM, kMethod, false},
    {L"KeyAt", DISPID_DV_KEYAT, kMethod, false},
    {L"ItemAt", DISPID_DV_ITEMAT, kMethod, false},
    {L"HasItem", DISPID_DV_HASITEM, kMethod, false},
    {L"Element", DISPID_DV_ELEMENT, kProperty, false},
    {L"Prototype", DISPID_DV_PROTOTYPE, kProperty, false},
    {L"InsertElement", DISPID_DV_INSERTELEMENT, kMethod, false},
    {L"RemoveElement", DISPID_DV_REMOVEELEMENT, kMethod, false},
    {L"Format", DISPID_DV_FORMAT, kGet | kPut, false},
    {L"GetOption", DISPID_DV_GETOPTION, kMethod, false},
    {L"SetOption", DISPID_DV_SETOPTION, kMethod, false},
    {L"GetInt64", DISPID_DV_GETINT64, kMethod, false},
    {L"SetInt64", DISPID_DV_SETINT64, kMethod, false},
    {L"GetBytes", DISPID_DV_GETBYTES, kMethod, true},
    {L"SetBytes", DISPID_DV_SETBYTES, kMethod, true},
    {L"GetString", DISPID_DV_GETSTRING, kMethod, false},
    {L"SetString", DISPID_DV_SETSTRING, kMethod, false},
    {L"BytesEqual", DISPID_DV_BYTESEQUAL, kMethod, true},
    {L"StringEqual", DISPID_DV_STRINGEQUAL, kMethod, true},
    {L"GetItemA", DISPID_DV_GETITEMA, kMethod, true},
    {L"PutItemA", DISPID_DV_PUTITEMA, kMethod, true},
    {L"HasItemA", DISPID_DV_HASITEMA, kMethod, true},
    {L"WriteToBuffer", DISPID_DV_WRITETOBUFFER, kMethod, true},
    {L"ReadFromBuffer", DISPID_DV_READFROMBUFFER, kMethod, true},
    {L"SetStringA", DISPID_DV_SETSTRINGA, kMethod, true},
    {L"Kind", DISPID_DV_KIND, kGet | kPut, false},
    {L"PushToLua", DISPID_DV_PUSHTOLUA, kMethod, true},
    {L"ReadFromLua", DISPID_DV_READFROMLUA, kMethod, true},
};

const std::vector<Member> kDataBytesMembers = {
    {L"Save", DISPID_DB_SAVE, kMethod, false},
    {L"Load", DISPID_DB_LOAD, kMethod, true},
    {L"LoadArray", DISPID_DB_LOADARRAY, kMethod, false},
};

// The methods a type information describes, by name, leaving out those
// inherited from IUnknown and IDispatch.
std::map<std::wstring, Member> DescribedMembers(ITypeInfo* info, int* functions) {
    std::map<std::wstring, Member> members;
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes))) return members;
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(i, &function))) continue;
        BSTR name = nullptr;
        info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr);
        static const std::vector<std::wstring_view> inherited = {
            L"QueryInterface", L"AddRef", L"Release", L"GetTypeInfoCount", L"GetTypeInfo", L"GetIDsOfNames",
            L"Invoke"};
        std::wstring text(View(name));
        if (std::find(inherited.begin(), inherited.end(), text) == inherited.end()) {
            Member& member = members.try_emplace(text, Member{nullptr, function->memid, 0, false}).first->second;
            EXPECT_EQ(member.id, function->memid) << "one name, two DISPIDs: " << text;
            member.kinds |= function->invkind;
            member.restricted |= (function->wFuncFlags & FUNCFLAG_FRESTRICTED) != 0;
            ++*functions;
        }
        SysFreeString(name);
        info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);
    return members;
}

void ExpectDescribes(IDispatch* target, REFIID iid, const std::vector<Member>& expected) {
    UINT count = 0;
    ASSERT_EQ(target->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    Ref<ITypeInfo> info;
    EXPECT_EQ(target->GetTypeInfo(1, LOCALE_USER_DEFAULT, info.out()), DISP_E_BADINDEX);
    ASSERT_EQ(target->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.out()), S_OK);
    ASSERT_TRUE(info);

    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, iid));
    info->ReleaseTypeAttr(attributes);

    Ref<ITypeLib> library;
    UINT index = 0;
    ASSERT_EQ(info->GetContainingTypeLib(library.out(), &index), S_OK);
    TLIBATTR* libraryAttributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&libraryAttributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(libraryAttributes->guid, LIBID_ZkData));
    EXPECT_EQ(libraryAttributes->wMajorVerNum, kZkDataTypeLibMajor);
    EXPECT_EQ(libraryAttributes->wMinorVerNum, kZkDataTypeLibMinor);
    library->ReleaseTLibAttr(libraryAttributes);

    int functions = 0, expectedFunctions = 0;
    std::map<std::wstring, Member> described = DescribedMembers(info.get(), &functions);
    for (const Member& member : expected) {
        expectedFunctions += std::popcount(static_cast<unsigned>(member.kinds));
        auto found = described.find(member.name);
        if (found == described.end()) {
            ADD_FAILURE() << "the type library lacks " << member.name;
            continue;
        }
        EXPECT_EQ(found->second.id, member.id) << member.name;
        EXPECT_EQ(found->second.kinds, member.kinds) << member.name;
        EXPECT_EQ(found->second.restricted, member.restricted) << member.name;
        // GetIDsOfNames agrees, whatever the case of the name.
        std::wstring lower(member.name);
        for (wchar_t& c : lower) c = towlower(c);
        EXPECT_EQ(IdOf(target, lower.c_str()), member.id) << member.name;
        described.erase(found);
    }
    for (const auto& [name, member] : described) ADD_FAILURE() << "the type library has an unknown " << name;
    EXPECT_EQ(functions, expectedFunctions);
}

// ---- the fixture: the DLL, loaded as a host loads it ----

// An export of the DLL, as the function type the header gives it.
template <class F>
F Export(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The DLL beside this program.
std::wstring ModulePath() {
    wchar_t program[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring path(program, length);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"zk_data.dll";
}

// A host that loads the DLL itself needs no COM runtime: nothing here calls
// CoInitializeEx.
class ComHostTest : public ::testing::Test {
protected:
    void SetUp() override { load(); }

    void TearDown() override {
        factory_.reset();
        // Every test gives back what it took: nothing may keep the module.
        if (canUnloadNow_) {
            EXPECT_EQ(canUnloadNow_(), S_OK);
        }
        if (module_) FreeLibrary(module_);
    }

    void load() {
        module_ = LoadLibraryW(ModulePath().c_str());
        ASSERT_NE(module_, nullptr) << "LoadLibrary error " << GetLastError();
        getClassObject_ = Export<PFN_DllGetClassObject>(module_, "DllGetClassObject");
        canUnloadNow_ = Export<PFN_DllCanUnloadNow>(module_, "DllCanUnloadNow");
        ASSERT_TRUE(getClassObject_ && canUnloadNow_);
        ASSERT_EQ(getClassObject_(CLSID_DataObject, IID_IClassFactory, factory_.outVoid()), S_OK);
    }

    Ref<IDataValue> create() {
        Ref<IDataValue> value;
        EXPECT_EQ(factory_->CreateInstance(nullptr, IID_IDataValue, value.outVoid()), S_OK);
        return value;
    }

    template <class T>
    Ref<T> query(IUnknown* object, REFIID iid) {
        Ref<T> result;
        EXPECT_EQ(object->QueryInterface(iid, result.outVoid()), S_OK);
        return result;
    }

    // {"a":1,"b":"x"} in JSON.
    Ref<IDataValue> createJsonMap() {
        Ref<IDataValue> map = create();
        Bstr a(L"a"), b(L"b");
        Variant one(1), x(L"x");
        EXPECT_EQ(map->put_Item(a.text, one.v), S_OK);
        EXPECT_EQ(map->put_Item(b.text, x.v), S_OK);
        EXPECT_EQ(map->put_Format(kJson), S_OK);
        return map;
    }

    HMODULE module_ = nullptr;
    PFN_DllGetClassObject getClassObject_ = nullptr;
    PFN_DllCanUnloadNow canUnloadNow_ = nullptr;
    Ref<IClassFactory> factory_;
};

// ---- the tests ----

TEST_F(ComHostTest, ExportsAnswerAsAHostExpects) {
    auto registerServer = Export<PFN_DllRegisterServer>(module_, "DllRegisterServer");
    auto unregisterServer = Export<PFN_DllRegisterServer>(module_, "DllUnregisterServer");
    ASSERT_TRUE(registerServer && unregisterServer);
    EXPECT_EQ(registerServer(), E_NOTIMPL);  // registration is zk_data_register.js's
    EXPECT_EQ(unregisterServer(), E_NOTIMPL);
    Ref<IClassFactory> other;
    EXPECT_EQ(getClassObject_(IID_IDataValue, IID_IClassFactory, other.outVoid()), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_FALSE(other);
}

TEST_F(ComHostTest, TypeInformationDescribesEveryMethod) {
    Ref<IDataValue> value = create();
    ExpectDescribes(value.get(), IID_IDataValue, kDataValueMembers);
    Ref<IDataBytes> bytes = query<IDataBytes>(value.get(), IID_IDataBytes);
    ExpectDescribes(bytes.get(), IID_IDataBytes, kDataBytesMembers);
}

TEST_F(ComHostTest, EveryIdentityOfIDataValueIsOneDispatch) {
    Ref<IDataValue> value = create();
    for (const IID& iid : {IID_IDispatch, IID_IUnknown, IID_IDataValueEarlier, IID_IDataValueEarliest}) {
        Ref<IUnknown> same = query<IUnknown>(value.get(), iid);
        EXPECT_EQ(same.get(), static_cast<IUnknown*>(value.get()));
    }
    Ref<IDataBytes> bytes = query<IDataBytes>(value.get(), IID_IDataBytes);
    EXPECT_NE(static_cast<void*>(bytes.get()), static_cast<void*>(value.get()));
}

TEST_F(ComHostTest, AnUnknownNameIsRefused) {
    Ref<IDataValue> value = create();
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
    DISPID id = 0;
    EXPECT_EQ(value->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
}

TEST_F(ComHostTest, PutsTakeTheirValueAsTheNamedArgument) {
    Ref<IDataValue> map = create();
    Variant type(kMap), key(L"name"), text(L"abc");
    EXPECT_EQ(Call(map.get(), IdOf(map.get(), L"Type"), DISPATCH_PROPERTYPUT, {&type.v}).status, S_OK);
    EXPECT_EQ(Call(map.get(), IdOf(map.get(), L"Item"), DISPATCH_PROPERTYPUT, {&key.v, &text.v}).status, S_OK);

    Call type_get(map.get(), DISPID_DV_TYPE, DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(type_get.status, S_OK);
    EXPECT_EQ(type_get.result.v.vt, VT_I4);
    EXPECT_EQ(type_get.result.v.lVal, kMap);
    Call child(map.get(), DISPID_DV_ITEM, DISPATCH_PROPERTYGET, {&key.v});
    ASSERT_EQ(child.status, S_OK);
    ASSERT_EQ(child.result.v.vt, VT_DISPATCH);
    Call childValue(child.result.v.pdispVal, DISPID_VALUE, DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(childValue.status, S_OK);
    ASSERT_EQ(childValue.result.v.vt, VT_BSTR);
    EXPECT_EQ(View(childValue.result.v.bstrVal), L"abc");
}

TEST_F(ComHostTest, TextIsConvertedToIntegerArguments) {
    Ref<IDataValue> value = create();
    Variant four(L"4");
    EXPECT_EQ(Call(value.get(), DISPID_DV_TYPE, DISPATCH_PROPERTYPUT, {&four.v}).status, S_OK);
    LONG type = 0;
    value->get_Type(&type);
    EXPECT_EQ(type, kMap);

    Variant five(L"5");
    Call element(value.get(), DISPID_DV_ELEMENT, DISPATCH_PROPERTYGET, {&five.v});
    EXPECT_EQ(element.status, S_OK);
    LONG count = 0;
    value->get_Count(&count);
    EXPECT_EQ(count, 6);  // the list grew to hold index 5
    value->get_Type(&type);
    EXPECT_EQ(type, kList);

    Variant negative(L"-7");
    EXPECT_EQ(Call(value.get(), DISPID_DV_SETINT64, DISPATCH_METHOD, {&negative.v}).status, S_OK);
    LONGLONG number = 0;
    EXPECT_EQ(value->GetInt64(&number), S_OK);
    EXPECT_EQ(number, -7);

    Variant word(L"x");
    EXPECT_EQ(Call(value.get(), DISPID_DV_TYPE, DISPATCH_PROPERTYPUT, {&word.v}).status, DISP_E_TYPEMISMATCH);
}

TEST_F(ComHostTest, AFailedMethodIsAnException) {
    Ref<IDataValue> map = create();
    map->put_Type(kMap);
    Variant nine(9);
    Call refused(map.get(), DISPID_DV_TYPE, DISPATCH_PROPERTYPUT, {&nine.v});
    EXPECT_EQ(refused.status, DISP_E_EXCEPTION);
    EXPECT_EQ(refused.exception.scode, E_INVALIDARG);
    LONG type = 0;
    map->get_Type(&type);
    EXPECT_EQ(type, kMap);
}

TEST_F(ComHostTest, RawPointerMethodsAreRefusedLateBound) {
    Ref<IDataValue> value = create();
    Ref<IDataBytes> bytes = query<IDataBytes>(value.get(), IID_IDataBytes);
    for (const auto& [target, members] : {std::pair<IDispatch*, const std::vector<Member>*>{value.get(), &kDataValueMembers},
                                          {bytes.get(), &kDataBytesMembers}}) {
        for (const Member& member : *members) {
            if (!member.restricted) continue;
            EXPECT_EQ(IdOf(target, member.name), member.id);  // the name is known...
            EXPECT_EQ(Call(target, member.id, DISPATCH_METHOD, {}).status, DISP_E_MEMBERNOTFOUND) << member.name;
        }
    }
}

TEST_F(ComHostTest, BytesTravelAsByteArraysThroughTheSecondDispatch) {
    Ref<IDataValue> map = createJsonMap();
    Ref<IDataBytes> bytes = query<IDataBytes>(map.get(), IID_IDataBytes);
    // The IDataBytes dispatch has its own names: Save is 1 there, where
    // IDataValue has Type.
    DISPID save = IdOf(bytes.get(), L"Save");
    EXPECT_EQ(save, DISPID_DB_SAVE);
    Call saved(bytes.get(), save, DISPATCH_METHOD, {});
    ASSERT_EQ(saved.status, S_OK);
    ASSERT_EQ(saved.result.v.vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(BytesOf(saved.result.v.parray), R"({"a":1,"b":"x"})");

    Ref<IDataValue> copy = create();
    copy->put_Format(kJson);
    Ref<IDataBytes> copyBytes = query<IDataBytes>(copy.get(), IID_IDataBytes);
    Call loaded(copyBytes.get(), IdOf(copyBytes.get(), L"LoadArray"), DISPATCH_METHOD, {&saved.result.v});
    ASSERT_EQ(loaded.status, S_OK);
    EXPECT_EQ(loaded.result.v.vt, VT_UI4);

    Variant original(map.get());
    Call equal(copy.get(), IdOf(copy.get(), L"IsEqual"), DISPATCH_METHOD, {&original.v});
    ASSERT_EQ(equal.status, S_OK);
    EXPECT_EQ(equal.result.v.vt, VT_BOOL);
    EXPECT_EQ(equal.result.v.boolVal, VARIANT_TRUE);
}

TEST_F(ComHostTest, WriteToBufferTellsTheSizeThenWrites) {
    Ref<IDataValue> map = createJsonMap();
    ULONG size = 0;
    EXPECT_EQ(map->WriteToBuffer(nullptr, &size), E_FAIL);
    EXPECT_EQ(GetLastError(), kBufferTooSmall);
    const std::string expected = R"({"a":1,"b":"x"})";
    ASSERT_EQ(size, expected.size());
    std::string buffer(size, '\0');
    EXPECT_EQ(map->WriteToBuffer(reinterpret_cast<BYTE*>(buffer.data()), &size), S_OK);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(size, expected.size());
    EXPECT_EQ(buffer, expected);
}

TEST_F(ComHostTest, TextKeepsEveryCharacter) {
    // e with acute accent, a CJK character, an emoji: 2, 3 and 4 bytes of UTF-8.
    const wchar_t* text = L"\u00e9\u4e2d\U0001F600";
    Ref<IDataValue> value = create();
    Variant late(text);
    EXPECT_EQ(Call(value.get(), DISPID_VALUE, DISPATCH_PROPERTYPUT, {&late.v}).status, S_OK);
    LONG count = 0;
    value->get_Count(&count);
    EXPECT_EQ(count, 9);
    BSTR back = nullptr;
    ASSERT_EQ(value->GetString(&back), S_OK);
    EXPECT_EQ(View(back), text);
    SysFreeString(back);
    Call got(value.get(), DISPID_VALUE, DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(got.result.v.vt, VT_BSTR);
    EXPECT_EQ(View(got.result.v.bstrVal), text);
}

TEST_F(ComHostTest, AnOuterObjectAggregatesTheClass) {
    Outer outer;
    Ref<IUnknown> refused;
    EXPECT_EQ(factory_->CreateInstance(&outer, IID_IDataValue, refused.outVoid()), CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory_->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
    {
        Ref<IDataValue> value = query<IDataValue>(&outer, IID_IDataValue);
        ASSERT_TRUE(value);
        // The inner object's IUnknown methods are the outer's.
        Ref<IUnknown> identity = query<IUnknown>(value.get(), IID_IUnknown);
        EXPECT_EQ(identity.get(), static_cast<IUnknown*>(&outer));
        ULONG before = outer.refs;
        value->AddRef();
        EXPECT_EQ(outer.refs, before + 1);
        value->Release();
        Ref<IDataBytes> bytes = query<IDataBytes>(value.get(), IID_IDataBytes);
        Ref<IUnknown> bytesIdentity = query<IUnknown>(bytes.get(), IID_IUnknown);
        EXPECT_EQ(bytesIdentity.get(), static_cast<IUnknown*>(&outer));
        // Late binding works in the aggregated form too.
        Variant type(kMap);
        EXPECT_EQ(Call(value.get(), DISPID_DV_TYPE, DISPATCH_PROPERTYPUT, {&type.v}).status, S_OK);
        LONG got = 0;
        value->get_Type(&got);
        EXPECT_EQ(got, kMap);
        EXPECT_EQ(canUnloadNow_(), S_FALSE);
    }
    EXPECT_EQ(outer.refs, 1u);
    outer.Release();  // releases the inner object
    EXPECT_EQ(outer.inner, nullptr);
}

TEST_F(ComHostTest, TheModuleStaysWhileAnythingHoldsIt) {
    EXPECT_EQ(canUnloadNow_(), S_FALSE);  // the factory is held
    Ref<IDataValue> value = create();
    factory_.reset();
    EXPECT_EQ(canUnloadNow_(), S_FALSE);  // an object lives
    value.reset();
    EXPECT_EQ(canUnloadNow_(), S_OK);

    ASSERT_EQ(getClassObject_(CLSID_DataObject, IID_IClassFactory, factory_.outVoid()), S_OK);
    EXPECT_EQ(factory_->LockServer(TRUE), S_OK);
    factory_.reset();
    EXPECT_EQ(canUnloadNow_(), S_FALSE);  // a lock is held
    ASSERT_EQ(getClassObject_(CLSID_DataObject, IID_IClassFactory, factory_.outVoid()), S_OK);
    EXPECT_EQ(factory_->LockServer(FALSE), S_OK);
    factory_.reset();
    EXPECT_EQ(canUnloadNow_(), S_OK);
}


// VBScript passes a variable to a method by reference, as VT_VARIANT|VT_BYREF:
// a VARIANT parameter follows it one level.
TEST_F(ComHostTest, AVariantByReferenceIsFollowedOneLevel) {
    Ref<IDataValue> value = create();
    Variant text(L"abc");
    VARIANT byReference;
    byReference.vt = VT_VARIANT | VT_BYREF;
    byReference.pvarVal = &text.v;
    EXPECT_EQ(Call(value.get(), DISPID_VALUE, DISPATCH_PROPERTYPUT, {&byReference}).status, S_OK);
    BSTR back = nullptr;
    ASSERT_EQ(value->GetString(&back), S_OK);
    EXPECT_EQ(View(back), L"abc");
    SysFreeString(back);
    Call equal(value.get(), DISPID_DV_ISEQUAL, DISPATCH_METHOD, {&byReference});
    ASSERT_EQ(equal.status, S_OK);
    EXPECT_EQ(equal.result.v.boolVal, VARIANT_TRUE);
}

// A host thread that used the DLL, then freed it, ends, and the DLL goes with
// the last FreeLibrary: nothing the thread left keeps the DLL or blocks the
// thread's end.
DWORD WINAPI WriteAndFree(void* status) {
    HMODULE module = LoadLibraryW(ModulePath().c_str());
    if (!module) return 1;
    auto getClassObject = Export<PFN_DllGetClassObject>(module, "DllGetClassObject");
    Ref<IClassFactory> factory;
    Ref<IDataValue> value;
    if (getClassObject(CLSID_DataObject, IID_IClassFactory, factory.outVoid()) == S_OK &&
        factory->CreateInstance(nullptr, IID_IDataValue, value.outVoid()) == S_OK) {
        value->put_Type(kMap);
        value->put_Format(kJson);
        ULONG size = 0;
        *static_cast<HRESULT*>(status) = value->WriteToBuffer(nullptr, &size);
    }
    value.reset();
    factory.reset();
    FreeLibrary(module);
    return 0;
}

TEST(ComHostThreads, AThreadEndsAfterItFreedTheDll) {
    HRESULT written = S_OK;
    HANDLE thread = CreateThread(nullptr, 0, WriteAndFree, &written, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    DWORD waited = WaitForSingleObject(thread, 20000);
    CloseHandle(thread);
    if (waited != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the thread did not end within 20 s";
        std::fflush(stdout);
        // A thread stuck in its end would stop the process's end too.
        TerminateProcess(GetCurrentProcess(), 1);
    }
    EXPECT_EQ(written, E_FAIL);  // the size query
    EXPECT_EQ(GetModuleHandleW(ModulePath().c_str()), nullptr) << "the DLL is still loaded";
}

}  // namespace
}  // namespace zk::test
