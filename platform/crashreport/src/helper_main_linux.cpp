// quorvik-crashhelper: reports a fatal signal of a Quorvik process from
// outside it. The crashed process starts it from its fault handler with
//
//   quorvik-crashhelper --pid <pid> --info <address> --fd <socket> --file <bugreport.txt>
//
// and waits on the socket. The helper reads the crash record at <address> and
// the crashed thread's stack through /proc/<pid>/mem, saves the report,
// answers 'd' so that the crashed process may die, and hands the report to
// quorvik-crashbox, which shows the box (continuing disabled, with a line
// saying why). A corrupted heap in the crashed process cannot stop any of
// this: nothing runs there but the fault handler's prepared, allocation-free
// code.
//
// The helper itself links no Qt: loading the toolkit and its fonts takes
// longer than the whole report. It starts the box program first, which brings
// Qt up while the helper reads the crashed process; the box then waits for
// the report on a pipe (see box_main_linux.cpp for what goes through it).
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "crash_info_p.h"
#include "crashreport/report.h"
#include "crashreport/report_file.h"
#include "crashreport/settings.h"
#include "crashreport/symbols.h"
#include "fd_io_p.h"

extern char** environ;

namespace {

using namespace crashreport;

struct TArgs {
  int Pid = 0;
  std::uint64_t Info = 0;
  int Fd = -1;
  std::string File;
};

bool ParseArgs(int argc, char** argv, TArgs& args) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string key = argv[i];
    const char* value = argv[i + 1];
    if (key == "--pid")
      args.Pid = std::atoi(value);
    else if (key == "--info")
      args.Info = std::strtoull(value, nullptr, 16);
    else if (key == "--fd")
      args.Fd = std::atoi(value);
    else if (key == "--file")
      args.File = value;
    else
      return false;
  }
  return args.Pid > 0 && args.Info && args.Fd >= 0 && !args.File.empty();
}

const char* ClassOfSignal(const detail::TCrashInfo& info) {
  if (info.StackOverflow) return "EStackOverflow";
  switch (info.Signal) {
    case SIGSEGV:
    case SIGBUS:
      return "EAccessViolation";
    case SIGFPE:
      return "EDivByZero";
    case SIGILL:
      return "EIllegalInstruction";
    case SIGABRT:
      return "EAbort";
    default:
      return "ESignal";
  }
}

std::string MessageOfSignal(const detail::TCrashInfo& info) {
  char text[256];
  const char* name = sigabbrev_np(info.Signal);
  if (info.Code <= 0) {
    std::snprintf(text, sizeof text, "Signal SIG%s (%s) sent to the process%s.", name ? name : "?",
                  strsignal(info.Signal), info.Signal == SIGABRT ? " (abort)" : "");
  } else if (info.StackOverflow) {
    std::snprintf(text, sizeof text, "Stack overflow at address %#llx.",
                  static_cast<unsigned long long>(info.Regs[16]));
  } else {
    std::snprintf(text, sizeof text, "%s at address %#llx, accessing address %#llx.", strsignal(info.Signal),
                  static_cast<unsigned long long>(info.Regs[16]),
                  static_cast<unsigned long long>(info.FaultAddress));
  }
  return text;
}

std::string WhyNoContinue(const detail::TCrashInfo& info) {
  if (info.HaveException) return "an exception escaped every handler (std::terminate)";
  if (info.StackOverflow) return "the stack overflowed";
  if (info.Signal == SIGABRT) return "the program aborted";
  if (info.Code <= 0) return "the signal came from outside the program";
  if (!info.MainThread) return "the error happened on a thread other than the main thread";
  return "the error happened outside the program's event handlers";
}

std::vector<std::string> CommandLine(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  for (std::size_t at = 0; at < all.size();) {
    std::size_t end = all.find('\0', at);
    if (end == std::string::npos) end = all.size();
    args.push_back(all.substr(at, end - at));
    at = end + 1;
  }
  return args;
}

bool ReadByte(int fd, char expected, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) != 1) return false;
  char c = 0;
  return ::read(fd, &c, 1) == 1 && c == expected;
}

// Starts quorvik-crashbox beside this program with the read end of a pipe;
// returns the write end, or -1 when there is no display or it cannot start.
int StartBox(const std::string& appName) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    return -1;
  int fds[2];
  // Only the read end goes to the box.
  if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
  ::fcntl(fds[0], F_SETFD, 0);
  std::string box = ExecutableDir() + "/quorvik-crashbox";
  std::string fdArg = std::to_string(fds[0]);
  char* argv[] = {box.data(),
                  const_cast<char*>("--fd"),
                  fdArg.data(),
                  const_cast<char*>("--app"),
                  const_cast<char*>(appName.c_str()),
                  nullptr};
  pid_t child = 0;
  int failed = ::posix_spawn(&child, box.c_str(), nullptr, nullptr, argv, environ);
  ::close(fds[0]);
  if (failed) {
    std::fprintf(stderr, "quorvik-crashhelper: cannot start %s: %s\n", box.c_str(), std::strerror(failed));
    ::close(fds[1]);
    return -1;
  }
  return fds[1];
}

// PauseThreads: stops every thread of process pid but skip (which waits for
// this helper anyway) with ptrace, so that nothing in the crashed program
// runs on (writes files, changes the memory being read) while its report is
// made. ptrace rather than SIGSTOP: should this helper die, the kernel lets
// its tracees go, so the crashed process can never be left stopped. Threads
// started after the listing are not paused. Returns the paused threads.
std::vector<int> PauseThreads(int pid, int skip) {
  std::vector<int> paused;
  std::string dir = "/proc/" + std::to_string(pid) + "/task";
  DIR* tasks = ::opendir(dir.c_str());
  if (!tasks) return paused;
  while (dirent* entry = ::readdir(tasks)) {
    int tid = std::atoi(entry->d_name);
    if (tid <= 0 || tid == skip) continue;
    if (::ptrace(PTRACE_SEIZE, tid, nullptr, nullptr) != 0) continue;
    int status = 0;
    if (::ptrace(PTRACE_INTERRUPT, tid, nullptr, nullptr) == 0 && ::waitpid(tid, &status, __WALL) == tid)
      paused.push_back(tid);
    else
      ::ptrace(PTRACE_DETACH, tid, nullptr, nullptr);
  }
  ::closedir(tasks);
  return paused;
}

void OnAlarm(int) {}

// Waits, at most two seconds, until the paused threads have ended with the
// crashed process (as their tracer, this helper collects their ends), then
// lets go of any that remain, so that none runs on between the report and
// the process's end.
void AwaitEnd(const std::vector<int>& paused) {
  if (paused.empty()) return;
  struct sigaction action {};
  action.sa_handler = OnAlarm;  // no SA_RESTART: the alarm interrupts waitpid
  ::sigaction(SIGALRM, &action, nullptr);
  ::alarm(2);
  std::vector<int> waiting = paused;
  while (!waiting.empty()) {
    int status = 0;
    pid_t tid = ::waitpid(-1, &status, __WALL);
    if (tid < 0) break;  // the alarm, or nothing left to wait for
    if (WIFEXITED(status) || WIFSIGNALED(status))
      std::erase(waiting, tid);
    else
      ::ptrace(PTRACE_CONT, tid, nullptr, nullptr);  // a stop on the way out: let it end
  }
  ::alarm(0);
  for (int tid : waiting) ::ptrace(PTRACE_DETACH, tid, nullptr, nullptr);
}

using crashreport::detail::WriteAll;

}  // namespace

int main(int argc, char** argv) {
  TArgs args;
  if (!ParseArgs(argc, argv, args)) {
    std::fprintf(stderr, "usage: %s --pid <pid> --info <address> --fd <socket> --file <report file>\n",
                 argv[0]);
    return 2;
  }
  ::signal(SIGPIPE, SIG_IGN);
  // The box must not hold the crashed process's socket: should this helper
  // die early, the crashed process sees the socket close and saves what it
  // knows itself.
  ::fcntl(args.Fd, F_SETFD, FD_CLOEXEC);
  if (!ReadByte(args.Fd, 'g', 5000)) return 1;

  std::string error;
  std::optional<TCrashSettings> settings = ReadEmbeddedSettings(&error);
  if (!settings) {
    std::fprintf(stderr, "quorvik-crashhelper: %s\n", error.c_str());
    return 1;
  }

  // The box first: it is the longer path (see the top of this file).
  std::string proc = "/proc/" + std::to_string(args.Pid);
  char exe[4096];
  ssize_t exeLength = ::readlink((proc + "/exe").c_str(), exe, sizeof exe - 1);
  std::string exePath(exe, static_cast<std::size_t>(std::max<ssize_t>(exeLength, 0)));
  int box = StartBox(exePath.substr(exePath.rfind('/') + 1));
  TReportHeader header = DescribeProcess(args.Pid);

  int mem = ::open((proc + "/mem").c_str(), O_RDONLY | O_CLOEXEC);
  detail::TCrashInfo info{};
  if (mem < 0 || ::pread(mem, &info, sizeof info, static_cast<off_t>(args.Info)) != sizeof info ||
      std::memcmp(info.Magic, detail::kCrashInfoMagic, sizeof info.Magic) != 0) {
    std::fprintf(stderr, "quorvik-crashhelper: cannot read the crashed process %d\n", args.Pid);
    return 1;
  }
  std::vector<std::string> command = CommandLine(args.Pid);
  std::vector<int> paused;
  if (settings->Bool("PauseThreads")) paused = PauseThreads(args.Pid, info.Tid);

  header.Version = info.Version;
  header.ErrorClass = info.HaveException ? info.ErrorClass : ClassOfSignal(info);
  header.Message = info.HaveException ? info.Message : MessageOfSignal(info);
  header.Address = info.Regs[16];
  header.Thread = DescribeThread(args.Pid, info.Tid, info.ThreadName);
  std::string why = WhyNoContinue(info);
  header.Note = "the program cannot continue: " + why;
  std::vector<TFrame> stack =
      UnwindThread(args.Pid, info.Tid, std::span<const std::uint64_t, 17>(info.Regs, 17), mem);
  std::string report = FormatReport(header, "call stack of the failing thread", stack);
  if (info.HaveException && info.ThrowCount > 0) {
    int count = std::min(info.ThrowCount, detail::kMaxThrowFrames);
    report += "\ncall stack where the exception was thrown:\n";
    report += FormatFrames(Symbolize(args.Pid, std::span<const std::uint64_t>(info.ThrowPcs, count)));
  }
  ::close(mem);

  TSaveResult saved;
  if (settings->Bool("AutoSave"))
    saved = SaveReport(args.File, report, static_cast<std::size_t>(settings->Int("BugRepFileSize")));
  // The crashed process may go now; it ends by its signal, which ends the
  // paused threads with it.
  [[maybe_unused]] ssize_t ignored = ::write(args.Fd, "d", 1);
  ::close(args.Fd);
  AwaitEnd(paused);

  std::string note = "The program cannot continue: " + why + ".";
  if (!saved.Ok && settings->Bool("AutoSave")) note += "\n" + saved.Error;
  if (box < 0) {
    std::fprintf(stderr, "%s\n", report.c_str());
    return 0;
  }
  // The box's message: note, executable, report, then the command line to
  // restart with, each ended by a NUL.
  std::string message = note + '\0' + header.Executable + '\0' + report + '\0';
  for (const std::string& a : command) message += a + '\0';
  if (!WriteAll(box, message)) std::fprintf(stderr, "%s\n", report.c_str());
  ::close(box);
  return 0;
}
