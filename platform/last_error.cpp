#include "zk_data/platform/oleauto.h"

namespace {
thread_local DWORD lastError = 0;
}

extern "C" void SetLastError(DWORD code) { lastError = code; }

extern "C" DWORD GetLastError(void) { return lastError; }
