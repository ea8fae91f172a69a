// Time from a fatal signal sent to a running program to its report saved and
// its box shown, against the time gdb takes to print every thread's stack of
// the same program. Not a test: prints the numbers.
//
//   report_bench [runs]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Starts the crasher waiting for a signal; returns its pid and the read end
// of its output.
pid_t StartTarget(const std::string& reportFile, int& output) {
  int out[2];
  if (::pipe(out) != 0) std::exit(1);
  pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    ::close(out[0]);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("QUORVIK_CRASHBOX_ANSWER", "close", 1);
    ::execl(CRASHER, CRASHER, "wait", reportFile.c_str(), HELPER, nullptr);
    ::_exit(127);
  }
  ::close(out[1]);
  output = out[0];
  return child;
}

// Reads output until a line containing marker; returns false at EOF.
bool WaitFor(int fd, const std::string& marker, std::string& seen) {
  char buffer[4096];
  while (seen.find(marker) == std::string::npos) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    seen.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  std::string dir = "/tmp/report_bench_" + std::to_string(::getpid());
  std::string file = dir + "/bugreport.txt";
  std::system(("mkdir -p " + dir).c_str());
  std::vector<double> saved, shown, gdb;
  for (int i = 0; i < runs; ++i) {
    int out = -1;
    std::string seen;
    pid_t pid = StartTarget(file, out);
    if (!WaitFor(out, "ready", seen)) return 1;
    auto start = Clock::now();
    ::kill(pid, SIGSEGV);
    int status = 0;
    ::waitpid(pid, &status, 0);  // the crashed process ends once its report is saved
    auto savedAt = Clock::now();
    if (!WaitFor(out, "crash box:", seen)) {
      std::fprintf(stderr, "no box:\n%s\n", seen.c_str());
      return 1;
    }
    auto shownAt = Clock::now();
    WaitFor(out, "\n\x01", seen);  // drain until the helper ends
    ::close(out);
    saved.push_back(Ms(start, savedAt));
    shown.push_back(Ms(start, shownAt));

    // gdb on the same program, waiting the same way.
    pid = StartTarget(file, out);
    seen.clear();
    if (!WaitFor(out, "ready", seen)) return 1;
    std::string command = "gdb -p " + std::to_string(pid) + " -batch -ex 'thread apply all bt' >/dev/null 2>&1";
    start = Clock::now();
    std::system(command.c_str());
    gdb.push_back(Ms(start, Clock::now()));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    ::close(out);
  }
  std::system(("rm -rf " + dir).c_str());
  double box = Median(shown), baseline = Median(gdb);
  std::printf("runs: %d (medians)\n", runs);
  std::printf("signal -> report saved:            %8.1f ms\n", Median(saved));
  std::printf("signal -> report saved, box shown: %8.1f ms\n", box);
  std::printf("gdb thread apply all bt:           %8.1f ms\n", baseline);
  std::printf("speed-up over gdb: %.1fx (goal: 10x)\n", baseline / box);
  return 0;
}
