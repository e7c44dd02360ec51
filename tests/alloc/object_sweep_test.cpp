// Every method of the object that changes or creates containers, early-bound
// and a few late-bound, under allocation failure: a method that runs out of
// memory returns E_OUTOFMEMORY (late-bound: DISP_E_EXCEPTION carrying it),
// writes none of its outs, and leaves the whole tree it belongs to as it
// was; no object it made survives.
#include <cctype>
#include <cstring>
#include <string>

#include "tests/alloc/documents.h"
#include "tests/alloc/sweep.h"
#include "tests/object/object_test_support.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/codec/format_switch.h"

namespace zk::alloc {
namespace {

using test::Bstr;
using test::NodeOf;
using test::Ref;
using test::Var;

using MakeTree = void (*)(DataNode&);
using Call = std::function<HRESULT(IDataValue* target, Var& result)>;

void AnInt(DataNode& n) { n.setInt(7, ValueKind::Int32); }

void BinaryTitle(DataNode& n) {
    Document(n);
    n.mapGet("title").setKind(ValueKind::Binary);
}

// A standalone object over a fresh node, as the class factory makes it.
void NewObject(Ref<IDataValue>& out) {
    auto* object = new DataObject();
    object->QueryInterface(IID_IDataValue, out.outVoid());
}

// A Document whose lists are copies: their prototypes are still to be made
// from their first items.
void CopiedDocument(DataNode& n) {
    DataNode source;
    Document(source);
    n.assign(source);
}

// The object at path ("fields", "items/1": keys, and indices into lists)
// below root.
void Reach(IDataValue* root, const std::string& path, Ref<IDataValue>& target) {
    root->QueryInterface(IID_IDataValue, target.outVoid());
    size_t begin = 0;
    while (begin < path.size()) {
        size_t end = path.find('/', begin);
        if (end == std::string::npos) end = path.size();
        std::string step = path.substr(begin, end - begin);
        Var child;
        HRESULT hr = std::isdigit(static_cast<unsigned char>(step[0]))
                         ? target->get_Element(std::stoi(step), child.out())
                         : target->GetItemA(step.c_str(), child.out());
        ASSERT_EQ(hr, S_OK) << path;
        child.pdispVal->QueryInterface(IID_IDataValue, target.outVoid());
        begin = end + 1;
    }
}

// A failing status must be E_OUTOFMEMORY, with the out VARIANT untouched.
bool Completed(HRESULT hr, const VARIANT& result) {
    if (FAILED(hr)) {
        EXPECT_EQ(hr, E_OUTOFMEMORY);
        EXPECT_EQ(result.vt, VT_EMPTY) << "a failed method wrote its out VARIANT";
    }
    return SUCCEEDED(hr);
}

void SweepMethod(MakeTree make, const std::string& path, Call call) {
    Ref<IDataValue> root, target;
    Var result;
    Sweep({
        .build = [&] {
            NewObject(root);
            make(NodeOf(root.get()));
            Reach(root.get(), path, target);
        },
        .tree = [&]() -> DataNode& { return NodeOf(root.get()); },
        .run = [&] { return Completed(call(target.get(), result), result); },
        .destroy = [&] {
            result.out();
            target.reset();
            root.reset();
        },
    });
}

// An object holding a tree, to be stored by value.
struct Source {
    Source() {
        NewObject(value);
        Document(NodeOf(value.get()));
        test::SetObject(variant, value.get());
    }
    Ref<IDataValue> value;
    Var variant;
};

Bstr LongKey() { return Bstr(u"a key long enough to need a block of its own"); }

void SetText(Var& v) { test::SetText(v, u"a text value that needs more than the inline bytes"); }

// --- map methods ---------------------------------------------------------------

TEST(MapMethodSweep, ItemGetAddsTheNinthKey) {
    Bstr key = LongKey();
    SweepMethod(EightKeys, "", [&](IDataValue* v, Var& r) { return v->get_Item(key, r.out()); });
}

TEST(MapMethodSweep, ItemGetOfAKeyPresent) {
    Bstr key(u"field05");
    SweepMethod(Document, "fields", [&](IDataValue* v, Var& r) { return v->get_Item(key, r.out()); });
}

TEST(MapMethodSweep, ItemGetCoercesAnInt) {
    Bstr key = LongKey();
    SweepMethod(AnInt, "", [&](IDataValue* v, Var& r) { return v->get_Item(key, r.out()); });
}

TEST(MapMethodSweep, ItemPutAddsAKey) {
    Bstr key = LongKey();
    Var text;
    SetText(text);
    SweepMethod(Document, "fields", [&](IDataValue* v, Var&) { return v->put_Item(key, text); });
}

TEST(MapMethodSweep, ItemPutOfAnObjectAddsTheNinthKey) {
    Bstr key = LongKey();
    Source source;
    SweepMethod(EightKeys, "", [&](IDataValue* v, Var&) { return v->put_Item(key, source.variant); });
}

TEST(MapMethodSweep, ItemPutrefReplacesAValueByATree) {
    Bstr key(u"title");
    Source source;
    SweepMethod(Document, "", [&](IDataValue* v, Var&) { return v->putref_Item(key, source.variant); });
}

TEST(MapMethodSweep, ItemPutCoercesAnInt) {
    Bstr key = LongKey();
    Var text;
    SetText(text);
    SweepMethod(AnInt, "", [&](IDataValue* v, Var&) { return v->put_Item(key, text); });
}

// The tree stored is the object's own: it is copied as it was.
TEST(MapMethodSweep, ItemPutOfTheObjectItself) {
    Bstr key = LongKey();
    SweepMethod(EightKeys, "", [&](IDataValue* v, Var&) {
        Var self;
        self.vt = VT_DISPATCH;
        self.pdispVal = v;
        HRESULT hr = v->put_Item(key, self);
        self.vt = VT_EMPTY;  // borrowed
        return hr;
    });
}

TEST(MapMethodSweep, InsertItemMakesTheIndex) {
    Bstr key = LongKey();
    Source source;
    SweepMethod(EightKeys, "", [&](IDataValue* v, Var&) { return v->InsertItem(2, key, source.variant); });
}

TEST(MapMethodSweep, InsertItemCoercesAnInt) {
    Bstr key = LongKey();
    Var text;
    SetText(text);
    SweepMethod(AnInt, "", [&](IDataValue* v, Var&) { return v->InsertItem(0, key, text); });
}

TEST(MapMethodSweep, RemoveItem) {
    Bstr key(u"field07");
    SweepMethod(Document, "fields", [&](IDataValue* v, Var&) { return v->RemoveItem(key); });
}

TEST(MapMethodSweep, KeyAt) {
    SweepMethod(Document, "fields", [](IDataValue* v, Var& r) {
        BSTR key = nullptr;
        HRESULT hr = v->KeyAt(5, &key);
        if (SUCCEEDED(hr)) {
            r.vt = VT_BSTR;
            r.bstrVal = key;
        } else {
            EXPECT_EQ(key, nullptr);
        }
        return hr;
    });
}

TEST(MapMethodSweep, ItemAt) {
    SweepMethod(Document, "", [](IDataValue* v, Var& r) {
        BSTR key = nullptr;
        HRESULT hr = v->ItemAt(3, &key, r.out());
        EXPECT_EQ(key != nullptr, SUCCEEDED(hr));
        SysFreeString(key);
        return hr;
    });
}

TEST(MapMethodSweep, HasItem) {
    Bstr key = LongKey();
    SweepMethod(Document, "fields", [&](IDataValue* v, Var&) {
        VARIANT_BOOL has = 1;
        HRESULT hr = v->HasItem(key, &has);
        if (SUCCEEDED(hr)) {
            EXPECT_EQ(has, VARIANT_FALSE);
        }
        return hr;
    });
}

TEST(MapMethodSweep, GetItemAAddsTheNinthKey) {
    SweepMethod(EightKeys, "", [](IDataValue* v, Var& r) {
        return v->GetItemA("a narrow key long enough for the heap", r.out());
    });
}

// The ninth key makes the map's index: a failure there used to leave the key
// counted as present with its child owned twice.
TEST(MapMethodSweep, PutItemAAddsTheNinthKey) {
    SweepMethod(EightKeys, "", [](IDataValue* v, Var&) { return v->PutItemA("ninth", test::Typed(VT_I4, 9)); });
}

TEST(MapMethodSweep, PutItemACoercesAString) {
    Source source;
    SweepMethod(Document, "title", [&](IDataValue* v, Var&) { return v->PutItemA("k", source.variant); });
}

TEST(MapMethodSweep, HasItemA) {
    SweepMethod(Document, "fields", [](IDataValue* v, Var&) { return v->HasItemA("field01") == S_OK ? S_OK : E_FAIL; });
}

// --- list methods ----------------------------------------------------------------

TEST(ListMethodSweep, ElementGetGrowsTheList) {
    SweepMethod(Document, "items", [](IDataValue* v, Var& r) { return v->get_Element(9, r.out()); });
}

TEST(ListMethodSweep, ElementGetCoercesAnInt) {
    SweepMethod(AnInt, "", [](IDataValue* v, Var& r) { return v->get_Element(3, r.out()); });
}

TEST(ListMethodSweep, ElementPutGrowsTheList) {
    Var text;
    SetText(text);
    SweepMethod(Document, "items", [&](IDataValue* v, Var&) { return v->put_Element(6, text); });
}

TEST(ListMethodSweep, ElementPutrefOfATree) {
    Source source;
    SweepMethod(CopiedDocument, "items", [&](IDataValue* v, Var&) { return v->putref_Element(0, source.variant); });
}

TEST(ListMethodSweep, PrototypeGetOfACopiedList) {
    SweepMethod(CopiedDocument, "items", [](IDataValue* v, Var& r) { return v->get_Prototype(r.out()); });
}

TEST(ListMethodSweep, PrototypePutCoercesAMap) {
    Source source;
    SweepMethod(Document, "fields", [&](IDataValue* v, Var&) { return v->put_Prototype(source.variant); });
}

TEST(ListMethodSweep, InsertElementAtTheFrontOfACopy) {
    Source source;
    SweepMethod(CopiedDocument, "items", [&](IDataValue* v, Var&) { return v->InsertElement(0, source.variant); });
}

TEST(ListMethodSweep, InsertElementInTheMiddle) {
    Var text;
    SetText(text);
    SweepMethod(Document, "items", [&](IDataValue* v, Var&) { return v->InsertElement(2, text); });
}

TEST(ListMethodSweep, RemoveElementAtTheFrontOfACopy) {
    SweepMethod(CopiedDocument, "items", [](IDataValue* v, Var&) { return v->RemoveElement(0); });
}

// --- values ----------------------------------------------------------------------

TEST(ValueMethodSweep, TypePutReplacesAMap) {
    SweepMethod(Document, "", [](IDataValue* v, Var&) { return v->put_Type(3); });
}

TEST(ValueMethodSweep, ClearOfACopiedList) {
    SweepMethod(CopiedDocument, "items", [](IDataValue* v, Var&) { return v->Clear(); });
}

TEST(ValueMethodSweep, ClearOfAMap) {
    SweepMethod(Document, "", [](IDataValue* v, Var&) { return v->Clear(); });
}

TEST(ValueMethodSweep, ValuePutOfATree) {
    Source source;
    SweepMethod(EightKeys, "", [&](IDataValue* v, Var&) { return v->put_Value(source.variant); });
}

TEST(ValueMethodSweep, ValuePutrefOfTextOverAMap) {
    Var text;
    SetText(text);
    SweepMethod(Document, "fields", [&](IDataValue* v, Var&) { return v->putref_Value(text); });
}

TEST(ValueMethodSweep, ValuePutOfBytes) {
    Var bytes;
    test::SetBytes(bytes, std::string(40, '\x7F'));
    SweepMethod(Document, "title", [&](IDataValue* v, Var&) { return v->put_Value(bytes); });
}

TEST(ValueMethodSweep, ValuePutEmptyClearsACopiedList) {
    SweepMethod(CopiedDocument, "items", [](IDataValue* v, Var&) { return v->put_Value(test::Typed(VT_EMPTY)); });
}

TEST(ValueMethodSweep, ValueGetOfText) {
    SweepMethod(Document, "title", [](IDataValue* v, Var& r) { return v->get_Value(r.out()); });
}

TEST(ValueMethodSweep, ValueGetOfBytes) {
    SweepMethod(BinaryTitle, "title", [](IDataValue* v, Var& r) { return v->get_Value(r.out()); });
}

TEST(ValueMethodSweep, SetStringOverAMap) {
    Bstr text(u"a wide string that converts to more than 23 bytes");
    SweepMethod(Document, "fields", [&](IDataValue* v, Var&) { return v->SetString(text); });
}

TEST(ValueMethodSweep, SetStringAOverAList) {
    SweepMethod(Document, "items", [](IDataValue* v, Var&) {
        return v->SetStringA("narrow text longer than the inline bytes");
    });
}

TEST(ValueMethodSweep, SetBytesOverAString) {
    const std::string bytes(64, '\x01');
    SweepMethod(Document, "title", [&](IDataValue* v, Var&) {
        return v->SetBytes(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<LONG>(bytes.size()));
    });
}

TEST(ValueMethodSweep, GetString) {
    SweepMethod(Document, "title", [](IDataValue* v, Var& r) {
        BSTR text = nullptr;
        HRESULT hr = v->GetString(&text);
        if (SUCCEEDED(hr)) {
            r.vt = VT_BSTR;
            r.bstrVal = text;
        } else {
            EXPECT_EQ(text, nullptr);
        }
        return hr;
    });
}

TEST(ValueMethodSweep, IsEqualToATree) {
    Source source;
    SweepMethod(Document, "", [&](IDataValue* v, Var&) {
        VARIANT_BOOL equal = 0;
        HRESULT hr = v->IsEqual(source.variant, &equal);
        if (SUCCEEDED(hr)) {
            EXPECT_EQ(equal, VARIANT_TRUE);
        }
        return hr;
    });
}

TEST(ValueMethodSweep, StringEqual) {
    SweepMethod(Document, "title", [](IDataValue* v, Var&) {
        HRESULT hr = v->StringEqual(u"A representative document, long enough for the heap");
        return hr == S_FALSE ? E_FAIL : hr;
    });
}

// --- serialization ----------------------------------------------------------------

// A failed serialization may also answer E_FAIL with a code of its own.
bool Serialized(HRESULT hr) {
    if (FAILED(hr) && hr != E_OUTOFMEMORY) {
        EXPECT_EQ(hr, E_FAIL);
    }
    return SUCCEEDED(hr);
}

void SweepSerialization(MakeTree make, std::function<HRESULT(DataObject*)> call, Leaves leaves) {
    Ref<IDataValue> root;
    Sweep({
        .build = [&] {
            NewObject(root);
            make(NodeOf(root.get()));
            NodeOf(root.get()).setFormat(FormatId::Json);
        },
        .tree = [&]() -> DataNode& { return NodeOf(root.get()); },
        .run = [&] { return Serialized(call(static_cast<DataObject*>(root.get()))); },
        .destroy = [&] { root.reset(); },
        .leaves = leaves,
    });
}

std::string JsonOf(MakeTree make) {
    DataNode tree;
    make(tree);
    tree.setFormat(FormatId::Json);
    OutputStream out;
    EXPECT_EQ(writeNode(tree, out), 0u);
    return std::string(out.view());
}

TEST(SerializationMethodSweep, WriteToBuffer) {
    std::string buffer(1 << 16, '\0');
    SweepSerialization(
        Document,
        [&](DataObject* o) {
            ULONG size = static_cast<ULONG>(buffer.size());
            return o->WriteToBuffer(reinterpret_cast<BYTE*>(buffer.data()), &size);
        },
        Leaves::OldOrNew);
}

TEST(SerializationMethodSweep, Save) {
    SweepSerialization(
        Document,
        [](DataObject* o) {
            SAFEARRAY* bytes = nullptr;
            HRESULT hr = o->Save(&bytes);
            EXPECT_EQ(bytes != nullptr, SUCCEEDED(hr));
            SafeArrayDestroy(bytes);
            return hr;
        },
        Leaves::OldOrNew);
}

TEST(SerializationMethodSweep, ReadFromBuffer) {
    const std::string json = JsonOf(Document);
    SweepSerialization(
        EightKeys,
        [&](DataObject* o) {
            ULONG size = static_cast<ULONG>(json.size());
            return o->ReadFromBuffer(reinterpret_cast<const BYTE*>(json.data()), &size);
        },
        kReadLeaves);
}

TEST(SerializationMethodSweep, LoadArray) {
    const std::string json = JsonOf(Document);
    Var bytes;
    test::SetBytes(bytes, json);
    SweepSerialization(
        EightKeys,
        [&](DataObject* o) {
            ULONG consumed = 0;
            IDataBytes* b = o->bytesInterface();
            return b->LoadArray(bytes.parray, &consumed);
        },
        kReadLeaves);
}

// --- late binding ----------------------------------------------------------------

// Invoke reports a method's failure as DISP_E_EXCEPTION with the status in
// the EXCEPINFO; an argument it could not convert for want of memory as
// E_OUTOFMEMORY itself.
HRESULT Invoke(IDataValue* v, DISPID id, WORD flags, VARIANT* args, UINT count, Var& result) {
    DISPID named = DISPID_PROPERTYPUT;
    bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    DISPPARAMS params{args, put ? &named : nullptr, count, put ? 1u : 0u};
    EXCEPINFO info;
    std::memset(&info, 0, sizeof info);
    HRESULT hr = v->Invoke(id, IID_NULL, 0, flags, &params, result.out(), &info, nullptr);
    return hr == DISP_E_EXCEPTION ? info.scode : hr;
}

TEST(DispatchSweep, ItemGetByAnIntegerKey) {
    SweepMethod(EightKeys, "", [](IDataValue* v, Var& r) {
        VARIANT key = test::Typed(VT_I4, 123456789);  // made into text on the way
        return Invoke(v, DISPID_DV_ITEM, DISPATCH_PROPERTYGET, &key, 1, r);
    });
}

TEST(DispatchSweep, ItemPut) {
    Bstr key = LongKey();
    Source source;
    SweepMethod(EightKeys, "", [&](IDataValue* v, Var& r) {
        VARIANT args[2];  // last first
        args[0] = source.variant;
        args[1].vt = VT_BSTR;
        args[1].bstrVal = key;
        return Invoke(v, DISPID_DV_ITEM, DISPATCH_PROPERTYPUT, args, 2, r);
    });
}

TEST(DispatchSweep, InsertElement) {
    Var text;
    SetText(text);
    SweepMethod(CopiedDocument, "items", [&](IDataValue* v, Var& r) {
        VARIANT args[2];
        args[0] = text;
        args[1] = test::Typed(VT_I4, 0);
        return Invoke(v, DISPID_DV_INSERTELEMENT, DISPATCH_METHOD, args, 2, r);
    });
}

TEST(DispatchSweep, ItemAtWithTheKeyByReference) {
    SweepMethod(Document, "fields", [](IDataValue* v, Var& r) {
        BSTR key = nullptr;
        VARIANT args[2];
        args[0].vt = VT_BSTR | VT_BYREF;
        args[0].pbstrVal = &key;
        args[1] = test::Typed(VT_I4, 2);
        HRESULT hr = Invoke(v, DISPID_DV_ITEMAT, DISPATCH_METHOD, args, 2, r);
        EXPECT_EQ(key != nullptr, SUCCEEDED(hr));
        SysFreeString(key);
        return hr;
    });
}

void Bencoded(DataNode& n) {
    Document(n);
    n.setFormat(FormatId::Bencode);
}

TEST(DispatchSweep, Save) {
    SweepMethod(Bencoded, "", [](IDataValue* v, Var& r) {
        IDataBytes* bytes = static_cast<DataObject*>(v)->bytesInterface();
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        EXCEPINFO info;
        std::memset(&info, 0, sizeof info);
        HRESULT hr = bytes->Invoke(DISPID_DB_SAVE, IID_NULL, 0, DISPATCH_METHOD, &none, r.out(), &info, nullptr);
        hr = hr == DISP_E_EXCEPTION ? info.scode : hr;
        // The writer reports a stream that could not grow as its own failure.
        return hr == E_FAIL && GetLastError() == err::StreamFailure ? E_OUTOFMEMORY : hr;
    });
}

// --- the class factory -------------------------------------------------------------

TEST(FactorySweep, CreateInstance) {
    Ref<IClassFactory> factory;
    DataNode none;
    Sweep({
        .build = [&] { ASSERT_EQ(DllGetClassObject(CLSID_DataObject, IID_IClassFactory, factory.outVoid()), S_OK); },
        .tree = [&]() -> DataNode& { return none; },
        .run = [&] {
            Ref<IDataValue> made;
            HRESULT hr = factory->CreateInstance(nullptr, IID_IDataValue, made.outVoid());
            if (FAILED(hr)) {
                EXPECT_EQ(hr, E_OUTOFMEMORY);
            }
            EXPECT_EQ(made.get() != nullptr, SUCCEEDED(hr));
            return SUCCEEDED(hr);
        },
        .destroy = [&] { factory.reset(); },
    });
}

// An outer object that only lends its identity; the aggregate is reached
// through the non-delegating unknown the factory hands out.
struct Outer final : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

TEST(FactorySweep, CreateAggregated) {
    Ref<IClassFactory> factory;
    Outer outer;
    DataNode none;
    Sweep({
        .build = [&] { ASSERT_EQ(DllGetClassObject(CLSID_DataObject, IID_IClassFactory, factory.outVoid()), S_OK); },
        .tree = [&]() -> DataNode& { return none; },
        .run = [&] {
            Ref<IUnknown> inner;
            HRESULT hr = factory->CreateInstance(&outer, IID_IUnknown, inner.outVoid());
            if (FAILED(hr)) {
                EXPECT_EQ(hr, E_OUTOFMEMORY);
            }
            EXPECT_EQ(inner.get() != nullptr, SUCCEEDED(hr));
            return SUCCEEDED(hr);
        },
        .destroy = [&] { factory.reset(); },
    });
}

}  // namespace
}  // namespace zk::alloc
