// Late binding: GetIDsOfNames and Invoke with the platform's conventions.
// Where the platform's standard dispatch (Windows) answers otherwise than our
// table (Linux), ByDispatch states both answers.
#include <cmath>

#include "tests/object/object_test_support.h"
#include "tests/support/late_binding.h"

namespace zk::test {
namespace {

// Invokes with args given in declaration order; a put passes the last one as
// the named argument DISPID_PROPERTYPUT.
struct Invoker {
    static constexpr UINT kArgErrUnset = 99;

    IDispatch* target;
    EXCEPINFO excep{};
    UINT argErr = kArgErrUnset;

    HRESULT operator()(DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr) {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPID put = DISPID_PROPERTYPUT;
        bool isPut = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
        DISPPARAMS params{reversed.data(), isPut ? &put : nullptr, static_cast<UINT>(args.size()), isPut ? 1u : 0u};
        std::memset(&excep, 0, sizeof excep);
        argErr = kArgErrUnset;
        return target->Invoke(id, IID_NULL, 0, flags, &params, result, &excep, &argErr);
    }
};

VARIANT BstrArg(Bstr& s) {
    VARIANT v = Typed(VT_BSTR);
    v.bstrVal = s;
    return v;
}

DISPID IdOf(IDispatch* d, const char16_t* name) {
    LPOLESTR names[] = {OleName(name)};
    DISPID id = 12345;
    d->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    return id;
}

TEST(GetIDsOfNames, NamesWithoutRegardToCase) {
    auto v = NewValue();
    EXPECT_EQ(IdOf(v.get(), u"Value"), DISPID_VALUE);
    EXPECT_EQ(IdOf(v.get(), u"ITEM"), DISPID_DV_ITEM);
    EXPECT_EQ(IdOf(v.get(), u"writetobuffer"), DISPID_DV_WRITETOBUFFER);
    EXPECT_EQ(IdOf(v.get(), u"Nothing"), DISPID_UNKNOWN);
    EXPECT_EQ(IdOf(v.get(), u"Ite"), DISPID_UNKNOWN);
    EXPECT_EQ(IdOf(v.get(), u"Items"), DISPID_UNKNOWN);
    Ref<IDataBytes> bytes;
    v->QueryInterface(IID_IDataBytes, bytes.outVoid());
    EXPECT_EQ(IdOf(bytes.get(), u"save"), DISPID_DB_SAVE);
    EXPECT_EQ(IdOf(bytes.get(), u"Item"), DISPID_UNKNOWN);  // each interface has its own names
}

TEST(GetIDsOfNames, StatusCodes) {
    auto v = NewValue();
    LPOLESTR names[] = {OleName(u"Item"), OleName(u"key")};
    DISPID ids[2] = {7, 7};
    // Parameter names: our table publishes none; the type information names
    // each parameter by its position.
    EXPECT_EQ(v->GetIDsOfNames(IID_NULL, names, 2, 0, ids), ByDispatch(DISP_E_UNKNOWNNAME, S_OK));
    EXPECT_EQ(ids[0], DISPID_DV_ITEM);
    EXPECT_EQ(ids[1], ByDispatch<DISPID>(DISPID_UNKNOWN, 0));
    LPOLESTR unknown[] = {OleName(u"Frobnicate")};
    EXPECT_EQ(v->GetIDsOfNames(IID_NULL, unknown, 1, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(v->GetIDsOfNames(IID_IDispatch, names, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);
}

TEST(GetIDsOfNames, NullArraysAreRefused) {
    auto v = NewValue();
    LPOLESTR names[] = {OleName(u"Item")};
    DISPID id = 7;
    EXPECT_EQ(v->GetIDsOfNames(IID_NULL, names, 1, 0, nullptr), E_POINTER);
    EXPECT_EQ(v->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id), E_INVALIDARG);
}

// Linux hands out no type information; Windows that of the type library,
// one for each interface.
TEST(TypeInfo, OnlyTheTypeLibraryHasIt) {
    auto v = NewValue();
    UINT count = 9;
    EXPECT_EQ(v->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, ByDispatch(0u, 1u));
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(v->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(v->GetTypeInfo(0, 0, &info), ByDispatch(DISP_E_BADINDEX, S_OK));
    EXPECT_EQ(info != nullptr, ByDispatch(false, true));
    if (info) {
        EXPECT_EQ(DescribedInterface(info), IID_IDataValue);
        info->Release();
    }
    Ref<IDataBytes> bytes;
    v->QueryInterface(IID_IDataBytes, bytes.outVoid());
    EXPECT_EQ(bytes->GetTypeInfo(0, 0, &info), ByDispatch(DISP_E_BADINDEX, S_OK));
    if (info) {
        EXPECT_EQ(DescribedInterface(info), IID_IDataBytes);
        info->Release();
    }
    EXPECT_EQ(v->GetTypeInfoCount(nullptr), E_POINTER);
    EXPECT_EQ(v->GetTypeInfo(0, 0, nullptr), E_POINTER);
}

TEST(Invoke, PropertyGetAndPut) {
    auto v = NewValue();
    Invoker call{v.get()};
    EXPECT_EQ(call(DISPID_DV_TYPE, DISPATCH_PROPERTYPUT, {Typed(VT_I4, 4)}), S_OK);
    Var result;
    EXPECT_EQ(call(DISPID_DV_TYPE, DISPATCH_PROPERTYGET, {}, result.out()), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 4);
    // Callers that do not know whether a name is a method or a property say both.
    EXPECT_EQ(call(DISPID_DV_COUNT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, result.out()), S_OK);
    EXPECT_EQ(result.lVal, 0);
}

TEST(Invoke, ValueIsTheDefaultMember) {
    auto v = NewValue();
    Invoker call{v.get()};
    EXPECT_EQ(call(DISPID_VALUE, DISPATCH_PROPERTYPUT, {Typed(VT_UI2, 300)}), S_OK);
    EXPECT_EQ(call(DISPID_VALUE, DISPATCH_PROPERTYPUTREF, {Typed(VT_UI1, 3)}), S_OK);
    Var result;
    EXPECT_EQ(call(DISPID_VALUE, DISPATCH_PROPERTYGET, {}, result.out()), S_OK);
    EXPECT_EQ(result.vt, VT_UI1);
    EXPECT_EQ(result.bVal, 3);
}

TEST(Invoke, ItemTakesTheKeyAndTheValue) {
    auto v = NewValue();
    Invoker call{v.get()};
    Bstr key(u"name");
    Var text;
    SetText(text, u"abc");
    EXPECT_EQ(call(DISPID_DV_ITEM, DISPATCH_PROPERTYPUT, {BstrArg(key), text}), S_OK);
    Var item;
    EXPECT_EQ(call(DISPID_DV_ITEM, DISPATCH_PROPERTYGET, {BstrArg(key)}, item.out()), S_OK);
    EXPECT_EQ(BytesOf(ObjectIn(item).get()), "abc");
    // An integer key is its decimal text, as the platform converts it.
    EXPECT_EQ(call(DISPID_DV_ITEM, DISPATCH_PROPERTYPUT, {Typed(VT_I4, -12), Typed(VT_I4, 1)}), S_OK);
    EXPECT_EQ(v->HasItemA("-12"), S_OK);
}

TEST(Invoke, InsertItemArgumentsComeInReverse) {
    auto v = NewValue();
    Invoker call{v.get()};
    Bstr x(u"x"), y(u"y");
    call(DISPID_DV_ITEM, DISPATCH_PROPERTYPUT, {BstrArg(x), Typed(VT_I4, 1)});
    EXPECT_EQ(call(DISPID_DV_INSERTITEM, DISPATCH_METHOD, {Typed(VT_I4, 0), BstrArg(y), Typed(VT_I2, 2)}), S_OK);
    EXPECT_EQ(KeyAtOf(v.get(), 0), u"y");
    EXPECT_EQ(KindOf(Item(v.get(), u"y").get()), ValueKind::Int16);
}

TEST(Invoke, LastOutParameterIsTheResult) {
    auto v = NewValue();
    Invoker call{v.get()};
    Bstr k(u"k");
    call(DISPID_DV_ITEM, DISPATCH_PROPERTYPUT, {BstrArg(k), Typed(VT_I4, 7)});
    Var key;
    Var result;
    EXPECT_EQ(call(DISPID_DV_KEYAT, DISPATCH_METHOD, {Typed(VT_I4, 0)}, result.out()), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(U16(result.bstrVal), u"k");
    EXPECT_EQ(call(DISPID_DV_HASITEM, DISPATCH_METHOD, {BstrArg(k)}, result.out()), S_OK);
    EXPECT_EQ(result.vt, VT_BOOL);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);

    // ItemAt: the key comes back through a by-reference argument.
    BSTR held = SysAllocString(Ole(u"replaced"));
    VARIANT keyRef = Typed(VT_BSTR | VT_BYREF);
    keyRef.pbstrVal = &held;
    EXPECT_EQ(call(DISPID_DV_ITEMAT, DISPATCH_METHOD, {Typed(VT_I4, 0), keyRef}, result.out()), S_OK);
    EXPECT_EQ(U16(held), u"k");
    SysFreeString(held);
    EXPECT_EQ(result.vt, VT_DISPATCH);

    // A variant by reference for the key, as a script passes a variable: the
    // key is stored into it.
    VARIANT variantRef = Typed(VT_VARIANT | VT_BYREF);
    variantRef.pvarVal = &key;
    EXPECT_EQ(call(DISPID_DV_ITEMAT, DISPATCH_METHOD, {Typed(VT_I4, 0), variantRef}, result.out()), S_OK);
    ASSERT_EQ(key.vt, VT_BSTR);
    EXPECT_EQ(U16(key.bstrVal), u"k");
    // A key by value has nowhere to go: our table refuses it and names it;
    // the type information calls the method and drops the key.
    EXPECT_EQ(call(DISPID_DV_ITEMAT, DISPATCH_METHOD, {Typed(VT_I4, 0), Typed(VT_BSTR)}, result.out()),
              ByDispatch(DISP_E_TYPEMISMATCH, S_OK));
    EXPECT_EQ(call.argErr, ByDispatch(0u, Invoker::kArgErrUnset));
}

TEST(Invoke, ResultMayBeOmitted) {
    auto v = NewValue();
    Invoker call{v.get()};
    Bstr k(u"k");
    EXPECT_EQ(call(DISPID_DV_ITEM, DISPATCH_PROPERTYGET, {BstrArg(k)}), S_OK);  // the child object is released
    EXPECT_EQ(CountOf(v.get()), 1);
    Var result;
    result.vt = VT_I4;  // an out: overwritten, not cleared
    EXPECT_EQ(call(DISPID_DV_CLEAR, DISPATCH_METHOD, {}, &result), S_OK);
    // A method without a result: our table empties the result; the type
    // information leaves it alone.
    EXPECT_EQ(result.vt, ByDispatch<VARTYPE>(VT_EMPTY, VT_I4));
}

TEST(Invoke, IntegerArgumentsAreCoerced) {
    auto v = NewValue();
    Invoker call{v.get()};
    EXPECT_EQ(call(DISPID_DV_TYPE, DISPATCH_PROPERTYPUT, {Typed(VT_UI1, 3)}), S_OK);
    EXPECT_EQ(TypeOf(v.get()), 3);
    VARIANT real = Typed(VT_R8);
    real.dblVal = 2.5;  // half to even: 2
    EXPECT_EQ(call(DISPID_DV_ELEMENT, DISPATCH_PROPERTYPUT, {real, Typed(VT_I4, 1)}), S_OK);
    EXPECT_EQ(CountOf(v.get()), 3);
    EXPECT_EQ(call(DISPID_DV_SETOPTION, DISPATCH_METHOD, {Typed(VT_I4, 0x10), Typed(VT_I4, 1)}), S_OK);
    VARIANT_BOOL on = 0;
    v->GetOption(0x10, &on);
    EXPECT_EQ(on, VARIANT_TRUE);  // a non-zero number coerces to VARIANT_TRUE
    LONG index = 0;
    VARIANT byref = Typed(VT_I4 | VT_BYREF);
    byref.plVal = &index;
    Var result;
    EXPECT_EQ(call(DISPID_DV_ELEMENT, DISPATCH_PROPERTYGET, {byref}, result.out()), S_OK);
    EXPECT_EQ(call(DISPID_DV_SETINT64, DISPATCH_METHOD, {Typed(VT_UI8, INT64_MAX)}), S_OK);
}

// Our table refuses every argument it cannot convert exactly and names it
// in puArgErr; nothing runs. The type information coerces further (a
// negative number into an unsigned parameter, a boolean or a date into a
// string or an integer, NaN into an integer), so more calls reach the
// method, and it leaves puArgErr unset.
TEST(Invoke, ConversionFailuresNameTheArgument) {
    const UINT unset = Invoker::kArgErrUnset;
    auto v = NewValue();
    Invoker call{v.get()};
    EXPECT_EQ(call(DISPID_DV_TYPE, DISPATCH_PROPERTYPUT, {Typed(VT_I8, int64_t{1} << 40)}), DISP_E_OVERFLOW);
    EXPECT_EQ(call.argErr, ByDispatch(0u, unset));
    EXPECT_EQ(call(DISPID_DV_GETOPTION, DISPATCH_METHOD, {Typed(VT_I4, -1)}), ByDispatch(DISP_E_OVERFLOW, S_OK));
    EXPECT_EQ(call(DISPID_DV_SETINT64, DISPATCH_METHOD, {Typed(VT_UI8, -1)}), ByDispatch(DISP_E_OVERFLOW, S_OK));
    Bstr k(u"k");
    EXPECT_EQ(call(DISPID_DV_INSERTITEM, DISPATCH_METHOD, {BstrArg(k), BstrArg(k), Typed(VT_I4, 1)}),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(call.argErr, ByDispatch(2u, unset));  // the first argument sits last in rgvarg
    EXPECT_EQ(call(DISPID_DV_REMOVEITEM, DISPATCH_METHOD, {Typed(VT_BOOL, -1)}),
              ByDispatch(DISP_E_TYPEMISMATCH, DISP_E_EXCEPTION));
    EXPECT_EQ(call(DISPID_DV_REMOVEITEM, DISPATCH_METHOD, {Typed(VT_NULL)}), DISP_E_TYPEMISMATCH);
    VARIANT missing = Typed(VT_ERROR);
    missing.scode = DISP_E_PARAMNOTFOUND;
    EXPECT_EQ(call(DISPID_DV_INSERTELEMENT, DISPATCH_METHOD, {missing, Typed(VT_I4, 1)}),
              ByDispatch(DISP_E_PARAMNOTOPTIONAL, DISP_E_TYPEMISMATCH));
    EXPECT_EQ(call.argErr, ByDispatch(1u, unset));
    VARIANT nan = Typed(VT_R8);
    nan.dblVal = std::nan("");
    EXPECT_EQ(call(DISPID_DV_REMOVEELEMENT, DISPATCH_METHOD, {nan}), ByDispatch(DISP_E_OVERFLOW, DISP_E_EXCEPTION));
    EXPECT_EQ(TypeOf(v.get()), ByDispatch(0, 3));  // nothing ran; on Windows RemoveElement made it a List
}

TEST(Invoke, MembersAndCounts) {
    auto v = NewValue();
    Invoker call{v.get()};
    Var result;
    EXPECT_EQ(call(999, DISPATCH_METHOD, {}, result.out()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(call(DISPID_DV_COUNT, DISPATCH_PROPERTYPUT, {Typed(VT_I4, 1)}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(call(DISPID_DV_CLEAR, DISPATCH_PROPERTYGET, {}, result.out()), DISP_E_MEMBERNOTFOUND);
    // An argument to a property without parameters: the platform would index
    // the property's value with it.
    EXPECT_EQ(call(DISPID_DV_TYPE, DISPATCH_PROPERTYGET, {Typed(VT_I4, 1)}, result.out()),
              ByDispatch(DISP_E_BADPARAMCOUNT, DISP_E_NOTACOLLECTION));
    EXPECT_EQ(call(DISPID_DV_ITEM, DISPATCH_PROPERTYPUT, {Typed(VT_I4, 1)}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(call(DISPID_DV_INSERTELEMENT, DISPATCH_METHOD, {Typed(VT_I4, 1)}), DISP_E_BADPARAMCOUNT);
    // Raw pointers cannot travel in a VARIANT: those methods are early-bound only.
    for (DISPID raw : {DISPID_DV_GETBYTES, DISPID_DV_SETBYTES, DISPID_DV_BYTESEQUAL, DISPID_DV_STRINGEQUAL,
                       DISPID_DV_GETITEMA, DISPID_DV_PUTITEMA, DISPID_DV_HASITEMA, DISPID_DV_WRITETOBUFFER,
                       DISPID_DV_READFROMBUFFER, DISPID_DV_SETSTRINGA, DISPID_DV_PUSHTOLUA, DISPID_DV_READFROMLUA})
        EXPECT_EQ(call(raw, DISPATCH_METHOD, {}, result.out()), DISP_E_MEMBERNOTFOUND) << raw;
}

TEST(Invoke, NamedArguments) {
    auto v = NewValue();
    VARIANT arg = Typed(VT_I4, 3);
    DISPID named = 0;
    DISPPARAMS params{&arg, &named, 1, 1};
    EXPECT_EQ(v->Invoke(DISPID_DV_TYPE, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr),
              DISP_E_PARAMNOTFOUND);
    params = {&arg, nullptr, 1, 0};
    EXPECT_EQ(v->Invoke(DISPID_DV_TYPE, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr),
              DISP_E_PARAMNOTFOUND);
    // A method's named argument: our table takes none; the type information
    // names parameters by position, so 0 is the index and RemoveElement runs
    // (and fails on a None).
    params = {&arg, &named, 1, 1};
    EXPECT_EQ(v->Invoke(DISPID_DV_REMOVEELEMENT, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              ByDispatch(DISP_E_NONAMEDARGS, DISP_E_EXCEPTION));
    EXPECT_EQ(v->Invoke(DISPID_DV_CLEAR, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
    params = {nullptr, nullptr, 1, 0};
    EXPECT_EQ(v->Invoke(DISPID_DV_REMOVEELEMENT, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              E_INVALIDARG);
    params = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(v->Invoke(DISPID_DV_CLEAR, IID_IDataValue, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(v->Invoke(DISPID_DV_CLEAR, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
}

TEST(Invoke, FailingMethodsRaiseAnException) {
    auto v = NewValue();
    Invoker call{v.get()};
    EXPECT_EQ(call(DISPID_DV_TYPE, DISPATCH_PROPERTYPUT, {Typed(VT_I4, 5)}), DISP_E_EXCEPTION);
    EXPECT_EQ(call.excep.scode, E_INVALIDARG);
    EXPECT_EQ(call.excep.bstrDescription, nullptr);
    Var result;
    EXPECT_EQ(call(DISPID_DV_GETSTRING, DISPATCH_METHOD, {}, result.out()), DISP_E_EXCEPTION);
    EXPECT_EQ(call.excep.scode, E_UNEXPECTED);
    // The type information hands back the failed method's null string as a
    // copy, which is an empty string.
    EXPECT_EQ(result.vt, ByDispatch<VARTYPE>(VT_EMPTY, VT_BSTR));
    if (result.vt == VT_BSTR) {
        EXPECT_EQ(SysStringLen(result.bstrVal), 0u);
    }
    VARIANT arg = Typed(VT_I4, 5);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &put, 1, 1};
    EXPECT_EQ(v->Invoke(DISPID_DV_TYPE, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr),
              DISP_E_EXCEPTION);
}

TEST(Invoke, StringsAndIntegersRoundTrip) {
    auto v = NewValue();
    Invoker call{v.get()};
    Bstr text(u"\u4E2D\u6587");
    EXPECT_EQ(call(DISPID_DV_SETSTRING, DISPATCH_METHOD, {BstrArg(text)}), S_OK);
    Var result;
    EXPECT_EQ(call(DISPID_DV_GETSTRING, DISPATCH_METHOD, {}, result.out()), S_OK);
    EXPECT_EQ(U16(result.bstrVal), u"\u4E2D\u6587");
    EXPECT_EQ(call(DISPID_DV_SETINT64, DISPATCH_METHOD, {Typed(VT_I8, -3)}), S_OK);
    EXPECT_EQ(call(DISPID_DV_GETINT64, DISPATCH_METHOD, {}, result.out()), S_OK);
    EXPECT_EQ(result.vt, VT_I8);
    EXPECT_EQ(result.llVal, -3);
    EXPECT_EQ(call(DISPID_DV_ISEQUAL, DISPATCH_METHOD, {Typed(VT_UI8, -3)}, result.out()), S_OK);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
    EXPECT_EQ(call(DISPID_DV_KIND, DISPATCH_PROPERTYGET, {}, result.out()), S_OK);
    EXPECT_EQ(result.lVal, 10);
}

// Scripts pass variables by reference: a VARIANT parameter follows the
// reference one level, through our table and through the type information.
TEST(Invoke, VariantByReferenceIsFollowedOnce) {
    auto v = NewValue();
    Invoker call{v.get()};
    Var inner;
    SetText(inner, u"x");
    VARIANT byref = Typed(VT_VARIANT | VT_BYREF);
    byref.pvarVal = &inner;
    EXPECT_EQ(call(DISPID_VALUE, DISPATCH_PROPERTYPUT, {byref}), S_OK);
    EXPECT_EQ(BytesOf(v.get()), "x");
    EXPECT_EQ(inner.vt, VT_BSTR);  // the caller's variable is untouched
    Var result;
    EXPECT_EQ(call(DISPID_DV_ISEQUAL, DISPATCH_METHOD, {byref}, result.out()), S_OK);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
}

TEST(Invoke, BytesInterfaceSavesAndLoadsArrays) {
    auto v = NewValue();
    Ref<IDataBytes> bytes;
    v->QueryInterface(IID_IDataBytes, bytes.outVoid());
    Invoker call{bytes.get()};
    Var result;
    // Without a writer for the node's format the save fails; with one it
    // returns the bytes. Either way Invoke reports through its conventions.
    HRESULT hr = call(DISPID_DB_SAVE, DISPATCH_METHOD, {}, result.out());
    if (hr == DISP_E_EXCEPTION) {
        EXPECT_EQ(call.excep.scode, E_FAIL);
    } else {
        EXPECT_EQ(hr, S_OK);
        EXPECT_EQ(result.vt, VT_ARRAY | VT_UI1);
    }
    EXPECT_EQ(call(DISPID_DB_LOAD, DISPATCH_METHOD, {}, result.out()), DISP_E_MEMBERNOTFOUND);
    Var empty;
    SetBytes(empty, "");
    EXPECT_EQ(call(DISPID_DB_LOADARRAY, DISPATCH_METHOD, {empty}, result.out()), DISP_E_EXCEPTION);
    EXPECT_EQ(call.excep.scode, E_INVALIDARG);
    EXPECT_EQ(GetLastError(), 20100001u);
    EXPECT_EQ(call(DISPID_DB_LOADARRAY, DISPATCH_METHOD, {Typed(VT_I4, 1)}, result.out()), DISP_E_TYPEMISMATCH);
}

}  // namespace
}  // namespace zk::test
