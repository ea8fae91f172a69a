// Start-up benchmark: the time from starting a program until its window is
// mapped on the X display, and the program's peak memory, for Quorvik, for a
// floor program that shows the same window written directly against Qt, and
// for an empty Qt window. Runs the three in turn, many rounds, and prints
// medians and Quorvik's ratio to the floor (goal: at most 1.15).
//   tools/xvfb-session build/benchmarks/startup [rounds]
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

// The process id a window says it belongs to (_NET_WM_PID), or 0.
pid_t WindowPid(Display* display, Window window) {
  static Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  pid_t pid = 0;
  if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                         &data) == Success &&
      data && count == 1)
    pid = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data));
  if (data) XFree(data);
  return pid;
}

struct TSample {
  double Seconds;
  long PeakKiB;
};

// Starts program, waits until one of its top-level windows is mapped, ends it.
bool Measure(Display* display, const std::string& program, TSample& sample) {
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, True);  // drop what happened before
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  const double start = Now();
  pid_t pid;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  bool mapped = false;
  while (!mapped && Now() - start < 20) {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify && !event.xmap.override_redirect &&
          WindowPid(display, event.xmap.window) == pid) {
        sample.Seconds = Now() - start;
        mapped = true;
        break;
      }
    }
    if (!mapped) usleep(200);
  }
  kill(pid, SIGTERM);
  int status;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  sample.PeakKiB = usage.ru_maxrss;
  XSelectInput(display, DefaultRootWindow(display), NoEventMask);
  return mapped;
}

template <typename T>
T Median(std::vector<T> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 15;
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "startup: no X display; run it as tools/xvfb-session %s\n", argv[0]);
    return 2;
  }
  const std::string here = [] {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string p(path, n > 0 ? static_cast<std::size_t>(n) : 0);
    return p.substr(0, p.rfind('/'));
  }();
  struct TProgram {
    const char* Name;
    std::string Path;
    std::vector<TSample> Samples;
  } programs[] = {{"Quorvik", QUORVIK_EXECUTABLE, {}},
                  {"floor (same widgets)", here + "/startup_floor", {}},
                  {"empty Qt window", here + "/startup_empty", {}}};
  for (int round = -1; round < rounds; ++round) {  // round -1 warms the caches
    for (TProgram& p : programs) {
      TSample s{};
      if (!Measure(display, p.Path, s)) {
        std::fprintf(stderr, "startup: %s showed no window\n", p.Path.c_str());
        return 1;
      }
      if (round >= 0) p.Samples.push_back(s);
    }
  }
  std::printf("%-22s %12s %14s\n", "program", "to mapped", "peak memory");
  std::vector<double> medians;
  std::vector<long> peaks;
  for (TProgram& p : programs) {
    std::vector<double> t;
    std::vector<long> m;
    for (const TSample& s : p.Samples) {
      t.push_back(s.Seconds);
      m.push_back(s.PeakKiB);
    }
    medians.push_back(Median(t));
    peaks.push_back(Median(m));
    std::printf("%-22s %9.1f ms %11ld KiB\n", p.Name, medians.back() * 1000, peaks.back());
  }
  std::printf("Quorvik / floor: time %.2f (goal <= 1.15), memory %.2f; floor / empty: time %.2f\n",
              medians[0] / medians[1], double(peaks[0]) / peaks[1], medians[1] / medians[2]);
  XCloseDisplay(display);
  return medians[0] / medians[1] <= 1.15 ? 0 : 1;
}
