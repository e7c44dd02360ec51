// The COM module as a host meets it: libzk_data.so opened with dlopen, or
// zk_data.dll with LoadLibrary, by the path the build compiles in
// (ZK_DATA_MODULE_PATH, see built_file.h), every function found by name.
// Header-only, so that a test program reaching the module this way links
// none of the library.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>
#else
#include <dlfcn.h>
#include <link.h>
#endif

#include "tests/support/built_file.h"
#include "zk_data/zk_data.h"

namespace zk::test {

#ifdef _WIN32

using ModuleHandle = HMODULE;

// The module's handle, or null with the reason left for LoadError().
inline ModuleHandle OpenModule() {
    return LoadLibraryExW(BuiltFile(ZK_DATA_MODULE_PATH).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
inline void CloseModule(ModuleHandle module) { FreeLibrary(module); }
inline std::string LoadError() { return "LoadLibrary error " + std::to_string(GetLastError()); }
inline void* FindExport(ModuleHandle module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(module, name));
}

// The platform's BSTR, SAFEARRAY and VARIANT functions are oleaut32's, the
// last-error functions kernel32's. Both stay loaded for the process's life.
inline ModuleHandle PlatformLibrary(ModuleHandle, const char* name) {
    for (const wchar_t* library : {L"oleaut32.dll", L"kernel32.dll"}) {
        HMODULE handle = LoadLibraryW(library);
        if (handle && GetProcAddress(handle, name)) return handle;
    }
    return nullptr;
}

// Every module loaded into this process, the program's own included.
inline std::vector<HMODULE> LoadedModules() {
    std::vector<HMODULE> modules;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId());
    if (snapshot == INVALID_HANDLE_VALUE) return modules;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry))
        modules.push_back(entry.hModule);
    CloseHandle(snapshot);
    return modules;
}

// The file names of the libraries loaded into this process.
inline std::vector<std::string> LoadedLibraries() {
    std::vector<std::string> names;
    for (HMODULE module : LoadedModules()) {
        wchar_t path[MAX_PATH];
        DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
        names.push_back(std::filesystem::path(std::wstring(path, length)).filename().string());
    }
    return names;
}

// Whether any module of the process exports name, as a host's Lua would.
inline bool ProcessExports(const char* name) {
    for (HMODULE module : LoadedModules())
        if (GetProcAddress(module, name)) return true;
    return false;
}

#else

using ModuleHandle = void*;

// The module's handle, or null with the reason left for LoadError().
inline ModuleHandle OpenModule() { return dlopen(BuiltFile(ZK_DATA_MODULE_PATH).c_str(), RTLD_NOW | RTLD_LOCAL); }
inline void CloseModule(ModuleHandle module) { dlclose(module); }
inline std::string LoadError() {
    const char* reason = dlerror();
    return reason ? reason : "";
}
inline void* FindExport(ModuleHandle module, const char* name) { return dlsym(module, name); }

// The module carries the platform layer and exports its functions.
inline ModuleHandle PlatformLibrary(ModuleHandle module, const char*) { return module; }

// The file names of the libraries loaded into this process.
inline std::vector<std::string> LoadedLibraries() {
    std::vector<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* found) {
            auto& list = *static_cast<std::vector<std::string>*>(found);
            list.push_back(std::filesystem::path(info->dlpi_name).filename().string());
            return 0;
        },
        &names);
    return names;
}

// Whether the process's global scope has name, where the module looks for a
// host's Lua.
inline bool ProcessExports(const char* name) { return dlsym(RTLD_DEFAULT, name) != nullptr; }

#endif

// Sets function to the export called name; false when there is none.
template <class F>
bool Resolve(ModuleHandle module, const char* name, F& function) {
    function = module ? reinterpret_cast<F>(FindExport(module, name)) : nullptr;
    return function != nullptr;
}

// Sets function to the platform function called name, where a host of the
// module finds it.
template <class F>
bool ResolvePlatform(ModuleHandle module, const char* name, F& function) {
    return Resolve(PlatformLibrary(module, name), name, function);
}

// A fixture over Base: the module loaded for each test, one object made by
// its class factory, and the thread's last-error slot, which the module
// sets, to read codes from.
template <class Base = ::testing::Test>
class ModuleObjectTest : public Base {
protected:
    void SetUp() override {
        Base::SetUp();
        module_ = OpenModule();
        ASSERT_NE(module_, nullptr) << LoadError();
        PFN_DllGetClassObject getClass = nullptr;
        ASSERT_TRUE(Resolve(module_, "DllGetClassObject", getClass) &&
                    ResolvePlatform(module_, "GetLastError", lastError_));
        IClassFactory* factory = nullptr;
        ASSERT_EQ(getClass(CLSID_DataObject, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDataValue, reinterpret_cast<void**>(&value_)), S_OK);
        factory->Release();
    }
    void TearDown() override {
        if (value_) value_->Release();
        if (module_) CloseModule(module_);
        Base::TearDown();
    }

    ModuleHandle module_ = nullptr;
    decltype(&::GetLastError) lastError_ = nullptr;
    IDataValue* value_ = nullptr;
};

}  // namespace zk::test
