// The crash reporter's boxes over Qt widgets: the exception box, the waiting
// box, the report view and the plain message box (presentation 3). Needs a
// QApplication; main thread only.
#pragma once

#include <functional>

#include "crashreport/reporter.h"

class QDialog;

namespace crashreport {

// Object names of the box's widgets, for tests and accessibility tools:
// "ExceptionBox" (the dialog), "SendBtn", "SaveBtn", "PrintBtn", "ShowBtn",
// "ContinueBtn", "RestartBtn", "CloseBtn", "NoteLabel", "MessageLabel";
// "WaitBox"; "ReportView" (the report text dialog); "MessageBox".

class TQtPresenter : public TPresenter {
 public:
  void ShowWait(const std::string& title, const std::string& text) override;
  void HideWait() override;
  TBoxAnswer ShowExceptionBox(const TBoxModel& box) override;
  void ShowMessage(const std::string& title, const std::string& text, const std::string& okText) override;
  void PutOnClipboard(const std::string& text) override;

 private:
  QDialog* FWait = nullptr;
};

// Test seam: when set, called with each box (exception box, report view,
// message box) once it is shown and its event loop runs; the hook answers by
// clicking a button. nullptr (the default) leaves the user to answer.
using TBoxHook = std::function<void(QDialog& box)>;
void SetBoxHookForTesting(TBoxHook hook);

// When no hook is set and QUORVIK_CRASHBOX_ANSWER is set (to "continue",
// "restart", "close" or "show"), every box describes itself on stderr in one
// line starting "crash box:" and is answered with that button (the report
// view and the message box with OK). With "none" the box only describes
// itself and waits for the user. Each button appears as
// "button=<text>[ (disabled)][ (focused)] @x,y,w,h", its place in the box's
// window, so that a test can press it with real input. For tests of whole
// programs, where no code of the test runs inside the program.

}  // namespace crashreport
