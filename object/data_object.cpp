#include "object/data_object.h"

#include "object/module.h"

namespace zk {

DataObject::DataObject() : DataObject(nullptr) {}

DataObject::DataObject(IUnknown* outer) : outer_(outer), refs_(0) { LockModule(); }

DataObject::~DataObject() { UnlockModule(); }

DataObject* DataObject::Wrap(const NodeRef& node) {
    DataObject* object = new DataObject();
    node.share(object->node_);
    object->refs_ = 1;
    return object;
}

void* DataObject::FindInterface(REFIID riid) noexcept {
    if (riid == IID_IUnknown || riid == IID_IDataValue || riid == IID_IDataValueEarlier ||
        riid == IID_IDataValueEarliest || riid == IID_IDispatch)
        return valueInterface();
    if (riid == IID_IDataBytes) return bytesInterface();
    return nullptr;
}

HRESULT DataObject::QueryInterface(REFIID riid, void** ppv) {
    if (outer_) return outer_->QueryInterface(riid, ppv);
    if (!ppv) return E_POINTER;
    *ppv = FindInterface(riid);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG DataObject::AddRef() {
    if (outer_) return outer_->AddRef();
    return ++refs_;
}

ULONG DataObject::Release() {
    if (outer_) return outer_->Release();
    ULONG left = --refs_;
    if (left == 0) {
        refs_ = kDestroying;
        delete this;
    }
    return left;
}

}  // namespace zk
