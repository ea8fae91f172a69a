// The crash reporter's module: installs and removes everything, and acts on
// the user's answer (restart, close).
#include <spawn.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "classlib/dispatch.h"
#include "classlib/exceptions.h"
#include "classlib/units.h"
#include "crash_info_p.h"
#include "crashreport/crashreport.h"
#include "crashreport/exception_box.h"
#include "crashreport/report_file.h"
#include "crashreport/reporter.h"
#include "crashreport/seal.h"
#include "signals_p.h"
#include "throw_site_p.h"

extern char** environ;

namespace crashreport {
namespace {

std::unique_ptr<TQtPresenter> qtPresenter;
std::unique_ptr<TReporter> reporter;
classlib::TExceptionHandler previousHandler = nullptr;
std::terminate_handler previousTerminate = nullptr;
bool installed = false;

std::string ExecutablePath() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string BaseName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "restart application": a new process of the same executable with the same
// arguments; this one ends without running the program's shutdown, whose
// state an error may have spoilt.
[[noreturn]] void Restart() {
  std::string exe = ExecutablePath();
  char** argv = classlib::ArgValues();
  char* fallback[] = {exe.data(), nullptr};
  pid_t child = 0;
  if (::posix_spawn(&child, exe.c_str(), nullptr, nullptr, argv && argv[0] ? argv : fallback, environ) != 0)
    std::fprintf(stderr, "%s: cannot restart %s\n", BaseName(exe).c_str(), exe.c_str());
  std::fflush(nullptr);
  ::_exit(0);
}

// "close application".
[[noreturn]] void Close() {
  std::fflush(nullptr);
  ::_exit(1);
}

void OnException(std::exception_ptr error, const char* handler) {
  TOutcome outcome = reporter->Handle(error, handler);
  if (outcome.Answer == TBoxAnswer::Restart) Restart();
  if (outcome.Answer == TBoxAnswer::Close) Close();
}

// An exception escaped everything (a worker thread, a destructor, a noexcept
// function): note it in the crash record for the helper, then abort, which
// goes down the fatal-signal path.
[[noreturn]] void OnTerminate() {
  detail::TCrashInfo& info = detail::CrashInfo();
  if (std::exception_ptr error = std::current_exception()) {
    TErrorDescription d = DescribeError(error);
    detail::CopyText(info.ErrorClass, sizeof info.ErrorClass, d.ErrorClass.c_str());
    detail::CopyText(info.Message, sizeof info.Message, d.Message.c_str());
    info.ThrowCount =
        static_cast<std::int32_t>(std::min<std::size_t>(d.ThrowPcs.size(), detail::kMaxThrowFrames));
    for (int i = 0; i < info.ThrowCount; ++i) info.ThrowPcs[i] = d.ThrowPcs[i];
  } else {
    detail::CopyText(info.ErrorClass, sizeof info.ErrorClass, "std::terminate");
    detail::CopyText(info.Message, sizeof info.Message,
                     "std::terminate was called without an active exception.");
  }
  info.HaveException = 1;
  std::abort();
}

// The executable is damaged: say so on stderr and in a box, then end.
[[noreturn]] void RefuseCorrupt(const std::string& exe) {
  std::string line = exe + " is corrupt: its content does not match the checksum written when it was built.";
  std::fprintf(stderr, "%s: %s\n", BaseName(exe).c_str(), line.c_str());
  std::fflush(stderr);
  int argc = classlib::ArgCount() > 0 ? classlib::ArgCount() : 1;
  char* fallback[] = {const_cast<char*>("Quorvik"), nullptr};
  char** argv = classlib::ArgValues() ? classlib::ArgValues() : fallback;
  std::unique_ptr<QApplication> app;
  if (!QApplication::instance()) app = std::make_unique<QApplication>(argc, argv);
  TQtPresenter presenter;
  presenter.ShowMessage(BaseName(exe), line, "&OK");
  std::exit(1);
}

void Initialize() { Install(); }
void Finalize() { Uninstall(); }

const classlib::TUnit unit = {"crashreport", Initialize, Finalize};

}  // namespace

const classlib::TUnit& Unit() { return unit; }

bool Install(const TOptions& options) {
  if (installed) return true;
  std::string error;
  std::optional<TCrashSettings> settings = ReadEmbeddedSettings(&error);
  if (!settings) {
    std::fprintf(stderr, "crash reporter: %s; crash reporting is off\n", error.c_str());
    return false;
  }
  if (!settings->Bool("Enabled")) return false;

  std::string exe = ExecutablePath();
  if (options.CheckSeal) {
    TSealState seal = CheckSeal(exe);
    if (seal == TSealState::Corrupt || (seal == TSealState::NotSealed && SealRequired())) RefuseCorrupt(exe);
  }

  std::string dir = ExecutableDir();
  std::string appName = options.AppName.empty() ? BaseName(exe) : options.AppName;
  std::string reportPath =
      options.ReportPath.empty() ? ChooseReportPath(settings->Text("BugRepFile"), dir) : options.ReportPath;
  TPresenter* presenter = options.Presenter;
  if (!presenter) {
    qtPresenter = std::make_unique<TQtPresenter>();
    presenter = qtPresenter.get();
  }
  reporter = std::make_unique<TReporter>(std::move(*settings), appName, reportPath, presenter);

  detail::TCrashInfo& info = detail::CrashInfo();
  detail::CopyText(info.Version, sizeof info.Version, ExecutableVersion().c_str());
  detail::TSignalConfig config;
  config.HelperPath = options.HelperPath.empty() ? dir + "/quorvik-crashhelper" : options.HelperPath;
  config.ReportPath = reportPath;
  config.WatchdogSeconds = options.WatchdogSeconds;
  if (!detail::InstallSignalHandlers(config)) {
    std::fprintf(stderr, "crash reporter: cannot install the fault handlers; crash reporting is off\n");
    reporter.reset();
    return false;
  }
  previousHandler = classlib::SetExceptionHandler(OnException);
  previousTerminate = std::set_terminate(OnTerminate);
  installed = true;
  return true;
}

void Uninstall() {
  if (!installed) return;
  detail::UninstallSignalHandlers();
  classlib::SetExceptionHandler(previousHandler);
  std::set_terminate(previousTerminate);
  reporter.reset();
  qtPresenter.reset();
  installed = false;
}

std::string ReportPath() { return reporter ? reporter->ReportPath() : std::string(); }

}  // namespace crashreport

extern "C" [[gnu::visibility("default")]] int TraceProcess() {
  using namespace crashreport;
  if (!reporter) return -1;
  try {
    return reporter->Trace("TraceProcess: a report of the running process, no error").Ok ? 0 : -1;
  } catch (...) {
    return -1;
  }
}
