// The crash reporter's handling of an error that escaped program code: the
// rule for its class, duplicate suppression, the report, saving, clipboard,
// and what the user is shown. Showing goes through TPresenter, so that this
// part stays Qt-free and tests can watch it; the Qt boxes implement it
// (exception_box.h). Main thread only; never inside a signal handler.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "crashreport/report_file.h"
#include "crashreport/settings.h"
#include "crashreport/symbols.h"

namespace crashreport {

enum class TBoxAnswer { Continue, Restart, Close };

struct TBoxButton {
  std::string Id;    // "Send", "Save", "Print", "Show", "Continue", "Restart", "Close"
  std::string Text;  // with '&' before the accelerator letter
};

// What the exception box shows.
struct TBoxModel {
  std::string Title;
  std::string Text;
  std::vector<TBoxButton> Buttons;  // visible buttons only, in this order
  int Focused = 0;                  // index into Buttons (FocusedBtn, clamped)
  bool CanContinue = true;          // false: "continue" is shown but disabled
  std::string Note;                 // a line under the text: why continuing is impossible, a failed save
  std::string Report;               // for "show bug report"
  std::string OkText, DetailsText;  // texts of the report view's buttons
};

// The box for an error, from the settings: title with %appname% made appName,
// the visible buttons in the order send, save, print, show, continue,
// restart, close, the focused button FocusedBtn counted among those.
TBoxModel MakeBoxModel(const TCrashSettings& settings, std::string_view appName);

class TPresenter {
 public:
  virtual ~TPresenter() = default;
  // The waiting box while a report is prepared; HideWait removes it.
  virtual void ShowWait(const std::string& title, const std::string& text) = 0;
  virtual void HideWait() = 0;
  // Shows the exception box modally until the user picks continue, restart or
  // close (show and mail are handled inside the box).
  virtual TBoxAnswer ShowExceptionBox(const TBoxModel& box) = 0;
  // Presentation 3: a plain message box with the error's message and OK.
  virtual void ShowMessage(const std::string& title, const std::string& text, const std::string& okText) = 0;
  virtual void PutOnClipboard(const std::string& text) = 0;
};

// The rule that applies to an error class: filter 1 or 2 when the class is in
// F1Classes / F2Classes, else the general rule (Filter 0).
struct TRule {
  int Filter = 0;
  bool NoBugRep = false;
  bool NoScrShot = false;
  bool NoHandlers = false;
  bool NoSuspend = false;
  int ShowCfg = 0;
  std::string Assistant;
};
TRule RuleFor(const TCrashSettings& settings, std::string_view errorClass);

// What is known about an error: class (unqualified, from the dynamic type),
// message, throw site.
struct TErrorDescription {
  std::string ErrorClass;
  std::string Message;
  std::uint64_t Address = 0;            // throw site (first frame) or faulting instruction
  std::vector<std::uint64_t> ThrowPcs;  // return addresses of the throw site, innermost first
  std::uint64_t ExactPc = 0;            // a faulting instruction among ThrowPcs, looked up as is
};
TErrorDescription DescribeError(const std::exception_ptr& error);

// What happened to one error, for the caller (and tests).
struct TOutcome {
  bool Duplicate = false;
  bool Shown = false;  // exception box or message box
  int Presentation = 0;
  bool Reported = false;  // a report was built
  TSaveResult Saved;      // when Reported and AutoSave
  std::string Report;
  TBoxAnswer Answer = TBoxAnswer::Continue;
};

class TReporter {
 public:
  // presenter must outlive the reporter. reportPath: the bug report file.
  TReporter(TCrashSettings settings, std::string appName, std::string reportPath, TPresenter* presenter);

  // Handles an error that escaped the handler called handler: duplicate
  // check (NoDupExcepts with rule DupExceptDef), rule by class, report,
  // save, clipboard, box. Returns the outcome; acting on Restart and Close is
  // the caller's. Never throws.
  //
  // Duplicate rules: 0 nothing is a duplicate; 1 an error with the same
  // class, message and throw address as one already handled in this run;
  // 2 the same class and message wherever thrown. A duplicate is neither
  // shown nor saved again, and the program continues.
  TOutcome Handle(const std::exception_ptr& error, const char* handler) noexcept;

  // A report of the running process (no error): header and the calling
  // thread's stack, appended to the report file. Returns the save result.
  TSaveResult Trace(std::string_view reason);

  const TCrashSettings& Settings() const { return FSettings; }
  const std::string& ReportPath() const { return FReportPath; }
  const std::string& AppName() const { return FAppName; }

  // The report's text for an error.
  std::string BuildReport(const TErrorDescription& error, const char* handler, std::string_view note) const;

 private:
  TSaveResult Save(const std::string& report) const;

  TCrashSettings FSettings;
  std::string FAppName;
  std::string FReportPath;
  TPresenter* FPresenter;
  std::set<std::string> FSeen;
  bool FHandling = false;
};

// The executable's file version from its version block ("0.0.0.0"), or "".
std::string ExecutableVersion();

}  // namespace crashreport
