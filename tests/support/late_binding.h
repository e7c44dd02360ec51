// Late binding answers that differ by platform. On Linux our own dispatch
// table answers IDispatch; on Windows the platform's standard dispatch does,
// ITypeInfo::GetIDsOfNames and ITypeInfo::Invoke over the module's type
// library. The two agree on names, DISPIDs and every successful call; they
// differ in how far they coerce arguments and in the details of a refusal,
// and a test states both answers where they differ.
#pragma once

#include "zk_data/zk_data.h"

namespace zk::test {

// The answer of our table, or of the platform's type information.
template <class T>
constexpr T ByDispatch([[maybe_unused]] T table, [[maybe_unused]] T typeInfo) {
#ifdef _WIN32
    return typeInfo;
#else
    return table;
#endif
}

#ifdef _WIN32
// The interface a type information describes.
inline GUID DescribedInterface(ITypeInfo* info) {
    GUID described{};
    TYPEATTR* attributes = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attributes))) {
        described = attributes->guid;
        info->ReleaseTypeAttr(attributes);
    }
    return described;
}
#else
// Linux hands out no type information: nothing to describe.
inline GUID DescribedInterface(ITypeInfo*) { return {}; }
#endif

}  // namespace zk::test
