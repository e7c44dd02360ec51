// Helpers for the object layer's unit tests: owners that free every BSTR,
// VARIANT and interface a test receives, and short ways to make arguments.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "object/data_object.h"
#include "tests/support/com_ref.h"
#include "tests/support/wide_text.h"

namespace zk::test {

// Owns one BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const char16_t* text) : s_(SysAllocString(Ole(text))) {}
    Bstr(const char16_t* text, UINT length) : s_(SysAllocStringLen(Ole(text), length)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(s_); }

    operator BSTR() const { return s_; }
    BSTR* out() {
        SysFreeString(s_);
        s_ = nullptr;
        return &s_;
    }
    std::u16string text() const { return s_ ? U16(s_, SysStringLen(s_)) : std::u16string(); }

private:
    BSTR s_ = nullptr;
};

// A VARIANT that clears itself. Passed where a VARIANT is taken by value it
// lends its content: the callee does not own it.
struct Var : VARIANT {
    Var() { vt = VT_EMPTY; }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
    ~Var() { VariantClear(this); }

    VARIANT* out() {
        VariantClear(this);
        return this;
    }
};

inline void SetI4(VARIANT& v, LONG value) {
    v.vt = VT_I4;
    v.lVal = value;
}

// The argument forms used most: these leave ownership with the Var.
inline void SetText(Var& v, const char16_t* text) {
    VariantClear(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(Ole(text));
}

inline void SetBytes(Var& v, const std::string& bytes) {
    VariantClear(&v);
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!bytes.empty()) std::memcpy(v.parray->pvData, bytes.data(), bytes.size());
}

inline void SetObject(Var& v, IDataValue* object) {
    VariantClear(&v);
    object->AddRef();
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
}

// A standalone object over a fresh node, as the class factory makes it.
inline Ref<IDataValue> NewValue() {
    Ref<IDataValue> value;
    auto* object = new DataObject();
    EXPECT_EQ(object->QueryInterface(IID_IDataValue, value.outVoid()), S_OK);
    return value;
}

// The object's node, for checks that the interface cannot make.
inline DataNode& NodeOf(IDataValue* value) { return static_cast<DataObject*>(value)->node(); }

inline LONG TypeOf(IDataValue* value) {
    LONG type = -1;
    value->get_Type(&type);
    return type;
}

inline LONG CountOf(IDataValue* value) {
    LONG count = -1;
    value->get_Count(&count);
    return count;
}

inline LONG KindOf(IDataValue* value) {
    LONG kind = -1;
    value->get_Kind(&kind);
    return kind;
}

inline std::u16string KeyAtOf(IDataValue* value, LONG index) {
    Bstr key;
    EXPECT_EQ(value->KeyAt(index, key.out()), S_OK);
    return key.text();
}

inline std::string BytesOf(IDataValue* value) {
    const BYTE* bytes = nullptr;
    LONG length = 0;
    if (FAILED(value->GetBytes(&bytes, &length))) return "<not a string>";
    return std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
}

// A child object by wide key.
inline Ref<IDataValue> Item(IDataValue* map, const char16_t* key) {
    Bstr k(key);
    Var item;
    EXPECT_EQ(map->get_Item(k, item.out()), S_OK);
    return ObjectIn(item);
}

inline HRESULT PutItem(IDataValue* map, const char16_t* key, const VARIANT& value) {
    Bstr k(key);
    return map->put_Item(k, value);
}

inline Ref<IDataValue> Element(IDataValue* list, LONG index) {
    Var item;
    EXPECT_EQ(list->get_Element(index, item.out()), S_OK);
    return ObjectIn(item);
}

}  // namespace zk::test
