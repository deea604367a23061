#pragma once
// Test builds can make named allocations and starts fail on demand, to prove
// that each failure path returns its code and leaves nothing behind. The
// switch exists only where KESTRUN_FAULT_INJECTION is defined; elsewhere every
// check is the constant false and compiles away.

#ifdef KESTRUN_FAULT_INJECTION
// True when the comma-separated list in the environment variable
// KESTRUN_FAULTS names pszPoint.
bool IsFaultInjected(const char* pszPoint);
#else
inline bool IsFaultInjected(const char*) { return false; }
#endif
