// How the object layer reports a library error code to a host: as the
// calling thread's last error, which the host reads with GetLastError.
#pragma once

#include <cstdint>

#include "zk_data/platform/oleauto.h"

namespace zk {

inline void PublishError(uint32_t code) noexcept { SetLastError(code); }

}  // namespace zk
