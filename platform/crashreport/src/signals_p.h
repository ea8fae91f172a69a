// The fatal-signal side of the crash reporter (signals_linux.cpp) and the
// per-thread alternate stacks (altstack_linux.cpp). Internal.
#pragma once

#include <string>

namespace crashreport::detail {

struct TSignalConfig {
  std::string HelperPath;  // quorvik-crashhelper; empty: no helper, minimal report only
  std::string ReportPath;  // bugreport.txt to append to
  unsigned WatchdogSeconds = 10;
};

// Installs handlers for SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT on the
// alternate stack, prepares everything the handler needs (helper argv,
// record), and gives the calling thread and every thread made later an
// alternate stack. Main thread, before other threads start. Returns false
// when sigaction fails (nothing is left half-installed).
bool InstallSignalHandlers(const TSignalConfig& config);

// Restores the dispositions that were in force before. Idempotent.
void UninstallSignalHandlers();

// Gives the calling thread an alternate signal stack, once. Async-signal-safe
// in the sense that it only uses mmap and sigaltstack.
void EnsureAltStack();

// Test seam: called inside the fatal handler after the report is saved and
// before the process ends, to provoke a fault while a fault is handled.
void SetAfterReportHookForTesting(void (*hook)());

}  // namespace crashreport::detail
