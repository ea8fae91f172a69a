#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <memory>

#include "classlib_p.h"
#include "help_recorder.h"
#include "test_forms.h"
#include "widget_helpers.h"

using namespace classlib;

namespace {

using testsupport::BuiltInHelpBoxes;
using testsupport::CloseBuiltInHelpBoxes;
using TRequest = testsupport::THelpRequest;
using TRecorder = testsupport::THelpRecorder;

class HelpTest : public testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<TTestForm>(nullptr);
    form->LoadFromText(TestLayout, "test layout");
    Application->OnHelp = THelpEvent::Of<&TRecorder::Hook>(&recorder);
    Application->HelpFile = "Book.chm";
    testsupport::ShowActive(form->Widget());
    CloseBuiltInHelpBoxes();
  }
  void TearDown() override {
    Application->OnHelp.Clear();
    CloseBuiltInHelpBoxes();
  }
  std::unique_ptr<TTestForm> form;
  TRecorder recorder;
};

}  // namespace

// The class library's own help system is used only when the hook leaves
// CallHelp set and reports the request as not handled, or when there is no hook.
TEST_F(HelpTest, OwnHelpSystemOnlyWhenTheHookPassesTheRequestOn) {
  struct TCase {
    bool hook, clearCallHelp, result;
    bool builtIn, handled;
  } cases[] = {
      {true, true, true, false, true},   {true, true, false, false, false},  {true, false, true, false, true},
      {true, false, false, true, false}, {false, false, false, true, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "hook " << c.hook << " clear " << c.clearCallHelp << " result "
                                    << c.result);
    recorder = TRecorder{{}, c.result, c.clearCallHelp};
    if (!c.hook) Application->OnHelp.Clear();
    EXPECT_EQ(Application->HelpContext(100), c.handled);
    EXPECT_EQ(recorder.Requests.size(), c.hook ? 1u : 0u);
    EXPECT_EQ(BuiltInHelpBoxes(), c.builtIn ? 1 : 0);
    CloseBuiltInHelpBoxes();
    Application->OnHelp = THelpEvent::Of<&TRecorder::Hook>(&recorder);
  }
}

TEST_F(HelpTest, OwnHelpSystemSaysItHasNoHelpForFileAndContext) {
  Application->OnHelp.Clear();
  Application->HelpContext(100);
  QMessageBox* box = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "classlib.builtinhelp" && w->isVisible()) box = qobject_cast<QMessageBox*>(w);
  ASSERT_TRUE(box);
  EXPECT_FALSE(box->isModal());
  EXPECT_TRUE(box->text().contains("\"Book.chm\", context 100")) << box->text().toStdString();
}

TEST_F(HelpTest, ActiveFormsOwnHookComesFirst) {
  form->OnHelp = THelpEvent::Of<&TTestForm::Help>(form.get());
  form->HookResult = true;
  Application->HelpContext(5);
  EXPECT_TRUE(recorder.Requests.empty());
  EXPECT_EQ(form->Calls.back(), "FormHelp:1:5");
}

// F1 takes the nearest help context from the focused control up to its form;
// a form with the help border icon asks for a pop-up instead.
TEST_F(HelpTest, F1LooksUpTheContextFromTheFocusedControl) {
  form->Radio1->SetFocus();
  QTest::keyClick(form->Radio1->Widget(), Qt::Key_F1);
  form->Button1->SetFocus();
  QTest::keyClick(form->Button1->Widget(), Qt::Key_F1);
  EXPECT_EQ(recorder.Requests, (std::vector<TRequest>{{HELP_CONTEXT, 7}, {HELP_CONTEXT, 42}}));

  recorder.Requests.clear();
  form->SetBorderIcons({TBorderIcon::biSystemMenu, TBorderIcon::biHelp});
  testsupport::ShowActive(form->Widget());
  form->Radio1->SetFocus();
  QTest::keyClick(form->Radio1->Widget(), Qt::Key_F1);
  EXPECT_EQ(recorder.Requests, (std::vector<TRequest>{{HELP_CONTEXTPOPUP, 7}}));
}

TEST_F(HelpTest, KeywordHelpPassesTheKeywordsAddress) {
  std::string seen;
  struct TKeyword {
    std::string* Seen;
    bool Hook(std::uint16_t command, std::intptr_t data, bool& callHelp) {
      callHelp = false;
      if (command == HELP_COMMAND) *Seen = reinterpret_cast<const char*>(data);
      return true;
    }
  } keyword{&seen};
  Application->OnHelp = THelpEvent::Of<&TKeyword::Hook>(&keyword);
  Application->HelpKeyword("dragging");
  EXPECT_EQ(seen, "dragging");
}
