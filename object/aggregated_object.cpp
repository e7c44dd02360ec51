#include "object/aggregated_object.h"

namespace zk {

HRESULT AggregatedObject::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown) {
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = inner_.FindInterface(riid);
    if (!*ppv) return E_NOINTERFACE;
    // A reference taken through the inner interface goes to the outer
    // unknown, which owns the identity and the lifetime.
    inner_.AddRef();
    return S_OK;
}

ULONG AggregatedObject::AddRef() { return ++refs_; }

ULONG AggregatedObject::Release() {
    ULONG left = --refs_;
    if (left == 0) {
        refs_ = kDestroying;
        delete this;
    }
    return left;
}

}  // namespace zk
