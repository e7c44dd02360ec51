// IDataValue methods that treat the node as a list. Indices are taken as
// unsigned 32-bit numbers, so a negative one is out of range; reading or
// writing past the end grows the list, and an index the list cannot grow to
// reaches the process-wide scratch node.
#include "object/container_edit.h"
#include "object/data_object.h"

namespace zk {
namespace {

uint32_t Position(LONG index) { return static_cast<uint32_t>(index); }

}  // namespace

// Each method changes its node through a ContainerEdit: items it added, or
// the value a coercion replaced, come back out when memory runs out.
HRESULT DataObject::get_Element(LONG index, VARIANT* element) {
    if (!element) return E_POINTER;
    return ExceptionToHresult([&] {
        ContainerEdit edit(*node_);
        HRESULT hr = WrapNode(edit.element(Position(index)), element);
        edit.commit();
        return hr;
    });
}

HRESULT DataObject::put_Element(LONG index, VARIANT value) {
    return ExceptionToHresult([&] {
        ContainerEdit edit(*node_);
        HRESULT hr = FromVariant(*edit.element(Position(index)), value);
        edit.commit();
        return hr;
    });
}

HRESULT DataObject::putref_Element(LONG index, VARIANT value) { return put_Element(index, value); }

// Making the prototype on first use changes nothing a host can see: until
// then the list behaves as if it held an empty one (or a copy of its first
// item), so it is not taken back.
HRESULT DataObject::get_Prototype(VARIANT* prototype) {
    if (!prototype) return E_POINTER;
    return ExceptionToHresult([&] {
        ContainerEdit edit(*node_);
        HRESULT hr = WrapNode(edit.list().prototype(), prototype);
        edit.commit();
        return hr;
    });
}

HRESULT DataObject::put_Prototype(VARIANT value) {
    return ExceptionToHresult([&] {
        ContainerEdit edit(*node_);
        HRESULT hr = FromVariant(*edit.list().prototype(), value);
        edit.commit();
        return hr;
    });
}

HRESULT DataObject::putref_Prototype(VARIANT value) { return put_Prototype(value); }

HRESULT DataObject::InsertElement(LONG index, VARIANT value) {
    return ExceptionToHresult([&] {
        ContainerEdit edit(*node_);
        DataNode* element = edit.insertElement(Position(index));
        HRESULT hr = element ? FromVariant(*element, value) : E_INVALIDARG;
        edit.commit();
        return hr;
    });
}

HRESULT DataObject::RemoveElement(LONG index) {
    return ExceptionToHresult([&] {
        ContainerEdit edit(*node_);
        HRESULT hr = edit.list().removeAt(Position(index)) ? S_OK : E_INVALIDARG;
        edit.commit();
        return hr;
    });
}

}  // namespace zk
