// Time from a fatal signal sent to the running program to its report saved
// and its box shown, against the time gdb takes to print every thread's
// stack of the same program. Runs a copy of the program's folder (so that
// the reports land in the copy's bugreport.txt) on Qt's offscreen platform.
// Not a test: prints the numbers.
//
//   build/benchmarks/report_bench [runs]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Starts the program; returns its pid and the read end of its output.
pid_t StartTarget(const std::string& program, int& output) {
  int out[2];
  if (::pipe(out) != 0) std::exit(1);
  pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    ::close(out[0]);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("QUORVIK_CRASHBOX_ANSWER", "close", 1);
    ::execl(program.c_str(), program.c_str(), nullptr);
    ::_exit(127);
  }
  ::close(out[1]);
  output = out[0];
  return child;
}

// The program is up when its main thread has sat in the event loop's poll
// for a while.
bool WaitIdle(pid_t pid) {
  std::string path = "/proc/" + std::to_string(pid) + "/syscall";
  int idle = 0;
  for (int i = 0; i < 400 && idle < 5; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ifstream in(path);
    std::string number;
    if (!(in >> number)) return false;
    idle = number == "7" || number == "271" ? idle + 1 : 0;  // poll, ppoll
  }
  return idle >= 5;
}

// Reads output until it holds marker; returns false at EOF.
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
  fs::path dir = fs::temp_directory_path() / ("report_bench_" + std::to_string(::getpid()));
  fs::copy(fs::path(PROGRAM).parent_path(), dir, fs::copy_options::recursive);
  fs::remove(dir / "bugreport.txt");
  std::string program = (dir / fs::path(PROGRAM).filename()).string();
  std::vector<double> saved, shown, gdb;
  for (int i = 0; i < runs; ++i) {
    int out = -1;
    std::string seen;
    pid_t pid = StartTarget(program, out);
    if (!WaitIdle(pid)) return 1;
    auto start = Clock::now();
    ::kill(pid, SIGSEGV);
    int status = 0;
    ::waitpid(pid, &status, 0);  // the crashed process ends once its report is saved
    auto savedAt = Clock::now();
    if (!WaitFor(out, "crash box: ExceptionBox", seen)) {
      std::fprintf(stderr, "no box:\n%s\n", seen.c_str());
      return 1;
    }
    auto shownAt = Clock::now();
    WaitFor(out, "\n\x01", seen);  // drain until the helper and its box end
    ::close(out);
    saved.push_back(Ms(start, savedAt));
    shown.push_back(Ms(start, shownAt));

    // gdb on the same program, waiting the same way.
    pid = StartTarget(program, out);
    if (!WaitIdle(pid)) return 1;
    std::string command =
        "gdb -p " + std::to_string(pid) + " -batch -ex 'thread apply all bt' >/dev/null 2>&1";
    start = Clock::now();
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "gdb failed\n");
    gdb.push_back(Ms(start, Clock::now()));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    ::close(out);
  }
  std::size_t reports = 0;
  std::ifstream file(dir / "bugreport.txt");
  for (std::string line; std::getline(file, line);)
    reports += line.rfind("======== bug report begin", 0) == 0;
  fs::remove_all(dir);
  double box = Median(shown), baseline = Median(gdb);
  std::printf("%s, runs: %d (medians), reports saved: %zu\n", PROGRAM, runs, reports);
  std::printf("signal -> report saved:            %8.1f ms\n", Median(saved));
  std::printf("signal -> report saved, box shown: %8.1f ms\n", box);
  std::printf("gdb thread apply all bt:           %8.1f ms\n", baseline);
  std::printf("speed-up over gdb: %.1fx (goal: 10x)\n", baseline / box);
  return reports == static_cast<std::size_t>(runs) ? 0 : 1;
}
