// libzk_data.so as a host meets it: opened with dlopen by the path the build
// compiles in (ZK_DATA_MODULE_PATH), every function found by name. Header-
// only, so that a test program reaching the module this way links none of
// the library.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "zk_data/zk_data.h"

namespace zk::test {

// The module's handle, or null with the reason left for dlerror().
inline void* OpenModule() { return dlopen(ZK_DATA_MODULE_PATH, RTLD_NOW | RTLD_LOCAL); }

// Sets function to the export called name; false when there is none.
template <class F>
bool Resolve(void* module, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(module, name));
    return function != nullptr;
}

// A fixture over Base: the module loaded for each test, one object made by
// its class factory, and the module's own last-error slot to read codes from.
template <class Base = ::testing::Test>
class ModuleObjectTest : public Base {
protected:
    void SetUp() override {
        Base::SetUp();
        module_ = OpenModule();
        ASSERT_NE(module_, nullptr) << dlerror();
        PFN_DllGetClassObject getClass = nullptr;
        ASSERT_TRUE(Resolve(module_, "DllGetClassObject", getClass) && Resolve(module_, "GetLastError", lastError_));
        IClassFactory* factory = nullptr;
        ASSERT_EQ(getClass(CLSID_DataObject, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDataValue, reinterpret_cast<void**>(&value_)), S_OK);
        factory->Release();
    }
    void TearDown() override {
        if (value_) value_->Release();
        if (module_) dlclose(module_);
        Base::TearDown();
    }

    void* module_ = nullptr;
    PFN_GetLastError lastError_ = nullptr;
    IDataValue* value_ = nullptr;
};

}  // namespace zk::test
