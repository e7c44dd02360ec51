// A host object that aggregates a DataObject, as a host would: it answers
// IUnknown itself and hands every other interface to the inner object, whose
// non-delegating unknown it holds in inner. Header-only, for the object
// layer's tests and for host tests alike.
#pragma once

#include "zk_data/zk_data.h"

namespace zk::test {

struct Outer : IUnknown {
    ULONG refs = 1;
    IUnknown* inner = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    // The last reference releases the inner object, cleared first so that
    // the outer never holds a pointer to a freed object.
    ULONG STDMETHODCALLTYPE Release() override {
        if (--refs == 0 && inner) {
            IUnknown* last = inner;
            inner = nullptr;
            last->Release();
        }
        return refs;
    }
};

}  // namespace zk::test
