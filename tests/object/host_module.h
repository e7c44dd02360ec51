// The test host's view of the module: it is loaded once (module_loader.h),
// every function is resolved by name, and everything the host receives is
// freed with the platform's functions, which a host finds in the module
// itself on Linux and in oleaut32 on Windows.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/com_ref.h"
#include "tests/support/late_binding.h"
#include "tests/support/module_loader.h"
#include "tests/support/wide_text.h"
#include "zk_data/zk_data.h"

namespace host {

struct ModuleApi {
    zk::test::ModuleHandle handle = nullptr;
    PFN_DllGetClassObject DllGetClassObject = nullptr;
    PFN_DllCanUnloadNow DllCanUnloadNow = nullptr;
    PFN_DllRegisterServer DllRegisterServer = nullptr;
    PFN_DllRegisterServer DllUnregisterServer = nullptr;
    decltype(&::SysAllocString) SysAllocString = nullptr;
    decltype(&::SysAllocStringLen) SysAllocStringLen = nullptr;
    decltype(&::SysStringLen) SysStringLen = nullptr;
    decltype(&::SysFreeString) SysFreeString = nullptr;
    decltype(&::SafeArrayCreateVector) SafeArrayCreateVector = nullptr;
    decltype(&::SafeArrayAccessData) SafeArrayAccessData = nullptr;
    decltype(&::SafeArrayUnaccessData) SafeArrayUnaccessData = nullptr;
    decltype(&::SafeArrayDestroy) SafeArrayDestroy = nullptr;
    decltype(&::SafeArrayGetDim) SafeArrayGetDim = nullptr;
    decltype(&::SafeArrayGetLBound) SafeArrayGetLBound = nullptr;
    decltype(&::SafeArrayGetUBound) SafeArrayGetUBound = nullptr;
    decltype(&::VariantInit) VariantInit = nullptr;
    decltype(&::VariantClear) VariantClear = nullptr;
    decltype(&::SetLastError) SetLastError = nullptr;
    decltype(&::GetLastError) GetLastError = nullptr;
};

// Loaded on first use; the environment in host_main.cpp checks at the end
// that the module can unload, and unloads it.
ModuleApi& Api();
void UnloadModule();

using zk::test::ByDispatch;
using zk::test::ObjectIn;
using zk::test::Ole;
using zk::test::OleName;
using zk::test::Ref;
using zk::test::Typed;
using zk::test::U16;

// Owns one BSTR made by the module.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const char16_t* text) : s_(Api().SysAllocString(Ole(text))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { Api().SysFreeString(s_); }
    operator BSTR() const { return s_; }
    BSTR* out() {
        Api().SysFreeString(s_);
        s_ = nullptr;
        return &s_;
    }
    std::u16string text() const { return s_ ? U16(s_, Api().SysStringLen(s_)) : std::u16string(); }

private:
    BSTR s_ = nullptr;
};

// A VARIANT cleared by the module when it goes.
struct Var : VARIANT {
    Var() { Api().VariantInit(this); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
    ~Var() { Api().VariantClear(this); }
    VARIANT* out() {
        Api().VariantClear(this);
        return this;
    }
};

inline VARIANT BstrArg(BSTR s) {
    VARIANT v = Typed(VT_BSTR);
    v.bstrVal = s;
    return v;
}

inline Ref<IClassFactory> Factory() {
    Ref<IClassFactory> factory;
    EXPECT_EQ(Api().DllGetClassObject(CLSID_DataObject, IID_IClassFactory, factory.outVoid()), S_OK);
    return factory;
}

inline Ref<IDataValue> Create() {
    Ref<IDataValue> value;
    EXPECT_EQ(Factory()->CreateInstance(nullptr, IID_IDataValue, value.outVoid()), S_OK);
    return value;
}

// Late binding as a scripting host does it: names first, then Invoke with
// the arguments in reverse order.
class LateBound {
public:
    explicit LateBound(IDispatch* target) : target_(target) {}

    DISPID id(const char16_t* name) {
        LPOLESTR names[] = {OleName(name)};
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(target_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << std::string(name, name + 1);
        return id;
    }
    HRESULT call(const char16_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr) {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPID put = DISPID_PROPERTYPUT;
        bool isPut = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
        DISPPARAMS params{reversed.data(), isPut ? &put : nullptr, static_cast<UINT>(reversed.size()), isPut ? 1u : 0u};
        std::memset(&excep, 0, sizeof excep);
        return target_->Invoke(id(name), IID_NULL, 0, flags, &params, result, &excep, &argErr);
    }
    HRESULT get(const char16_t* name, std::vector<VARIANT> args, VARIANT* result) {
        return call(name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, std::move(args), result);
    }
    HRESULT put(const char16_t* name, std::vector<VARIANT> args) { return call(name, DISPATCH_PROPERTYPUT, std::move(args)); }
    HRESULT method(const char16_t* name, std::vector<VARIANT> args, VARIANT* result = nullptr) {
        return call(name, DISPATCH_METHOD, std::move(args), result);
    }

    EXCEPINFO excep{};
    UINT argErr = 0;

private:
    IDispatch* target_;
};

}  // namespace host
