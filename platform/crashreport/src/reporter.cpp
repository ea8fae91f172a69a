#include "crashreport/reporter.h"

#include <execinfo.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>

#include "classlib/exceptions.h"
#include "classlib/version_info.h"
#include "crashreport/errors.h"
#include "crashreport/report.h"
#include "throw_site_p.h"

namespace crashreport {
namespace {

int Tid() { return static_cast<int>(::syscall(SYS_gettid)); }

std::string Hex(std::uint64_t value) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "0x%" PRIx64, value);
  return buffer;
}

}  // namespace

std::string ExecutableVersion() {
  auto info = classlib::ReadVersionInfo();
  if (!info) return {};
  const auto& v = info->FileVersion;
  return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
         std::to_string(v[3]);
}

TBoxModel MakeBoxModel(const TCrashSettings& s, std::string_view appName) {
  TBoxModel box;
  box.Title = s.Expanded("TitleBar", appName);
  box.Text = s.Expanded("ExceptMsg", appName);
  static const char* kButtons[][3] = {{"Send", "SendBtnVis", "SendBtnTxt"},
                                      {"Save", "SaveBtnVis", "SaveBtnTxt"},
                                      {"Print", "PrintBtnVis", "PrintBtnTxt"},
                                      {"Show", "ShowBtnVis", "ShowBtnTxt"},
                                      {"Continue", "ContinueBtnVis", "ContinueBtnTxt"},
                                      {"Restart", "RestartBtnVis", "RestartBtnTxt"},
                                      {"Close", "CloseBtnVis", "CloseBtnTxt"}};
  for (const auto& b : kButtons)
    if (s.Bool(b[1])) box.Buttons.push_back({b[0], s.Expanded(b[2], appName)});
  int focused = static_cast<int>(s.Int("FocusedBtn"));
  box.Focused = box.Buttons.empty() ? -1 : std::min(focused, static_cast<int>(box.Buttons.size()) - 1);
  box.OkText = s.Text("OkBtnTxt");
  box.DetailsText = s.Text("DetailsBtnTxt");
  return box;
}

TRule RuleFor(const TCrashSettings& s, std::string_view errorClass) {
  TRule rule;
  const char* prefix = "Gn";
  for (int filter : {1, 2}) {
    std::string p = filter == 1 ? "F1" : "F2";
    for (const std::string& name : SplitList(s.Text(p + "Classes"))) {
      if (name == errorClass) {
        rule.Filter = filter;
        prefix = filter == 1 ? "F1" : "F2";
      }
    }
    if (rule.Filter) break;
  }
  std::string p = prefix;
  rule.NoBugRep = s.Bool(p + "NoBugRep");
  rule.NoScrShot = s.Bool(p + "NoScrShot");
  rule.NoHandlers = s.Bool(p + "NoHandlers");
  rule.NoSuspend = s.Bool(p + "NoSuspend");
  rule.ShowCfg = static_cast<int>(s.Int(p + "ShowCfg"));
  rule.Assistant = s.Text(p + "Assis");
  return rule;
}

TErrorDescription DescribeError(const std::exception_ptr& error) {
  TErrorDescription d;
  try {
    std::rethrow_exception(error);
  } catch (const EFault& e) {
    d.ErrorClass = classlib::ClassNameOf(typeid(e));
    d.Message = e.what();
    d.ExactPc = e.Pc();
  } catch (const std::exception& e) {
    d.ErrorClass = classlib::ClassNameOf(typeid(e));
    d.Message = e.what();
  } catch (...) {
    d.ErrorClass = "unknown exception";
    d.Message = "an exception that is not a std::exception";
  }
  if (const detail::TThrowSite* site = detail::FindThrowSite(error)) {
    d.ThrowPcs.assign(site->Pcs, site->Pcs + site->Count);
    if (site->FaultPc) d.ExactPc = site->FaultPc;
  }
  if (d.ExactPc)
    d.Address = d.ExactPc;
  else if (!d.ThrowPcs.empty())
    d.Address = d.ThrowPcs.front() - 1;
  return d;
}

TReporter::TReporter(TCrashSettings settings, std::string appName, std::string reportPath,
                     TPresenter* presenter)
    : FSettings(std::move(settings)),
      FAppName(std::move(appName)),
      FReportPath(std::move(reportPath)),
      FPresenter(presenter) {}

std::string TReporter::BuildReport(const TErrorDescription& error, const char* handler,
                                   std::string_view note) const {
  TReportHeader header = DescribeProcess(::getpid());
  header.Version = ExecutableVersion();
  header.ErrorClass = error.ErrorClass;
  header.Message = error.Message;
  header.Address = error.Address;
  header.Thread = DescribeThread(::getpid(), Tid(), "");
  header.Handler = handler ? handler : "";
  header.Note = std::string(note);
  std::vector<TFrame> stack = Symbolize(::getpid(), error.ThrowPcs, error.ExactPc);
  return FormatReport(header, "call stack where the exception was thrown", stack);
}

TSaveResult TReporter::Save(const std::string& report) const {
  return SaveReport(FReportPath, report, static_cast<std::size_t>(FSettings.Int("BugRepFileSize")));
}

TOutcome TReporter::Handle(const std::exception_ptr& error, const char* handler) noexcept {
  TOutcome outcome;
  try {
    TErrorDescription d = DescribeError(error);
    if (FSettings.Bool("NoDupExcepts")) {
      std::int64_t rule = FSettings.Int("DupExceptDef");
      if (rule != 0) {
        std::string key =
            d.ErrorClass + '\n' + d.Message + (rule == 1 ? '\n' + Hex(d.Address) : std::string());
        outcome.Duplicate = !FSeen.insert(key).second;
        if (outcome.Duplicate) return outcome;
      }
    }
    // An error inside the box's own message loop (another handler ran while
    // the box was up) is saved, but does not open a second box.
    bool nested = FHandling;
    FHandling = true;
    struct TReset {
      bool& Flag;
      bool Value;
      ~TReset() { Flag = Value; }
    } reset{FHandling, nested};

    TRule rule = RuleFor(FSettings, d.ErrorClass);
    outcome.Presentation = rule.ShowCfg;
    if (!rule.NoBugRep) {
      bool wait = FSettings.Bool("PlWaitBox") && !nested && rule.ShowCfg != 3;
      if (wait)
        FPresenter->ShowWait(FSettings.Expanded("PlWaitTitle", FAppName),
                             FSettings.Expanded("PlWaitText", FAppName));
      outcome.Report = BuildReport(d, handler, "");
      outcome.Reported = true;
      if (FSettings.Bool("AutoSave")) outcome.Saved = Save(outcome.Report);
      if (FSettings.Bool("AutoClip")) FPresenter->PutOnClipboard(outcome.Report);
      if (wait) FPresenter->HideWait();
    }
    if (nested) return outcome;
    if (rule.ShowCfg == 3) {
      FPresenter->ShowMessage(FSettings.Expanded("TitleBar", FAppName), d.Message,
                              FSettings.Text("OkBtnTxt"));
      outcome.Shown = true;
      return outcome;
    }
    // Presentations 1 (assistant) and 2 fall back to the exception box until
    // the assistants exist.
    TBoxModel box = MakeBoxModel(FSettings, FAppName);
    box.Report = outcome.Report;
    if (outcome.Reported && FSettings.Bool("AutoSave") && !outcome.Saved.Ok) box.Note = outcome.Saved.Error;
    if (FSettings.Bool("AutoContinue")) return outcome;
    outcome.Answer = FPresenter->ShowExceptionBox(box);
    outcome.Shown = true;
  } catch (...) {
    // The reporter must not fail the dispatch that called it: the program
    // goes on as after "continue".
    std::fprintf(stderr, "crash reporter: handling an error failed\n");
  }
  return outcome;
}

TSaveResult TReporter::Trace(std::string_view reason) {
  void* frames[64];
  int count = ::backtrace(frames, 64);
  std::vector<std::uint64_t> pcs;
  for (int i = 1; i < count; ++i) pcs.push_back(reinterpret_cast<std::uintptr_t>(frames[i]));
  TReportHeader header = DescribeProcess(::getpid());
  header.Version = ExecutableVersion();
  header.ErrorClass = "(none)";
  header.Message = std::string(reason);
  header.Thread = DescribeThread(::getpid(), Tid(), "");
  return Save(FormatReport(header, "call stack of the calling thread", Symbolize(::getpid(), pcs)));
}

}  // namespace crashreport
