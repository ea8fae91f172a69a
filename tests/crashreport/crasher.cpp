// A small program that installs the crash reporter and then fails in the way
// its first argument names; the fault tests run it and check how it died and
// what it left in the report file.
//
//   crashreport_crasher <mode> <report file> <helper>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "../../platform/crashreport/src/signals_p.h"
#include "classlib/dispatch.h"
#include "classlib/exceptions.h"
#include "crashreport/crashreport.h"
#include "crashreport/reporter.h"

namespace {

// Answers every box on stdout, so the test can read what was shown.
class TLogPresenter : public crashreport::TPresenter {
 public:
  void ShowWait(const std::string&, const std::string&) override {}
  void HideWait() override {}
  crashreport::TBoxAnswer ShowExceptionBox(const crashreport::TBoxModel& box) override {
    std::printf("box: %s\n", box.Title.c_str());
    std::fflush(stdout);
    return crashreport::TBoxAnswer::Continue;
  }
  void ShowMessage(const std::string&, const std::string& text, const std::string&) override {
    std::printf("message: %s\n", text.c_str());
    std::fflush(stdout);
  }
  void PutOnClipboard(const std::string&) override {}
};

volatile int* volatile nullPointer = nullptr;
volatile int zero = 0;

[[gnu::noinline]] void CrashNull() { *nullPointer = 1; }
[[gnu::noinline]] int CrashDivide() { return 10 / zero; }
[[gnu::noinline]] void CrashIllegal() { __builtin_trap(); }
volatile bool keepRecursing = true;
[[gnu::noinline]] int Recurse(int depth) {
  volatile char pad[512];
  pad[0] = static_cast<char>(depth);
  return keepRecursing ? Recurse(depth + 1) + pad[0] : 0;
}
[[gnu::noinline]] void CrashBus() {
  char name[] = "/tmp/crasher_bus_XXXXXX";
  int fd = ::mkstemp(name);
  ::unlink(name);
  auto* p = static_cast<volatile char*>(::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
  p[0] = 1;  // beyond the end of the empty file
}
[[gnu::noinline]] void CrashDoubleFree() {
  char* volatile p = static_cast<char*>(std::malloc(32));
  std::free(p);
  std::free(p);
}
[[gnu::noinline]] void ThrowInWorker() { throw std::runtime_error("worker failed"); }

void CrashTwoThreads() {
  std::atomic<int> ready{0};
  auto crash = [&] {
    ready.fetch_add(1);
    while (ready.load() < 2) {
    }
    CrashNull();
  };
  std::thread a(crash), b(crash);
  a.join();
  b.join();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  std::string mode = argv[1];
  TLogPresenter presenter;
  crashreport::TOptions options;
  options.ReportPath = argv[2];
  options.HelperPath = argv[3];
  options.Presenter = &presenter;
  options.CheckSeal = mode == "sealed";
  options.WatchdogSeconds = 5;
  if (!crashreport::Install(options)) return 3;

  if (mode == "sealed") {
    std::printf("started\n");
    return 0;
  }
  if (mode == "wait") {
    // For the benchmark: a few threads, then wait for a signal from outside.
    std::thread a([] { ::pause(); }), b([] { ::pause(); });
    std::printf("ready\n");
    std::fflush(stdout);
    ::pause();
    a.join();
    b.join();
    return 0;
  }
  if (mode == "null")
    CrashNull();
  else if (mode == "divide")
    CrashDivide();
  else if (mode == "illegal")
    CrashIllegal();
  else if (mode == "bus")
    CrashBus();
  else if (mode == "abort")
    std::abort();
  else if (mode == "double-free")
    CrashDoubleFree();
  else if (mode == "overflow-main")
    Recurse(0);
  else if (mode == "overflow-worker")
    std::thread([] { Recurse(0); }).join();
  else if (mode == "throw-worker")
    std::thread(ThrowInWorker).join();
  else if (mode == "two-threads")
    CrashTwoThreads();
  else if (mode == "busy-worker") {
    // A worker that writes the time without pause, beside the report file,
    // until the process ends; the main thread fails once it has started.
    std::atomic<bool> started{false};
    std::thread([&started, file = std::string(argv[2]) + ".worker"] {
      int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      for (;;) {
        timespec now;
        ::clock_gettime(CLOCK_REALTIME, &now);
        char line[48];
        int n =
            std::snprintf(line, sizeof line, "%lld.%09ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec);
        [[maybe_unused]] ssize_t ignored = ::pwrite(fd, line, static_cast<std::size_t>(n), 0);
        started = true;
      }
    }).detach();
    while (!started) {
    }
    CrashNull();
  } else if (mode == "kill")
    ::kill(::getpid(), SIGSEGV);
  else if (mode == "crash-in-handling") {
    crashreport::detail::SetAfterReportHookForTesting([] { CrashNull(); });
    CrashNull();
  } else if (mode == "no-helper") {
    crashreport::Uninstall();
    options.HelperPath = "/nonexistent/quorvik-crashhelper";
    crashreport::Install(options);
    CrashNull();
  } else if (mode == "dispatch") {
    // Faults inside handlers continue; the same one again is a duplicate.
    int handled = 0;
    for (int i = 0; i < 3; ++i) handled += !classlib::Dispatch("Button1Click", CrashNull);
    handled += !classlib::Dispatch("Button2Click", [] { CrashDivide(); });
    handled += !classlib::Dispatch("Edit1Exit", [] { throw classlib::EDBEditError("Invalid input value."); });
    std::printf("handled %d\n", handled);
    return TraceProcess() == 0 ? 0 : 4;
  }
  return 5;
}
