// The module's state and its four exports. The state is the lock count and
// the cached class factory; loading the module needs no other set-up, and
// unloading it releases the cached factory.
#include <atomic>
#include <mutex>
#include <new>

#include "object/class_factory.h"
#include "object/module.h"

namespace zk {
namespace {

std::atomic<LONG> moduleLocks{0};
std::mutex factoryMutex;
ClassFactory* cachedFactory = nullptr;

ClassFactory* CachedFactory() {
    std::lock_guard<std::mutex> guard(factoryMutex);
    if (!cachedFactory) cachedFactory = new (std::nothrow) ClassFactory();
    return cachedFactory;
}

// Runs when the module is unloaded (or the process ends): the cache gives up
// its reference to the factory.
struct ModuleTeardown {
    ~ModuleTeardown() {
        if (cachedFactory) cachedFactory->Release();
        cachedFactory = nullptr;
    }
} teardown;

}  // namespace

void LockModule() noexcept { moduleLocks.fetch_add(1); }

void UnlockModule() noexcept { moduleLocks.fetch_sub(1); }

LONG ModuleLockCount() noexcept { return moduleLocks.load(); }

}  // namespace zk

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (rclsid != CLSID_DataObject) return CLASS_E_CLASSNOTAVAILABLE;
    zk::ClassFactory* factory = zk::CachedFactory();
    if (!factory) return E_OUTOFMEMORY;
    return factory->QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow(void) { return zk::ModuleLockCount() == 0 ? S_OK : S_FALSE; }

// The module writes no registration: hosts load it and call
// DllGetClassObject, or register it by their own means (on Windows, the
// shipped zk_data.reg).
extern "C" HRESULT STDAPICALLTYPE DllRegisterServer(void) { return E_NOTIMPL; }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer(void) { return E_NOTIMPL; }
