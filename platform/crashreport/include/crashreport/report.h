// The text of a bug report: a header of "name : value" lines, then the call
// stack of the failing thread. Qt-free; allocates, so never called inside a
// signal handler (the helper builds fatal-signal reports from outside).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crashreport/symbols.h"

namespace crashreport {

struct TReportHeader {
  std::string DateTime;  // local time with zone: "2026-12-11 09:24:30 +0100"
  std::string Computer;  // host name
  std::string User;      // login name of the process's user
  std::string System;    // uname: "Linux 6.1.0-18-amd64 #1 SMP ... x86_64"
  int Pid = 0;
  std::string Executable;  // full path
  std::string Version;     // file version from the version block
  std::string ErrorClass;  // unqualified: "EAccessViolation", "runtime_error"
  std::string Message;
  std::uint64_t Address = 0;  // where the error happened (throw site or faulting instruction)
  std::string Thread;         // "main thread (tid 1234, Quorvik)"
  std::string Handler;        // the program's handler that was running, may be empty
  std::string Note;           // e.g. why the program cannot continue; may be empty
};

// Date and time, computer, user, system, pid and executable of process pid
// (read from /proc/<pid>); the rest stays empty.
TReportHeader DescribeProcess(int pid);

// "main thread (tid 1234, Quorvik)" or "thread (tid 1240, worker)".
std::string DescribeThread(int pid, int tid, std::string_view name);

// The report's text. stackTitle heads the stack ("call stack where the
// exception was thrown").
std::string FormatReport(const TReportHeader& header, std::string_view stackTitle,
                         const std::vector<TFrame>& stack);

}  // namespace crashreport
