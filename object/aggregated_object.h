// The aggregated form of DataObject: created when a host passes an outer
// unknown to the class factory. This wrapper is the non-delegating unknown
// that the outer object holds; it owns the count, and the DataObject inside
// it forwards its own IUnknown methods (on both interfaces) to the outer.
#pragma once

#include "object/data_object.h"

namespace zk {

class AggregatedObject final : public IUnknown {
public:
    explicit AggregatedObject(IUnknown* outer) : inner_(outer), refs_(0) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

private:
    static constexpr ULONG kDestroying = 0x40000000;

    DataObject inner_;
    ULONG refs_;
};

}  // namespace zk
