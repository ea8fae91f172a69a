// Runs the crasher in a child process for each kind of fault and checks how
// it died and what the report file holds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "crashreport/report_file.h"

namespace {

namespace fs = std::filesystem;

struct TRun {
  int Status = 0;
  std::string Output;  // stdout and stderr of the crasher and its helper
  double Seconds = 0;
};

TRun RunCrasher(const std::string& mode, const std::string& reportFile) {
  int out[2];
  EXPECT_EQ(::pipe(out), 0);
  auto start = std::chrono::steady_clock::now();
  pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    ::close(out[0]);
    ::setenv("QUORVIK_CRASHBOX_ANSWER", "close", 1);
    ::execl(CRASHER, CRASHER, mode.c_str(), reportFile.c_str(), HELPER, nullptr);
    ::_exit(127);
  }
  ::close(out[1]);
  TRun run;
  char buffer[4096];
  ssize_t n;
  // EOF comes when the crasher and the helper it started have both ended.
  while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
    run.Output.append(buffer, static_cast<std::size_t>(n));
  ::close(out[0]);
  ::waitpid(child, &run.Status, 0);
  run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/crashreport_fault_XXXXXX";
    Dir = ::mkdtemp(name);
    File = Dir + "/bugreport.txt";
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string Dir, File;
};

TEST_F(Faults, FatalFaultsAreReportedByTheHelperAndEndTheProcess) {
  struct {
    const char* mode;
    int signal;
    const char* errorClass;
    const char* inStack;  // a function of the crasher the failing thread's stack must name
    const char* note;
  } cases[] = {
      {"null", SIGSEGV, "EAccessViolation", "CrashNull", "outside the program's event handlers"},
      {"divide", SIGFPE, "EDivByZero", "CrashDivide", "outside"},
      {"illegal", SIGILL, "EIllegalInstruction", "CrashIllegal", "outside"},
      {"bus", SIGBUS, "EAccessViolation", "CrashBus", "outside"},
      {"abort", SIGABRT, "EAbort", "main", "aborted"},
      {"double-free", SIGABRT, "EAbort", "CrashDoubleFree", "aborted"},
      {"overflow-main", SIGSEGV, "EStackOverflow", "Recurse", "stack overflowed"},
      {"overflow-worker", SIGSEGV, "EStackOverflow", "Recurse", "stack overflowed"},
      {"throw-worker", SIGABRT, "runtime_error", "ThrowInWorker", "escaped every handler"},
      {"kill", SIGSEGV, "EAccessViolation", "main", "came from outside"},
      {"two-threads", SIGSEGV, "EAccessViolation", "CrashNull", "thread other than the main thread"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    fs::remove(File);
    TRun run = RunCrasher(c.mode, File);
    ASSERT_TRUE(WIFSIGNALED(run.Status)) << run.Output;
    EXPECT_EQ(WTERMSIG(run.Status), c.signal);
    EXPECT_LT(run.Seconds, 5.0) << "took the watchdog's way out";
    std::vector<std::string> reports = crashreport::ReadReports(File);
    ASSERT_EQ(reports.size(), 1u) << run.Output;
    const std::string& r = reports[0];
    EXPECT_NE(r.find("exception class    : " + std::string(c.errorClass) + "\n"), std::string::npos) << r;
    EXPECT_NE(r.find(c.inStack), std::string::npos) << r;
    EXPECT_NE(r.find(c.note), std::string::npos) << r;
    EXPECT_NE(r.find("process id         : "), std::string::npos);
    // The box came up with continuing disabled.
    EXPECT_NE(run.Output.find("button=continue application (disabled)"), std::string::npos) << run.Output;
  }
}

TEST_F(Faults, ReportNamesSourceFilesAndTheThrowSite) {
  TRun run = RunCrasher("throw-worker", File);
  auto reports = crashreport::ReadReports(File);
  ASSERT_EQ(reports.size(), 1u) << run.Output;
  EXPECT_NE(reports[0].find("exception message  : worker failed"), std::string::npos) << reports[0];
  std::size_t thrown = reports[0].find("call stack where the exception was thrown:");
  ASSERT_NE(thrown, std::string::npos) << reports[0];
  EXPECT_NE(reports[0].find("ThrowInWorker", thrown), std::string::npos) << reports[0];
  EXPECT_NE(reports[0].find("crasher.cpp:", thrown), std::string::npos) << reports[0];
}

TEST_F(Faults, OtherThreadsArePausedWhileTheReportIsMade) {
  // The worker writes the time without pause until it is stopped. Paused
  // from before the stack is read, its last time precedes the saved report
  // by the whole report's making; running on, it would write until the
  // process ends, after the report was saved.
  TRun run = RunCrasher("busy-worker", File);
  ASSERT_TRUE(WIFSIGNALED(run.Status)) << run.Output;
  ASSERT_EQ(crashreport::ReadReports(File).size(), 1u) << run.Output;
  std::ifstream in(File + ".worker");
  long double lastWrite = 0;
  ASSERT_TRUE(in >> lastWrite);
  struct stat report {};
  ASSERT_EQ(::stat(File.c_str(), &report), 0);
  long double saved = report.st_mtim.tv_sec + report.st_mtim.tv_nsec / 1e9L;
  EXPECT_LT(lastWrite, saved) << "the worker ran on while the report was made";
}

TEST_F(Faults, FaultWhileHandlingAFaultEndsAtOnceKeepingTheReport) {
  TRun run = RunCrasher("crash-in-handling", File);
  ASSERT_TRUE(WIFSIGNALED(run.Status));
  EXPECT_EQ(WTERMSIG(run.Status), SIGSEGV);
  EXPECT_LT(run.Seconds, 4.0);
  EXPECT_EQ(crashreport::ReadReports(File).size(), 1u) << run.Output;
}

TEST_F(Faults, WithoutTheHelperAMinimalReportIsSaved) {
  TRun run = RunCrasher("no-helper", File);
  ASSERT_TRUE(WIFSIGNALED(run.Status));
  EXPECT_EQ(WTERMSIG(run.Status), SIGSEGV) << "not by the signal it got (a dead helper's socket: SIGPIPE?)";
  auto reports = crashreport::ReadReports(File);
  ASSERT_EQ(reports.size(), 1u) << run.Output;
  EXPECT_NE(reports[0].find("could not run"), std::string::npos);
  EXPECT_NE(reports[0].find("signal             : SEGV"), std::string::npos) << reports[0];
}

TEST_F(Faults, FaultsInsideHandlersContinue) {
  TRun run = RunCrasher("dispatch", File);
  ASSERT_TRUE(WIFEXITED(run.Status)) << run.Output;
  EXPECT_EQ(WEXITSTATUS(run.Status), 0) << run.Output;
  EXPECT_NE(run.Output.find("handled 5"), std::string::npos) << run.Output;
  // Three identical null dereferences: one box, one report (duplicates);
  // the division: another; EDBEditError: a plain message, no report.
  auto reports = crashreport::ReadReports(File);
  ASSERT_EQ(reports.size(), 3u) << run.Output;
  EXPECT_NE(reports[0].find("exception class    : EAccessViolation"), std::string::npos) << reports[0];
  EXPECT_NE(reports[0].find("handler            : Button1Click"), std::string::npos);
  EXPECT_NE(reports[0].find("CrashNull"), std::string::npos) << reports[0];
  EXPECT_NE(reports[0].find("crasher.cpp:"), std::string::npos) << reports[0];
  EXPECT_NE(reports[1].find("exception class    : EDivByZero"), std::string::npos) << reports[1];
  EXPECT_NE(reports[2].find("exception class    : (none)"), std::string::npos)
      << "TraceProcess: " << reports[2];
  EXPECT_NE(run.Output.find("message: Invalid input value."), std::string::npos) << run.Output;
  std::size_t boxes = 0;
  for (std::size_t at = 0; (at = run.Output.find("box: ", at)) != std::string::npos; ++at) ++boxes;
  EXPECT_EQ(boxes, 2u) << run.Output;
}

}  // namespace
