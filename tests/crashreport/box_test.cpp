// The exception box and the in-process error path over real Qt widgets, on
// the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "classlib/exceptions.h"
#include "crashreport/exception_box.h"
#include "crashreport/report_file.h"
#include "crashreport/reporter.h"
#include "crashreport/settings.h"

namespace {

namespace fs = std::filesystem;
using namespace crashreport;

struct TSeen {
  std::string Name, Title;
  std::vector<std::pair<std::string, std::string>> Buttons;  // object name, text
  std::string Focused, Note, Message, ReportText;
  std::vector<std::string> Disabled;
};

class Box : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/crashreport_box_XXXXXX";
    Dir = ::mkdtemp(name);
    Settings = ReadEmbeddedSettings();
    ASSERT_TRUE(Settings);
  }
  void TearDown() override {
    SetBoxHookForTesting(nullptr);
    fs::remove_all(Dir);
  }
  // Records each box and clicks the named button (OK in the other boxes).
  void Answer(std::string button) {
    SetBoxHookForTesting([this, button](QDialog& box) {
      TSeen seen;
      seen.Name = box.objectName().toStdString();
      seen.Title = box.windowTitle().toStdString();
      for (QPushButton* b : box.findChildren<QPushButton*>()) {
        seen.Buttons.emplace_back(b->objectName().toStdString(), b->text().toStdString());
        if (!b->isEnabled()) seen.Disabled.push_back(b->objectName().toStdString());
      }
      if (QWidget* f = box.focusProxy()) seen.Focused = f->objectName().toStdString();
      if (auto* note = box.findChild<QLabel*>("NoteLabel")) seen.Note = note->text().toStdString();
      if (auto* text = box.findChild<QLabel*>("MessageLabel")) seen.Message = text->text().toStdString();
      if (auto* report = box.findChild<QPlainTextEdit*>("ReportText"))
        seen.ReportText = report->toPlainText().toStdString();
      Seen.push_back(seen);
      std::string name = seen.Name == "ExceptionBox" ? button : "OkBtn";
      if (auto* b = box.findChild<QPushButton*>(QString::fromStdString(name)))
        b->click();
      else
        box.reject();
    });
  }
  std::string Dir;
  std::optional<TCrashSettings> Settings;
  std::vector<TSeen> Seen;
};

TEST_F(Box, ShowsExactlyTheVisibleButtonsWithTheirTexts) {
  TQtPresenter presenter;
  TReporter reporter(*Settings, "Quorvik", Dir + "/bugreport.txt", &presenter);
  Answer("ContinueBtn");
  TOutcome outcome = reporter.Handle(std::make_exception_ptr(std::runtime_error("list index out of bounds")),
                                     "Button1Click");
  EXPECT_EQ(outcome.Answer, TBoxAnswer::Continue);
  ASSERT_EQ(Seen.size(), 1u);
  const TSeen& box = Seen[0];
  EXPECT_EQ(box.Name, "ExceptionBox");
  EXPECT_EQ(box.Title, "Quorvik");
  EXPECT_EQ(box.Message, "An error occurred in the application.");
  std::vector<std::pair<std::string, std::string>> expected = {{"SendBtn", "mail bug report"},
                                                               {"ShowBtn", "show bug report"},
                                                               {"ContinueBtn", "continue application"},
                                                               {"RestartBtn", "restart application"},
                                                               {"CloseBtn", "close application"}};
  EXPECT_EQ(box.Buttons, expected);
  EXPECT_EQ(box.Focused, "SendBtn");  // FocusedBtn 0: the first visible button
  EXPECT_TRUE(box.Disabled.empty());
  EXPECT_TRUE(box.Note.empty());
  // Saved, on the clipboard.
  auto reports = ReadReports(Dir + "/bugreport.txt");
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), reports[0]);
}

TEST_F(Box, ReportNamesTheThrowSiteAndTheBoxShowsIt) {
  TQtPresenter presenter;
  TReporter reporter(*Settings, "Quorvik", Dir + "/bugreport.txt", &presenter);
  SetBoxHookForTesting([this](QDialog& box) {
    TSeen seen;
    seen.Name = box.objectName().toStdString();
    if (auto* report = box.findChild<QPlainTextEdit*>("ReportText"))
      seen.ReportText = report->toPlainText().toStdString();
    Seen.push_back(seen);
    if (seen.Name == "ExceptionBox") {
      box.findChild<QPushButton*>("ShowBtn")->click();
      box.findChild<QPushButton*>("ContinueBtn")->click();
    } else {
      box.findChild<QPushButton*>("OkBtn")->click();
    }
  });
  std::exception_ptr error;
  try {
    [] [[gnu::noinline]] () { throw std::out_of_range("index 12 out of range"); }();
  } catch (...) {
    error = std::current_exception();
  }
  TOutcome outcome = reporter.Handle(error, "ListView1Click");
  ASSERT_EQ(Seen.size(), 2u);
  EXPECT_EQ(Seen[1].Name, "ReportView");
  EXPECT_EQ(Seen[1].ReportText, outcome.Report);
  EXPECT_NE(outcome.Report.find("exception class    : out_of_range"), std::string::npos) << outcome.Report;
  EXPECT_NE(outcome.Report.find("exception message  : index 12 out of range"), std::string::npos);
  EXPECT_NE(outcome.Report.find("handler            : ListView1Click"), std::string::npos);
  // The throw site is the lambda in this file, not the catch.
  std::size_t stack = outcome.Report.find("call stack where the exception was thrown:");
  ASSERT_NE(stack, std::string::npos);
  std::size_t firstFrame = outcome.Report.find('\n', stack) + 1;
  std::string frame0 = outcome.Report.substr(firstFrame, outcome.Report.find('\n', firstFrame) - firstFrame);
  EXPECT_NE(frame0.find("box_test.cpp:"), std::string::npos) << outcome.Report;
}

TEST_F(Box, RulesByClassAndDuplicates) {
  TQtPresenter presenter;
  TReporter reporter(*Settings, "Quorvik", Dir + "/bugreport.txt", &presenter);
  Answer("ContinueBtn");
  auto edit = std::make_exception_ptr(classlib::EDBEditError("'abc' is not a valid date."));
  TOutcome o = reporter.Handle(edit, "Edit1Exit");
  EXPECT_EQ(o.Presentation, 3);
  EXPECT_FALSE(o.Reported);
  ASSERT_EQ(Seen.size(), 1u);
  EXPECT_EQ(Seen[0].Name, "MessageBox");
  EXPECT_EQ(Seen[0].Title, "Quorvik");
  ASSERT_EQ(Seen[0].Buttons.size(), 1u);
  EXPECT_EQ(Seen[0].Buttons[0].second, "&OK");
  EXPECT_FALSE(fs::exists(Dir + "/bugreport.txt")) << "no report for EDBEditError";

  // The same error from the same place twice: one box, one report.
  Seen.clear();
  for (int i = 0; i < 2; ++i) {
    std::exception_ptr error;
    try {
      throw std::logic_error("same");
    } catch (...) {
      error = std::current_exception();
    }
    TOutcome dup = reporter.Handle(error, "Button1Click");
    EXPECT_EQ(dup.Duplicate, i == 1);
  }
  EXPECT_EQ(Seen.size(), 1u);
  EXPECT_EQ(ReadReports(Dir + "/bugreport.txt").size(), 1u);
  // A different message is not a duplicate.
  reporter.Handle(std::make_exception_ptr(std::logic_error("other")), "Button1Click");
  EXPECT_EQ(Seen.size(), 2u);

  EXPECT_EQ(RuleFor(*Settings, "EDBEditError").Filter, 1);
  EXPECT_TRUE(RuleFor(*Settings, "EDBEditError").NoScrShot);
  EXPECT_EQ(RuleFor(*Settings, "runtime_error").Filter, 0);
  EXPECT_EQ(RuleFor(*Settings, "EDBEditErrorX").ShowCfg, 0);
}

TEST_F(Box, UnwritableReportFileShowsALineInTheBox) {
  std::ofstream(Dir + "/plain") << "x";
  TQtPresenter presenter;
  ::setenv("XDG_STATE_HOME", "/proc/self", 1);  // the fallback fails too
  TReporter reporter(*Settings, "Quorvik", Dir + "/plain/bugreport.txt", &presenter);
  Answer("ContinueBtn");
  TOutcome o = reporter.Handle(std::make_exception_ptr(std::runtime_error("boom")), "Button1Click");
  ::unsetenv("XDG_STATE_HOME");
  EXPECT_FALSE(o.Saved.Ok);
  ASSERT_EQ(Seen.size(), 1u);
  EXPECT_NE(Seen[0].Note.find("cannot save the bug report to " + Dir + "/plain/bugreport.txt"),
            std::string::npos)
      << Seen[0].Note;
  EXPECT_EQ(o.Answer, TBoxAnswer::Continue);
}

}  // namespace

int main(int argc, char** argv) {
  // Test discovery runs this without ctest's environment.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
