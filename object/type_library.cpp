// Windows: the type information behind IDispatch, read from the type library
// embedded in the module's own file (object/zk_data.idl, resource 1). Nothing
// is looked up in the registry, so objects work late-bound without any
// registration.
//
// One holder per interface loads its ITypeInfo on first use, under a lock,
// and keeps it until the module is unloaded. Methods the library marks
// restricted take raw pointers; Invoke refuses them (the holder remembers
// their DISPIDs), as the Linux dispatch table does.
#include <cstdint>
#include <iterator>
#include <mutex>

#include "object/dispatch.h"

namespace zk {
namespace {

constexpr DWORD kPathUnits = 260;

// The file of the module this code is linked into: zk_data.dll, or a program
// that links the object layer itself.
HRESULT ModuleFileName(wchar_t (&path)[kPathUnits]) {
    HMODULE module;
    static const char anchor = 0;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&anchor), &module))
        return E_FAIL;
    DWORD length = GetModuleFileNameW(module, path, kPathUnits);
    return length == 0 || length >= kPathUnits ? E_FAIL : S_OK;
}

class TypeInfoHolder {
public:
    explicit TypeInfoHolder(const IID& iid) : iid_(iid) {}

    HRESULT get(ITypeInfo** info) {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!info_) {
            if (HRESULT hr = load(); FAILED(hr)) return hr;
        }
        *info = info_;
        return S_OK;
    }

    // DISPIDs 0 to 63 marked restricted in the library.
    bool restricted(DISPID id) const { return id >= 0 && id < 64 && (restricted_ >> id & 1); }

    // VT_EMPTY for an in parameter `index` of the member (id, kind); for an
    // out parameter, the type it points to.
    VARTYPE outType(DISPID id, WORD kind, UINT index) const {
        for (size_t i = 0; i < memberCount_; ++i)
            if (members_[i].id == id && (members_[i].kind & kind))
                return index < kMaxDispatchParams ? members_[i].outs[index] : VARTYPE(VT_EMPTY);
        return VT_EMPTY;
    }

    void release() {
        std::lock_guard<std::mutex> guard(mutex_);
        if (info_) info_->Release();
        info_ = nullptr;
    }

private:
    HRESULT load() {
        wchar_t path[kPathUnits];
        if (HRESULT hr = ModuleFileName(path); FAILED(hr)) return hr;
        ITypeLib* library;
        if (HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, &library); FAILED(hr)) return hr;
        ITypeInfo* info;
        HRESULT hr = library->GetTypeInfoOfGuid(iid_, &info);
        library->Release();
        if (FAILED(hr)) return hr;
        // The extended form, where the platform offers it.
        ITypeInfo2* extended;
        if (SUCCEEDED(info->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&extended)))) {
            info->Release();
            info = extended;
        }
        readMembers(info);
        info_ = info;
        return S_OK;
    }

    // Reads which members are restricted and which parameters are out
    // parameters from the functions the library describes.
    void readMembers(ITypeInfo* info) {
        TYPEATTR* attributes;
        if (FAILED(info->GetTypeAttr(&attributes))) return;
        for (UINT i = 0; i < attributes->cFuncs && memberCount_ < std::size(members_); ++i) {
            FUNCDESC* function;
            if (FAILED(info->GetFuncDesc(i, &function))) continue;
            if ((function->wFuncFlags & FUNCFLAG_FRESTRICTED) && function->memid >= 0 && function->memid < 64)
                restricted_ |= uint64_t{1} << function->memid;
            Member member{function->memid, static_cast<WORD>(function->invkind), {}};
            for (SHORT p = 0; p < function->cParams && p < SHORT(kMaxDispatchParams); ++p) {
                const ELEMDESC& param = function->lprgelemdescParam[p];
                if (!(param.paramdesc.wParamFlags & PARAMFLAG_FOUT)) continue;
                const TYPEDESC& type = param.tdesc;
                member.outs[p] = type.vt == VT_PTR && type.lptdesc ? type.lptdesc->vt : VARTYPE(VT_PTR);
            }
            members_[memberCount_++] = member;
            info->ReleaseFuncDesc(function);
        }
        info->ReleaseTypeAttr(attributes);
    }

    struct Member {
        DISPID id;
        WORD kind;                         // INVOKE_FUNC, INVOKE_PROPERTYGET, ...
        VARTYPE outs[kMaxDispatchParams];  // as outType answers
    };

    const IID& iid_;
    std::mutex mutex_;
    ITypeInfo* info_ = nullptr;
    uint64_t restricted_ = 0;
    Member members_[64] = {};
    size_t memberCount_ = 0;
};

TypeInfoHolder dataValueInfo(IID_IDataValue);
TypeInfoHolder dataBytesInfo(IID_IDataBytes);

}  // namespace

HRESULT DispatchTypeInfo(const IDataValue*, ITypeInfo** info) noexcept { return dataValueInfo.get(info); }

HRESULT DispatchTypeInfo(const IDataBytes*, ITypeInfo** info) noexcept { return dataBytesInfo.get(info); }

bool DispatchRestricted(const IDataValue*, DISPID id) noexcept { return dataValueInfo.restricted(id); }

bool DispatchRestricted(const IDataBytes*, DISPID id) noexcept { return dataBytesInfo.restricted(id); }

VARTYPE DispatchOutType(const IDataValue*, DISPID id, WORD kind, UINT index) noexcept {
    return dataValueInfo.outType(id, kind, index);
}

VARTYPE DispatchOutType(const IDataBytes*, DISPID id, WORD kind, UINT index) noexcept {
    return dataBytesInfo.outType(id, kind, index);
}

void ReleaseTypeInformation() noexcept {
    dataValueInfo.release();
    dataBytesInfo.release();
}

}  // namespace zk
