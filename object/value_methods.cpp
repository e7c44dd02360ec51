// IDataValue methods on single values: type, count, kind, options, integers,
// strings and bytes. None publishes a library error code.
#include <cstring>
#include <string>

#include "object/data_object.h"
#include "object/ole_text.h"

namespace zk {
namespace {

// Counted bytes from a host; a null pointer or a negative length is the empty
// string, so a bad argument can never make the method read foreign memory.
std::string_view HostBytes(const BYTE* bytes, LONG length) {
    if (!bytes || length <= 0) return {};
    return {reinterpret_cast<const char*>(bytes), static_cast<size_t>(length)};
}

}  // namespace

HRESULT DataObject::get_Type(LONG* type) {
    if (!type) return E_POINTER;
    *type = static_cast<LONG>(node_->type());
    return S_OK;
}

HRESULT DataObject::put_Type(LONG type) {
    return ExceptionToHresult([&] { return node_->setType(type) ? S_OK : E_INVALIDARG; });
}

HRESULT DataObject::get_Count(LONG* count) {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(node_->size());
    return S_OK;
}

HRESULT DataObject::Clear() {
    return ExceptionToHresult([&] {
        node_->clear();
        return S_OK;
    });
}

HRESULT DataObject::GetOption(ULONG mask, VARIANT_BOOL* on) {
    if (!on) return E_POINTER;
    *on = node_->hasOption(mask) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT DataObject::SetOption(ULONG mask, VARIANT_BOOL on) {
    // Only the canonical true sets: 1 and other non-zero values clear.
    node_->setOption(mask, on == VARIANT_TRUE);
    return S_OK;
}

HRESULT DataObject::GetInt64(LONGLONG* value) {
    if (!value) return E_POINTER;
    bool readable = node_->isInt() || node_->isStr();
    *value = readable ? node_->toInt64() : 0;
    return readable ? S_OK : E_UNEXPECTED;
}

HRESULT DataObject::SetInt64(LONGLONG value) {
    node_->setInt(value, ValueKind::UInt64);
    return S_OK;
}

HRESULT DataObject::GetBytes(const BYTE** bytes, LONG* length) {
    if (!bytes || !length) return E_POINTER;
    if (!node_->isStr()) {
        *bytes = nullptr;
        *length = 0;
        return E_UNEXPECTED;
    }
    *bytes = reinterpret_cast<const BYTE*>(node_->str().data());
    *length = static_cast<LONG>(node_->str().size());
    return S_OK;
}

HRESULT DataObject::SetBytes(const BYTE* bytes, LONG length) {
    // setStr copies first, so bytes may point into this very node.
    return ExceptionToHresult([&] {
        node_->setStr(HostBytes(bytes, length), ValueKind::Binary);
        return S_OK;
    });
}

HRESULT DataObject::GetString(BSTR* value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    if (!node_->isStr()) return E_UNEXPECTED;
    return ExceptionToHresult([&] {
        std::u16string wide;
        Utf8ToWide(node_->str().data(), node_->str().size(), wide);
        *value = AllocBstr(wide);
        return *value ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT DataObject::SetString(BSTR value) {
    return ExceptionToHresult([&] {
        ByteString utf8;
        WideToUtf8(Utf16(value), OleLength(value), utf8);
        node_->setStr(utf8.view(), ValueKind::Text);
        return S_OK;
    });
}

HRESULT DataObject::BytesEqual(const BYTE* bytes, LONG length) {
    return node_->isStr() && node_->str().view() == HostBytes(bytes, length) ? S_OK : S_FALSE;
}

HRESULT DataObject::StringEqual(LPCOLESTR value) {
    if (!node_->isStr()) return S_FALSE;
    return ExceptionToHresult([&] {
        ByteString utf8;
        WideToUtf8(Utf16(value), OleLength(value), utf8);
        return node_->str() == utf8 ? S_OK : S_FALSE;
    });
}

HRESULT DataObject::SetStringA(const char* value) {
    return ExceptionToHresult([&] {
        node_->setStr(value ? std::string_view(value) : std::string_view(), ValueKind::Text);
        return S_OK;
    });
}

HRESULT DataObject::get_Kind(LONG* kind) {
    if (!kind) return E_POINTER;
    *kind = node_->kind();
    return S_OK;
}

HRESULT DataObject::put_Kind(LONG kind) { return node_->setKind(kind) ? S_OK : E_INVALIDARG; }

}  // namespace zk
