#include "tests/object/host_module.h"

#include <cstdio>
#include <cstdlib>

#include "tests/support/module_loader.h"

namespace host {
namespace {

// Every test needs every export: a missing one ends the run.
template <class F>
void Require(void* handle, const char* name, F& function) {
    if (!zk::test::Resolve(handle, name, function)) {
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
    api.handle = zk::test::OpenModule();
    if (!api.handle) {
        std::fprintf(stderr, "cannot load %s: %s\n", ZK_DATA_MODULE_PATH, dlerror());
        std::abort();
    }
    Require(api.handle, "DllGetClassObject", api.DllGetClassObject);
    Require(api.handle, "DllCanUnloadNow", api.DllCanUnloadNow);
    Require(api.handle, "DllRegisterServer", api.DllRegisterServer);
    Require(api.handle, "DllUnregisterServer", api.DllUnregisterServer);
    Require(api.handle, "SysAllocString", api.SysAllocString);
    Require(api.handle, "SysAllocStringLen", api.SysAllocStringLen);
    Require(api.handle, "SysStringLen", api.SysStringLen);
    Require(api.handle, "SysFreeString", api.SysFreeString);
    Require(api.handle, "SafeArrayCreateVector", api.SafeArrayCreateVector);
    Require(api.handle, "SafeArrayAccessData", api.SafeArrayAccessData);
    Require(api.handle, "SafeArrayUnaccessData", api.SafeArrayUnaccessData);
    Require(api.handle, "SafeArrayDestroy", api.SafeArrayDestroy);
    Require(api.handle, "SafeArrayGetDim", api.SafeArrayGetDim);
    Require(api.handle, "SafeArrayGetLBound", api.SafeArrayGetLBound);
    Require(api.handle, "SafeArrayGetUBound", api.SafeArrayGetUBound);
    Require(api.handle, "VariantInit", api.VariantInit);
    Require(api.handle, "VariantClear", api.VariantClear);
    Require(api.handle, "SetLastError", api.SetLastError);
    Require(api.handle, "GetLastError", api.GetLastError);
    return api;
}

void UnloadModule() {
    if (api.handle) dlclose(api.handle);
    api = ModuleApi{};
}

}  // namespace host
