// The class factory of DataObject. The module caches one factory for its
// whole life and holds its first reference; a host that holds a further
// reference holds one module lock with it. The count is changed under a
// lock, so the factory may be used from any thread.
#pragma once

#include <mutex>

#include "zk_data/zk_data.h"

namespace zk {

class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    std::mutex mutex_;
    ULONG refs_ = 1;  // the module's cache
};

}  // namespace zk
