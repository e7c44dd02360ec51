// BSTR: one allocation holding a 32-bit byte length, the UTF-16 units and a
// zero unit. The BSTR points at the first unit, so hosts can read it as a
// zero-terminated string and the length stays reachable in front of it.
#include <cstdlib>
#include <cstring>

#include "zk_data/platform/oleauto.h"

namespace {

constexpr size_t kPrefix = sizeof(uint32_t);

uint32_t* PrefixOf(BSTR bstr) { return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(bstr) - kPrefix); }

size_t UnitCount(const OLECHAR* psz) {
    size_t n = 0;
    while (psz[n]) ++n;
    return n;
}

}  // namespace

extern "C" BSTR SysAllocStringLen(const OLECHAR* psz, UINT len) {
    // The byte count must fit the 32-bit prefix.
    if (len > (UINT32_MAX - kPrefix - sizeof(OLECHAR)) / sizeof(OLECHAR)) return nullptr;
    size_t bytes = size_t{len} * sizeof(OLECHAR);
    char* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
    if (!block) return nullptr;
    uint32_t prefix = static_cast<uint32_t>(bytes);
    std::memcpy(block, &prefix, kPrefix);
    BSTR text = reinterpret_cast<BSTR>(block + kPrefix);
    if (psz)
        std::memcpy(text, psz, bytes);
    else
        std::memset(text, 0, bytes);
    text[len] = 0;
    return text;
}

extern "C" BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    size_t n = UnitCount(psz);
    if (n > UINT32_MAX) return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(n));
}

extern "C" UINT SysStringLen(BSTR bstr) { return bstr ? *PrefixOf(bstr) / sizeof(OLECHAR) : 0; }

extern "C" void SysFreeString(BSTR bstr) {
    if (bstr) std::free(PrefixOf(bstr));
}
