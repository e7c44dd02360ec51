// Windows: the module's entry point. The module's state (lock count, class
// factory cache and its lock) is static and needs no set-up that could fail,
// so process attach always succeeds. On FreeLibrary the type information
// goes back to oleaut32; at process exit it is left alone, since oleaut32 may
// already be gone by then.
#include "object/dispatch.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) zk::ReleaseTypeInformation();
    return TRUE;
}
