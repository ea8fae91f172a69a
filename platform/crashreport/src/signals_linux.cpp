// The fatal-signal handler. Everything it touches is prepared in advance
// (the helper's argv, the crash record); see man 7 signal-safety for what it
// may call. Two ways out:
//
//  - A hardware fault on the main thread inside an event handler (InDispatch)
//    becomes a C++ exception thrown from here. With the program compiled with
//    -fnon-call-exceptions it unwinds through the signal frame into the
//    dispatch point's catch, and the program goes on.
//  - Anything else (another thread, a stack overflow, abort) cannot go on:
//    the first crashing thread claims the crash, fills the record, and starts
//    the crash helper, which reads this process from outside, saves the
//    report and shows the box. A corrupted heap here cannot stop that. Then
//    the process dies by the signal it got.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "classlib/dispatch.h"
#include "crash_info_p.h"
#include "crashreport/errors.h"
#include "signals_p.h"
#include "throw_site_p.h"

extern char** environ;

namespace crashreport::detail {
namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
struct sigaction oldActions[std::size(kSignals)];
bool installed = false;

TCrashInfo crashInfo;
std::atomic<int> crashingTid{0};
void (*afterReportHook)() = nullptr;
unsigned watchdogSeconds = 10;

// The helper's command line, built at install time; only the numbers that
// are known at crash time are written into their buffers then.
std::string helperPath, reportPath;
char pidArg[24], infoArg[24], fdArg[24];
char* helperArgv[12];

// Minimal report when the helper cannot run: fixed buffer.
char minimal[1024];

int Tid() { return static_cast<int>(::syscall(SYS_gettid)); }

void FormatUnsigned(char* out, std::size_t size, unsigned long long value, int base) {
  char digits[32];
  int n = 0;
  do {
    digits[n++] = "0123456789abcdef"[value % base];
    value /= base;
  } while (value && n < 32);
  std::size_t at = 0;
  if (base == 16 && size > 2) {
    out[at++] = '0';
    out[at++] = 'x';
  }
  while (n > 0 && at + 1 < size) out[at++] = digits[--n];
  out[at] = '\0';
}

void Append(char* buffer, std::size_t size, const char* text) {
  std::size_t used = std::strlen(buffer);
  while (*text && used + 1 < size) buffer[used++] = *text++;
  buffer[used] = '\0';
}

// The process ends by the signal it got, so that its parent and the system
// see how it died; _exit covers a signal that somehow does not end it.
[[noreturn]] void Die(int sig) {
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  ::sigaction(sig, &dfl, nullptr);
  sigset_t set;
  ::sigemptyset(&set);
  ::sigaddset(&set, sig);
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  ::syscall(SYS_tgkill, ::getpid(), Tid(), sig);
  ::_exit(128 + sig);
}

// A fault touching memory just below the stack pointer is the stack running
// into its guard page; nothing else faults there.
bool IsStackOverflow(int sig, std::uintptr_t address, std::uintptr_t sp) {
  return (sig == SIGSEGV || sig == SIGBUS) && address + 256 * 1024 >= sp && address <= sp + 4096;
}

[[noreturn]] void ThrowFault(int sig, const siginfo_t* si, const ucontext_t* uc) {
  // SA_NODEFER keeps the signal unblocked; unblock anyway in case the
  // program's mask had it, or the next fault would kill the process.
  sigset_t set;
  ::sigemptyset(&set);
  ::sigaddset(&set, sig);
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  auto pc = static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
  auto address = reinterpret_cast<std::uintptr_t>(si->si_addr);
  NoteFaultPc(pc);
  char message[160];
  if (sig == SIGFPE) {
    std::snprintf(message, sizeof message, "Integer %s at address %#zx.",
                  si->si_code == FPE_INTOVF ? "overflow" : "division by zero", pc);
    throw EDivByZero(message, sig, address, pc);
  }
  if (sig == SIGILL) {
    std::snprintf(message, sizeof message, "Illegal instruction at address %#zx.", pc);
    throw EIllegalInstruction(message, sig, address, pc);
  }
  bool write = (uc->uc_mcontext.gregs[REG_ERR] & 2) != 0;  // page-fault error code: bit 1 = write
  std::snprintf(message, sizeof message, "Access violation at address %#zx. %s of address %#zx.", pc,
                write ? "Write" : "Read", address);
  throw EAccessViolation(message, sig, address, pc);
}

void FillRecord(int sig, const siginfo_t* si, const ucontext_t* uc, bool overflow) {
  TCrashInfo& info = crashInfo;
  info.Pid = ::getpid();
  info.Tid = Tid();
  info.MainThread = info.Tid == info.Pid;
  info.Signal = sig;
  info.Code = si->si_code;
  info.StackOverflow = overflow;
  info.FaultAddress = reinterpret_cast<std::uintptr_t>(si->si_addr);
  // DWARF register order of x86-64: rax rdx rcx rbx rsi rdi rbp rsp r8..r15 rip.
  static constexpr int kGregs[kDwarfRegs] = {REG_RAX, REG_RDX, REG_RCX, REG_RBX, REG_RSI, REG_RDI,
                                             REG_RBP, REG_RSP, REG_R8,  REG_R9,  REG_R10, REG_R11,
                                             REG_R12, REG_R13, REG_R14, REG_R15, REG_RIP};
  for (int i = 0; i < kDwarfRegs; ++i)
    info.Regs[i] = static_cast<std::uint64_t>(uc->uc_mcontext.gregs[kGregs[i]]);
  info.HaveRegs = 1;
  ::prctl(PR_GET_NAME, info.ThreadName, 0, 0, 0);
}

// Starts the helper and waits until it has saved the report. Returns false
// when it could not run or did not confirm.
bool RunHelper() {
  if (helperPath.empty()) return false;
  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) return false;
  FormatUnsigned(pidArg, sizeof pidArg, static_cast<unsigned>(::getpid()), 10);
  FormatUnsigned(fdArg, sizeof fdArg, static_cast<unsigned>(sv[1]), 10);
  // A raw clone rather than fork(): fork runs the C library's at-fork
  // handlers, which take the allocator's locks that the crashed thread may
  // hold.
  long child = ::syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
  if (child == 0) {
    ::close(sv[0]);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(helperArgv[0], helperArgv, environ);
    ::_exit(127);
  }
  ::close(sv[1]);
  if (child < 0) {
    ::close(sv[0]);
    return false;
  }
  // Under Yama's ptrace scope 1 only this lets the helper read us.
  ::prctl(PR_SET_PTRACER, static_cast<unsigned long>(child), 0, 0, 0);
  // send() with MSG_NOSIGNAL: a helper that could not start has closed its
  // end already, and a write() would end this process by SIGPIPE before the
  // minimal report is saved.
  char c = 'g';
  ssize_t n;
  do n = ::send(sv[0], &c, 1, MSG_NOSIGNAL);
  while (n < 0 && errno == EINTR);
  c = 0;
  do n = ::read(sv[0], &c, 1);
  while (n < 0 && errno == EINTR);
  ::close(sv[0]);
  return n == 1 && c == 'd';
}

// The helper could not run: append what we know without any allocation.
void WriteMinimalReport() {
  char number[24];
  char text[768] = "";
  Append(text, sizeof text,
         "The crash helper could not run; this report holds what the crashed process knew.\n");
  Append(text, sizeof text, "process id         : ");
  FormatUnsigned(number, sizeof number, static_cast<unsigned>(crashInfo.Pid), 10);
  Append(text, sizeof text, number);
  Append(text, sizeof text, "\nsignal             : ");
  Append(text, sizeof text, sigabbrev_np(crashInfo.Signal) ? sigabbrev_np(crashInfo.Signal) : "?");
  Append(text, sizeof text, "\nexception address  : ");
  FormatUnsigned(number, sizeof number, crashInfo.Regs[16], 16);
  Append(text, sizeof text, number);
  if (crashInfo.HaveException) {
    Append(text, sizeof text, "\nexception class    : ");
    Append(text, sizeof text, crashInfo.ErrorClass);
    Append(text, sizeof text, "\nexception message  : ");
    Append(text, sizeof text, crashInfo.Message);
  }
  Append(text, sizeof text, "\n");
  std::size_t length = std::strlen(text);
  FormatUnsigned(number, sizeof number, length, 10);
  minimal[0] = '\0';
  Append(minimal, sizeof minimal, "======== bug report begin, ");
  Append(minimal, sizeof minimal, number);
  Append(minimal, sizeof minimal, " bytes ========\n");
  Append(minimal, sizeof minimal, text);
  Append(minimal, sizeof minimal, "======== bug report end ========\n");
  int fd = ::open(reportPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ::flock(fd, LOCK_EX);
  [[maybe_unused]] ssize_t ignored = ::write(fd, minimal, std::strlen(minimal));
  ::fsync(fd);
  ::close(fd);
}

void OnFatalSignal(int sig, siginfo_t* si, void* context) {
  const auto* uc = static_cast<const ucontext_t*>(context);
  int tid = Tid();
  auto sp = static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]);
  bool overflow = IsStackOverflow(sig, reinterpret_cast<std::uintptr_t>(si->si_addr), sp);
  bool fromHardware = si->si_code > 0 && sig != SIGABRT;  // not kill(), not abort()
  if (fromHardware && !overflow && tid == ::getpid() && classlib::InDispatch() && crashingTid.load() == 0)
    ThrowFault(sig, si, uc);

  int expected = 0;
  if (!crashingTid.compare_exchange_strong(expected, tid)) {
    if (expected == tid) Die(sig);  // a fault while this thread handles one: end at once
    // Another thread is reporting; it ends the process when done, and its
    // watchdog ends it if it hangs.
    for (;;) ::pause();
  }
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  ::sigaction(SIGALRM, &dfl, nullptr);
  ::alarm(watchdogSeconds);

  FillRecord(sig, si, uc, overflow);
  if (!RunHelper()) WriteMinimalReport();
  if (afterReportHook) afterReportHook();
  Die(sig);
}

}  // namespace

TCrashInfo& CrashInfo() { return crashInfo; }

void CopyText(char* to, std::size_t size, const char* text) {
  if (size == 0) return;
  to[0] = '\0';
  Append(to, size, text ? text : "");
}

void SetAfterReportHookForTesting(void (*hook)()) { afterReportHook = hook; }

bool InstallSignalHandlers(const TSignalConfig& config) {
  if (installed) return true;
  std::memcpy(crashInfo.Magic, kCrashInfoMagic, sizeof crashInfo.Magic);
  helperPath = config.HelperPath;
  reportPath = config.ReportPath;
  watchdogSeconds = config.WatchdogSeconds;
  FormatUnsigned(infoArg, sizeof infoArg, reinterpret_cast<std::uintptr_t>(&crashInfo), 16);
  int n = 0;
  static char kPid[] = "--pid", kInfo[] = "--info", kFd[] = "--fd", kFile[] = "--file";
  helperArgv[n++] = helperPath.data();
  helperArgv[n++] = kPid;
  helperArgv[n++] = pidArg;
  helperArgv[n++] = kInfo;
  helperArgv[n++] = infoArg;
  helperArgv[n++] = kFd;
  helperArgv[n++] = fdArg;
  helperArgv[n++] = kFile;
  helperArgv[n++] = reportPath.data();
  helperArgv[n] = nullptr;

  WarmUpThrowCapture();
  EnsureAltStack();
  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  ::sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    if (::sigaction(kSignals[i], &action, &oldActions[i]) != 0) {
      while (i-- > 0) ::sigaction(kSignals[i], &oldActions[i], nullptr);
      return false;
    }
  }
  installed = true;
  return true;
}

void UninstallSignalHandlers() {
  if (!installed) return;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &oldActions[i], nullptr);
  installed = false;
}

}  // namespace crashreport::detail
