// DataObject: the COM object through which hosts reach one node of a value
// tree, over its two dual interfaces IDataValue and IDataBytes.
//
// The object holds its node through a NodeRef. Child nodes leave as new
// objects that share the child's handle (WrapNode), so hosts edit trees in
// place; storing one object's value into another always copies deeply.
//
// Two forms:
//  - standalone: the object counts its own references and deletes itself
//    when the count drops to 0;
//  - aggregated: the object lives inside an AggregatedObject, and its
//    IUnknown methods, on both interfaces, forward to the outer unknown.
//
// Objects are single-threaded: the count and the node are not locked.
#pragma once

#include <new>

#include "object/dispatch.h"
#include "zk_data/value/data_node.h"
#include "zk_data/zk_data.h"

namespace zk {

// Runs a method body, turning an allocation failure into E_OUTOFMEMORY and
// any other exception into E_FAIL: no exception may cross the binary
// interface.
template <class Body>
HRESULT ExceptionToHresult(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

class DataObject final : public DispatchImpl<IDataValue>, public DispatchImpl<IDataBytes> {
public:
    // A standalone object over a fresh empty node; count 0 until queried.
    DataObject();
    // The object inside an aggregate; its IUnknown forwards to outer.
    explicit DataObject(IUnknown* outer);
    ~DataObject();
    DataObject(const DataObject&) = delete;
    DataObject& operator=(const DataObject&) = delete;

    // A new standalone object sharing node, returned with a count of 1.
    static DataObject* Wrap(const NodeRef& node);

    // The interface for riid without taking a reference, or null.
    void* FindInterface(REFIID riid) noexcept;
    IDataValue* valueInterface() noexcept { return this; }
    IDataBytes* bytesInterface() noexcept { return this; }
    DataNode& node() noexcept { return *node_; }

    // IUnknown, shared by both interfaces.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDataValue: single values (value_methods.cpp).
    HRESULT STDMETHODCALLTYPE get_Type(LONG* type) override;
    HRESULT STDMETHODCALLTYPE put_Type(LONG type) override;
    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override;
    HRESULT STDMETHODCALLTYPE Clear() override;
    HRESULT STDMETHODCALLTYPE GetOption(ULONG mask, VARIANT_BOOL* on) override;
    HRESULT STDMETHODCALLTYPE SetOption(ULONG mask, VARIANT_BOOL on) override;
    HRESULT STDMETHODCALLTYPE GetInt64(LONGLONG* value) override;
    HRESULT STDMETHODCALLTYPE SetInt64(LONGLONG value) override;
    HRESULT STDMETHODCALLTYPE GetBytes(const BYTE** bytes, LONG* length) override;
    HRESULT STDMETHODCALLTYPE SetBytes(const BYTE* bytes, LONG length) override;
    HRESULT STDMETHODCALLTYPE GetString(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE SetString(BSTR value) override;
    HRESULT STDMETHODCALLTYPE BytesEqual(const BYTE* bytes, LONG length) override;
    HRESULT STDMETHODCALLTYPE StringEqual(LPCOLESTR value) override;
    HRESULT STDMETHODCALLTYPE SetStringA(const char* value) override;
    HRESULT STDMETHODCALLTYPE get_Kind(LONG* kind) override;
    HRESULT STDMETHODCALLTYPE put_Kind(LONG kind) override;

    // IDataValue: variants (variant_conversion.cpp).
    HRESULT STDMETHODCALLTYPE get_Value(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE putref_Value(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE IsEqual(VARIANT value, VARIANT_BOOL* equal) override;

    // IDataValue: maps (map_methods.cpp).
    HRESULT STDMETHODCALLTYPE get_Item(BSTR key, VARIANT* item) override;
    HRESULT STDMETHODCALLTYPE put_Item(BSTR key, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE putref_Item(BSTR key, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE InsertItem(LONG position, BSTR key, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE RemoveItem(BSTR key) override;
    HRESULT STDMETHODCALLTYPE KeyAt(LONG index, BSTR* key) override;
    HRESULT STDMETHODCALLTYPE ItemAt(LONG index, BSTR* key, VARIANT* item) override;
    HRESULT STDMETHODCALLTYPE HasItem(BSTR key, VARIANT_BOOL* has) override;
    HRESULT STDMETHODCALLTYPE GetItemA(const char* key, VARIANT* item) override;
    HRESULT STDMETHODCALLTYPE PutItemA(const char* key, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE HasItemA(const char* key) override;

    // IDataValue: lists (list_methods.cpp).
    HRESULT STDMETHODCALLTYPE get_Element(LONG index, VARIANT* element) override;
    HRESULT STDMETHODCALLTYPE put_Element(LONG index, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE putref_Element(LONG index, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE get_Prototype(VARIANT* prototype) override;
    HRESULT STDMETHODCALLTYPE put_Prototype(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE putref_Prototype(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE InsertElement(LONG index, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE RemoveElement(LONG index) override;

    // IDataValue and IDataBytes: serialization (serialization_methods.cpp).
    HRESULT STDMETHODCALLTYPE get_Format(LONG* format) override;
    HRESULT STDMETHODCALLTYPE put_Format(LONG format) override;
    HRESULT STDMETHODCALLTYPE WriteToBuffer(BYTE* buffer, ULONG* size) override;
    HRESULT STDMETHODCALLTYPE ReadFromBuffer(const BYTE* buffer, ULONG* size) override;
    HRESULT STDMETHODCALLTYPE PushToLua(lua_State* L) override;
    HRESULT STDMETHODCALLTYPE ReadFromLua(lua_State* L, LONG index) override;
    HRESULT STDMETHODCALLTYPE Save(SAFEARRAY** bytes) override;
    HRESULT STDMETHODCALLTYPE Load(const BYTE* bytes, ULONG size, ULONG* consumed) override;
    HRESULT STDMETHODCALLTYPE LoadArray(SAFEARRAY* bytes, ULONG* consumed) override;

private:
    // Shared steps between variants and nodes (variant_conversion.cpp).
    // FromVariant and WrapNode throw std::bad_alloc, so that a container
    // method can take back what it changed before ExceptionToHresult reports
    // E_OUTOFMEMORY; FromVariant then leaves target as it was.
    HRESULT FromVariant(DataNode& target, const VARIANT& value);
    HRESULT ToVariant(VARIANT* out);
    static HRESULT WrapNode(const NodeRef& node, VARIANT* out);
    // The DataObject of this library inside value, or null for anything else
    // (foreign implementations of IDataValue included). Borrowed: value
    // keeps it alive.
    DataObject* ObjectFromVariant(const VARIANT& value) const;
    bool EqualsVariant(const VARIANT& value) const;

    // Set while the last Release destroys the object, so that calls made
    // during destruction cannot destroy it a second time.
    static constexpr ULONG kDestroying = 0x40000000;

    IUnknown* outer_;  // null for the standalone form
    ULONG refs_;       // standalone form only
    NodeRef node_;
};

}  // namespace zk
