// The module's lock count: every live object, every host reference to the
// class factory and every LockServer(TRUE) holds it up, and DllCanUnloadNow
// answers S_OK only when it is 0. Changed atomically, from any thread.
#pragma once

#include "zk_data/zk_data.h"

namespace zk {

void LockModule() noexcept;
void UnlockModule() noexcept;
LONG ModuleLockCount() noexcept;

}  // namespace zk
