#include "tests/object/host_module.h"

#include <cstdio>
#include <cstdlib>

namespace host {
namespace {

template <class F>
void Resolve(void* handle, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(handle, name));
    if (!function) {
        std::fprintf(stderr, "libzk_data.so does not export %s\n", name);
        std::abort();
    }
}

ModuleApi api;

// Every test leaves the module free to unload; the last check before unloading
// is that it says so.
class ModuleEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        if (!api.handle) return;
        EXPECT_EQ(api.DllCanUnloadNow(), S_OK) << "an object, factory or lock was left behind";
        UnloadModule();
    }
};

const auto* environment = ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

}  // namespace

ModuleApi& Api() {
    if (api.handle) return api;
    api.handle = dlopen(ZK_DATA_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!api.handle) {
        std::fprintf(stderr, "cannot load %s: %s\n", ZK_DATA_MODULE_PATH, dlerror());
        std::abort();
    }
    Resolve(api.handle, "DllGetClassObject", api.DllGetClassObject);
    Resolve(api.handle, "DllCanUnloadNow", api.DllCanUnloadNow);
    Resolve(api.handle, "DllRegisterServer", api.DllRegisterServer);
    Resolve(api.handle, "DllUnregisterServer", api.DllUnregisterServer);
    Resolve(api.handle, "SysAllocString", api.SysAllocString);
    Resolve(api.handle, "SysAllocStringLen", api.SysAllocStringLen);
    Resolve(api.handle, "SysStringLen", api.SysStringLen);
    Resolve(api.handle, "SysFreeString", api.SysFreeString);
    Resolve(api.handle, "SafeArrayCreateVector", api.SafeArrayCreateVector);
    Resolve(api.handle, "SafeArrayAccessData", api.SafeArrayAccessData);
    Resolve(api.handle, "SafeArrayUnaccessData", api.SafeArrayUnaccessData);
    Resolve(api.handle, "SafeArrayDestroy", api.SafeArrayDestroy);
    Resolve(api.handle, "SafeArrayGetDim", api.SafeArrayGetDim);
    Resolve(api.handle, "SafeArrayGetLBound", api.SafeArrayGetLBound);
    Resolve(api.handle, "SafeArrayGetUBound", api.SafeArrayGetUBound);
    Resolve(api.handle, "VariantInit", api.VariantInit);
    Resolve(api.handle, "VariantClear", api.VariantClear);
    Resolve(api.handle, "SetLastError", api.SetLastError);
    Resolve(api.handle, "GetLastError", api.GetLastError);
    return api;
}

void UnloadModule() {
    if (api.handle) dlclose(api.handle);
    api = ModuleApi{};
}

}  // namespace host
