// Allocation failure on demand, for the tests that fail the N-th allocation
// of an operation and check that nothing breaks. Only a build configured with
// ZK_FAULT_INJECTION compiles the countdown in; everywhere else ShouldFail()
// is a constant false and costs nothing.
//
// The node pool consults it for every node it hands out, since most nodes
// come from a chunk without a call to malloc; the tests consult it from their
// wrappers of malloc, realloc, calloc and operator new.
#pragma once

namespace zk::fault {

#ifdef ZK_FAULT_INJECTION
// Allocations that may still succeed on this thread before one fails;
// negative: none fails.
extern thread_local long countdown;
inline bool ShouldFail() noexcept { return countdown >= 0 && countdown-- == 0; }
#else
constexpr bool ShouldFail() noexcept { return false; }
#endif

}  // namespace zk::fault
