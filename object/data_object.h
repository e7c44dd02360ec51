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
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IDataValue: single values (value_methods.cpp).
    HRESULT get_Type(LONG* type) override;
    HRESULT put_Type(LONG type) override;
    HRESULT get_Count(LONG* count) override;
    HRESULT Clear() override;
    HRESULT GetOption(ULONG mask, VARIANT_BOOL* on) override;
    HRESULT SetOption(ULONG mask, VARIANT_BOOL on) override;
    HRESULT GetInt64(LONGLONG* value) override;
    HRESULT SetInt64(LONGLONG value) override;
    HRESULT GetBytes(const BYTE** bytes, LONG* length) override;
    HRESULT SetBytes(const BYTE* bytes, LONG length) override;
    HRESULT GetString(BSTR* value) override;
    HRESULT SetString(BSTR value) override;
    HRESULT BytesEqual(const BYTE* bytes, LONG length) override;
    HRESULT StringEqual(LPCOLESTR value) override;
    HRESULT SetStringA(const char* value) override;
    HRESULT get_Kind(LONG* kind) override;
    HRESULT put_Kind(LONG kind) override;

    // IDataValue: variants (variant_conversion.cpp).
    HRESULT get_Value(VARIANT* value) override;
    HRESULT put_Value(VARIANT value) override;
    HRESULT putref_Value(VARIANT value) override;
    HRESULT IsEqual(VARIANT value, VARIANT_BOOL* equal) override;

    // IDataValue: maps (map_methods.cpp).
    HRESULT get_Item(BSTR key, VARIANT* item) override;
    HRESULT put_Item(BSTR key, VARIANT value) override;
    HRESULT putref_Item(BSTR key, VARIANT value) override;
    HRESULT InsertItem(LONG position, BSTR key, VARIANT value) override;
    HRESULT RemoveItem(BSTR key) override;
    HRESULT KeyAt(LONG index, BSTR* key) override;
    HRESULT ItemAt(LONG index, BSTR* key, VARIANT* item) override;
    HRESULT HasItem(BSTR key, VARIANT_BOOL* has) override;
    HRESULT GetItemA(const char* key, VARIANT* item) override;
    HRESULT PutItemA(const char* key, VARIANT value) override;
    HRESULT HasItemA(const char* key) override;

    // IDataValue: lists (list_methods.cpp).
    HRESULT get_Element(LONG index, VARIANT* element) override;
    HRESULT put_Element(LONG index, VARIANT value) override;
    HRESULT putref_Element(LONG index, VARIANT value) override;
    HRESULT get_Prototype(VARIANT* prototype) override;
    HRESULT put_Prototype(VARIANT value) override;
    HRESULT putref_Prototype(VARIANT value) override;
    HRESULT InsertElement(LONG index, VARIANT value) override;
    HRESULT RemoveElement(LONG index) override;

    // IDataValue and IDataBytes: serialization (serialization_methods.cpp).
    HRESULT get_Format(LONG* format) override;
    HRESULT put_Format(LONG format) override;
    HRESULT WriteToBuffer(BYTE* buffer, ULONG* size) override;
    HRESULT ReadFromBuffer(const BYTE* buffer, ULONG* size) override;
    HRESULT PushToLua(lua_State* L) override;
    HRESULT ReadFromLua(lua_State* L, LONG index) override;
    HRESULT Save(SAFEARRAY** bytes) override;
    HRESULT Load(const BYTE* bytes, ULONG size, ULONG* consumed) override;
    HRESULT LoadArray(SAFEARRAY* bytes, ULONG* consumed) override;

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
