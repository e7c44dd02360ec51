#include "object/class_factory.h"

#include "object/aggregated_object.h"
#include "object/module.h"

namespace zk {
namespace {

// Makes the object and takes the requested interface from it; an object whose
// query fails is destroyed at once.
template <class Object>
HRESULT CreateAndQuery(Object* object, REFIID riid, void** ppv) {
    object->AddRef();
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

}  // namespace

HRESULT ClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

ULONG ClassFactory::AddRef() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (++refs_ == 2) LockModule();  // the first host reference
    return refs_;
}

ULONG ClassFactory::Release() {
    ULONG left;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        left = --refs_;
        if (left == 1) UnlockModule();  // the last host reference
    }
    if (left == 0) delete this;
    return left;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    return ExceptionToHresult([&] {
        if (outer) return CreateAndQuery(new AggregatedObject(outer), riid, ppv);
        return CreateAndQuery(new DataObject(), riid, ppv);
    });
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    if (lock)
        LockModule();
    else
        UnlockModule();
    return S_OK;
}

}  // namespace zk
