// IDataValue methods that treat the node as a list. Indices are taken as
// unsigned 32-bit numbers, so a negative one is out of range; reading or
// writing past the end grows the list, and an index the list cannot grow to
// reaches the process-wide scratch node.
#include "object/data_object.h"

namespace zk {
namespace {

uint32_t Position(LONG index) { return static_cast<uint32_t>(index); }

}  // namespace

HRESULT DataObject::get_Element(LONG index, VARIANT* element) {
    if (!element) return E_POINTER;
    return Guarded([&] { return WrapNode(node_->asList().at(Position(index)), element); });
}

HRESULT DataObject::put_Element(LONG index, VARIANT value) {
    return Guarded([&] { return FromVariant(node_->listAt(Position(index)), value); });
}

HRESULT DataObject::putref_Element(LONG index, VARIANT value) { return put_Element(index, value); }

HRESULT DataObject::get_Prototype(VARIANT* prototype) {
    if (!prototype) return E_POINTER;
    return Guarded([&] { return WrapNode(node_->asList().prototype(), prototype); });
}

HRESULT DataObject::put_Prototype(VARIANT value) {
    return Guarded([&] { return FromVariant(*node_->asList().prototype(), value); });
}

HRESULT DataObject::putref_Prototype(VARIANT value) { return put_Prototype(value); }

HRESULT DataObject::InsertElement(LONG index, VARIANT value) {
    return Guarded([&] {
        ListValue& list = node_->asList();
        if (!list.insertAt(Position(index), DataNode())) return E_INVALIDARG;
        return FromVariant(*list[Position(index)], value);
    });
}

HRESULT DataObject::RemoveElement(LONG index) {
    return Guarded([&] { return node_->asList().removeAt(Position(index)) ? S_OK : E_INVALIDARG; });
}

}  // namespace zk
