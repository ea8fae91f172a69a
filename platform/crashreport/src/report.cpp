#include "crashreport/report.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cinttypes>
#include <climits>
#include <cstdio>
#include <ctime>
#include <fstream>

namespace crashreport {
namespace {

std::string Line(std::string_view name, std::string_view value) {
  std::string line(name);
  line.resize(19, ' ');
  line += ": ";
  line += value;
  line += '\n';
  return line;
}

}  // namespace

TReportHeader DescribeProcess(int pid) {
  TReportHeader h;
  char buffer[PATH_MAX];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S %z", &local);
  h.DateTime = buffer;
  struct utsname u {};
  if (::uname(&u) == 0) {
    h.Computer = u.nodename;
    h.System = std::string(u.sysname) + " " + u.release + " " + u.version + " " + u.machine;
  }
  std::string proc = "/proc/" + std::to_string(pid);
  struct stat st {};
  if (::stat(proc.c_str(), &st) == 0) {
    struct passwd pw {
    }, *found = nullptr;
    char pwBuffer[1024];
    if (::getpwuid_r(st.st_uid, &pw, pwBuffer, sizeof pwBuffer, &found) == 0 && found)
      h.User = found->pw_name;
    else
      h.User = "uid " + std::to_string(st.st_uid);
  }
  h.Pid = pid;
  ssize_t n = ::readlink((proc + "/exe").c_str(), buffer, sizeof buffer - 1);
  if (n > 0) h.Executable.assign(buffer, static_cast<std::size_t>(n));
  return h;
}

std::string DescribeThread(int pid, int tid, std::string_view name) {
  std::string comm(name);
  if (comm.empty()) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/comm");
    std::getline(in, comm);
  }
  return std::string(pid == tid ? "main thread" : "thread") + " (tid " + std::to_string(tid) +
         (comm.empty() ? "" : ", " + comm) + ")";
}

std::string FormatReport(const TReportHeader& h, std::string_view stackTitle,
                         const std::vector<TFrame>& stack) {
  char address[32];
  std::snprintf(address, sizeof address, "0x%016" PRIx64, h.Address);
  std::string out;
  out += Line("date/time", h.DateTime);
  out += Line("computer name", h.Computer);
  out += Line("user name", h.User);
  out += Line("operating system", h.System);
  out += Line("process id", std::to_string(h.Pid));
  out += Line("executable", h.Executable);
  out += Line("version", h.Version.empty() ? "unknown" : h.Version);
  out += Line("exception class", h.ErrorClass);
  out += Line("exception message", h.Message);
  out += Line("exception address", address);
  out += Line("thread", h.Thread);
  if (!h.Handler.empty()) out += Line("handler", h.Handler);
  if (!h.Note.empty()) out += Line("note", h.Note);
  out += '\n';
  out += stackTitle;
  out += ":\n";
  out += stack.empty() ? " (no stack)\n" : FormatFrames(stack);
  return out;
}

}  // namespace crashreport
