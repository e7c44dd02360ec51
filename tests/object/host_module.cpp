#include "tests/object/host_module.h"

#include <cstdio>
#include <cstdlib>

#include "tests/support/module_loader.h"

namespace host {
namespace {

// Every test needs every function: a missing one ends the run.
template <class F>
void Require(zk::test::ModuleHandle handle, const char* name, F& function) {
    if (!zk::test::Resolve(handle, name, function)) {
        std::fprintf(stderr, "%s: no function %s\n", ZK_DATA_MODULE_PATH, name);
        std::abort();
    }
}

template <class F>
void RequirePlatform(zk::test::ModuleHandle handle, const char* name, F& function) {
    Require(zk::test::PlatformLibrary(handle, name), name, function);
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
        std::fprintf(stderr, "cannot load %s: %s\n", ZK_DATA_MODULE_PATH, zk::test::LoadError().c_str());
        std::abort();
    }
    Require(api.handle, "DllGetClassObject", api.DllGetClassObject);
    Require(api.handle, "DllCanUnloadNow", api.DllCanUnloadNow);
    Require(api.handle, "DllRegisterServer", api.DllRegisterServer);
    Require(api.handle, "DllUnregisterServer", api.DllUnregisterServer);
    RequirePlatform(api.handle, "SysAllocString", api.SysAllocString);
    RequirePlatform(api.handle, "SysAllocStringLen", api.SysAllocStringLen);
    RequirePlatform(api.handle, "SysStringLen", api.SysStringLen);
    RequirePlatform(api.handle, "SysFreeString", api.SysFreeString);
    RequirePlatform(api.handle, "SafeArrayCreateVector", api.SafeArrayCreateVector);
    RequirePlatform(api.handle, "SafeArrayAccessData", api.SafeArrayAccessData);
    RequirePlatform(api.handle, "SafeArrayUnaccessData", api.SafeArrayUnaccessData);
    RequirePlatform(api.handle, "SafeArrayDestroy", api.SafeArrayDestroy);
    RequirePlatform(api.handle, "SafeArrayGetDim", api.SafeArrayGetDim);
    RequirePlatform(api.handle, "SafeArrayGetLBound", api.SafeArrayGetLBound);
    RequirePlatform(api.handle, "SafeArrayGetUBound", api.SafeArrayGetUBound);
    RequirePlatform(api.handle, "VariantInit", api.VariantInit);
    RequirePlatform(api.handle, "VariantClear", api.VariantClear);
    RequirePlatform(api.handle, "SetLastError", api.SetLastError);
    RequirePlatform(api.handle, "GetLastError", api.GetLastError);
    return api;
}

void UnloadModule() {
    if (api.handle) zk::test::CloseModule(api.handle);
    api = ModuleApi{};
}

}  // namespace host
