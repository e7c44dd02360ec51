// Conversions between host VARIANTs and nodes. On the way in, the VARIANT
// type picks the node type and kind; on the way out, the kind picks the
// VARIANT type, and lists, maps and empty nodes leave as objects.
#include <cstring>
#include <string>

#include "object/data_object.h"
#include "object/ole_text.h"

namespace zk {
namespace {

// The data of a byte array and the element count of its dimension 1. A null
// array, or one without data, is empty: it is never dereferenced.
std::string_view ArrayBytes(const SAFEARRAY* array) {
    if (!array || array->cDims == 0 || !array->pvData) return {};
    ULONG count = array->rgsabound[array->cDims - 1].cElements;
    return {static_cast<const char*>(array->pvData), count};
}

// The integer a VARIANT of an integer type holds, and the width in bits that
// its type gives it; 0 bits for any other type.
struct VariantInteger {
    uint64_t bits;
    int width;
};

VariantInteger IntegerOf(const VARIANT& v) {
    switch (v.vt) {
    case VT_I1: return {static_cast<uint64_t>(static_cast<int64_t>(static_cast<signed char>(v.cVal))), 8};
    case VT_UI1: return {v.bVal, 8};
    case VT_I2: return {static_cast<uint64_t>(static_cast<int64_t>(v.iVal)), 16};
    case VT_UI2: return {v.uiVal, 16};
    case VT_I4:
    case VT_INT: return {static_cast<uint64_t>(static_cast<int64_t>(v.lVal)), 32};
    case VT_UI4:
    case VT_UINT: return {v.ulVal, 32};
    case VT_I8: return {static_cast<uint64_t>(v.llVal), 64};
    case VT_UI8: return {v.ullVal, 64};
    default: return {0, 0};
    }
}

// The kind a stored integer gets from its VARIANT type: plain int and
// unsigned int are stored as the 32-bit kinds.
int32_t KindOf(VARTYPE vt) {
    switch (vt) {
    case VT_I1: return ValueKind::Int8;
    case VT_UI1: return ValueKind::UInt8;
    case VT_I2: return ValueKind::Int16;
    case VT_UI2: return ValueKind::UInt16;
    case VT_I4:
    case VT_INT: return ValueKind::Int32;
    case VT_UI4:
    case VT_UINT: return ValueKind::UInt32;
    case VT_I8: return ValueKind::Int64;
    case VT_UI8: return ValueKind::UInt64;
    default: return ValueKind::Unspecified;
    }
}

bool LowBitsEqual(uint64_t a, uint64_t b, int width) {
    uint64_t mask = width == 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1;
    return (a & mask) == (b & mask);
}

// The VARIANT type an Int node leaves as, by its kind; plain int for kind 7
// and for a kind that names no width.
VARTYPE TypeOfKind(int32_t kind) {
    switch (kind) {
    case ValueKind::Int8: return VT_I1;
    case ValueKind::UInt8: return VT_UI1;
    case ValueKind::Int16: return VT_I2;
    case ValueKind::UInt16: return VT_UI2;
    case ValueKind::Int32: return VT_I4;
    case ValueKind::UInt32: return VT_UI4;
    case ValueKind::NativeUInt: return VT_UINT;
    case ValueKind::Int64: return VT_I8;
    case ValueKind::UInt64: return VT_UI8;
    default: return VT_INT;
    }
}

// Stores the low bits of num that the width of vt holds.
void IntToVariant(int64_t num, VARTYPE vt, VARIANT* out) {
    out->vt = vt;
    switch (vt) {
    case VT_I1: out->cVal = static_cast<CHAR>(num); break;
    case VT_UI1: out->bVal = static_cast<BYTE>(num); break;
    case VT_I2: out->iVal = static_cast<SHORT>(num); break;
    case VT_UI2: out->uiVal = static_cast<USHORT>(num); break;
    case VT_I4: out->lVal = static_cast<LONG>(num); break;
    case VT_UI4: out->ulVal = static_cast<ULONG>(num); break;
    case VT_UINT: out->uintVal = static_cast<UINT>(num); break;
    case VT_I8: out->llVal = num; break;
    case VT_UI8: out->ullVal = static_cast<ULONGLONG>(num); break;
    default: out->intVal = static_cast<INT>(num); break;
    }
}

HRESULT TextToVariant(const ByteString& utf8, VARIANT* out) {
    std::u16string wide;
    Utf8ToWide(utf8.data(), utf8.size(), wide);
    // Allocated as a zero-terminated string: the text ends at its first zero.
    BSTR text = AllocBstr(std::u16string_view(wide.c_str()));
    if (!text) return E_OUTOFMEMORY;
    out->vt = VT_BSTR;
    out->bstrVal = text;
    return S_OK;
}

HRESULT BytesToVariant(const ByteString& bytes, VARIANT* out) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!array) return E_OUTOFMEMORY;
    if (!bytes.empty()) std::memcpy(array->pvData, bytes.data(), bytes.size());
    out->vt = VT_ARRAY | VT_UI1;
    out->parray = array;
    return S_OK;
}

bool IsObjectType(VARTYPE vt) {
    return vt == VT_DISPATCH || vt == VT_UNKNOWN || vt == (VT_DISPATCH | VT_BYREF) || vt == (VT_UNKNOWN | VT_BYREF);
}

IUnknown* InterfaceOf(const VARIANT& v) {
    if (!(v.vt & VT_BYREF)) return v.punkVal;
    return v.ppunkVal ? *v.ppunkVal : nullptr;
}

// The first word of any interface pointer is its method table.
const void* MethodTableOf(const void* p) {
    const void* table;
    std::memcpy(&table, p, sizeof table);
    return table;
}

}  // namespace

DataObject* DataObject::ObjectFromVariant(const VARIANT& value) const {
    IUnknown* unknown = IsObjectType(value.vt) ? InterfaceOf(value) : nullptr;
    if (!unknown) return nullptr;
    void* answer = nullptr;
    if (FAILED(unknown->QueryInterface(IID_IDataValue, &answer)) || !answer) return nullptr;
    // Another implementation of IDataValue has another method table; only
    // objects of this class share ours, and only their nodes may be used.
    const IDataValue* ours = this;
    DataObject* object = nullptr;
    if (MethodTableOf(answer) == MethodTableOf(ours)) object = static_cast<DataObject*>(static_cast<IDataValue*>(answer));
    static_cast<IUnknown*>(answer)->Release();
    return object;
}

// Each store either completes or throws before it changes target: setStr and
// assign copy first, clear allocates (a list's prototype) before it releases.
HRESULT DataObject::FromVariant(DataNode& target, const VARIANT& value) {
    if (int32_t kind = KindOf(value.vt)) {
        target.setInt(static_cast<int64_t>(IntegerOf(value).bits), kind);
        return S_OK;
    }
    if (value.vt == VT_BSTR) {
        ByteString utf8;
        WideToUtf8(Utf16(value.bstrVal), OleLength(value.bstrVal), utf8);
        target.setStr(utf8.view(), ValueKind::Text);
        return S_OK;
    }
    if (value.vt == (VT_ARRAY | VT_UI1)) {
        target.setStr(ArrayBytes(value.parray), ValueKind::Binary);
        return S_OK;
    }
    if (value.vt == VT_EMPTY) {
        target.clear();
        return S_OK;
    }
    if (IsObjectType(value.vt)) {
        DataObject* source = ObjectFromVariant(value);
        if (!source) return E_INVALIDARG;
        target.assign(source->node());
        return S_OK;
    }
    return E_INVALIDARG;
}

HRESULT DataObject::ToVariant(VARIANT* out) {
    const DataNode& node = *node_;
    if (node.isInt()) {
        IntToVariant(node.num(), TypeOfKind(node.kind()), out);
        return S_OK;
    }
    if (node.isStr())
        return ExceptionToHresult(
            [&] { return node.kind() == ValueKind::Text ? TextToVariant(node.str(), out) : BytesToVariant(node.str(), out); });
    IDataValue* self = this;
    self->AddRef();
    out->vt = VT_DISPATCH;
    out->pdispVal = self;
    return S_OK;
}

HRESULT DataObject::WrapNode(const NodeRef& node, VARIANT* out) {
    IDataValue* child = Wrap(node)->valueInterface();
    out->vt = VT_DISPATCH;
    out->pdispVal = child;
    return S_OK;
}

bool DataObject::EqualsVariant(const VARIANT& value) const {
    const DataNode& node = *node_;
    if (VariantInteger v = IntegerOf(value); v.width)
        return node.isInt() && LowBitsEqual(static_cast<uint64_t>(node.num()), v.bits, v.width);
    if (value.vt == VT_BSTR) {
        // The whole stored length counts here, embedded zero units included.
        ByteString utf8;
        WideToUtf8(Utf16(value.bstrVal), SysStringLen(value.bstrVal), utf8);
        return node.isStr() && node.str() == utf8;
    }
    if (value.vt == (VT_ARRAY | VT_UI1)) return node.isStr() && node.str().view() == ArrayBytes(value.parray);
    if (IsObjectType(value.vt)) {
        const DataObject* other = ObjectFromVariant(value);
        return other && node.equals(*other->node_);
    }
    return false;
}

HRESULT DataObject::get_Value(VARIANT* value) {
    if (!value) return E_POINTER;
    return ToVariant(value);
}

HRESULT DataObject::put_Value(VARIANT value) {
    return ExceptionToHresult([&] { return FromVariant(*node_, value); });
}

HRESULT DataObject::putref_Value(VARIANT value) { return put_Value(value); }

HRESULT DataObject::IsEqual(VARIANT value, VARIANT_BOOL* equal) {
    if (!equal) return E_POINTER;
    return ExceptionToHresult([&] {
        *equal = EqualsVariant(value) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

}  // namespace zk
