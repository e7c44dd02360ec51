#include "value/fault_injection.h"

namespace zk::fault {

#ifdef ZK_FAULT_INJECTION
thread_local long countdown = -1;
#endif

}  // namespace zk::fault
