// The calling thread's last-error value, with the platform's names and
// contract: each SetLastError overwrites it, GetLastError reads it back, and
// threads never see each other's value.
#pragma once

#include "platform/win_types.h"

extern "C" {
void SetLastError(DWORD code);
DWORD GetLastError(void);
}
