// IDataValue methods that treat the node as a map. Wide keys travel as GBK
// bytes (the code page of the keys the hosts exchange); the A methods take
// the key bytes as they are. Every method but HasItem and HasItemA makes the
// node a map first.
#include <string>

#include "object/container_edit.h"
#include "object/data_object.h"
#include "zk_data/text/gbk.h"
#include "object/ole_text.h"

namespace zk {
namespace {

// The key's GBK bytes over its full stored length; false for an empty key
// (a null BSTR or one of length 0).
bool KeyBytes(BSTR key, ByteString& bytes) {
    UINT length = SysStringLen(key);
    if (length == 0) return false;
    WideToGbk(Utf16(key), length, bytes);
    return true;
}

std::string_view NarrowKey(const char* key) { return key ? std::string_view(key) : std::string_view(); }

// The key at position index of the insertion order as a new BSTR.
HRESULT KeyString(const DataNode& node, LONG index, BSTR* out) {
    ByteString bytes;
    if (!node.keyAt(static_cast<uint32_t>(index), bytes)) return E_INVALIDARG;
    std::u16string wide;
    GbkToWide(bytes.data(), bytes.size(), wide);
    if (wide.empty()) return E_FAIL;
    *out = AllocBstr(wide);
    return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

// Each method changes its node through a ContainerEdit: a key it added, or
// the value a coercion replaced, comes back out when memory runs out.
HRESULT DataObject::get_Item(BSTR key, VARIANT* item) {
    if (!item) return E_POINTER;
    return ExceptionToHresult([&] {
        ByteString bytes;
        if (!KeyBytes(key, bytes)) return E_INVALIDARG;
        ContainerEdit edit(*node_);
        HRESULT hr = WrapNode(edit.child(bytes), item);
        edit.commit();
        return hr;
    });
}

HRESULT DataObject::put_Item(BSTR key, VARIANT value) {
    return ExceptionToHresult([&] {
        ByteString bytes;
        if (!KeyBytes(key, bytes)) return E_INVALIDARG;
        ContainerEdit edit(*node_);
        HRESULT hr = FromVariant(*edit.child(bytes), value);
        edit.commit();
        return hr;
    });
}

HRESULT DataObject::putref_Item(BSTR key, VARIANT value) {
    IDataValue* self = this;
    return self->put_Item(key, value);
}

HRESULT DataObject::InsertItem(LONG position, BSTR key, VARIANT value) {
    return ExceptionToHresult([&] {
        ByteString bytes;
        if (!KeyBytes(key, bytes)) return E_INVALIDARG;
        ContainerEdit edit(*node_);
        DataNode* child = edit.insertKey(static_cast<uint32_t>(position), bytes);
        HRESULT hr = child ? FromVariant(*child, value) : E_INVALIDARG;
        edit.commit();
        return hr;
    });
}

HRESULT DataObject::RemoveItem(BSTR key) {
    return ExceptionToHresult([&] {
        ByteString bytes;
        if (!KeyBytes(key, bytes)) return E_INVALIDARG;
        return node_->asMap().remove(bytes) ? S_OK : E_INVALIDARG;
    });
}

HRESULT DataObject::KeyAt(LONG index, BSTR* key) {
    if (!key) return E_POINTER;
    return ExceptionToHresult([&] {
        ContainerEdit edit(*node_);
        edit.map();
        HRESULT hr = KeyString(*node_, index, key);
        edit.commit();
        return hr;
    });
}

HRESULT DataObject::ItemAt(LONG index, BSTR* key, VARIANT* item) {
    if (!key || !item) return E_POINTER;
    BSTR found = nullptr;
    HRESULT hr = ExceptionToHresult([&] {
        ContainerEdit edit(*node_);
        MapValue& map = edit.map();
        HRESULT status = KeyString(*node_, index, &found);
        // A key was found, so index names an entry.
        if (SUCCEEDED(status)) status = WrapNode(map.entry(static_cast<uint32_t>(index)).child, item);
        edit.commit();
        return status;
    });
    if (SUCCEEDED(hr)) {
        *key = found;
    } else if (found) {
        // The wrap failed after the key was made: the host gets null, not a freed string.
        SysFreeString(found);
        *key = nullptr;
    }
    return hr;
}

HRESULT DataObject::HasItem(BSTR key, VARIANT_BOOL* has) {
    if (!has) return E_POINTER;
    return ExceptionToHresult([&] {
        ByteString bytes;
        if (!KeyBytes(key, bytes)) return E_INVALIDARG;
        *has = node_->hasKey(bytes.view()) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT DataObject::GetItemA(const char* key, VARIANT* item) {
    if (!item) return E_POINTER;
    return ExceptionToHresult([&] {
        ContainerEdit edit(*node_);
        HRESULT hr = WrapNode(edit.child(NarrowKey(key)), item);
        edit.commit();
        return hr;
    });
}

HRESULT DataObject::PutItemA(const char* key, VARIANT value) {
    return ExceptionToHresult([&] {
        ContainerEdit edit(*node_);
        HRESULT hr = FromVariant(*edit.child(NarrowKey(key)), value);
        edit.commit();
        return hr;
    });
}

HRESULT DataObject::HasItemA(const char* key) { return node_->hasKey(NarrowKey(key)) ? S_OK : S_FALSE; }

}  // namespace zk
