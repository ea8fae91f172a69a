// The crash reporter as a module of the program. It is the first module to
// start and the last to go: Initialize reads the settings record, checks the
// executable against its build seal, and takes over the application's
// exception handling, std::terminate and the fatal signals (SIGSEGV, SIGBUS,
// SIGILL, SIGFPE, SIGABRT, with alternate signal stacks on every thread);
// Finalize gives them back.
//
// PauseThreads: after a fatal signal the crash helper stops every other
// thread of the crashed process (ptrace) before it reads the process, until
// the process has ended. An error the program can continue from (in an event
// handler on the main thread) pauses nothing: the toolkit's own threads (the
// X event reader, D-Bus) must run for the box to work, and the program starts
// no threads of its own.
//
// Program code that can fault inside event handlers should be compiled with
// -fnon-call-exceptions (linking Quorvik::crashreport adds it), so that a
// fault on the main thread unwinds into the dispatch point like an exception.
#pragma once

#include <string>

namespace classlib {
struct TUnit;
}

namespace crashreport {

class TPresenter;

// The module, named "crashreport", for the program's list of modules.
const classlib::TUnit& Unit();

// What Initialize uses; tests and helper programs pass their own.
struct TOptions {
  std::string AppName;              // default: the executable's file name
  std::string ReportPath;           // default: bugreport.txt beside the executable, else the state folder
  std::string HelperPath;           // default: quorvik-crashhelper beside the executable
  TPresenter* Presenter = nullptr;  // default: the Qt boxes
  bool CheckSeal = true;            // check the executable against its build seal
  unsigned WatchdogSeconds = 10;
};

// Installs the crash reporter with options. Returns false, after writing the
// reason to stderr, when the settings cannot be read or reporting is
// disabled by them (nothing is then taken over). Ends the process with
// status 1 when the executable fails its seal. Main thread, before the
// program starts other threads.
bool Install(const TOptions& options = {});

// Gives back everything Install took over. Idempotent.
void Uninstall();

// The bug report file in use ("" before Install).
std::string ReportPath();

}  // namespace crashreport

// Appends a report of the running process (no error: header and the calling
// thread's stack) to the bug report file. Exported in the executable's
// dynamic symbol table. Returns 0 on success, -1 when the crash reporter is
// not installed or the file cannot be written. Not async-signal-safe.
extern "C" int TraceProcess();
